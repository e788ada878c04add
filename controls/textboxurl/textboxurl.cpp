#include "controls/textboxurl/textboxurl.h"

#include "controls/corvanemodule.h"
#include "controls/dialogs/commondialogs.h"
#include "controls/dialogs/designlayout.h"
#include "controls/webnavigate/desktoplink.h"

#include "platform/desktop/twips.h"

#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane {
namespace {

using qm::desktop::Twips;

// The designed rectangles, in twips.
constexpr int margin = 120;
constexpr int linkTop = 360;
constexpr int linkHeight = 270;
constexpr int buttonTop = 300;
constexpr int buttonWidth = 855;
constexpr int buttonHeight = 375;
constexpr int designWidth = 6900;
constexpr int labelWidth = 1815;
constexpr int labelHeight = 255;

} // namespace

TextBoxURL::TextBoxURL(QWidget *parent)
    : EditorControl(parent)
    , lblLink(new QLabel(QStringLiteral("ﾘﾝｸ先のﾌｧｲﾙ/URL(&L)"), this))
    , txtLink(new QLineEdit(this))
    , cmdRefer(new QPushButton(QStringLiteral("参照(&R)"), this))
    , cmdShow(new QPushButton(QStringLiteral("表示(&S)"), this))
    , m_linkWidth(designWidth - 2 * buttonWidth - 4 * margin)
{
    lblLink->setObjectName(QStringLiteral("lblLink"));
    txtLink->setObjectName(QStringLiteral("txtLink"));
    cmdRefer->setObjectName(QStringLiteral("cmdRefer"));
    cmdShow->setObjectName(QStringLiteral("cmdShow"));
    lblLink->setBuddy(txtLink);
    txtLink->setMaxLength(std::numeric_limits<int>::max()); // long addresses stay whole
    setFocusProxy(txtLink);
    setTabOrder(txtLink, cmdRefer);
    setTabOrder(cmdRefer, cmdShow);

    connect(txtLink, &QLineEdit::textChanged, this, [this] { markEdited(); });
    connect(cmdRefer, &QPushButton::clicked, this, &TextBoxURL::cmdRefer_Click);
    connect(cmdShow, &QPushButton::clicked, this, &TextBoxURL::showLink);
    txtLink->installEventFilter(this);
    resize(sizeHint());
    layOut();
}

TextBoxURL::~TextBoxURL() = default;

QString TextBoxURL::text() const
{
    return txtLink->text();
}

// A long address shows its beginning.
void TextBoxURL::setText(const QString &text)
{
    txtLink->setText(text);
    txtLink->setCursorPosition(0);
    clearEditFlag();
}

bool TextBoxURL::isLocked() const
{
    return txtLink->isReadOnly();
}

// A locked field cannot be changed through the browse button either.
void TextBoxURL::setLocked(bool locked)
{
    txtLink->setReadOnly(locked);
    cmdRefer->setEnabled(!locked);
}

void TextBoxURL::Clear()
{
    setText(QString());
}

Result TextBoxURL::LoadFile(const QString &strFileName)
{
    QString error;
    const std::optional<QString> contents = CorvaneModule::ReadTextFile(strFileName, &error);
    if (!contents)
        return Result::failure(error);
    const QString shownPath = QDir::toNativeSeparators(strFileName);
    if (contents->isEmpty())
        return Result::failure(QStringLiteral("\"%1\" は空のファイルです。").arg(shownPath));
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList lines = contents->split(lineEnd);
    if (lines.constLast().isEmpty()) // the end of the last line, not a line of its own
        lines.removeLast();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (!line.startsWith(QLatin1String("URL"), Qt::CaseInsensitive))
            continue;
        if (line.size() < 4) {
            return Result::failure(
                QStringLiteral("\"%1\" の %2 行目の \"URL\" にアドレスがありません。").arg(shownPath).arg(i + 1));
        }
        txtLink->setText(line.sliced(4));
    }
    clearEditFlag();
    return Result::success();
}

QSize TextBoxURL::sizeHint() const
{
    return {Twips::toPixels(designWidth), Twips::toPixels(buttonTop + buttonHeight + margin) + rowOffset()};
}

void TextBoxURL::resizeEvent(QResizeEvent *event)
{
    EditorControl::resizeEvent(event);
    layOut();
}

// The field takes the width the buttons leave, with 120 twips between the field and the
// buttons, between the buttons and at the right edge. A control too narrow for the field keeps
// the field's last width and places the buttons after it.
void TextBoxURL::layOut()
{
    const double linkWidth = Twips::fromPixels(width()) - 2 * buttonWidth - 4 * margin;
    if (linkWidth > 0)
        m_linkWidth = int(std::lround(linkWidth));
    placeAt(*lblLink, margin, margin, labelWidth, labelHeight, Fit::Exact);
    const QSize label = lblLink->sizeHint();
    lblLink->resize(std::max(lblLink->width(), label.width()), std::max(lblLink->height(), label.height()));
    placeAt(*txtLink, margin, linkTop, m_linkWidth, linkHeight);
    placeAt(*cmdRefer, m_linkWidth + 2 * margin, buttonTop, buttonWidth, buttonHeight);
    placeAt(*cmdShow, m_linkWidth + 3 * margin + buttonWidth, buttonTop, buttonWidth, buttonHeight);
    const int offset = rowOffset();
    for (QWidget *w : {static_cast<QWidget *>(txtLink), static_cast<QWidget *>(cmdRefer), static_cast<QWidget *>(cmdShow)})
        w->move(w->x(), w->y() + offset);
}

// How far the field and the buttons move down so that a caption taller than designed (a
// larger font) does not cover the field.
int TextBoxURL::rowOffset() const
{
    const int labelBottom = Twips::toPixels(margin) + std::max(Twips::toPixels(labelHeight), lblLink->sizeHint().height());
    const int fieldHeight = std::max(Twips::toPixels(linkHeight), txtLink->sizeHint().height());
    const int fieldTop = Twips::toPixels(linkTop + linkHeight / 2.0) - fieldHeight / 2;
    return std::max(0, labelBottom + 1 - fieldTop);
}

// Any file may be chosen; a cancel changes nothing.
void TextBoxURL::cmdRefer_Click()
{
    const std::optional<QString> path =
        CommonDialogs::fileChooser().openFile({QStringLiteral("ファイルを開く"), QString(), QString()});
    if (path)
        txtLink->setText(QDir::toNativeSeparators(*path));
}

bool TextBoxURL::showLink()
{
    return DesktopLink::openOrTell(txtLink->text());
}

// Enter in the field opens the link; once it has opened, the Enter goes no further (a host's
// default button does not also fire).
bool TextBoxURL::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == txtLink && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && showLink())
            return true;
    }
    return EditorControl::eventFilter(watched, event);
}

} // namespace corvane
