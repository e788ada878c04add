#include "dialogtesting.h"
#include "editormenutesting.h"

#include "controls/dialogs/commondialogs.h"
#include "controls/dialogs/frmfinddialog.h"
#include "controls/registry.h"
#include "controls/services.h"
#include "controls/textboxedit/textboxedit.h"

#include "platform/desktop/filechooser.h"
#include "platform/desktop/printservice.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/text/cp932.h"

#include "tests/common/pdftotext.h"
#include "tests/common/testfiles.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QPrintDialog>
#include <QRegularExpression>
#include <QTranslator>
#include <QTimer>
#include <QToolBar>

using corvane::TextBoxEdit;
using Find = DialogDriver<corvane::frmFindDialog>;
using qm::desktop::Prompter;

namespace {

QPlainTextEdit *textBox(TextBoxEdit &editor)
{
    return editor.findChild<QPlainTextEdit *>(QStringLiteral("TextBox"));
}

void press(TextBoxEdit &editor, const char *key)
{
    QAction *action = editor.findChild<QAction *>(QLatin1String(key));
    QVERIFY2(action, key);
    action->trigger();
}

void select(TextBoxEdit &editor, int start, int length)
{
    QTextCursor cursor = textBox(editor)->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    textBox(editor)->setTextCursor(cursor);
}

void type(TextBoxEdit &editor, const QString &text)
{
    QInputMethodEvent commit(QString(), {});
    commit.setCommitString(text);
    QApplication::sendEvent(textBox(editor), &commit);
}

} // namespace

class tst_textboxedit final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void toolBarKeysTipsAndPictures();
    void membersAndTheEditedFlag();
    void lineEndsComeBackAsTheyWereSet();
    void newAndOpenAskOnceWhenEdited();
    void filesSavedUnchangedKeepTheirBytes_data();
    void filesSavedUnchangedKeepTheirBytes();
    void textCp932CannotHoldIsSavedAsUtf8();
    void emptyTextAndFailedSave();
    void printPrintsWhatTheDialogChose();
    void printedKanjiReadBackAsWritten();
    void printDialogOffersWhatIsPrinted();
    void printDialogSpeaksJapanese();
    void clipboardAndUndoThroughTheWidget();
    void inputMethodReachesTheText();
    void shorterThanItsToolBar();
    void findAndReplaceShareOneDialog();
    void commandsByKeyAndFromTheContextMenu();

private:
    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::ScriptedFileChooser m_files;
};

void tst_textboxedit::initTestCase()
{
    corvane::Services::setPrompter(&m_prompter);
    corvane::CommonDialogs::setFileChooser(&m_files);
}

void tst_textboxedit::cleanupTestCase()
{
    corvane::Services::setPrompter(nullptr);
    corvane::CommonDialogs::setFileChooser(nullptr);
    corvane::CommonDialogs::setPrintService(nullptr);
}

void tst_textboxedit::init()
{
    m_prompter.clear();
}

void tst_textboxedit::toolBarKeysTipsAndPictures()
{
    TextBoxEdit editor;
    QStringList keys;
    for (QAction *action : editor.findChild<QToolBar *>(u"tbEditToolBar"_qs)->actions()) {
        keys << (action->isSeparator() ? u"|"_qs : action->objectName() + u'=' + action->toolTip());
        QVERIFY(action->isSeparator() || !action->icon().pixmap(16).isNull());
    }
    QCOMPARE(keys.join(u' '),
             u"btnNew=新規作成 Ctrl+N btnOpen=開く Shift+Ctrl+O btnSave=保存 F12 | btnPrint=印刷 Ctrl+P | "
             "btnCut=切り取り Ctrl+X btnCopy=ｺﾋﾟｰ Ctrl+C btnPaste=貼り付け Ctrl+V btnUndo=元に戻す Ctrl+Z | "
             "btnFind=検索 Ctrl+F btnReplace=置換 Shift+Ctrl+H"_qs);

    // The control adds no keys of its own: Ctrl+N neither asks nor empties.
    editor.setText(u"kept"_qs);
    type(editor, u"!"_qs);
    QTest::keyClick(textBox(editor), Qt::Key_N, Qt::ControlModifier);
    QVERIFY(m_prompter.messages().isEmpty());
    QCOMPARE(editor.text(), u"!kept"_qs);
}

void tst_textboxedit::membersAndTheEditedFlag()
{
    QWidget window;
    const corvane::Registry::Creation created =
        corvane::Registry::createNew(u"Corvane.TextBoxEdit"_qs, u"TextBox"_qs, &window);
    QVERIFY2(created.control, qPrintable(created.error));
    auto &editor = *qobject_cast<TextBoxEdit *>(created.control);
    QCOMPARE(editor.text(), u"TextBox"_qs);
    type(editor, u"x"_qs);
    QVERIFY(editor.isEdited());
    editor.setText(u"本文"_qs);
    QVERIFY(!editor.isEdited());

    type(editor, u"y"_qs);
    QSignalSpy changed(&editor, &corvane::Control::propertyChanged);
    editor.setProperty("Font", QFont(u"Serif"_qs, 21));
    QCOMPARE(textBox(editor)->font().pointSize(), 21);
    QVERIFY(!editor.isEdited()); // this editor clears it
    QCOMPARE(changed.value(0).value(0).toString(), u"Font"_qs);

    editor.setLocked(true);
    QTest::keyClicks(textBox(editor), u"zz"_qs);
    QVERIFY(!editor.text().contains(u'z') && !textBox(editor)->testAttribute(Qt::WA_InputMethodEnabled));
    editor.setText(u"set while locked"_qs);
    QCOMPARE(editor.text(), u"set while locked"_qs);
    type(editor, u"y"_qs);
    QVERIFY(!editor.LoadFile(path("missing.txt")));
    QVERIFY(editor.isEdited());
}

void tst_textboxedit::lineEndsComeBackAsTheyWereSet()
{
    TextBoxEdit editor;
    for (const QString &text : {u"a\r\nb\r\n"_qs, u"\r\n\r\nab\r\n\r\n"_qs, u"a\nb"_qs, u"a\rb\r"_qs, u"\r\rb"_qs}) {
        editor.setText(text);
        QCOMPARE(editor.text(), text);
    }
    editor.Clear();
    type(editor, u"one"_qs);
    QTest::keyClick(textBox(editor), Qt::Key_Return);
    type(editor, u"two"_qs);
    QCOMPARE(editor.text(), u"one\r\ntwo"_qs); // the system's text files use CR LF
}

void tst_textboxedit::newAndOpenAskOnceWhenEdited()
{
    TextBoxEdit editor;
    QVERIFY(qm::test::writeFile(path("other.txt"), "other"));
    editor.setText(u"start"_qs);
    press(editor, "btnNew"); // not edited: nothing is asked
    QVERIFY(m_prompter.messages().isEmpty());
    QVERIFY(editor.text().isEmpty());

    for (const char *command : {"btnNew", "btnOpen"}) {
        editor.setText(u"start"_qs);
        type(editor, u"edited "_qs);
        m_prompter.clear();
        m_prompter.queueAnswer(Prompter::Answer::No);
        press(editor, command);
        QCOMPARE(m_prompter.texts(), QStringList(u"編集内容を破棄してもよろしいですか"_qs));
        const Prompter::Message &asked = m_prompter.messages()[0];
        QVERIFY(asked.title == QGuiApplication::applicationDisplayName() && asked.buttons == Prompter::Buttons::YesNo);
        QVERIFY(asked.defaultAnswer == Prompter::Answer::No && asked.icon == Prompter::Icon::None);
        QVERIFY(editor.text() == u"edited start"_qs && editor.isEdited());
    }
    QVERIFY(m_files.asked().isEmpty());

    m_prompter.queueAnswer(Prompter::Answer::Yes); // agreed, then the open dialog is cancelled
    press(editor, "btnOpen");
    QCOMPARE(m_files.asked().constLast().request.filter, u"ﾃｷｽﾄ ﾌｧｲﾙ (*.txt)"_qs);
    QVERIFY(editor.text() == u"edited start"_qs && editor.isEdited());

    m_prompter.queueAnswer(Prompter::Answer::Yes);
    m_files.queueFile(path("other.txt"));
    press(editor, "btnOpen");
    QCOMPARE(editor.text(), u"other"_qs);
    QVERIFY(!editor.isEdited());
}

void tst_textboxedit::filesSavedUnchangedKeepTheirBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString japanese = u"日本語のテキスト\r\nｶﾀｶﾅ①～\r\n"_qs;
    QTest::newRow("CP932, CR LF") << qm::text::cp932::encode(japanese).bytes << japanese;
    QTest::newRow("ASCII, LF") << QByteArray("one\ntwo\n") << u"one\ntwo\n"_qs;
    QTest::newRow("UTF-8") << u"𠮷野家\r\n"_qs.toUtf8() << u"𠮷野家\r\n"_qs;
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + u"漢字"_qs.toUtf8() << u"漢字"_qs;
}

void tst_textboxedit::filesSavedUnchangedKeepTheirBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QVERIFY(qm::test::writeFile(path("in.txt"), bytes));
    TextBoxEdit editor;
    QVERIFY(editor.LoadFile(path("in.txt")));
    QCOMPARE(editor.text(), text);
    QVERIFY(!editor.isEdited());
    m_files.queueFile(path("out.txt"));
    press(editor, "btnSave");
    QCOMPARE(qm::test::readFile(path("out.txt")), bytes);
    QVERIFY(m_prompter.messages().isEmpty());
}

// Never "?": a text CP932 cannot hold is written as UTF-8 behind a byte order mark.
void tst_textboxedit::textCp932CannotHoldIsSavedAsUtf8()
{
    TextBoxEdit editor;
    editor.setText(u"𠮷野家 ♥ 😀\r\n"_qs);
    type(editor, u"追記"_qs);
    m_files.queueFile(path("wide.txt"));
    press(editor, "btnSave");
    const QByteArray bytes = qm::test::readFile(path("wide.txt"));
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF") && !bytes.contains('?') && !editor.isEdited());
    TextBoxEdit reader;
    QVERIFY(reader.LoadFile(path("wide.txt")));
    QCOMPARE(reader.text(), u"追記𠮷野家 ♥ 😀\r\n"_qs);
}

void tst_textboxedit::emptyTextAndFailedSave()
{
    TextBoxEdit editor;
    editor.Clear();
    QVERIFY(qm::test::writeFile(path("empty.txt"), "old contents"));
    m_files.queueFile(path("empty.txt"));
    press(editor, "btnSave");
    QCOMPARE(QFileInfo(path("empty.txt")).size(), 0);

    // A file that cannot be written is reported, and the text stays edited.
    type(editor, u"unsaved"_qs);
    m_files.queueFile(path("empty.txt") + u"/inside.txt"_qs);
    press(editor, "btnSave");
    QCOMPARE(m_prompter.messages().size(), 1);
    QVERIFY(m_prompter.messages()[0].text.contains(u"inside.txt"_qs));
    QVERIFY(editor.isEdited());
}

void tst_textboxedit::printPrintsWhatTheDialogChose()
{
    TextBoxEdit editor;
    QStringList lines;
    for (int i = 0; i < 300; ++i)
        lines << u"行 %1"_qs.arg(i);
    editor.setText(lines.join(u"\r\n"_qs));
    select(editor, 0, 3);

    qm::desktop::ScriptedPrintService printer(path("printed.pdf"));
    corvane::CommonDialogs::setPrintService(&printer);
    printer.queueAnswer(false);
    press(editor, "btnPrint");
    QVERIFY(!QFile::exists(path("printed.pdf")));
    press(editor, "btnPrint"); // the preselected selection
    const QByteArray selection = qm::test::readFile(path("printed.pdf"));
    printer.queueWholeText();
    press(editor, "btnPrint");
    corvane::CommonDialogs::setPrintService(nullptr);
    QCOMPARE(printer.titles(), QStringList({u"印刷"_qs, u"印刷"_qs, u"印刷"_qs}));
    QCOMPARE(printer.selectionOffered(), QList<bool>({true, true, true}));
    QCOMPARE(selection.count("/Type /Page\n"), 1);
    const qsizetype pages = qm::test::readFile(path("printed.pdf")).count("/Type /Page\n");
    QVERIFY2(pages > 3, qPrintable(QString::number(pages)));
}

// Kanji whose fonts share a glyph with a radical read back from the PDF as the kanji.
void tst_textboxedit::printedKanjiReadBackAsWritten()
{
    if (!qm::test::havePdfToText())
        QSKIP("pdftotext is not installed");
    TextBoxEdit editor;
    editor.setText(u"赤い大きな本と黒い犬\r\n見る　言う　走る"_qs);
    qm::desktop::ScriptedPrintService printer(path("kanji.pdf"));
    corvane::CommonDialogs::setPrintService(&printer);
    press(editor, "btnPrint");
    corvane::CommonDialogs::setPrintService(nullptr);
    QCOMPARE(qm::test::pdfTextWithoutSpace(path("kanji.pdf")), u"赤い大きな本と黒い犬見る言う走る"_qs);
}

// The desktop's dialog preselects the selection when there is one and offers no pages.
void tst_textboxedit::printDialogOffersWhatIsPrinted()
{
    TextBoxEdit editor;
    editor.setText(u"一行目\r\n二行目"_qs);
    QStringList seen;
    for (const int length : {3, 0}) {
        select(editor, 0, length);
        QTimer::singleShot(100, &editor, [&seen] {
            auto *dialog = qobject_cast<QPrintDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            const auto button = [dialog](const char *name) {
                return dialog->findChild<QAbstractButton *>(QLatin1String(name));
            };
            QString state;
            for (const char *name : {"printAll", "printSelection", "printRange", "pagesRadioButton", "printCurrentPage"}) {
                const QAbstractButton *b = button(name);
                state += !b || b->isHidden() || !b->isEnabled() ? u'-' : b->isChecked() ? u'X' : u'o';
            }
            seen << state;
            dialog->reject();
        });
        press(editor, "btnPrint");
    }
    // All, selection, pages from, pages, current page: X chosen, o offered, - not offered.
    QCOMPARE(seen, QStringList({u"oX---"_qs, u"X----"_qs}));
}

// With Qt's Japanese installed, the print dialog has no English left.
void tst_textboxedit::printDialogSpeaksJapanese()
{
    QTranslator qtJapanese;
    if (!qtJapanese.load(QLocale(QLocale::Japanese), u"qtbase"_qs, u"_"_qs, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QSKIP("Qt's Japanese translation is not installed");
    QCoreApplication::installTranslator(&qtJapanese);
    TextBoxEdit editor;
    QStringList english;
    QTimer::singleShot(100, &editor, [&english] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        QStringList texts;
        for (const QWidget *w : dialog->findChildren<QWidget *>()) {
            texts << w->toolTip();
            if (auto *b = qobject_cast<const QAbstractButton *>(w))
                texts << b->text();
            if (auto *l = qobject_cast<const QLabel *>(w))
                texts << l->text();
            if (auto *g = qobject_cast<const QGroupBox *>(w))
                texts << g->title();
        }
        static const QRegularExpression word(u"[A-Za-z]{2,}"_qs);
        for (const QString &text : texts)
            if (QString(text).remove(u"PDF"_qs).contains(word))
                english << text;
        dialog->close();
    });
    press(editor, "btnPrint");
    QCoreApplication::removeTranslator(&qtJapanese);
    QCOMPARE(english, QStringList());
}

void tst_textboxedit::clipboardAndUndoThroughTheWidget()
{
    TextBoxEdit editor;
    editor.setText(u"abc def"_qs);
    select(editor, 0, 4);
    press(editor, "btnCut");
    QCOMPARE(editor.text(), u"def"_qs);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"abc "_qs);
    QVERIFY(editor.isEdited());
    textBox(editor)->moveCursor(QTextCursor::End);
    press(editor, "btnPaste");
    QCOMPARE(editor.text(), u"defabc "_qs);
    press(editor, "btnUndo");
    QCOMPARE(editor.text(), u"def"_qs);

    editor.setLocked(true); // the widget's rules: nothing is cut or pasted
    textBox(editor)->selectAll();
    press(editor, "btnCut");
    press(editor, "btnPaste");
    QCOMPARE(editor.text(), u"def"_qs);
}

void tst_textboxedit::inputMethodReachesTheText()
{
    TextBoxEdit editor;
    editor.setText(u"「」"_qs);
    textBox(editor)->setFocus();
    select(editor, 1, 0);
    QInputMethodEvent composing(u"にほんご"_qs, {});
    QApplication::sendEvent(textBox(editor), &composing);
    QCOMPARE(editor.text(), u"「」"_qs); // still being composed
    QVERIFY(!editor.isEdited());
    QInputMethodEvent committed(QString(), {});
    committed.setCommitString(u"日本語"_qs);
    QApplication::sendEvent(textBox(editor), &committed);
    QCOMPARE(editor.text(), u"「日本語」"_qs);
    QVERIFY(editor.isEdited());
}

void tst_textboxedit::shorterThanItsToolBar()
{
    TextBoxEdit editor;
    editor.resize(400, 300);
    editor.show();
    const int bar = editor.findChild<QToolBar *>()->height();
    QCOMPARE(textBox(editor)->geometry(), QRect(0, bar, 400, 300 - bar));
    editor.resize(200, bar - 1);
    QCOMPARE(textBox(editor)->geometry(), QRect(0, bar, 200, 300 - bar));
}

void tst_textboxedit::findAndReplaceShareOneDialog()
{
    TextBoxEdit first;
    TextBoxEdit second;
    first.setText(u"find me"_qs);
    second.setText(u"and me"_qs);
    press(first, "btnFind");
    corvane::frmFindDialog *dialog = corvane::frmFindDialog::loaded();
    QVERIFY(dialog && dialog->isVisible() && Find::control("txtReplaceString")->isHidden());
    press(second, "btnReplace");
    QVERIFY(corvane::frmFindDialog::loaded() == dialog && Find::control("txtReplaceString")->isVisible());
    Find::setText("txtFindString", u"ME"_qs);
    Find::setText("txtReplaceString", u"you"_qs);
    Find::click("cmdReplaceAll");
    QVERIFY(second.text() == u"and you"_qs && second.isEdited());
    QCOMPARE(first.text(), u"find me"_qs);
}

void tst_textboxedit::commandsByKeyAndFromTheContextMenu()
{
    TextBoxEdit editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    const QStringList commands{u"btnOpen"_qs, u"btnSave"_qs, u"btnReplace"_qs};
    QCOMPARE(editorMenuCommands(textBox(editor), false), commands);
    QCOMPARE(editorMenuCommands(textBox(editor), true), commands);

    // The discard question carries the title of the program the editor is in.
    type(editor, u"edited"_qs);
    m_prompter.queueAnswer(Prompter::Answer::Yes);
    const qsizetype asked = m_files.asked().size();
    QTest::keyClick(textBox(editor), Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_prompter.messages().size(), 1);
    QCOMPARE(m_prompter.messages()[0].title, QGuiApplication::applicationDisplayName());
    QTest::keyClick(textBox(editor), Qt::Key_F12);
    QCOMPARE(m_files.asked().size(), asked + 2);
    QVERIFY(m_files.asked().at(asked).kind == u"open"_qs && m_files.asked().at(asked + 1).kind == u"save"_qs);
    QTest::keyClick(textBox(editor), Qt::Key_H, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(corvane::frmFindDialog::loaded() && Find::control("txtReplaceString")->isVisible());
    corvane::frmFindDialog::loaded()->close();
}

QTEST_MAIN(tst_textboxedit)
#include "tst_textboxedit.moc"
