#include "webenginetestmain.h"

#include "controls/libraryfolder.h"
#include "controls/registry.h"
#include "controls/services.h"
#include "controls/webbrowser/webbrowser.h"

#include "platform/desktop/recordingnavigator.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/text/cp932.h"

#include <QAction>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolBar>
#include <QWebEngineHistory>
#include <QWebEngineView>

#include <memory>

using corvane::Registry;
using corvane::WebBrowser;

namespace {

constexpr int slow = 30000; // the browser process can take a while to start

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray page(const QString &title, const QString &body)
{
    return qm::text::cp932::encode(
               QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" "
                              "content=\"text/html; charset=Shift_JIS\"><title>%1</title></head>"
                              "<body>%2</body></html>")
                   .arg(title, body))
        .bytes;
}

} // namespace

class TestWebBrowser final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void newBrowserEmptiesAndShowsTheStartPage();
    void navigationBarAndLayout();
    void backOnAFreshBrowserDoesNothing();
    void showsALocalCp932Page();
    void localPageCannotReadOtherLocalFiles();
    void pageCannotOpenWindows();
    void webLinkInAnEntryPageOpensInTheUsersBrowser();
    void unwritableFolderStillShowsABlankPage();
    void refusesAddressesItDoesNotShow();

private:
    std::unique_ptr<WebBrowser> create();
    static QWebEngineView *viewOf(WebBrowser &browser);
    QString waitForTitle(WebBrowser &browser, const QString &file, const QByteArray &bytes,
                         const QString &startTitle);

    std::unique_ptr<QTemporaryDir> m_folder;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::RecordingNavigator m_navigator;
};

void TestWebBrowser::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    corvane::LibraryFolder::setPath(m_folder->path());
    m_prompter = {};
    m_navigator = {};
    corvane::Services::setPrompter(&m_prompter);
    corvane::Services::setNavigator(&m_navigator);
}

void TestWebBrowser::cleanup()
{
    corvane::Services::setPrompter(nullptr);
    corvane::Services::setNavigator(nullptr);
    corvane::LibraryFolder::setPath({});
}

std::unique_ptr<WebBrowser> TestWebBrowser::create()
{
    const Registry::Creation created =
        Registry::createNew(QStringLiteral("Corvane.WebBrowser"), QStringLiteral("brwMain"), nullptr);
    auto *browser = qobject_cast<WebBrowser *>(created.control);
    if (browser)
        browser->resize(640, 480);
    return std::unique_ptr<WebBrowser>(browser);
}

QWebEngineView *TestWebBrowser::viewOf(WebBrowser &browser)
{
    return browser.findChild<QWebEngineView *>(QStringLiteral("brwWebBrowser"));
}

// Shows a page written into the library's folder and returns the title its script settles on.
QString TestWebBrowser::waitForTitle(WebBrowser &browser, const QString &file,
                                     const QByteArray &bytes, const QString &startTitle)
{
    writeBytes(m_folder->filePath(file), bytes);
    QWebEngineView *view = viewOf(browser);
    if (!browser.Navigate(QUrl::fromLocalFile(m_folder->filePath(file)).toString()))
        return QStringLiteral("<refused>");
    const auto settled = [&] {
        return view->url().fileName() == file && !view->title().isEmpty()
            && view->title() != startTitle && view->title() != view->url().toString()
            && view->title() != file;
    };
    if (!QTest::qWaitFor(settled, slow))
        return QStringLiteral("<timed out on \"%1\">").arg(view->title());
    return view->title();
}

void TestWebBrowser::newBrowserEmptiesAndShowsTheStartPage()
{
    const QString start = m_folder->filePath(QStringLiteral("Default.htm"));
    writeBytes(start, QByteArray("<html><body>old start page</body></html>"));

    auto browser = create();
    QVERIFY(browser);
    QCOMPARE(QFileInfo(start).size(), 0);
    QWebEngineView *view = viewOf(*browser);
    QVERIFY(view);
    QTRY_COMPARE_WITH_TIMEOUT(view->url(), QUrl::fromLocalFile(start), slow);

    // Leaving the start page and coming back does not write the file again.
    writeBytes(start, QByteArray("<html><head><title>kept</title></head></html>"));
    browser->ShowDefault();
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("kept"), slow);
    QVERIFY(m_prompter.messages().isEmpty());
}

void TestWebBrowser::navigationBarAndLayout()
{
    auto browser = create();
    QVERIFY(browser);
    auto *bar = browser->findChild<QToolBar *>(QStringLiteral("tbToolBar"));
    QVERIFY(bar);
    QStringList keys;
    QStringList tips;
    for (QAction *action : bar->actions()) {
        keys.append(action->objectName());
        tips.append(action->toolTip());
        QVERIFY(!action->icon().isNull());
    }
    QCOMPARE(keys, (QStringList{QStringLiteral("Back"), QStringLiteral("Forward"),
                                QStringLiteral("Stop"), QStringLiteral("Refresh")}));
    QCOMPARE(tips, (QStringList{QStringLiteral("戻る"), QStringLiteral("進む"),
                                QStringLiteral("中止"), QStringLiteral("更新")}));

    browser->show(); // a hidden widget gets its resize events only when shown
    QVERIFY(QTest::qWaitForWindowExposed(browser.get()));
    QWebEngineView *view = viewOf(*browser);
    QCOMPARE(bar->geometry(), QRect(0, 0, 640, bar->height()));
    QCOMPARE(view->geometry(), QRect(0, bar->height(), 640, 480 - bar->height()));

    // No taller than the bar: the browser keeps its height, but follows the width.
    const int keptHeight = view->height();
    browser->resize(300, bar->height());
    QCOMPARE(view->geometry(), QRect(0, bar->height(), 300, keptHeight));
}

void TestWebBrowser::backOnAFreshBrowserDoesNothing()
{
    auto browser = create();
    QVERIFY(browser);
    QWebEngineView *view = viewOf(*browser);
    const QUrl start = QUrl::fromLocalFile(WebBrowser::startPagePath());
    QTRY_COMPARE_WITH_TIMEOUT(view->url(), start, slow);

    auto *back = browser->findChild<QAction *>(QStringLiteral("Back"));
    QVERIFY(back);
    back->trigger();
    QTest::qWait(300);
    QCOMPARE(view->url(), start);
    QVERIFY(m_prompter.messages().isEmpty());
}

void TestWebBrowser::showsALocalCp932Page()
{
    auto browser = create();
    QVERIFY(browser);
    QSignalSpy finished(viewOf(*browser), &QWebEngineView::loadFinished);
    const QString title = waitForTitle(
        *browser, QStringLiteral("Temp1.htm"),
        page(QStringLiteral("日本語の見出し～ｶﾅ"), QStringLiteral("<p>本文です。</p>")), {});
    QCOMPARE(title, QStringLiteral("日本語の見出し～ｶﾅ"));
    QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty() && finished.last().at(0).toBool(), slow);
}

// Everything the page tries ends up in its title: "done:" and what it could read.
void TestWebBrowser::localPageCannotReadOtherLocalFiles()
{
    writeBytes(m_folder->filePath(QStringLiteral("secret.txt")), "SECRET-CONTENT");
    const QString script = QStringLiteral(R"(
<iframe id="f" src="secret.txt"></iframe>
<script>
var got = [];
try { var x = new XMLHttpRequest(); x.open('GET', 'secret.txt', false); x.send();
      got.push('xhr=' + x.responseText); } catch (e) { got.push('xhr blocked'); }
fetch('secret.txt').then(function (r) { return r.text(); })
    .then(function (t) { got.push('fetch=' + t); }, function () { got.push('fetch blocked'); });
setTimeout(function () {
    try { got.push('frame=' + document.getElementById('f').contentDocument.body.innerText); }
    catch (e) { got.push('frame blocked'); }
    document.title = 'done:' + got.join(',');
}, 1500);
</script>)");
    auto browser = create();
    QVERIFY(browser);
    const QString title = waitForTitle(*browser, QStringLiteral("Temp2.htm"),
                                       page(QStringLiteral("start"), script),
                                       QStringLiteral("start"));
    QVERIFY2(title.startsWith(QStringLiteral("done:")), qPrintable(title));
    QVERIFY2(!title.contains(QStringLiteral("SECRET")), qPrintable(title));
}

void TestWebBrowser::pageCannotOpenWindows()
{
    const QString script = QStringLiteral(R"(
<a id="a" href="Temp3.htm" target="_blank">new</a>
<script>
var w = window.open('Temp3.htm', 'other');
document.getElementById('a').click();
setTimeout(function () { document.title = w ? 'opened' : 'none'; }, 500);
</script>)");
    auto browser = create();
    QVERIFY(browser);
    const QWidgetList before = QApplication::topLevelWidgets();
    const QString title = waitForTitle(*browser, QStringLiteral("Temp3.htm"),
                                       page(QStringLiteral("start"), script),
                                       QStringLiteral("start"));
    QCOMPARE(title, QStringLiteral("none"));
    QCOMPARE(QApplication::topLevelWidgets().size(), before.size());
}

void TestWebBrowser::webLinkInAnEntryPageOpensInTheUsersBrowser()
{
    const QString link = QStringLiteral(
        "<a href=\"https://example.org/outside\" style=\"position:fixed;left:0;top:0;"
        "width:100%;height:100%;display:block\">outside</a>");
    auto browser = create();
    QVERIFY(browser);
    browser->show();
    QVERIFY(QTest::qWaitForWindowExposed(browser.get()));
    QCOMPARE(waitForTitle(*browser, QStringLiteral("Temp4.htm"), page(QStringLiteral("link"), link),
                          {}),
             QStringLiteral("link"));

    QWebEngineView *view = viewOf(*browser);
    QWidget *surface = view->focusProxy();
    QVERIFY(surface);
    const QUrl entry = view->url();
    QTRY_VERIFY_WITH_TIMEOUT( // clicks again every 50 ms until one arrives
        [&] {
            if (m_navigator.opened().isEmpty())
                QTest::mouseClick(surface, Qt::LeftButton, {}, surface->rect().center());
            return !m_navigator.opened().isEmpty();
        }(),
        slow);
    // The first clicks may land before the page takes input; every one that lands goes outside.
    for (const QUrl &opened : m_navigator.opened())
        QCOMPARE(opened, QUrl(QStringLiteral("https://example.org/outside")));
    QCOMPARE(view->url(), entry);
    QVERIFY(m_prompter.messages().isEmpty());
}

// A folder that cannot be written (a regular file here, so that even root cannot) leaves the
// browser on a blank page, and the user is told once.
void TestWebBrowser::unwritableFolderStillShowsABlankPage()
{
    const QString notAFolder = m_folder->filePath(QStringLiteral("plain-file"));
    writeBytes(notAFolder, "x");
    corvane::LibraryFolder::setPath(notAFolder);

    auto browser = create();
    QVERIFY(browser);
    QCOMPARE(m_prompter.messages().size(), 1);
    QCOMPARE(m_prompter.messages().constFirst().title, QStringLiteral("Corvane"));
    QVERIFY(m_prompter.messages().constFirst().text.contains(QStringLiteral("Default.htm")));
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(*browser)->url(), QUrl(QStringLiteral("about:blank")), slow);

    browser->ShowDefault();
    QCOMPARE(m_prompter.messages().size(), 1);
}

void TestWebBrowser::refusesAddressesItDoesNotShow()
{
    auto browser = create();
    QVERIFY(browser);
    QVERIFY(!browser->Navigate(QStringLiteral("javascript:alert(1)")).ok());
    QVERIFY(!browser->Navigate(QStringLiteral("ms-its:help.chm")).ok());
    QVERIFY(!browser->Navigate(QString()).ok());
}

CORVANE_WEBENGINE_TEST_MAIN(TestWebBrowser)
#include "tst_webbrowser.moc"
