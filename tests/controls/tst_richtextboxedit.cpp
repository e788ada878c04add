#include "editormenutesting.h"

#include "controls/dialogs/commondialogs.h"
#include "controls/dialogs/frmattributechangedialog.h"
#include "controls/fontlist.h"
#include "controls/libraryfolder.h"
#include "controls/registry.h"
#include "controls/richtextboxedit/richtextboxedit.h"
#include "controls/services.h"

#include "platform/desktop/filechooser.h"
#include "platform/desktop/printservice.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/rtf/charformat.h"
#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include "tests/common/pdftotext.h"
#include "tests/common/testfiles.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

using corvane::RichTextBoxEdit;
using qm::desktop::Prompter;

namespace {

QTextEdit *richText(RichTextBoxEdit &editor)
{
    return editor.findChild<QTextEdit *>(u"RichText"_qs);
}

QAction *button(RichTextBoxEdit &editor, const char *key)
{
    return editor.findChild<QAction *>(QLatin1String(key));
}

QComboBox *box(RichTextBoxEdit &editor, const char *name)
{
    return editor.findChild<QComboBox *>(QLatin1String(name));
}

void press(RichTextBoxEdit &editor, const char *key)
{
    QAction *action = button(editor, key);
    QVERIFY2(action, key);
    action->trigger();
}

void ctrl(RichTextBoxEdit &editor, Qt::Key key, Qt::KeyboardModifiers extra = {})
{
    QTest::keyClick(richText(editor), key, Qt::ControlModifier | extra);
}

void select(RichTextBoxEdit &editor, int start, int length)
{
    QTextCursor cursor = richText(editor)->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    richText(editor)->setTextCursor(cursor);
}

void type(QWidget *widget, const QString &text)
{
    QInputMethodEvent commit(QString(), {});
    commit.setCommitString(text);
    QApplication::sendEvent(widget, &commit);
}

// The format of the character at a position.
QTextCharFormat formatAt(RichTextBoxEdit &editor, int position)
{
    QTextCursor cursor(richText(editor)->document());
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

// "on", "off" or "mixed", as the button shows it.
QString look(RichTextBoxEdit &editor, const char *key)
{
    QAction *action = button(editor, key);
    auto *widget = editor.findChild<QToolBar *>(u"tbFormToolBar"_qs)->widgetForAction(action);
    if (widget->property("mixed").toBool())
        return action->isChecked() ? u"mixed+on"_qs : u"mixed"_qs;
    return action->isChecked() ? u"on"_qs : u"off"_qs;
}

// Plain text of one size, all selected.
void sizedText(RichTextBoxEdit &editor, const QString &text, float points)
{
    editor.setText(text);
    richText(editor)->selectAll();
    editor.setSelFontSize(points);
}

} // namespace

class tst_richtextboxedit final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void toolBarsKeysTipsAndPictures();
    void raisedLoweredAndOriginalSize();
    void mixedSelectionShowsTheMixedLook();
    void selFontNameAndSizeOverAMixedSelection();
    void typingAttributesReachInputMethodText();
    void clearResetsTheTypingAttributes();
    void colourKeys_data();
    void colourKeys();
    void alignmentKeysAndGroups();
    void fontBoxes();
    void textRtfRoundTrip();
    void visibleTextIsWhatAReaderOfTheRtfFinds();
    void membersAndTheEditedFlag();
    void lockedTextKeepsItsFormat();
    void saveChoosesRtfOrTextByName_data();
    void saveChoosesRtfOrTextByName();
    void newAndOpenAskWhenEdited();
    void openedFilesOfAnyKind();
    void tooLargeFileIsRefused();
    void printsTheSelection();
    void printedKanjiReadBackAsWritten();
    void fontListCacheIsWrittenAgain();
    void unwritableFolderStillFillsTheFontBox();
    void attributeDialogWorksOnTheText();
    void commandsByKeyAndFromTheContextMenu();

private:
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::ScriptedFileChooser m_files;
};

void tst_richtextboxedit::initTestCase()
{
    corvane::LibraryFolder::setPath(m_dir.path());
    corvane::Services::setPrompter(&m_prompter);
    corvane::CommonDialogs::setFileChooser(&m_files);
    corvane::CommonDialogs::setColorChooser(&m_files);
}

void tst_richtextboxedit::cleanupTestCase()
{
    corvane::Services::setPrompter(nullptr);
    corvane::CommonDialogs::setFileChooser(nullptr);
    corvane::CommonDialogs::setColorChooser(nullptr);
    corvane::CommonDialogs::setPrintService(nullptr);
    corvane::LibraryFolder::setPath({});
}

void tst_richtextboxedit::init()
{
    m_prompter.clear();
}

void tst_richtextboxedit::toolBarsKeysTipsAndPictures()
{
    RichTextBoxEdit editor;
    const auto describe = [&editor](const char *bar) {
        QStringList keys;
        for (QAction *action : editor.findChild<QToolBar *>(QLatin1String(bar))->actions()) {
            if (action->isSeparator()) {
                keys << u"|"_qs;
            } else if (!action->objectName().isEmpty()) {
                keys << action->objectName() + (action->isCheckable() ? u"*="_qs : u"="_qs) + action->toolTip();
                if (action->icon().pixmap(16).isNull())
                    keys << u"(no picture)"_qs;
            }
        }
        return keys.join(u' ');
    };
    QCOMPARE(describe("tbEditToolBar"),
             u"btnNew=新規作成 Ctrl+N btnOpen=開く Shift+Ctrl+O btnSave=保存 F12 | btnPrint=印刷 Ctrl+P | "
             "btnCut=切り取り Ctrl+X btnCopy=ｺﾋﾟｰ Ctrl+C btnPaste=貼り付け Ctrl+V btnUndo=元に戻す Ctrl+Z | "
             "btnFind=検索 Ctrl+F btnReplace=置換 Shift+Ctrl+H btnAttribute=書式変更 Shift+Ctrl+F"_qs);
    QCOMPARE(describe("tbFormToolBar"),
             u"btnBold*=太字 Ctrl+B btnItalic*=斜体 Ctrl+I btnUnderline*=下線 Ctrl+U "
             "btnStrikethrough*=取り消し線 Ctrl+T btnColor=色 Ctrl+(0～9) | btnSup*=上付き Ctrl+S "
             "btnSub*=下付き Shift+Ctrl+S btnOriginal*=元のｻｲｽﾞ Ctrl+D | btnLeft*=左 Ctrl+L "
             "btnCenter*=中央 Ctrl+E btnRight*=右 Ctrl+R"_qs);

    QStringList sizes;
    for (int i = 0; i < box(editor, "cboFontSize")->count(); ++i)
        sizes << box(editor, "cboFontSize")->itemText(i);
    QCOMPARE(sizes.join(u','), u"5,6,7,8,9,10,11,12,13,14,15,16,18,20,22,24,26,28,30,32"_qs);
    QStringList names;
    for (int i = 0; i < box(editor, "cboFontName")->count(); ++i)
        names << box(editor, "cboFontName")->itemText(i);
    QCOMPARE(names, corvane::FontListCache::load());
    QVERIFY(!names.isEmpty());
}

void tst_richtextboxedit::raisedLoweredAndOriginalSize()
{
    RichTextBoxEdit editor;
    sizedText(editor, u"x2"_qs, 10);
    select(editor, 1, 1);
    ctrl(editor, Qt::Key_S);
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 5.0);
    QCOMPARE(qm::rtf::characterOffset(formatAt(editor, 1)), 80);
    QCOMPARE(formatAt(editor, 0).fontPointSize(), 10.0); // outside the selection
    QCOMPARE(look(editor, "btnSup") + look(editor, "btnOriginal"), u"onoff"_qs);
    QCOMPARE(box(editor, "cboFontSize")->currentText(), u"5"_qs);

    press(editor, "btnSup"); // 2.5 points would be below 3: nothing changes
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 5.0);
    QCOMPARE(qm::rtf::characterOffset(formatAt(editor, 1)), 80);
    QCOMPARE(look(editor, "btnSup"), u"on"_qs); // the toolbar shows the real state again

    ctrl(editor, Qt::Key_S, Qt::ShiftModifier); // subscript of 5 points: nothing
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 5.0);

    sizedText(editor, u"H2O"_qs, 10);
    select(editor, 1, 1);
    ctrl(editor, Qt::Key_S, Qt::ShiftModifier);
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 5.0);
    QCOMPARE(qm::rtf::characterOffset(formatAt(editor, 1)), -1);
    QCOMPARE(look(editor, "btnSub") + look(editor, "btnSup"), u"onoff"_qs);
    ctrl(editor, Qt::Key_D); // back to 10 points on the line
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 10.0);
    QCOMPARE(qm::rtf::characterOffset(formatAt(editor, 1)), 0);

    press(editor, "btnOriginal"); // doubled all the same
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 20.0);
    QCOMPARE(look(editor, "btnOriginal"), u"on"_qs);

    // Text set by the host is plain, whatever the caret had before.
    editor.setText(u"H2O"_qs);
    QVERIFY(formatAt(editor, 0).fontPointSize() != 20.0 && qm::rtf::characterOffset(formatAt(editor, 2)) == 0);
    sizedText(editor, u"H2O"_qs, 10);
    select(editor, 1, 1);
    editor.setSelFontSize(20);

    // Mixed sizes: none of the three does anything.
    richText(editor)->selectAll();
    QCOMPARE(look(editor, "btnOriginal"), u"on"_qs);
    for (const char *key : {"btnSup", "btnSub", "btnOriginal"})
        press(editor, key);
    QCOMPARE(formatAt(editor, 0).fontPointSize(), 10.0);
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 20.0);

    // Shift+Ctrl+B is not a key of the editor.
    ctrl(editor, Qt::Key_B, Qt::ShiftModifier);
    QVERIFY(formatAt(editor, 0).fontWeight() <= QFont::Normal);
    QCOMPARE(editor.text(), u"H2O"_qs);
}

void tst_richtextboxedit::mixedSelectionShowsTheMixedLook()
{
    RichTextBoxEdit editor;
    editor.setText(u"bold and plain"_qs);
    select(editor, 0, 4);
    ctrl(editor, Qt::Key_B);
    QCOMPARE(look(editor, "btnBold"), u"on"_qs);
    select(editor, 2, 6);
    QCOMPARE(look(editor, "btnBold"), u"mixed"_qs);
    QCOMPARE(look(editor, "btnItalic"), u"off"_qs);
    ctrl(editor, Qt::Key_B); // mixed -> all bold
    for (int i = 2; i < 8; ++i)
        QVERIFY(formatAt(editor, i).fontWeight() == QFont::Bold);
    QCOMPARE(look(editor, "btnBold"), u"on"_qs);
    ctrl(editor, Qt::Key_B); // on -> off
    QVERIFY(formatAt(editor, 3).fontWeight() == QFont::Normal);

    // The button sets what it shows after the click; the caret's look follows it.
    select(editor, 0, 2);
    press(editor, "btnItalic");
    QVERIFY(formatAt(editor, 1).fontItalic() && !formatAt(editor, 2).fontItalic());
    select(editor, 1, 0);
    QCOMPARE(look(editor, "btnItalic"), u"on"_qs);
    select(editor, 5, 0);
    QCOMPARE(look(editor, "btnItalic"), u"off"_qs);

    // Ctrl+T strikes through and Ctrl+U underlines.
    select(editor, 9, 5);
    ctrl(editor, Qt::Key_T);
    ctrl(editor, Qt::Key_U);
    QVERIFY(formatAt(editor, 10).fontStrikeOut() && formatAt(editor, 10).fontUnderline());
    QCOMPARE(editor.text(), u"bold and plain"_qs);
    richText(editor)->selectAll();
    QCOMPARE(look(editor, "btnStrikethrough") + look(editor, "btnUnderline"), u"mixedmixed"_qs);
}

void tst_richtextboxedit::selFontNameAndSizeOverAMixedSelection()
{
    RichTextBoxEdit editor;
    editor.setText(u"ab"_qs);
    select(editor, 0, 1);
    editor.setSelFontName(u"Serif"_qs);
    editor.setSelFontSize(18);
    const corvane::SelectionValue<QString> name = editor.SelFontName();
    QVERIFY(name.ok() && name.value == u"Serif"_qs);
    QCOMPARE(editor.SelFontSize().value, 18.0f);

    richText(editor)->selectAll();
    QVERIFY(!editor.SelFontName().ok() && !editor.SelFontSize().ok());
    QVERIFY(!editor.property("SelFontName").isValid() && !editor.property("SelFontSize").isValid());
    QVERIFY(box(editor, "cboFontName")->currentText().isEmpty());
    QVERIFY(box(editor, "cboFontSize")->currentText().isEmpty());

    editor.setProperty("SelFontSize", 12);
    QCOMPARE(editor.property("SelFontSize").toFloat(), 12.0f);
    QCOMPARE(box(editor, "cboFontSize")->currentText(), u"12"_qs);
    editor.setSelFontSize(0); // not a size: ignored
    editor.setSelFontSize(5000);
    QCOMPARE(editor.SelFontSize().value, 12.0f);
}

void tst_richtextboxedit::typingAttributesReachInputMethodText()
{
    RichTextBoxEdit editor;
    editor.setText(u"「」"_qs);
    richText(editor)->setFocus();
    select(editor, 1, 0);
    editor.setSelFontSize(14);
    ctrl(editor, Qt::Key_B);
    ctrl(editor, Qt::Key_4); // red
    QCOMPARE(look(editor, "btnBold"), u"on"_qs);
    QCOMPARE(box(editor, "cboFontSize")->currentText(), u"14"_qs);
    QVERIFY(!editor.isEdited());

    QInputMethodEvent composing(u"にほんご"_qs, {});
    QApplication::sendEvent(richText(editor), &composing);
    QVERIFY(!editor.isEdited()); // still being composed
    type(richText(editor), u"日本語"_qs);
    QCOMPARE(editor.text(), u"「日本語」"_qs);
    QVERIFY(editor.isEdited());
    for (int i = 1; i <= 3; ++i) {
        const QTextCharFormat f = formatAt(editor, i);
        QVERIFY(f.fontWeight() == QFont::Bold && f.fontPointSize() == 14.0);
        QCOMPARE(f.foreground().color(), QColor(255, 0, 0));
    }
    QVERIFY(formatAt(editor, 4).fontWeight() != QFont::Bold);
}

void tst_richtextboxedit::clearResetsTheTypingAttributes()
{
    RichTextBoxEdit editor;
    editor.setEditorFont(QFont(u"Serif"_qs, 11));
    editor.setText(u"x"_qs);
    richText(editor)->selectAll();
    ctrl(editor, Qt::Key_I);
    ctrl(editor, Qt::Key_1);
    ctrl(editor, Qt::Key_R);
    ctrl(editor, Qt::Key_S);
    richText(editor)->moveCursor(QTextCursor::End);
    editor.Clear();
    QVERIFY(editor.text().isEmpty() && !editor.isEdited());
    QCOMPARE(look(editor, "btnItalic") + look(editor, "btnLeft") + look(editor, "btnOriginal"),
             u"offonon"_qs);
    QCOMPARE(box(editor, "cboFontSize")->currentText(), u"11"_qs);
    type(richText(editor), u"new"_qs);
    const QTextCharFormat f = formatAt(editor, 0);
    QVERIFY(!f.fontItalic() && f.fontPointSize() == 11.0 && qm::rtf::characterOffset(f) == 0);
    QCOMPARE(f.foreground().color(), QColor(Qt::black));
    QCOMPARE(editor.SelFontName().value, u"Serif"_qs);
}

void tst_richtextboxedit::colourKeys_data()
{
    QTest::addColumn<int>("digit");
    QTest::addColumn<QColor>("color");
    const QColor colors[] = {QColor(0, 0, 0),     QColor(0, 0, 255),   QColor(0, 255, 0),
                             QColor(0, 255, 255), QColor(255, 0, 0),   QColor(255, 0, 255),
                             QColor(255, 255, 0), QColor(255, 255, 255), QColor(128, 128, 128),
                             QColor(192, 192, 192)};
    for (int d = 0; d < 10; ++d)
        QTest::addRow("Ctrl+%d", d) << d << colors[d];
}

void tst_richtextboxedit::colourKeys()
{
    QFETCH(int, digit);
    QFETCH(QColor, color);
    RichTextBoxEdit editor;
    editor.setText(u"abc"_qs);
    select(editor, 1, 1);
    ctrl(editor, Qt::Key(Qt::Key_5 + (digit == 5 ? 1 : 0))); // another colour first
    ctrl(editor, Qt::Key(Qt::Key_0 + digit));
    QCOMPARE(formatAt(editor, 1).foreground().color(), color);
    QCOMPARE(editor.text(), u"abc"_qs);
    // A digit of the keypad is not a colour key.
    QTest::keyClick(richText(editor), Qt::Key(Qt::Key_0 + (digit + 1) % 10),
                    Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(formatAt(editor, 1).foreground().color(), color);
}

void tst_richtextboxedit::alignmentKeysAndGroups()
{
    RichTextBoxEdit editor;
    editor.setText(u"one\ntwo"_qs);
    QCOMPARE(look(editor, "btnLeft"), u"on"_qs);
    ctrl(editor, Qt::Key_E);
    QCOMPARE(look(editor, "btnCenter") + look(editor, "btnLeft"), u"onoff"_qs);
    QVERIFY(richText(editor)->document()->firstBlock().blockFormat().alignment() & Qt::AlignHCenter);
    richText(editor)->moveCursor(QTextCursor::End);
    press(editor, "btnRight");
    QCOMPARE(look(editor, "btnRight") + look(editor, "btnCenter"), u"onoff"_qs);
    richText(editor)->selectAll();
    QCOMPARE(look(editor, "btnLeft") + look(editor, "btnCenter") + look(editor, "btnRight"),
             u"mixedmixedmixed"_qs);
    ctrl(editor, Qt::Key_L);
    QCOMPARE(look(editor, "btnLeft") + look(editor, "btnRight"), u"onoff"_qs);
}

void tst_richtextboxedit::fontBoxes()
{
    RichTextBoxEdit editor;
    editor.show();
    editor.setText(u"abc"_qs);
    richText(editor)->selectAll();
    QComboBox *size = box(editor, "cboFontSize");
    QApplication::setActiveWindow(&editor);
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    size->setFocus();
    size->clearEditText();
    QTest::keyClicks(size, u"1x2.a5"_qs);
    QCOMPARE(size->currentText(), u"12.5"_qs);
    QTest::keyClick(size, Qt::Key_Return);
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 12.5);
    QVERIFY(richText(editor)->hasFocus());

    size->setFocus();
    size->clearEditText(); // Enter on an empty box only moves to the text
    QTest::keyClick(size, Qt::Key_Return);
    QVERIFY(richText(editor)->hasFocus());
    QCOMPARE(formatAt(editor, 1).fontPointSize(), 12.5);
    QCOMPARE(size->currentText(), u"12.5"_qs);

    Q_EMIT size->activated(size->findText(u"20"_qs));
    QCOMPARE(formatAt(editor, 0).fontPointSize(), 20.0);

    QComboBox *name = box(editor, "cboFontName");
    const QString chosen = name->itemText(name->count() - 1);
    Q_EMIT name->activated(name->count() - 1);
    QCOMPARE(formatAt(editor, 2).fontFamilies().toStringList(), QStringList(chosen));
    QCOMPARE(name->currentText(), chosen);
    name->setFocus();
    name->setEditText(u"Monospace"_qs);
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(editor.SelFontName().value, u"Monospace"_qs);
    QVERIFY(!editor.isEdited()); // the setters clear it

    // While the text has the focus the boxes are out of the tab order.
    QCOMPARE(name->focusPolicy(), Qt::ClickFocus);
    size->setFocus();
    QCOMPARE(name->focusPolicy(), Qt::StrongFocus);
}

void tst_richtextboxedit::textRtfRoundTrip()
{
    RichTextBoxEdit editor;
    editor.setText(u"辞書 bold 赤 H2O 😀"_qs);
    select(editor, 3, 4);
    ctrl(editor, Qt::Key_B);
    select(editor, 8, 1);
    ctrl(editor, Qt::Key_4);
    select(editor, 11, 1);
    editor.setSelFontSize(10);
    ctrl(editor, Qt::Key_S);
    select(editor, 0, 2);
    editor.setSelFontName(u"Serif"_qs);
    ctrl(editor, Qt::Key_E);
    const QString rtf = editor.property("TextRTF").toString();
    QVERIFY(qm::rtf::looksLikeRtf(rtf));

    RichTextBoxEdit other;
    type(richText(other), u"edited"_qs);
    other.setProperty("TextRTF", rtf);
    QVERIFY(!other.isEdited());
    QCOMPARE(other.text(), editor.text());
    for (int i = 0; i < richText(editor)->document()->characterCount() - 1; ++i) {
        const QTextCharFormat a = formatAt(editor, i);
        const QTextCharFormat b = formatAt(other, i);
        QCOMPARE(b.fontWeight() > QFont::Medium, a.fontWeight() > QFont::Medium);
        QCOMPARE(b.foreground().color(), a.foreground().color());
        QCOMPARE(qm::rtf::characterOffset(b), qm::rtf::characterOffset(a));
    }
    QCOMPARE(formatAt(other, 11).fontPointSize(), 5.0);
    QCOMPARE(formatAt(other, 0).fontFamilies().toStringList().value(0), u"Serif"_qs);
    QVERIFY(richText(other)->document()->firstBlock().blockFormat().alignment() & Qt::AlignHCenter);
    QCOMPARE(other.property("TextRTF").toString(), rtf);
}

// A writer hands the editor's visible text to the store as the body's search text instead of
// reading the RTF it wrote again: the two must never differ, whatever the document holds.
void tst_richtextboxedit::visibleTextIsWhatAReaderOfTheRtfFinds()
{
    const QStringList sources{
        u"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 a{\\b bold}\\par second\\tab tabbed\\line broken\\par}"_qs,
        u"{\\rtf1\\ansi shown {\\v hidden} shown\\par\\par\\par}"_qs,
        u"{\\rtf1\\ansi\\uc1 \\u26085?\\u26412?\\u-10176?\\u-8249? \\~nbsp\\emdash\\par  leading}"_qs,
        u"{\\rtf1\\ansi\\trowd\\cellx1000\\cellx2000 a\\cell b\\cell\\row after\\par}"_qs,
        u"{\\rtf1\\ansi before{\\pict\\pngblip\\picw1\\pich1 89504e470d0a1a0a}after\\par}"_qs,
    };
    for (const QString &source : sources) {
        RichTextBoxEdit editor;
        editor.setTextRtf(source);
        QCOMPARE(editor.visibleText(), qm::rtf::rtfToPlainText(editor.textRtf()));
    }
    // Typed text: Japanese, a character beyond CP932, line breaks within a paragraph, spaces.
    RichTextBoxEdit typed;
    QTextCursor cursor(richText(typed)->document());
    cursor.insertText(u"日本語\u00A0の 𠮷 文"_qs);
    cursor.insertText(QString(QChar::LineSeparator));
    cursor.insertBlock();
    cursor.insertText(u"\t次の段落  "_qs);
    cursor.insertBlock();
    QCOMPARE(typed.visibleText(), qm::rtf::rtfToPlainText(typed.textRtf()));
    QVERIFY(typed.visibleText().contains(u"𠮷"_qs));
}

void tst_richtextboxedit::membersAndTheEditedFlag()
{
    QWidget window;
    const corvane::Registry::Creation created =
        corvane::Registry::createNew(u"Corvane.RichTextBoxEdit"_qs, u"RichTextBox"_qs, &window);
    QVERIFY2(created.control, qPrintable(created.error));
    auto &editor = *qobject_cast<RichTextBoxEdit *>(created.control);
    QCOMPARE(editor.property("Text").toString(), u"RichTextBox"_qs);
    QVERIFY(!editor.isEdited());
    type(richText(editor), u"x"_qs);
    QVERIFY(editor.property("Edit").toBool());

    QSignalSpy changed(&editor, &corvane::Control::propertyChanged);
    editor.setProperty("Font", QFont(u"Serif"_qs, 15));
    QVERIFY(editor.isEdited()); // the base font leaves it
    QCOMPARE(richText(editor)->font().pointSize(), 15);
    editor.setProperty("Text", u"一行目\r\n二行目"_qs);
    QVERIFY(!editor.isEdited());
    QCOMPARE(editor.text(), u"一行目\r\n二行目"_qs);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed[1].value(0).toString(), u"Text"_qs);

    QVERIFY(qm::test::writeFile(path("load.rtf"), qm::rtf::toRtfBytes(*richText(editor)->document())));
    editor.Clear();
    QVERIFY(editor.LoadFile(path("load.rtf")));
    QVERIFY(editor.isEdited()); // a load counts as a change
    QCOMPARE(editor.text(), u"一行目\r\n二行目"_qs);
    const corvane::Result missing = editor.LoadFile(path("missing.rtf"));
    QVERIFY(!missing.ok() && missing.error.contains(u"missing.rtf"_qs));
    QVERIFY(m_prompter.messages().isEmpty()); // the host gets the error, the user no message
}

void tst_richtextboxedit::lockedTextKeepsItsFormat()
{
    RichTextBoxEdit editor;
    editor.setText(u"locked"_qs);
    editor.setLocked(true);
    QVERIFY(editor.property("Locked").toBool());
    richText(editor)->selectAll();
    ctrl(editor, Qt::Key_B);
    press(editor, "btnItalic");
    ctrl(editor, Qt::Key_S);
    ctrl(editor, Qt::Key_N);
    type(richText(editor), u"z"_qs);
    QVERIFY(formatAt(editor, 0).fontWeight() != QFont::Bold && !formatAt(editor, 0).fontItalic());
    QCOMPARE(editor.text(), u"locked"_qs);
    QVERIFY(!editor.isEdited());
    QCOMPARE(look(editor, "btnItalic"), u"off"_qs);
}

void tst_richtextboxedit::saveChoosesRtfOrTextByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rtf");
    QTest::newRow("upper case") << u"body.RTF"_qs << true;
    QTest::newRow("mixed case") << u"body.Rtf"_qs << true;
    QTest::newRow("no point") << u"bodyrtf"_qs << true;
    QTest::newRow("text") << u"body.txt"_qs << false;
    QTest::newRow("no extension") << u"body"_qs << false;
}

void tst_richtextboxedit::saveChoosesRtfOrTextByName()
{
    QFETCH(QString, name);
    QFETCH(bool, rtf);
    RichTextBoxEdit editor;
    editor.setText(u"日本語\n二行目"_qs);
    richText(editor)->selectAll();
    ctrl(editor, Qt::Key_B);
    QVERIFY(editor.isEdited());
    const QString file = m_dir.filePath(name);
    m_files.queueFile(file);
    press(editor, "btnSave");
    QVERIFY(!editor.isEdited());
    const QByteArray bytes = qm::test::readFile(file);
    if (rtf) {
        QVERIFY(bytes.startsWith("{\\rtf1"));
        QTextDocument back;
        qm::rtf::setRtfBytes(back, bytes);
        QCOMPARE(back.toPlainText(), u"日本語\n二行目"_qs);
        QVERIFY(QTextCursor(back.findBlockByNumber(1)).charFormat().fontWeight() == QFont::Bold);
    } else {
        QCOMPARE(bytes, qm::text::cp932::encode(u"日本語\r\n二行目"_qs).bytes);
    }
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_richtextboxedit::newAndOpenAskWhenEdited()
{
    RichTextBoxEdit editor;
    editor.setText(u"start"_qs);
    ctrl(editor, Qt::Key_N); // not edited: nothing is asked
    QVERIFY(m_prompter.messages().isEmpty() && editor.text().isEmpty());

    for (const char *command : {"btnNew", "btnOpen"}) {
        editor.setText(u"start"_qs);
        type(richText(editor), u"edited "_qs);
        m_prompter.clear();
        m_prompter.queueAnswer(Prompter::Answer::No);
        press(editor, command);
        QCOMPARE(m_prompter.texts(), QStringList(u"編集内容を破棄してもよろしいですか"_qs));
        const Prompter::Message &asked = m_prompter.messages()[0];
        QVERIFY(asked.title == QGuiApplication::applicationDisplayName() && asked.buttons == Prompter::Buttons::YesNo);
        QVERIFY(asked.defaultAnswer == Prompter::Answer::No);
        QVERIFY(editor.text() == u"edited start"_qs && editor.isEdited());
    }
    m_prompter.queueAnswer(Prompter::Answer::Yes); // agreed, then the dialog is cancelled
    press(editor, "btnOpen");
    QCOMPARE(m_files.asked().constLast().request.filter,
             u"ﾘｯﾁﾃｷｽﾄ ﾌｧｲﾙ (*.rtf);;ﾃｷｽﾄ ﾌｧｲﾙ (*.txt)"_qs);
    QVERIFY(editor.text() == u"edited start"_qs && editor.isEdited());
}

void tst_richtextboxedit::openedFilesOfAnyKind()
{
    RichTextBoxEdit editor;
    QVERIFY(qm::test::writeFile(path("plain.txt"), qm::text::cp932::encode(u"ただのテキスト\r\n"_qs).bytes));
    QVERIFY(qm::test::writeFile(path("styled.rtf"), "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 a{\\b bold}\\par}"));
    QByteArray noise;
    for (int i = 0; i < 4096; ++i)
        noise.append(char((i * 7919 + i / 3) & 0xFF));
    QVERIFY(qm::test::writeFile(path("noise.bin"), noise));
    QVERIFY(qm::test::writeFile(path("broken.rtf"), "{\\rtf1{{{{{{\\b text kept \\bin999999 \x01\xff}"));

    m_files.queueFile(path("plain.txt"));
    press(editor, "btnOpen");
    QCOMPARE(editor.text(), u"ただのテキスト\r\n"_qs);
    QVERIFY(!editor.isEdited());

    m_files.queueFile(path("styled.rtf"));
    press(editor, "btnOpen");
    QCOMPARE(editor.text(), u"abold"_qs);
    QVERIFY(formatAt(editor, 2).fontWeight() == QFont::Bold);
    QCOMPARE(formatAt(editor, 2).fontPointSize(), 10.0);

    m_files.queueFile(path("noise.bin"));
    press(editor, "btnOpen");
    QVERIFY(!editor.text().isEmpty());
    m_files.queueFile(path("broken.rtf"));
    press(editor, "btnOpen");
    QVERIFY(editor.text().contains(u"text kept"_qs));
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_richtextboxedit::tooLargeFileIsRefused()
{
    QFile big(path("big.rtf"));
    QVERIFY(big.open(QIODevice::WriteOnly) && big.write("{\\rtf1 ") == 7);
    QVERIFY(big.resize(RichTextBoxEdit::MaxFileSize + 1)); // sparse: no disk is used
    big.close();
    RichTextBoxEdit editor;
    editor.setText(u"kept"_qs);
    m_files.queueFile(path("big.rtf"));
    press(editor, "btnOpen");
    QCOMPARE(m_prompter.messages().size(), 1);
    QVERIFY(m_prompter.messages()[0].text.contains(u"64 MB"_qs));
    QCOMPARE(editor.text(), u"kept"_qs);
    QVERIFY(!editor.LoadFile(path("big.rtf")));
    QVERIFY(!editor.LoadFile(m_dir.path())); // a folder is no file either
    QCOMPARE(editor.text(), u"kept"_qs);
}

void tst_richtextboxedit::printsTheSelection()
{
    RichTextBoxEdit editor;
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << u"行 %1"_qs.arg(i);
    editor.setText(lines.join(u'\n'));
    qm::desktop::ScriptedPrintService all(path("all.pdf"));
    corvane::CommonDialogs::setPrintService(&all);
    ctrl(editor, Qt::Key_P);
    select(editor, 0, 3);
    qm::desktop::ScriptedPrintService selection(path("selection.pdf"));
    corvane::CommonDialogs::setPrintService(&selection);
    selection.queueAnswer(false);
    press(editor, "btnPrint"); // cancelled
    QVERIFY(!QFile::exists(path("selection.pdf")));
    press(editor, "btnPrint");
    qm::desktop::ScriptedPrintService whole(path("whole.pdf"));
    corvane::CommonDialogs::setPrintService(&whole);
    whole.queueWholeText();
    press(editor, "btnPrint"); // the whole text chosen over the selection
    corvane::CommonDialogs::setPrintService(nullptr);
    QCOMPARE(all.selectionOffered(), QList<bool>{false});
    QCOMPARE(selection.selectionOffered(), QList<bool>({true, true}));
    QVERIFY(qm::test::readFile(path("all.pdf")).count("/Type /Page\n") > 3);
    QCOMPARE(qm::test::readFile(path("selection.pdf")).count("/Type /Page\n"), 1);
    QVERIFY(qm::test::readFile(path("whole.pdf")).count("/Type /Page\n") > 3);
}

// Kanji whose fonts share a glyph with a radical read back from the PDF as the kanji.
void tst_richtextboxedit::printedKanjiReadBackAsWritten()
{
    if (!qm::test::havePdfToText())
        QSKIP("pdftotext is not installed");
    RichTextBoxEdit editor;
    editor.setText(u"赤い大きな本と黒い犬"_qs);
    qm::desktop::ScriptedPrintService printer(path("kanji.pdf"));
    corvane::CommonDialogs::setPrintService(&printer);
    press(editor, "btnPrint");
    corvane::CommonDialogs::setPrintService(nullptr);
    // Qt numbers the page at its foot.
    QCOMPARE(qm::test::pdfTextWithoutSpace(path("kanji.pdf")), u"赤い大きな本と黒い犬1"_qs);
}

void tst_richtextboxedit::fontListCacheIsWrittenAgain()
{
    const QString cache = path("Font.ini");
    { RichTextBoxEdit first; }
    QVERIFY(QFile::exists(cache));
    QVERIFY(QFile::remove(cache));
    RichTextBoxEdit second;
    const QByteArray bytes = qm::test::readFile(cache);
    QVERIFY(bytes.startsWith(QByteArray(QByteArray::number(QFontDatabase::families().size()) + "\r\n")));
    QVERIFY(box(second, "cboFontName")->count() > 0);
}

// A folder where "Font.ini" cannot be written does not keep the control from being made.
void tst_richtextboxedit::unwritableFolderStillFillsTheFontBox()
{
    QVERIFY(qm::test::writeFile(path("not-a-folder"), "x"));
    corvane::LibraryFolder::setPath(path("not-a-folder"));
    QWidget window;
    const corvane::Registry::Creation created =
        corvane::Registry::createNew(u"Corvane.RichTextBoxEdit"_qs, u"RichTextBox"_qs, &window);
    corvane::LibraryFolder::setPath(m_dir.path());
    QVERIFY2(created.control, qPrintable(created.error));
    QComboBox *names = created.control->findChild<QComboBox *>(u"cboFontName"_qs);
    QVERIFY(names->count() > 0 && names->findText(QFontDatabase::families().value(0)) >= 0);
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_richtextboxedit::attributeDialogWorksOnTheText()
{
    RichTextBoxEdit editor;
    editor.setText(u"abc abc"_qs);
    press(editor, "btnAttribute");
    corvane::frmAttributeChangeDialog *dialog = corvane::frmAttributeChangeDialog::loaded();
    QVERIFY(dialog && dialog->isVisible());
    dialog->findChild<QLineEdit *>(u"txtFindString"_qs)->setText(u"b"_qs);
    dialog->findChild<QAbstractButton *>(u"chkBold"_qs)->click();
    dialog->findChild<QAbstractButton *>(u"cmdReplaceAll"_qs)->click();
    QVERIFY(formatAt(editor, 1).fontWeight() == QFont::Bold && formatAt(editor, 5).fontWeight() == QFont::Bold);
    QVERIFY(formatAt(editor, 0).fontWeight() != QFont::Bold);
    QCOMPARE(editor.text(), u"abc abc"_qs);
}

void tst_richtextboxedit::commandsByKeyAndFromTheContextMenu()
{
    RichTextBoxEdit editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    const QStringList commands{u"btnOpen"_qs, u"btnSave"_qs, u"btnReplace"_qs, u"btnAttribute"_qs};
    QCOMPARE(editorMenuCommands(richText(editor), true), commands);
    QCOMPARE(editorMenuCommands(richText(editor), false), commands);

    const qsizetype asked = m_files.asked().size();
    ctrl(editor, Qt::Key_O, Qt::ShiftModifier);
    QTest::keyClick(richText(editor), Qt::Key_F12);
    QCOMPARE(m_files.asked().size(), asked + 2);
    QVERIFY(m_files.asked().at(asked).kind == u"open"_qs && m_files.asked().at(asked + 1).kind == u"save"_qs);
    ctrl(editor, Qt::Key_F, Qt::ShiftModifier);
    corvane::frmAttributeChangeDialog *dialog = corvane::frmAttributeChangeDialog::loaded();
    QVERIFY(dialog && dialog->isVisible());
    dialog->close();
}

QTEST_MAIN(tst_richtextboxedit)
#include "tst_richtextboxedit.moc"
