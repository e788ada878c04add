#include "controls/dialogs/searchcontrols.h"

#include "controls/services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace corvane {
namespace {

template<class Widget>
Widget *named(QDialog &dialog, const QString &name)
{
    auto *widget = new Widget(&dialog);
    widget->setObjectName(name);
    return widget;
}

QPushButton *button(QDialog &dialog, const QString &name, const QString &caption)
{
    auto *b = named<QPushButton>(dialog, name);
    b->setText(caption);
    b->setAutoDefault(false);
    return b;
}

} // namespace

SearchControls::SearchControls(QDialog &dialog, const Captions &captions)
    : Label1(named<QLabel>(dialog, QStringLiteral("Label1")))
    , txtFindString(named<QLineEdit>(dialog, QStringLiteral("txtFindString")))
    , chkDistinguish(named<QCheckBox>(dialog, QStringLiteral("chkDistinguish")))
    , directionLabel(named<QLabel>(dialog, captions.directionLabelName))
    , cboDirection(named<QComboBox>(dialog, QStringLiteral("cboDirection")))
    , cmdFindNext(button(dialog, QStringLiteral("cmdFindNext"), QStringLiteral("次を検索(&N)")))
    , cmdCancel(button(dialog, QStringLiteral("cmdCancel"), QStringLiteral("ｷｬﾝｾﾙ")))
    , cmdReplace(button(dialog, QStringLiteral("cmdReplace"), captions.change))
    , cmdReplaceAll(button(dialog, QStringLiteral("cmdReplaceAll"), captions.changeAll))
{
    Label1->setText(QStringLiteral("検索する文字列(&F):"));
    Label1->setBuddy(txtFindString);
    chkDistinguish->setText(QStringLiteral("大文字と小文字を区別する(&S)"));
    directionLabel->setText(QStringLiteral("検索方向(&D)"));
    directionLabel->setBuddy(cboDirection);
    cboDirection->addItems({QStringLiteral("全体"), QStringLiteral("後方")});
    cmdFindNext->setDefault(true);
    enableButtons();
}

SearchSettings SearchControls::settings() const
{
    return {txtFindString->text(), chkDistinguish->isChecked(), cboDirection->currentIndex() == 0};
}

void SearchControls::enableButtons()
{
    const bool hasText = !txtFindString->text().isEmpty();
    cmdFindNext->setEnabled(hasText);
    cmdReplace->setEnabled(hasText);
    cmdReplaceAll->setEnabled(hasText);
}

void SearchControls::selectWholeText()
{
    cboDirection->setCurrentIndex(0);
}

void SearchControls::finish(QDialog &dialog, const QString &text, const QString &title)
{
    using qm::desktop::Prompter;
    Services::prompter().ask({text, title, Prompter::Buttons::Ok, Prompter::Answer::Ok,
                              Prompter::Icon::None});
    dialog.close();
}

} // namespace corvane
