#include "dialogtesting.h"

#include "controls/dialogs/frmfinddialog.h"
#include "controls/dialogs/textwidgettargets.h"
#include "controls/services.h"

#include "platform/desktop/scriptedprompter.h"
#include "platform/desktop/twips.h"

#include <QLabel>
#include <QPlainTextEdit>

#include <memory>

using corvane::frmFindDialog;
using Driver = DialogDriver<frmFindDialog>;
using qm::desktop::Twips;

namespace {

// A text widget with the adapter an editor hands the dialog.
struct Editor {
    explicit Editor(const QString &text)
        : edit(std::make_unique<QPlainTextEdit>(text))
        , target(new corvane::PlainTextTarget(edit.get()))
    {
    }
    QString text() const { return edit->toPlainText(); }
    QString selected() const { return edit->textCursor().selectedText(); }
    int selStart() const { return int(target->SelStart()); }
    void select(int start, int length) const
    {
        target->setSelStart(start);
        target->setSelLength(length);
    }

    std::unique_ptr<QPlainTextEdit> edit;
    corvane::PlainTextTarget *target;
};

void search(Editor &editor, short mode, const QString &what, const QString &replacement = {},
            bool onward = false)
{
    frmFindDialog::showFor(*editor.target, mode);
    Driver::setText("txtFindString", what);
    if (mode != 1)
        Driver::setText("txtReplaceString", replacement);
    Driver::setOnward(onward);
}

} // namespace

class tst_finddialog final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { corvane::Services::setPrompter(&m_prompter); }
    void cleanupTestCase() { corvane::Services::setPrompter(nullptr); }
    void init() { m_prompter.clear(); }
    void cleanup();

    void bothLayoutsAndReTargeting();
    void findNextWalks();
    void replaceStepByStep();
    void replaceAll();
    void widthAndKanaInsensitiveSpans();
    void aHandSelectionIsNotReplaced();
    void aDestroyedTargetClosesTheDialog();

private:
    // The one message shown since the last check, as "title: text".
    QString message();
    qm::desktop::ScriptedPrompter m_prompter;
};

void tst_finddialog::cleanup()
{
    if (frmFindDialog *dialog = frmFindDialog::loaded())
        dialog->close();
    QVERIFY(Driver::unloaded());
}

QString tst_finddialog::message()
{
    QStringList shown;
    for (const auto &m : m_prompter.messages())
        shown << m.title + u": "_qs + m.text;
    m_prompter.clear();
    return shown.join(u" | "_qs);
}

void tst_finddialog::bothLayoutsAndReTargeting()
{
    Editor first(u"one two"_qs);
    Editor second(u"two one"_qs);
    frmFindDialog::showFor(*first.target, 1);
    frmFindDialog *dialog = frmFindDialog::loaded();
    QVERIFY(dialog->isVisible() && !dialog->parentWidget());
    QCOMPARE(dialog->windowTitle() + Driver::control<QLabel>("Label1")->text(), u"検索検索する文字列(&F):"_qs);
    for (const char *name : {"Label2", "txtReplaceString", "cmdReplace", "cmdReplaceAll"})
        QVERIFY2(Driver::control(name)->isHidden(), name);
    QCOMPARE(dialog->height(), Twips::toPixels(1995 - 840));
    const QRect findModeBox = Driver::control("chkDistinguish")->geometry();
    QVERIFY(!Driver::control("cmdFindNext")->isEnabled() && !Driver::control("cmdReplaceAll")->isEnabled());
    Driver::setText("txtFindString", u"two"_qs);
    QVERIFY(Driver::control("cmdFindNext")->isEnabled() && Driver::control("cmdReplaceAll")->isEnabled());
    Driver::setOnward(true);

    // Re-targeted while open: what was typed stays, the direction goes back to "全体".
    frmFindDialog::showFor(*second.target, 2);
    QCOMPARE(frmFindDialog::loaded(), dialog);
    QCOMPARE(dialog->windowTitle() + Driver::control<QLabel>("Label1")->text(), u"置換置換前の文字列(&F)"_qs);
    QVERIFY(Driver::control("txtReplaceString")->isVisible() && Driver::control("cmdReplaceAll")->isVisible());
    QCOMPARE(dialog->height(), Twips::toPixels(1995));
    Driver::click("cmdFindNext");
    QCOMPARE(second.selected(), u"two"_qs);
    QVERIFY(!first.edit->textCursor().hasSelection());

    frmFindDialog::showFor(*first.target, 1); // the designed find layout, not moved twice
    QCOMPARE(Driver::control("chkDistinguish")->geometry(), findModeBox);
    // The direction's caption is not covered by its list, in either layout.
    for (int mode : {1, 2}) {
        frmFindDialog::showFor(*first.target, mode);
        QVERIFY(Driver::control("Label3")->geometry().bottom() < Driver::control("cboDirection")->geometry().top());
    }

    Driver::click("cmdCancel");
    QVERIFY(Driver::unloaded());
    frmFindDialog::showFor(*first.target, 2);
    QVERIFY(Driver::control<QLineEdit>("txtFindString")->text().isEmpty());
}

void tst_finddialog::findNextWalks()
{
    Editor editor(u"abcabc"_qs);
    editor.edit->moveCursor(QTextCursor::End); // "全体" starts at the top all the same
    search(editor, 1, u"b"_qs);
    Driver::click("cmdFindNext");
    QCOMPARE(editor.selStart(), 1);
    Driver::click("cmdFindNext");
    QCOMPARE(editor.selStart(), 4);
    QCOMPARE(message(), QString());
    Driver::click("cmdFindNext");
    QCOMPARE(message(), u"検索: 最後まで検索しました"_qs);
    QVERIFY(Driver::unloaded());

    Editor cased(u"xabc"_qs);
    search(cased, 1, u"ABC"_qs);
    Driver::click("cmdFindNext");
    QCOMPARE(cased.selected(), u"abc"_qs);
    search(cased, 1, u"ABC"_qs);
    Driver::control<QAbstractButton>("chkDistinguish")->setChecked(true);
    Driver::click("cmdFindNext");
    QCOMPARE(message(), u"検索: 最後まで検索しました"_qs);

    // "後方" starts at the caret: the "a" before it is found only from the top again.
    editor.select(2, 0);
    search(editor, 1, u"a"_qs, {}, true);
    Driver::click("cmdFindNext");
    QCOMPARE(editor.selStart(), 3);
    Driver::click("cmdFindNext");
    QCOMPARE(message(), u"検索: 最後まで検索しました"_qs);
    search(editor, 1, u"a"_qs);
    Driver::click("cmdFindNext");
    QCOMPARE(editor.selStart(), 0);
}

void tst_finddialog::replaceStepByStep()
{
    Editor editor(u"abcabc"_qs);
    search(editor, 2, u"b"_qs, u"XY"_qs);
    Driver::click("cmdReplace"); // the first step only selects
    QCOMPARE(editor.text(), u"abcabc"_qs);
    QCOMPARE(editor.selStart(), 1);
    Driver::click("cmdReplace");
    QCOMPARE(editor.text(), u"aXYcabc"_qs);
    QCOMPARE(editor.selStart(), 5);
    Driver::click("cmdReplace");
    QCOMPARE(editor.text(), u"aXYcaXYc"_qs);
    QCOMPARE(message(), u"置換: 最後まで置換しました"_qs);
    QVERIFY(Driver::unloaded());
}

void tst_finddialog::replaceAll()
{
    Editor editor(u"aaa"_qs); // each original "a" once; the loop ends
    search(editor, 2, u"a"_qs, u"aa"_qs);
    Driver::click("cmdReplaceAll");
    QCOMPARE(editor.text(), u"aaaaaa"_qs);
    QCOMPARE(message(), u"置換: すべて置換しました"_qs);
    QVERIFY(Driver::unloaded());

    Editor wide(u"Ａ and a, ａ"_qs);
    search(wide, 2, u"a"_qs);
    Driver::click("cmdReplaceAll"); // an empty replacement deletes
    QCOMPARE(wide.text(), u" nd , "_qs);
    message();

    Editor none(u"abc"_qs);
    search(none, 2, u"z"_qs, u"y"_qs);
    Driver::click("cmdReplaceAll");
    QCOMPARE(none.text(), u"abc"_qs);
    QCOMPARE(message(), u"置換: すべて置換しました"_qs);
}

void tst_finddialog::widthAndKanaInsensitiveSpans()
{
    Editor editor(u"ｱｶﾞｻ"_qs);
    search(editor, 2, {}, u"ダ"_qs);
    QInputMethodEvent typed(QString(), {});
    typed.setCommitString(u"ガ"_qs); // as an input method commits it
    QApplication::sendEvent(Driver::control("txtFindString"), &typed);
    Driver::click("cmdFindNext");
    QCOMPARE(editor.selStart(), 1);
    QCOMPARE(editor.selected(), u"ｶﾞ"_qs);
    Driver::click("cmdReplace");
    QCOMPARE(editor.text(), u"ｱダｻ"_qs);
}

// With "後方" a step starts at the user's selection; only a selection that is a match is
// replaced.
void tst_finddialog::aHandSelectionIsNotReplaced()
{
    Editor editor(u"keep this, then b"_qs);
    editor.select(0, 9);
    search(editor, 2, u"b"_qs, u"B"_qs, true);
    Driver::click("cmdReplaceAll");
    QCOMPARE(editor.text(), u"keep this, then B"_qs);

    Editor matched(u"b b"_qs);
    matched.select(0, 1);
    search(matched, 2, u"B"_qs, u"c"_qs, true);
    Driver::click("cmdReplace");
    QCOMPARE(matched.text(), u"c b"_qs);
    QCOMPARE(matched.selStart(), 2);
}

void tst_finddialog::aDestroyedTargetClosesTheDialog()
{
    for (const char *command : {"cmdFindNext", "cmdReplace", "cmdReplaceAll"}) {
        auto editor = std::make_unique<Editor>(u"abc"_qs);
        search(*editor, 2, u"b"_qs);
        editor.reset();
        Driver::click(command);
        QVERIFY2(Driver::unloaded(), command);
        QCOMPARE(message(), QString());
    }
}

QTEST_MAIN(tst_finddialog)
#include "tst_finddialog.moc"
