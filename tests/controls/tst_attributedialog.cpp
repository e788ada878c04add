#include "dialogtesting.h"

#include "controls/dialogs/colorswatch.h"
#include "controls/dialogs/commondialogs.h"
#include "controls/dialogs/frmattributechangedialog.h"
#include "controls/dialogs/textwidgettargets.h"
#include "controls/services.h"

#include "platform/desktop/filechooser.h"
#include "platform/desktop/scriptedprompter.h"

#include <QCheckBox>
#include <QTextEdit>

#include <memory>

using corvane::frmAttributeChangeDialog;
using Driver = DialogDriver<frmAttributeChangeDialog>;

namespace {

struct Editor {
    explicit Editor(const QString &text)
        : edit(std::make_unique<QTextEdit>())
        , target(new corvane::RichTextTarget(edit.get()))
    {
        edit->setPlainText(text);
    }
    // The format of the character at a position.
    QTextCharFormat at(int position) const
    {
        QTextCursor cursor(edit->document());
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    }

    std::unique_ptr<QTextEdit> edit;
    corvane::RichTextTarget *target;
};

void search(Editor &editor, const QString &what, bool onward = false)
{
    frmAttributeChangeDialog::showFor(*editor.target);
    Driver::setText("txtFindString", what);
    Driver::setOnward(onward);
}

void setSize(const QString &size)
{
    Driver::click("chkSize");
    Driver::control<QComboBox>("cboSize")->setEditText(size);
}

QString button(const char *name)
{
    return Driver::control<QAbstractButton>(name)->text();
}

} // namespace

class tst_attributedialog final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init() { m_prompter.clear(); }
    void cleanup();

    void switchesAndSwatchFollowTheirBoxes();
    void sizeBoxTakesOnlyASize();
    void changeAllFromTheCaretLeavesTheText();
    void offSwitchClearsBold();
    void changeStepByStep();
    void aSizeThatIsNotANumberIsRefused();
    void aDestroyedTargetClosesTheDialog();
    void eachAccessKeyReachesItsBoxAndNoneIsCovered();

private:
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::ScriptedFileChooser m_colors;
};

void tst_attributedialog::initTestCase()
{
    corvane::Services::setPrompter(&m_prompter);
    corvane::CommonDialogs::setColorChooser(&m_colors);
}

void tst_attributedialog::cleanupTestCase()
{
    corvane::Services::setPrompter(nullptr);
    corvane::CommonDialogs::setColorChooser(nullptr);
}

void tst_attributedialog::cleanup()
{
    if (frmAttributeChangeDialog *dialog = frmAttributeChangeDialog::loaded())
        dialog->close();
    QVERIFY(Driver::unloaded());
}

void tst_attributedialog::switchesAndSwatchFollowTheirBoxes()
{
    Editor editor(u"text"_qs);
    frmAttributeChangeDialog::showFor(*editor.target);
    QCOMPARE(frmAttributeChangeDialog::loaded()->windowTitle(), u"属性変更"_qs);
    // Captions standing above their lists are not covered by them.
    QVERIFY(Driver::control("chkSize")->geometry().bottom() < Driver::control("cboSize")->geometry().top());
    QVERIFY(Driver::control("Label2")->geometry().bottom() < Driver::control("cboDirection")->geometry().top());
    for (const char *name : {"cmdBold", "cmdItalic", "cmdUnderline", "cmdStrikethrough", "cboSize"})
        QVERIFY2(!Driver::control(name)->isEnabled(), name);
    QCOMPARE(Driver::control<QComboBox>("cboSize")->currentText() + button("cmdBold"), u"8ｵﾝ"_qs);
    auto *swatch = Driver::control<corvane::ColorSwatch>("Shape");
    QVERIFY(!swatch->isActive() && swatch->color() == Qt::black);

    Driver::click("chkItalic");
    Driver::click("cmdItalic");
    QCOMPARE(button("cmdItalic"), u"ｵﾌ"_qs);
    Driver::click("cmdItalic");
    QCOMPARE(button("cmdItalic"), u"ｵﾝ"_qs);
    QVERIFY(!Driver::control("cmdBold")->isEnabled());

    QTest::mouseClick(Driver::control("Image"), Qt::LeftButton); // colour unchecked: no dialog
    QVERIFY(m_colors.asked().isEmpty());
    Driver::click("chkColor");
    QVERIFY(swatch->isActive());
    m_colors.queueColor(0xFFFF0000);
    Driver::click("Image");
    QCOMPARE(swatch->color(), QColor(Qt::red));
    Driver::click("Image"); // cancelled: the colour stays; the dialog started from the last one
    QCOMPARE(swatch->color(), QColor(Qt::red));
    QCOMPARE(m_colors.asked().size(), 2);
    QCOMPARE(m_colors.asked()[1].request.fileName, u"ffff0000"_qs);
}

// Keys go where a user's keys go: to the widget that has the focus once the size box is given it.
void tst_attributedialog::sizeBoxTakesOnlyASize()
{
    Editor editor(u"text"_qs);
    search(editor, u"t"_qs);
    Driver::click("chkSize");
    auto *size = Driver::control<QComboBox>("cboSize");
    QApplication::setActiveWindow(size->window());
    size->setFocus();
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus == size || focus == size->lineEdit());
    size->lineEdit()->selectAll();
    QTest::keyClicks(focus, u"1x2,.5-a"_qs);
    QTest::keyClick(focus, Qt::Key_Backspace);
    QCOMPARE(size->currentText(), u"12."_qs);
    QTest::keyClick(focus, Qt::Key_Return); // swallowed: no step runs
    QTest::keyClick(focus, Qt::Key_Enter);
    QVERIFY(m_prompter.messages().isEmpty() && !editor.edit->textCursor().hasSelection());
    QVERIFY(!Driver::unloaded());
    QInputMethodEvent typed(QString(), {});
    typed.setCommitString(u"１２"_qs);
    QApplication::sendEvent(focus, &typed);
    QCOMPARE(size->currentText(), u"12."_qs);
    // Select all still works from the keyboard.
    QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(focus, u"9"_qs);
    QCOMPARE(size->currentText(), u"9"_qs);
}

void tst_attributedialog::changeAllFromTheCaretLeavesTheText()
{
    Editor editor(u"ab ab ab"_qs);
    const qreal original = editor.at(0).fontPointSize();
    editor.target->setSelStart(2);
    search(editor, u"AB"_qs, true);
    setSize(u"12"_qs);
    Driver::click("cmdReplaceAll");
    QCOMPARE(editor.edit->toPlainText(), u"ab ab ab"_qs);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(editor.at(i).fontPointSize(), i >= 3 && i != 5 ? 12.0 : original);
    QCOMPARE(m_prompter.texts(), QStringList(u"すべて変更しました"_qs));
    QCOMPARE(m_prompter.messages()[0].title, u"置換"_qs);
    QVERIFY(Driver::unloaded());
}

void tst_attributedialog::offSwitchClearsBold()
{
    Editor editor(u"bold and bold"_qs);
    editor.edit->selectAll();
    editor.edit->setFontWeight(QFont::Bold);
    search(editor, u"bold"_qs);
    Driver::click("chkBold");
    Driver::click("cmdBold");
    Driver::click("chkUnderline"); // "On"
    Driver::click("cmdReplaceAll");
    for (int i : {0, 3, 9, 12})
        QVERIFY(editor.at(i).fontWeight() == QFont::Normal && editor.at(i).fontUnderline());
    QVERIFY(editor.at(5).fontWeight() == QFont::Bold && !editor.at(5).fontUnderline());
}

// The first step on "全体" only selects; with nothing checked the steps only walk.
void tst_attributedialog::changeStepByStep()
{
    Editor editor(u"x x"_qs);
    search(editor, u"x"_qs);
    Driver::click("cmdReplace");
    Driver::click("cmdReplace");
    QCOMPARE(editor.target->SelStart(), 2);
    Driver::click("chkStrikethrough");
    Driver::click("cmdReplace");
    QVERIFY(editor.at(2).fontStrikeOut() && !editor.at(0).fontStrikeOut());
    QCOMPARE(m_prompter.texts(), QStringList(u"最後まで検索しました"_qs));
    QCOMPARE(m_prompter.messages()[0].title, u"置換"_qs);
}

void tst_attributedialog::aSizeThatIsNotANumberIsRefused()
{
    Editor editor(u"a a"_qs);
    search(editor, u"a"_qs);
    Driver::click("chkBold");
    Driver::click("chkSize");
    for (const QString &size : {QString(), u"1.2.3"_qs, u"."_qs, u"0"_qs, u"5000"_qs}) {
        Driver::control<QComboBox>("cboSize")->setEditText(size);
        m_prompter.clear();
        Driver::click("cmdReplaceAll");
        QCOMPARE(m_prompter.messages().size(), 1);
        QVERIFY2(m_prompter.messages()[0].text.contains(u"数値"_qs), qPrintable(size));
        QVERIFY(frmAttributeChangeDialog::loaded()->isVisible());
        QVERIFY(!editor.at(0).hasProperty(QTextFormat::FontWeight));
    }
    Driver::control<QComboBox>("cboSize")->setEditText(u"10.5"_qs);
    Driver::click("cmdReplaceAll");
    QCOMPARE(editor.at(2).fontPointSize(), 10.5);
}

void tst_attributedialog::aDestroyedTargetClosesTheDialog()
{
    for (const char *command : {"cmdFindNext", "cmdReplace", "cmdReplaceAll"}) {
        auto editor = std::make_unique<Editor>(u"abc"_qs);
        search(*editor, u"b"_qs);
        editor.reset();
        Driver::click(command);
        QVERIFY2(Driver::unloaded(), command);
        QVERIFY(m_prompter.messages().isEmpty());
    }
}

void tst_attributedialog::eachAccessKeyReachesItsBoxAndNoneIsCovered()
{
    Editor editor(u"text"_qs);
    frmAttributeChangeDialog::showFor(*editor.target);
    frmAttributeChangeDialog *dialog = frmAttributeChangeDialog::loaded();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    for (const char *name : {"chkStrikethrough", "chkSize", "chkColor"})
        QVERIFY2(!Driver::control<QCheckBox>(name)->isChecked(), name);
    QTest::keyClick(dialog, Qt::Key_T, Qt::AltModifier);
    QTest::keyClick(dialog, Qt::Key_Z, Qt::AltModifier);
    QTest::keyClick(dialog, Qt::Key_S, Qt::AltModifier);
    QTRY_VERIFY(Driver::control<QCheckBox>("chkStrikethrough")->isChecked());
    QTRY_VERIFY(Driver::control<QCheckBox>("chkSize")->isChecked());
    QTRY_VERIFY(Driver::control<QCheckBox>("chkDistinguish")->isChecked());
    QVERIFY(Driver::control("cmdStrikethrough")->isEnabled() && Driver::control("cboSize")->isEnabled());
    // The colour is chosen from the keyboard too: Tab from its box, then Space.
    const qsizetype asked = m_colors.asked().size();
    QTest::keyClick(dialog, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(Driver::control<QCheckBox>("chkColor")->isChecked());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTRY_COMPARE(m_colors.asked().size(), asked + 1);

    // The column of colour and size: each control starts below the one above it.
    const char *column[] = {"Shape", "chkColor", "chkSize", "cboSize"};
    for (const char *upper : column) {
        for (const char *lower : column) {
            const QRect a = Driver::control(upper)->geometry();
            const QRect b = Driver::control(lower)->geometry();
            QVERIFY2(upper == lower || !a.intersects(b), qPrintable(QDebug::toString(a) + QDebug::toString(b)));
        }
    }
}

QTEST_MAIN(tst_attributedialog)
#include "tst_attributedialog.moc"
