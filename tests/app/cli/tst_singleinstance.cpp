#include "tests/app/main/fixture.h"
#include "tests/app/main/resultlistwatch.h"

#include "app/common/storemessages.h"
#include "app/cli/commandline.h"
#include "app/cli/singleinstance.h"
#include "app/main/mdimain.h"
#include "app/main/startcommand.h"

#include "tests/common/testfiles.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>

#include <sys/socket.h>

using namespace qm;

namespace {

// A start hands over and ends within this time, beyond what any start of the program costs
// on the machine (loading it; the machine may be busy).
constexpr qint64 HandOverMs = 1000;

// A start of the copied program, timed from its start to its end.
class Start final
{
public:
    explicit Start(const QString &folder, const QStringList &arguments = {},
                   const QString &platform = QStringLiteral("offscreen"))
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        process.setWorkingDirectory(folder);
        process.setProcessEnvironment(env);
        QObject::connect(&process, &QProcess::finished, &process, [this] { endedAfter = clock.elapsed(); });
        clock.start();
        process.start(folder + QStringLiteral("/brindlet"), arguments);
    }
    ~Start()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    Start(const Start &) = delete;
    Start &operator=(const Start &) = delete;

    bool running() const { return process.state() == QProcess::Running; }

    QProcess process;
    QElapsedTimer clock;
    qint64 endedAfter = -1;
};

// What a start of the program costs here before it can do anything: one that ends where it
// makes its application object, since no display of that name exists. Measured while no
// program serves the folder.
qint64 startCost(const QString &folder)
{
    Start probe(folder, {}, QStringLiteral("no-such-display"));
    probe.process.waitForFinished(30000);
    return probe.endedAfter >= 0 ? probe.endedAfter : probe.clock.elapsed();
}

// The process that made the socket the folder's name leads to, or 0 when none answers. A
// socket can outlive the process that made it in a process that inherited it.
qint64 servedBy(const QString &folder)
{
    QLocalSocket probe;
    probe.connectToServer(app::SingleInstance::serverName(folder));
    if (!probe.waitForConnected(200))
        return 0;
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(int(probe.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0)
        return 0;
    return peer.pid;
}

// Starts the program and waits until it serves the folder.
bool startsServing(Start &start, const QString &folder)
{
    if (!start.process.waitForStarted())
        return false;
    const qint64 pid = start.process.processId();
    QElapsedTimer waited;
    waited.start();
    while (servedBy(folder) != pid) {
        if (waited.elapsed() > 30000 || !start.running())
            return false;
        QTest::qWait(50);
    }
    return start.running();
}

} // namespace

class tst_singleinstance final : public QObject
{
    Q_OBJECT

private slots:
    void aSecondStartHandsItsWordToTheFirst();
    void startsInARowLeaveOneProcess();
};

void tst_singleinstance::aSecondStartHandsItsWordToTheFirst()
{
    // The first program runs here, in the test, so its windows can be looked at.
    test::ProgramFixture fx;
    QVERIFY(qm::test::copyProgram(QStringLiteral(QM_BIN_DIR), fx.dir.path()));
    fx.writeSet({fx.dictionary(QStringLiteral("a.dic"), QStringLiteral("A"),
                               {{QStringLiteral("りんご"), 1, {}, {QStringLiteral("apple")}},
                                {QStringLiteral("あんず"), 1, {}, {QStringLiteral("apricot")}},
                                {QStringLiteral("ばなな"), 1, {}, {QStringLiteral("banana")}}})});
    const qint64 cost = startCost(fx.dir.path());
    store::DatabaseModule database(qm::app::storeHost(fx.prompter), fx.dir.path());
    store::Settings settings;
    app::mdiMain window(database, settings, fx.prompter);
    window.show();
    app::SingleInstance instance(fx.dir.path());
    QVERIFY(instance.start({}));
    QVERIFY(instance.isServing());
    instance.setHandler([&](const QStringList &handed) { app::runCommandLine(window, database, app::handedStartRequest(handed)); });

    test::ResultListWatch shown(window);
    Start second(fx.dir.path(), {QStringLiteral("ap")});
    QTRY_VERIFY_WITH_TIMEOUT(second.endedAfter >= 0, 20000);
    QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.process.exitCode(), 0);
    QVERIFY2(second.endedAfter < cost + HandOverMs,
             qPrintable(QStringLiteral("%1 ms, a start costs %2 ms").arg(second.endedAfter).arg(cost)));
    QTRY_COMPARE(shown.pattern, QStringLiteral("ap*"));
    QCOMPARE(shown.keywordBox, QStringLiteral("ap"));
    QCOMPARE(shown.rows, 2);
    window.close();

    // A program whose windows are gone, still backing up, keeps its place: a start meanwhile is
    // told so and ends, neither running beside it nor handing it a word nobody reads.
    instance.markClosing();
    Start meanwhile(fx.dir.path(), {QStringLiteral("ap")});
    QTRY_VERIFY_WITH_TIMEOUT(meanwhile.endedAfter >= 0, 20000);
    QCOMPARE(meanwhile.process.exitCode(), 1);
    QVERIFY(QString::fromUtf8(meanwhile.process.readAllStandardError()).contains(QStringLiteral("終了")));
    QCOMPARE(servedBy(fx.dir.path()), 0);

    // Once its process ends and the lock goes with it, a new start runs on its own.
    instance.stop();
    Start later(fx.dir.path());
    QVERIFY(startsServing(later, fx.dir.path()));
}

void tst_singleinstance::startsInARowLeaveOneProcess()
{
    QTemporaryDir folder;
    QVERIFY(qm::test::copyProgram(QStringLiteral(QM_BIN_DIR), folder.path()));
    const qint64 cost = startCost(folder.path());
    {
        // A socket that still takes connections while the program that made it is gone (a
        // process it forked holds it) does not swallow a start.
        QLocalServer leftover;
        QVERIFY(leftover.listen(app::SingleInstance::serverName(folder.path())));
        Start lone(folder.path());
        QVERIFY(startsServing(lone, folder.path()));
    }
    auto first = std::make_unique<Start>(folder.path());
    QVERIFY(startsServing(*first, folder.path()));

    Start second(folder.path());
    QTRY_VERIFY_WITH_TIMEOUT(second.endedAfter >= 0, 20000);
    QCOMPARE(second.process.exitCode(), 0);
    QVERIFY2(second.endedAfter < cost + HandOverMs,
             qPrintable(QStringLiteral("%1 ms, a start costs %2 ms").arg(second.endedAfter).arg(cost)));
    QVERIFY(first->running());

    // A program killed outright leaves its socket and its lock behind; the next start is not
    // held up by them.
    first->process.kill();
    QVERIFY(first->process.waitForFinished(5000));
    QVERIFY(QFile::exists(app::SingleInstance::serverName(folder.path())));
    Start third(folder.path());
    QVERIFY(startsServing(third, folder.path()));
}

QTEST_MAIN(tst_singleinstance)
#include "tst_singleinstance.moc"
