#include "messageboxprompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpacerItem>

#include <utility>

namespace qm::desktop {
namespace {

QMessageBox::StandardButtons standardButtons(Prompter::Buttons buttons)
{
    switch (buttons) {
    case Prompter::Buttons::Ok: return QMessageBox::Ok;
    case Prompter::Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Prompter::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Prompter::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButton standardButton(Prompter::Answer answer)
{
    switch (answer) {
    case Prompter::Answer::Ok: return QMessageBox::Ok;
    case Prompter::Answer::Cancel: return QMessageBox::Cancel;
    case Prompter::Answer::Yes: return QMessageBox::Yes;
    case Prompter::Answer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon boxIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::None: return QMessageBox::NoIcon;
    case Prompter::Icon::Information: return QMessageBox::Information;
    case Prompter::Icon::Question: return QMessageBox::Question;
    case Prompter::Icon::Warning: return QMessageBox::Warning;
    case Prompter::Icon::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The buttons speak Japanese even where Qt's own translations are not installed.
void setButtonTexts(QMessageBox &box)
{
    static const std::pair<QMessageBox::StandardButton, const char16_t *> texts[] = {
        {QMessageBox::Ok, u"OK"},
        {QMessageBox::Cancel, u"キャンセル"},
        {QMessageBox::Yes, u"はい(&Y)"},
        {QMessageBox::No, u"いいえ(&N)"},
    };
    for (const auto &[button, text] : texts)
        if (QAbstractButton *b = box.button(button))
            b->setText(QString::fromUtf16(text));
}

// A message box sizes itself to its text; with a short text the window manager cuts its title.
// A spacer under the text keeps the box wide enough for the title and the title bar's buttons.
void keepTitleWhole(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (!grid)
        return;
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    const int titleBarExtras = 9 * metrics.height(); // icon, buttons and margins of the title bar
    const int width = metrics.horizontalAdvance(box.windowTitle()) + titleBarExtras;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

Prompter::Answer toAnswer(int button)
{
    switch (button) {
    case QMessageBox::Yes: return Prompter::Answer::Yes;
    case QMessageBox::No: return Prompter::Answer::No;
    case QMessageBox::Cancel: return Prompter::Answer::Cancel;
    default: return Prompter::Answer::Ok;
    }
}

} // namespace

MessageBoxPrompter::MessageBoxPrompter(QWidget *parent, QString defaultTitle)
    : m_parent(parent)
    , m_defaultTitle(std::move(defaultTitle))
{
}

QWidget *MessageBoxPrompter::boxParent(const QObject *owner) const
{
    // Over the window the user is working in (a modal one first), so that the box is centred
    // on it and stays above it; the given parent only when none of the program's is active.
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    // The window a message is about: while one box gives way to the next no window is active,
    // and a box over the given parent would bring that window in front of this one.
    if (const auto *window = qobject_cast<const QWidget *>(owner); window && window->isVisible())
        return const_cast<QWidget *>(window->window());
    if (QWidget *active = QApplication::activeWindow())
        return active;
    return m_parent;
}

Prompter::Answer MessageBoxPrompter::ask(const Message &message)
{
    QMessageBox box(boxIcon(message.icon), message.title.isEmpty() ? m_defaultTitle : message.title,
                    message.text, standardButtons(message.buttons), boxParent(message.owner));
    box.setObjectName(QStringLiteral("qm_prompt"));
    box.setDefaultButton(standardButton(message.defaultAnswer));
    setButtonTexts(box);
    keepTitleWhole(box);
    if (message.buttons == Buttons::YesNoCancel || message.buttons == Buttons::OkCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    else if (message.buttons == Buttons::YesNo)
        box.setEscapeButton(QMessageBox::No);
    const int result = box.exec();
    // Closing the box with Escape or its close button counts as the escape button.
    return toAnswer(result);
}

std::optional<QString> MessageBoxPrompter::askPassword(const QString &text, const QString &title)
{
    QInputDialog dialog(boxParent(nullptr));
    dialog.setObjectName(QStringLiteral("dlgPassword"));
    dialog.setWindowTitle(title.isEmpty() ? m_defaultTitle : title);
    // The label would read "&" as the mark of a shortcut key; a location often holds some.
    dialog.setLabelText(QString(text).replace(QLatin1Char('&'), QStringLiteral("&&")));
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

} // namespace qm::desktop
