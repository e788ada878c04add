#include "fixture.h"
#include "tests/controls/webenginetestmain.h"

#include "app/common/storemessages.h"
#include "app/main/mdimain.h"
#include "app/viewers/webviewers.h"

#include <QGuiApplication>
#include <QWebEngineView>

#include <memory>

using namespace qm;

namespace {

constexpr int slow = 30000; // the browser process can take a while to start

// Counts the times a widget's native window is made anew.
class RecreationCounter final : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WinIdChange)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

// Runs on an X server with OpenGL (see the build): there a browser drawing through OpenGL would
// need a window surface of its own kind; the program's, drawing on the processor, must not.
class tst_browserstart final : public QObject
{
    Q_OBJECT

private slots:
    void firstEmbeddedPageKeepsTheMainWindow();
};

void tst_browserstart::firstEmbeddedPageKeepsTheMainWindow()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server");
    test::ProgramFixture fx;
    const QByteArray page = "<html><head><title>page</title></head><body><p>x</p></body></html>";
    fx.writeSet({fx.dictionary(QStringLiteral("a.dic"), QStringLiteral("A"), {{QStringLiteral("頁"), 4, page, {}}})});
    {
        store::Settings settings;
        settings.setValue(store::keys::MainWindow::HTMLMode, quint8(1));
        settings.sync();
    }
    store::DatabaseModule database(qm::app::storeHost(fx.prompter), fx.dir.path());
    store::Settings settings;
    app::mdiMain window(database, settings, fx.prompter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const WId before = window.winId();
    RecreationCounter recreations;
    window.installEventFilter(&recreations);

    window.ShowDocument(0, 1);
    auto *viewer = qobject_cast<app::mdiHTMLMDI *>(window.viewers().value(0));
    QVERIFY(viewer);
    auto *browser = viewer->findChild<QWebEngineView *>(QStringLiteral("brwWebBrowser"));
    QVERIFY(browser);
    QTRY_COMPARE_WITH_TIMEOUT(browser->title(), QStringLiteral("page"), slow);
    QTest::qWait(200);
    QCOMPARE(recreations.count, 0);
    QCOMPARE(window.winId(), before);
    window.close();
}

CORVANE_WEBENGINE_TEST_MAIN(tst_browserstart)
#include "tst_browserstart.moc"
