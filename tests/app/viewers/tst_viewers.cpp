#include "tests/common/testfiles.h"
#include "tests/controls/webenginetestmain.h"

#include "app/store/settings.h"
#include "app/viewers/oleviewer.h"
#include "app/viewers/richtextviewer.h"
#include "app/viewers/webviewers.h"
#include "controls/libraryfolder.h"
#include "controls/services.h"
#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/objects/objectcontainer.h"
#include "platform/objects/objectimage.h"
#include "platform/text/cp932.h"

#include <QLabel>
#include <QPrinter>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <memory>

using namespace qm;
using ObjectType = objects::ObjectContainer::ObjectType;

namespace {

constexpr int slow = 30000; // the browser process can take a while to start

QByteArray cp932(const QString &text)
{
    return text::cp932::encode(text).bytes;
}

QWebEngineView *browserOf(const app::ViewerWindow *viewer)
{
    return viewer->findChild<QWebEngineView *>(QStringLiteral("brwWebBrowser"));
}

} // namespace

// The viewer windows on their own, each given an entry as the main window gives it.
class tst_viewers final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void richTextViewerShowsRtfAndPlainBodies();
    void objectViewer_data();
    void objectViewer();
    void embeddedUrlViewerShowsTheAddressOrSaysWhyNot();
    void embeddedHtmlViewerDecodesThePageAsTheEntryHoldsIt();
    void embeddedPagePrintsToPdf();
    void closedViewerReleasesItsPageAndProfile();
    void pageThatCannotBeWrittenIsReportedAndNotShown();

private:
    template <typename Viewer>
    Viewer *open(const QString &heading, const QByteArray &body, qint16 slot = 0, qint32 number = 1);
    QString folder() const { return m_dir->path(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<store::SharedOptions> m_options;
    std::unique_ptr<desktop::ScriptedPrompter> m_prompter;
    std::unique_ptr<desktop::RecordingNavigator> m_navigator;
    std::unique_ptr<app::ViewerContext> m_context;
    std::vector<std::unique_ptr<app::ViewerWindow>> m_viewers;
};

void tst_viewers::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_options = std::make_unique<store::SharedOptions>();
    m_options->EditorFontNames.fill(store::keys::DefaultFontName);
    m_options->EditorFontSizes.fill(10);
    m_prompter = std::make_unique<desktop::ScriptedPrompter>();
    m_navigator = std::make_unique<desktop::RecordingNavigator>();
    m_context = std::make_unique<app::ViewerContext>(app::ViewerContext{*m_options, *m_prompter, folder(), {}, {}});
    corvane::LibraryFolder::setPath(folder());
    corvane::Services::setPrompter(m_prompter.get());
    corvane::Services::setNavigator(m_navigator.get());
}

void tst_viewers::cleanup()
{
    m_viewers.clear();
    corvane::Services::setPrompter(nullptr);
    corvane::Services::setNavigator(nullptr);
    corvane::LibraryFolder::setPath({});
    m_context.reset();
    m_dir.reset();
}

template <typename Viewer>
Viewer *tst_viewers::open(const QString &heading, const QByteArray &body, qint16 slot, qint32 number)
{
    auto viewer = std::make_unique<Viewer>(*m_context);
    viewer->setAttribute(Qt::WA_DeleteOnClose, false);
    viewer->SetDocument(slot, number, heading, body, QDateTime(QDate(1998, 12, 17), QTime(10, 0)));
    viewer->resize(480, 320);
    viewer->show();
    Viewer *shown = viewer.get();
    m_viewers.push_back(std::move(viewer));
    return shown;
}

void tst_viewers::richTextViewerShowsRtfAndPlainBodies()
{
    const QByteArray rtf = cp932(QStringLiteral("{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fcharset128 Serif;}}\\f0 plain \\b bold\\b0  \\'93\\'fa\\'96\\'7b}"));
    auto *viewer = open<app::mdiRichTextBox>(QStringLiteral("書式"), rtf);
    QCOMPARE(viewer->windowTitle(), QStringLiteral("書式"));
    QCOMPARE(viewer->label1()->text(), QStringLiteral("書式"));
    const QString shown = viewer->RTFBox->toPlainText();
    QVERIFY2(shown.contains(QStringLiteral("plain bold 日本")), qPrintable(shown));
    QTextCursor cursor(viewer->RTFBox->document());
    cursor.setPosition(int(shown.indexOf(QStringLiteral("bold"))) + 1);
    QVERIFY(cursor.charFormat().font().bold());
    QVERIFY(viewer->RTFBox->isReadOnly());

    // A body that is no RTF is shown as it is, in the editor font of rich text.
    viewer = open<app::mdiRichTextBox>(QStringLiteral("文"), cp932(QStringLiteral("ただの文です")));
    QCOMPARE(viewer->RTFBox->toPlainText(), QStringLiteral("ただの文です"));
    QCOMPARE(viewer->RTFBox->document()->defaultFont().pointSizeF(), 10.0);
}

void tst_viewers::objectViewer_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("shown");
    QTest::newRow("embedded file") << "embedded" << int(ObjectType::Embedded) << QStringLiteral("メモ.txt");
    QTest::newRow("link") << "link" << int(ObjectType::Linked) << QStringLiteral("先.txt\n%1/先.txt");
    QTest::newRow("vanished link") << "vanished" << int(ObjectType::Linked)
                                   << QStringLiteral("リンク先が見つかりません\n%1/先.txt");
    QTest::newRow("unreadable image") << "unreadable" << int(ObjectType::None)
                                      << QStringLiteral("このオブジェクトは表示できません。");
}

// The stored image goes through "Temp<number>_<slot>.ole" in the program folder.
void tst_viewers::objectViewer()
{
    QFETCH(QString, kind);
    QFETCH(int, type);
    QFETCH(QString, shown);
    const QString target = folder() + QStringLiteral("/先.txt");
    QVERIFY(test::writeFile(target, "linked"));
    QByteArray image = "not an object image";
    if (kind == QLatin1String("embedded"))
        image = objects::image::toBytes(objects::embedData(QStringLiteral("メモ.txt"), QStringLiteral("text/plain"), "abc"));
    else if (kind != QLatin1String("unreadable"))
        image = objects::image::toBytes(*objects::linkFile(target));
    if (kind == QLatin1String("vanished"))
        QVERIFY(QFile::remove(target));

    auto *viewer = open<app::mdiOLEContainer>(QStringLiteral("物"), image, 2, 7);
    QCOMPARE(int(viewer->oleOLEContainer->objectType()), type);
    QCOMPARE(viewer->oleOLEContainer->displayText(), shown.contains(QLatin1String("%1")) ? shown.arg(folder()) : shown);
    QCOMPARE(test::readFile(folder() + QStringLiteral("/Temp7_2.ole")), image);
    viewer->grab();
}

void tst_viewers::embeddedUrlViewerShowsTheAddressOrSaysWhyNot()
{
    const QString address = QStringLiteral("http://127.0.0.1:9/entry");
    auto *viewer = open<app::mdiURLMDI>(QStringLiteral("住所"), cp932(address));
    QCOMPARE(viewer->GetURL(), address);
    QTRY_COMPARE_WITH_TIMEOUT(browserOf(viewer)->url(), QUrl(address), slow);
    QVERIFY(m_prompter->messages().isEmpty());

    // An address the browser does not show is refused; the user is told instead of a blank page.
    auto *refused = open<app::mdiURLMDI>(QStringLiteral("拒否"), cp932(QStringLiteral("ftp://example.invalid/file")));
    QCOMPARE(m_prompter->messages().size(), 1);
    QVERIFY2(m_prompter->texts().constFirst().contains(QStringLiteral("ftp://example.invalid/file")),
             qPrintable(m_prompter->texts().constFirst()));
    QVERIFY(browserOf(refused)->url().scheme() != QLatin1String("ftp"));
}

// The page declares another charset than the one the program writes it in; the browser must
// still read it as the entry holds it.
void tst_viewers::embeddedHtmlViewerDecodesThePageAsTheEntryHoldsIt()
{
    const QString title = QStringLiteral("日本語の題名～ｶﾅ");
    const QByteArray page = cp932(QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head>"
                                                 "<body><p>本文です。</p></body></html>").arg(title));
    auto *viewer = open<app::mdiHTMLMDI>(QStringLiteral("頁"), page, 1, 3);
    const QString file = folder() + QStringLiteral("/Temp3_1.htm");
    QVERIFY(test::readFile(file).startsWith("\xEF\xBB\xBF<html>"));
    QTRY_COMPARE_WITH_TIMEOUT(browserOf(viewer)->url(), QUrl::fromLocalFile(file), slow);
    QTRY_COMPARE_WITH_TIMEOUT(browserOf(viewer)->title(), title, slow);
    QVERIFY(m_prompter->messages().isEmpty());
}

// A viewer deletes itself when closed, and its page and the profile made for it go with it.
void tst_viewers::closedViewerReleasesItsPageAndProfile()
{
    QPointer<app::mdiHTMLMDI> viewer = new app::mdiHTMLMDI(*m_context);
    viewer->SetDocument(0, 1, QStringLiteral("頁"), "<html><body>x</body></html>", QDateTime());
    viewer->show();
    QTRY_VERIFY_WITH_TIMEOUT(browserOf(viewer)->url().isLocalFile(), slow);
    const QPointer<QWebEnginePage> page = browserOf(viewer)->page();
    const QPointer<QWebEngineProfile> profile = page->profile();
    QVERIFY(profile && profile->isOffTheRecord());
    viewer->close();
    QTRY_VERIFY(!viewer);
    QVERIFY(!page);
    QVERIFY(!profile);
}

// The page an embedded viewer shows prints into a PDF file with its text; a viewer that hands
// the page to the desktop's browser has none to print.
void tst_viewers::embeddedPagePrintsToPdf()
{
    const QByteArray page = cp932(QStringLiteral("<html><body><p>印刷する頁の本文</p></body></html>"));
    auto *viewer = open<app::mdiHTMLMDI>(QStringLiteral("頁"), page, 1, 4);
    QTRY_VERIFY_WITH_TIMEOUT(!browserOf(viewer)->page()->isLoading() && browserOf(viewer)->url().isLocalFile(), slow);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = folder() + QStringLiteral("/page.pdf");
    printer.setOutputFileName(pdf);
    QVERIFY(viewer->printPage(printer));
    QVERIFY(test::readFile(pdf).startsWith("%PDF"));
    if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty()) {
        QProcess extract;
        extract.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(extract.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(extract.readAllStandardOutput()).contains(QStringLiteral("印刷する頁の本文")));
    }

    auto *external = open<app::mdiHTML>(QStringLiteral("外"), page, 1, 5);
    printer.setOutputFileName(folder() + QStringLiteral("/external.pdf"));
    QVERIFY(!external->printPage(printer));
    QVERIFY(!QFile::exists(printer.outputFileName()));
}

// A program folder that is a plain file: even root cannot write into it.
void tst_viewers::pageThatCannotBeWrittenIsReportedAndNotShown()
{
    const QString notAFolder = folder() + QStringLiteral("/plain-file");
    QVERIFY(test::writeFile(notAFolder, "x"));
    m_context->programFolder = notAFolder;
    const QByteArray page = cp932(QStringLiteral("<p>新しい頁</p>"));

    open<app::mdiHTML>(QStringLiteral("外"), page);
    QVERIFY(m_navigator->opened().isEmpty());
    auto *embedded = open<app::mdiHTMLMDI>(QStringLiteral("内"), page);
    QCOMPARE(m_prompter->messages().size(), 2);
    for (const QString &text : m_prompter->texts())
        QVERIFY2(text.startsWith(QStringLiteral("ページを表示するための一時ファイルを書き込めませんでした。")), qPrintable(text));
    QTest::qWait(500);
    QVERIFY(!browserOf(embedded)->url().fileName().startsWith(QLatin1String("Temp")));
}

CORVANE_WEBENGINE_TEST_MAIN(tst_viewers)
#include "tst_viewers.moc"
