#include "accessiblename.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolBar>
#include <QToolButton>

namespace qm::desktop {
namespace {

// The caption of the label whose buddy the control is, without its access key.
QString labelOf(const QWidget *control)
{
    for (const QLabel *label : control->window()->findChildren<QLabel *>())
        if (label->buddy() == control)
            return withoutAccessKey(label->text());
    return {};
}

// A combo box as a screen reader sees it. Qt's own view of a combo box on this desktop says
// the chosen item as the name, so that every list reads like its value; here the name is the
// control's own name (or its label's caption) and the chosen item is the value.
class NamedComboBox final : public QAccessibleWidget
{
public:
    explicit NamedComboBox(QComboBox *combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return value();
        if (kind != QAccessible::Name)
            return QAccessibleWidget::text(kind);
        QString name = combo()->accessibleName();
        if (name.isEmpty())
            name = labelOf(combo());
        return name.isEmpty() ? value() : name;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.expandable = true;
        state.expanded = combo()->view()->isVisible();
        state.editable = combo()->isEditable();
        return state;
    }

    // The drop-down list; the edit field of an editable box speaks through the box's value.
    int childCount() const override { return 1; }

    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == combo()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &action) override
    {
        if (action != showMenuAction() && action != pressAction())
            return QAccessibleWidget::doAction(action);
        if (combo()->view()->isVisible())
            combo()->hidePopup();
        else
            combo()->showPopup();
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
    QString value() const { return combo()->lineEdit() ? combo()->lineEdit()->text() : combo()->currentText(); }
};

QAccessibleInterface *namedComboBoxFactory(const QString &className, QObject *object)
{
    auto *combo = qobject_cast<QComboBox *>(object);
    // The accessibility cache owns the interface.
    return combo && className == QLatin1String("QComboBox") ? new NamedComboBox(combo) : nullptr;
}

// Installed once, with the first name the program gives, before a screen reader asks.
void installComboBoxNames()
{
    static const bool installed = [] {
        QAccessible::installFactory(&namedComboBoxFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

QString withoutAccessKey(const QString &caption)
{
    // A Japanese caption shows its key in brackets after the text: the brackets go too.
    static const QRegularExpression bracketed(QStringLiteral(R"(\s*[(（]&[^&][)）])"));
    QString text = caption;
    text.remove(bracketed);
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        plain.append(text.at(i));
    }
    plain = plain.trimmed();
    if (plain.endsWith(QLatin1Char(':')) || plain.endsWith(QChar(0xFF1A)))
        plain.chop(1);
    return plain;
}

void setAccessibleName(QWidget *control, const QString &name)
{
    if (!control)
        return;
    installComboBoxNames();
    control->setAccessibleName(name);
    if (auto *combo = qobject_cast<QComboBox *>(control)) {
        if (combo->lineEdit())
            combo->lineEdit()->setAccessibleName(name);
        if (combo->view())
            combo->view()->setAccessibleName(name);
    }
}

void nameBuddy(const QLabel *label)
{
    QWidget *buddy = label ? label->buddy() : nullptr;
    installComboBoxNames();
    if (buddy && buddy->accessibleName().isEmpty())
        setAccessibleName(buddy, withoutAccessKey(label->text()));
}

void nameFromToolTip(QWidget *control)
{
    if (control && control->accessibleName().isEmpty() && !control->toolTip().isEmpty())
        setAccessibleName(control, withoutAccessKey(control->toolTip()));
}

void nameToolBarExtension(QToolBar *toolBar)
{
    if (!toolBar)
        return;
    for (QToolButton *button : toolBar->findChildren<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        button->setAccessibleName(QStringLiteral("その他のボタン"));
}

} // namespace qm::desktop
