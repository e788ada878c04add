#include "editormenutesting.h"

#include "controls/dialogs/commondialogs.h"
#include "controls/libraryfolder.h"
#include "controls/registry.h"
#include "controls/services.h"
#include "controls/textboxhtml/textboxhtml.h"

#include "platform/desktop/filechooser.h"
#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/text/cp932.h"
#include "platform/text/textfile.h"

#include "tests/common/testfiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using corvane::Result;
using corvane::TextBoxHTML;

namespace {

void press(QWidget &editor, const char *key)
{
    QAction *action = editor.findChild<QAction *>(QLatin1String(key));
    QVERIFY2(action, key);
    action->trigger();
}

void type(QWidget &editor, const QString &text)
{
    QInputMethodEvent commit(QString(), {});
    commit.setCommitString(text);
    QApplication::sendEvent(editor.findChild<QPlainTextEdit *>(u"TextBox"_qs), &commit);
}

const QByteArray byteOrderMark("\xEF\xBB\xBF");

} // namespace

class tst_textboxhtml final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void toolBarHasPreviewInsteadOfPrint();
    void filesAreHtmlPages();
    void getTitle_data();
    void getTitle();
    void unclosedTitleIsAnErrorToTheHost();
    void fontLeavesTheEditedFlag();
    void previewShowsTheCurrentSourceInTheBrowser();
    void previewKeepsEveryCharacter_data();
    void previewKeepsEveryCharacter();
    void previewByKeyAndFromTheContextMenu();

private:
    QString preview() const { return m_folder.filePath(u"TempHTML.htm"_qs); }

    QTemporaryDir m_folder;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::RecordingNavigator m_navigator;
    qm::desktop::ScriptedFileChooser m_files;
};

void tst_textboxhtml::initTestCase()
{
    QVERIFY(m_folder.isValid());
    corvane::LibraryFolder::setPath(QDir(m_folder.path()).canonicalPath());
    corvane::Services::setPrompter(&m_prompter);
    corvane::Services::setNavigator(&m_navigator);
    corvane::CommonDialogs::setFileChooser(&m_files);
}

void tst_textboxhtml::cleanupTestCase()
{
    corvane::Services::setPrompter(nullptr);
    corvane::Services::setNavigator(nullptr);
    corvane::CommonDialogs::setFileChooser(nullptr);
    corvane::LibraryFolder::setPath({});
}

void tst_textboxhtml::init()
{
    m_prompter.clear();
    m_navigator = {};
}

void tst_textboxhtml::toolBarHasPreviewInsteadOfPrint()
{
    TextBoxHTML editor;
    QStringList keys;
    for (QAction *action : editor.findChild<QToolBar *>(u"tbEditToolBar"_qs)->actions()) {
        keys << (action->isSeparator() ? u"|"_qs : action->objectName() + u'=' + action->toolTip());
        QVERIFY(action->isSeparator() || !action->icon().pixmap(16).isNull());
    }
    QCOMPARE(keys.join(u' '),
             u"btnNew=新規作成 Ctrl+N btnOpen=開く Shift+Ctrl+O btnSave=保存 F12 | "
             "btnCut=切り取り Ctrl+X btnCopy=ｺﾋﾟｰ Ctrl+C btnPaste=貼り付け Ctrl+V btnUndo=元に戻す Ctrl+Z | "
             "btnFind=検索 Ctrl+F btnReplace=置換 Shift+Ctrl+H | btnShowImage=イメージプレビュー Shift+Ctrl+P"_qs);
}

// Open and save offer HTML pages, and keep the commands of the plain text editor.
void tst_textboxhtml::filesAreHtmlPages()
{
    TextBoxHTML editor;
    const QString page = m_folder.filePath(u"page.html"_qs);
    editor.setText(u"<html><title>保存</title></html>\r\n"_qs);
    m_files.queueFile(page);
    press(editor, "btnSave");
    QCOMPARE(qm::test::readFile(page), qm::text::cp932::encode(editor.text()).bytes);

    type(editor, u"edited"_qs);
    QVERIFY(editor.isEdited());
    m_prompter.queueAnswer(qm::desktop::Prompter::Answer::Yes);
    m_files.queueFile(page);
    press(editor, "btnOpen");
    QCOMPARE(editor.text(), u"<html><title>保存</title></html>\r\n"_qs);
    QVERIFY(!editor.isEdited());

    QCOMPARE(m_files.asked().size(), 2);
    for (const auto &asked : m_files.asked())
        QCOMPARE(asked.request.filter, u"HTML Document (*.htm *.html)"_qs);
}

void tst_textboxhtml::getTitle_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("title");
    QTest::newRow("one letter") << u"<html><title>A</title></html>"_qs << u"A"_qs;
    QTest::newRow("empty, in capitals") << u"<HTML><TITLE></TITLE></HTML>"_qs << QString();
    QTest::newRow("mixed case") << u"<Title>辞書</tItLe>"_qs << u"辞書"_qs;
    QTest::newRow("none") << u"<html><body>本文</body></html>"_qs << QString();
    QTest::newRow("two titles: the first") << u"<title>first</title><title>second</title>"_qs << u"first"_qs;
    QTest::newRow("as written") << u"<title> 辞書 &amp;\r\n索引 </title>"_qs << u" 辞書 &amp;\r\n索引 "_qs;
    QTest::newRow("a tag with attributes is not the title") << u"<title lang=\"ja\">x</title>"_qs << QString();
    QTest::newRow("a stray end before the title") << u"</title><title>late</title>"_qs << u"late"_qs;
}

void tst_textboxhtml::getTitle()
{
    QFETCH(QString, source);
    QFETCH(QString, title);
    TextBoxHTML editor;
    editor.setText(source);
    QString got = u"unset"_qs;
    const Result result = editor.GetTitle(&got);
    QVERIFY2(result, qPrintable(result.error));
    QCOMPARE(got, title);
}

// A host reaches GetTitle by name, and gets the error back rather than a title.
void tst_textboxhtml::unclosedTitleIsAnErrorToTheHost()
{
    QWidget window;
    const corvane::Registry::Creation created =
        corvane::Registry::createNew(u"Corvane.TextBoxHTML"_qs, u"TextBoxHTML"_qs, &window);
    QVERIFY2(created.control, qPrintable(created.error));
    QCOMPARE(created.control->property("Text").toString(), u"TextBoxHTML"_qs);
    created.control->setProperty("Text", u"<html><title>辞書"_qs);

    Result result;
    QString title = u"unchanged"_qs;
    QVERIFY(QMetaObject::invokeMethod(created.control, "GetTitle", Q_RETURN_ARG(corvane::Result, result),
                                      Q_ARG(QString *, &title)));
    QVERIFY(!result.ok());
    QVERIFY(result.error.contains(u"</title>"_qs));
    QCOMPARE(title, u"unchanged"_qs);
    QVERIFY(m_prompter.messages().isEmpty()); // the host decides what to tell
}

// Unlike the plain text editor, a new font leaves "Edit" as it was; "Text" clears it.
void tst_textboxhtml::fontLeavesTheEditedFlag()
{
    TextBoxHTML editor;
    const QFont original = editor.defaultFont();
    editor.setText(u"<p>本文</p>"_qs);
    QVERIFY(!editor.isEdited());
    type(editor, u"x"_qs);
    QVERIFY(editor.isEdited());

    QSignalSpy changed(&editor, &corvane::Control::propertyChanged);
    editor.setProperty("Font", QFont(u"Serif"_qs, 23));
    QVERIFY(editor.isEdited());
    QCOMPARE(editor.findChild<QPlainTextEdit *>(u"TextBox"_qs)->font().pointSize(), 23);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.value(0).value(0).toString(), u"Font"_qs);
    QCOMPARE(editor.defaultFont(), original); // the font at creation, not a live reference
    QVERIFY(editor.writeProperties().contains(u"Font"_qs));

    editor.setText(u"<p>別</p>"_qs);
    QVERIFY(!editor.isEdited());
    editor.setProperty("Font", original);
    QVERIFY(!editor.isEdited());
}

// The preview writes "TempHTML.htm" in the library's folder, from the text as it stands, and
// hands that file to the desktop; it never asks, tells or touches "Edit".
void tst_textboxhtml::previewShowsTheCurrentSourceInTheBrowser()
{
    TextBoxHTML editor;
    editor.setText(u"<p>保存済み</p>"_qs);
    type(editor, u"<h1>未保存</h1>"_qs);
    press(editor, "btnShowImage");
    QCOMPARE(qm::test::readFile(preview()), byteOrderMark + editor.text().toUtf8());
    QCOMPARE(m_navigator.opened(), QList<QUrl>{QUrl::fromLocalFile(preview())});
    QVERIFY(editor.isEdited());

    editor.Clear(); // an empty page is still shown
    press(editor, "btnShowImage");
    QCOMPARE(qm::test::readFile(preview()), byteOrderMark);
    QCOMPARE(m_navigator.opened().size(), 2);

    m_navigator.setSucceeds(false);
    press(editor, "btnShowImage");
    QVERIFY(m_prompter.messages().isEmpty());
}

void tst_textboxhtml::previewKeepsEveryCharacter_data()
{
    QTest::addColumn<QString>("source");
    QTest::newRow("in the code page") << u"<p>辞書～①ｱ</p>"_qs;
    QTest::newRow("declares Shift_JIS") << u"<meta charset=\"Shift_JIS\"><p>辞書</p>"_qs;
    QTest::newRow("outside the code page") << u"<p>𠮷野家 😀</p>"_qs;
    QTest::newRow("in a script") << u"<script>document.title = '𠮷😀';</script>"_qs;
    QTest::newRow("declares UTF-8") << u"<META CHARSET='utf-8'><p>辞書</p>"_qs;
}

// The preview is written as the viewers write a page, UTF-8 behind a byte order mark, which a
// browser follows whatever the page declares.
void tst_textboxhtml::previewKeepsEveryCharacter()
{
    QFETCH(QString, source);
    TextBoxHTML editor;
    editor.setText(source);
    press(editor, "btnShowImage");
    QCOMPARE(m_navigator.opened().size(), 1);
    const QByteArray written = qm::test::readFile(preview());
    QCOMPARE(written, byteOrderMark + source.toUtf8());
    const QString viewerPage = m_folder.filePath(u"viewer.htm"_qs);
    QVERIFY(qm::text::writeBrowserPage(viewerPage, source).ok);
    QCOMPARE(qm::test::readFile(viewerPage), written);
}

void tst_textboxhtml::previewByKeyAndFromTheContextMenu()
{
    TextBoxHTML editor;
    editor.show();
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    QPlainTextEdit *source = editor.findChild<QPlainTextEdit *>(u"TextBox"_qs);
    QCOMPARE(editorMenuCommands(source, false),
             (QStringList{u"btnOpen"_qs, u"btnSave"_qs, u"btnReplace"_qs, u"btnShowImage"_qs}));
    QTest::keyClick(source, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_navigator.opened(), QList<QUrl>{QUrl::fromLocalFile(preview())});
}

QTEST_MAIN(tst_textboxhtml)
#include "tst_textboxhtml.moc"
