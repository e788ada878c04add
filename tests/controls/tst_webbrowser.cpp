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
#include <QTemporaryDir>
#include <QToolBar>
#include <QQuickWindow>
#include <QWebEngineView>

#include <memory>

using corvane::WebBrowser;

namespace {

constexpr int slow = 30000; // the browser process can take a while to start

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray cp932Page(const QString &title, const QString &body)
{
    return qm::text::cp932::encode(
               QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" "
                              "content=\"text/html; charset=Shift_JIS\"><title>%1</title></head>"
                              "<body>%2</body></html>")
                   .arg(title, body))
        .bytes;
}

} // namespace

class tst_webbrowser final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void newBrowserEmptiesAndShowsTheStartPage();
    void navigationBarAndLayout();
    void showsALocalCp932Page();
    void entryPageCannotReadFilesOrOpenWindows();
    void webLinkInAnEntryPageOpensInTheUsersBrowser();
    void unwritableFolderStillShowsABlankPage();
    void pagesAreDrawnOnTheProcessor();

private:
    std::unique_ptr<WebBrowser> create();
    QWebEngineView *view() const { return m_browser->findChild<QWebEngineView *>(QStringLiteral("brwWebBrowser")); }
    QString showAndWaitForTitle(const QString &file, const QByteArray &bytes, const QString &first);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<WebBrowser> m_browser;
    qm::desktop::ScriptedPrompter m_prompter;
    qm::desktop::RecordingNavigator m_navigator;
};

void tst_webbrowser::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    corvane::LibraryFolder::setPath(m_folder->path());
    m_prompter = {};
    m_navigator = {};
    corvane::Services::setPrompter(&m_prompter);
    corvane::Services::setNavigator(&m_navigator);
}

void tst_webbrowser::cleanup()
{
    m_browser.reset();
    corvane::Services::setPrompter(nullptr);
    corvane::Services::setNavigator(nullptr);
    corvane::LibraryFolder::setPath({});
}

std::unique_ptr<WebBrowser> tst_webbrowser::create()
{
    const auto created = corvane::Registry::createNew(QStringLiteral("Corvane.WebBrowser"),
                                                      QStringLiteral("brwMain"), nullptr);
    std::unique_ptr<WebBrowser> browser(qobject_cast<WebBrowser *>(created.control));
    if (browser) {
        browser->resize(640, 480);
        browser->show(); // a hidden widget gets its resize events only when shown
    }
    return browser;
}

// Shows a page written into the library's folder; returns the title it settles on, other than
// its first one.
QString tst_webbrowser::showAndWaitForTitle(const QString &file, const QByteArray &bytes,
                                            const QString &first)
{
    writeBytes(m_folder->filePath(file), bytes);
    if (!m_browser->Navigate(QUrl::fromLocalFile(m_folder->filePath(file)).toString()))
        return QStringLiteral("<refused>");
    const auto settled = [&] {
        const QString title = view()->title();
        return view()->url().fileName() == file && !title.isEmpty() && title != first
            && !view()->url().toString().endsWith(title);
    };
    return QTest::qWaitFor(settled, slow) ? view()->title() : QStringLiteral("<timed out>");
}

// Also: Back with only the start page in the history does nothing and shows nothing.
void tst_webbrowser::newBrowserEmptiesAndShowsTheStartPage()
{
    const QString start = m_folder->filePath(QStringLiteral("Default.htm"));
    writeBytes(start, "<html><body>old start page</body></html>");
    m_browser = create();
    QVERIFY(m_browser);
    QCOMPARE(QFileInfo(start).size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(view()->url(), QUrl::fromLocalFile(start), slow);

    m_browser->findChild<QAction *>(QStringLiteral("Back"))->trigger();
    QTest::qWait(300);
    QCOMPARE(view()->url(), QUrl::fromLocalFile(start));

    writeBytes(start, "<html><head><title>kept</title></head></html>");
    m_browser->ShowDefault(); // shows the file without writing it again
    QTRY_COMPARE_WITH_TIMEOUT(view()->title(), QStringLiteral("kept"), slow);

    // The bar's buttons drive the page's history.
    const QString next = m_folder->filePath(QStringLiteral("next.htm"));
    writeBytes(next, "<html><head><title>next</title></head></html>");
    QVERIFY(m_browser->Navigate(next));
    QTRY_COMPARE_WITH_TIMEOUT(view()->title(), QStringLiteral("next"), slow);
    m_browser->findChild<QAction *>(QStringLiteral("Back"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(view()->url(), QUrl::fromLocalFile(start), slow);
    m_browser->findChild<QAction *>(QStringLiteral("Forward"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(view()->url(), QUrl::fromLocalFile(next), slow);
    QVERIFY(m_prompter.messages().isEmpty());
    QVERIFY(!m_browser->Navigate(QStringLiteral("javascript:alert(1)")));
}

void tst_webbrowser::navigationBarAndLayout()
{
    m_browser = create();
    QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
    auto *bar = m_browser->findChild<QToolBar *>(QStringLiteral("tbToolBar"));
    QVERIFY(bar);
    QStringList keysAndTips;
    for (QAction *action : bar->actions()) {
        keysAndTips << action->objectName() << action->toolTip();
        QVERIFY(!action->icon().isNull());
    }
    QCOMPARE(keysAndTips.join(QLatin1Char(' ')), QStringLiteral("Back 戻る Forward 進む Stop 中止 Refresh 更新"));

    const int barHeight = bar->height();
    QCOMPARE(bar->geometry(), QRect(0, 0, 640, barHeight));
    QCOMPARE(view()->geometry(), QRect(0, barHeight, 640, 480 - barHeight));
    // No taller than the bar: the browser keeps its height but follows the width.
    m_browser->resize(300, barHeight);
    QCOMPARE(view()->geometry(), QRect(0, barHeight, 300, 480 - barHeight));
}

void tst_webbrowser::showsALocalCp932Page()
{
    m_browser = create();
    const QString title = QStringLiteral("日本語の見出し～ｶﾅ");
    QCOMPARE(showAndWaitForTitle(QStringLiteral("Temp1.htm"),
                                 cp932Page(title, QStringLiteral("<p>本文です。</p>")), {}),
             title);
}

// The page reports in its title what it could read and whether a window opened.
void tst_webbrowser::entryPageCannotReadFilesOrOpenWindows()
{
    writeBytes(m_folder->filePath(QStringLiteral("secret.txt")), "SECRET-CONTENT");
    const QString script = QStringLiteral(R"(
<iframe id="f" src="secret.txt"></iframe><a id="a" href="secret.txt" target="_blank">x</a>
<script>
var got = [];
try { var x = new XMLHttpRequest(); x.open('GET', 'secret.txt', false); x.send();
      got.push('xhr=' + x.responseText); } catch (e) { got.push('xhr blocked'); }
fetch('secret.txt').then(function (r) { return r.text(); })
    .then(function (t) { got.push('fetch=' + t); }, function () { got.push('fetch blocked'); });
got.push(window.open('secret.txt', 'other') ? 'window opened' : 'no window');
document.getElementById('a').click();
setTimeout(function () {
    try { got.push('frame=' + document.getElementById('f').contentDocument.body.innerText); }
    catch (e) { got.push('frame blocked'); }
    document.title = 'done:' + got.join(',');
}, 1500);
</script>)");
    m_browser = create();
    const QWidgetList windows = QApplication::topLevelWidgets();
    const QString title = showAndWaitForTitle(QStringLiteral("Temp2.htm"),
                                              cp932Page(QStringLiteral("start"), script),
                                              QStringLiteral("start"));
    QVERIFY2(title.startsWith(QStringLiteral("done:")), qPrintable(title));
    QVERIFY2(!title.contains(QStringLiteral("SECRET")), qPrintable(title));
    QVERIFY2(title.contains(QStringLiteral("no window")), qPrintable(title));
    QCOMPARE(QApplication::topLevelWidgets().size(), windows.size());
}

void tst_webbrowser::webLinkInAnEntryPageOpensInTheUsersBrowser()
{
    const QString link = QStringLiteral(
        "<a href=\"https://example.org/outside\" style=\"position:fixed;left:0;top:0;"
        "width:100%;height:100%;display:block\">outside</a>");
    m_browser = create();
    QVERIFY(QTest::qWaitForWindowExposed(m_browser.get()));
    QCOMPARE(showAndWaitForTitle(QStringLiteral("Temp3.htm"),
                                 cp932Page(QStringLiteral("link"), link), {}),
             QStringLiteral("link"));

    QWidget *surface = view()->focusProxy();
    const QUrl entry = view()->url();
    const auto clickUntilOpened = [&] { // the first clicks may land before the page takes input
        if (m_navigator.opened().isEmpty())
            QTest::mouseClick(surface, Qt::LeftButton, {}, surface->rect().center());
        return !m_navigator.opened().isEmpty();
    };
    QTRY_VERIFY_WITH_TIMEOUT(clickUntilOpened(), slow);
    for (const QUrl &opened : m_navigator.opened())
        QCOMPARE(opened, QUrl(QStringLiteral("https://example.org/outside")));
    QCOMPARE(view()->url(), entry);
}

// A regular file as the folder, so that even root cannot write into it.
void tst_webbrowser::unwritableFolderStillShowsABlankPage()
{
    const QString notAFolder = m_folder->filePath(QStringLiteral("plain-file"));
    writeBytes(notAFolder, "x");
    corvane::LibraryFolder::setPath(notAFolder);

    m_browser = create();
    QVERIFY(m_browser);
    QCOMPARE(m_prompter.messages().size(), 1); // creation and new instance both failed
    QCOMPARE(m_prompter.messages().constFirst().title, QGuiApplication::applicationDisplayName());
    QVERIFY(m_prompter.messages().constFirst().text.contains(QStringLiteral("Default.htm")));
    QTRY_COMPARE_WITH_TIMEOUT(view()->url(), QUrl(QStringLiteral("about:blank")), slow);
}

// Drawing through OpenGL would load the GL driver with the first page and make a window that
// was shown without OpenGL remake its native window.
void tst_webbrowser::pagesAreDrawnOnTheProcessor()
{
    m_browser = create();
    QCOMPARE(QQuickWindow::sceneGraphBackend(), QStringLiteral("software"));
    QVERIFY(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS").contains("--disable-gpu"));
}

CORVANE_WEBENGINE_TEST_MAIN(tst_webbrowser)
#include "tst_webbrowser.moc"
