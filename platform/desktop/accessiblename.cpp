#include "accessiblename.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QToolBar>
#include <QToolButton>

namespace qm::desktop {

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
