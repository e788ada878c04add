#include "app/cli/commandline.h"
#include "app/cli/singleinstance.h"

#include "tests/common/testfiles.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// Command lines given to a copy of the program, as child processes with no display.
class tst_commandline final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void linesAreReadIntoRequests();
    void handedLinesReadAsSent();
    void badCommandLinesEndAtOnce_data();
    void badCommandLinesEndAtOnce();
    void windowsWithoutADisplaySayHowToStart();

private:
    struct Run {
        int status = -1;
        qint64 ms = -1;
        QString err;
    };
    Run run(const QStringList &arguments, const QString &display = {}) const;

    QTemporaryDir m_folder;
    qint64 m_helpMs = 0;
};

tst_commandline::Run tst_commandline::run(const QStringList &arguments, const QString &display) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    process.start(m_folder.filePath(QStringLiteral("brindlet")), arguments);
    Run result;
    if (!process.waitForFinished(30000))
        return result;
    result.ms = clock.elapsed();
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void tst_commandline::initTestCase()
{
    QVERIFY(qm::test::copyProgram(QStringLiteral(QM_BIN_DIR), m_folder.path()));
    // What loading the program costs here: --help does nothing else.
    const Run help = run({QStringLiteral("--help")});
    QCOMPARE(help.status, 0);
    m_helpMs = help.ms;
}

namespace {

QStringList words(std::initializer_list<const char *> utf8)
{
    QStringList list;
    for (const char *word : utf8)
        list << QString::fromUtf8(word);
    return list;
}

} // namespace

// The one parser gives each mode its request, typed, in this process.
void tst_commandline::linesAreReadIntoRequests()
{
    using namespace qm::app;
    using Mode = CommandLine::Mode;
    // The word as the keyword box takes it; after --search it may start with a dash.
    const struct {
        QStringList line;
        StartRequest start;
    } starts[] = {
        {words({" gr[a]pe\" "}), StartRequest::search(QStringLiteral("grape"))},
        {words({"--search", "-ing"}), StartRequest::search(QStringLiteral("-ing"))},
        {words({"--new-entry", "-platform", "offscreen"}), StartRequest::newEntry()},
        {{}, StartRequest{}},
    };
    for (const auto &row : starts) {
        const CommandLine line = parseCommandLine(row.line);
        QCOMPARE(line.mode, Mode::Program);
        QCOMPARE(line.start, row.start);
    }

    // The format of an exchange comes from the file's extension, whatever its letter case.
    const ExchangeRequest exported = parseCommandLine(words({"--export", "a.dic", "out.HTM"})).exchange;
    QCOMPARE(exported.direction, ExchangeRequest::Direction::Export);
    QCOMPARE(exported.exportFormat, qm::exchange::ExportFormat::Html);
    const ExchangeRequest tabs = parseCommandLine(words({"--import", "in.TSV", "b.dic"})).exchange;
    QCOMPARE(tabs.direction, ExchangeRequest::Direction::Import);
    QCOMPARE(tabs.listOptions.delimiter, QChar(u'\t'));
    QVERIFY(!tabs.jsonLines);
    QVERIFY(parseCommandLine(words({"--import", "in.jsonl", "b.dic"})).exchange.jsonLines);
}

// The running program reads a handed-over command line as the start that sent it meant it; a
// line no start sends asks for nothing.
void tst_commandline::handedLinesReadAsSent()
{
    using qm::app::StartRequest;
    for (const StartRequest &sent : {StartRequest{}, StartRequest::search(QStringLiteral("-ing")),
                                     StartRequest::search(QStringLiteral("two words")), StartRequest::newEntry()})
        QCOMPARE(qm::app::handedStartRequest(sent.arguments()), sent);
    for (const QStringList &odd : {words({"-ing"}), words({"--new-entry", "x"}), words({"--lookup", "a"}),
                                   words({"--search", " [] "}), words({"a", "b"})})
        QVERIFY2(qm::app::handedStartRequest(odd).isEmpty(), qPrintable(odd.join(QLatin1Char(' '))));
}

void tst_commandline::badCommandLinesEndAtOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    const auto row = [](const char *name, const QStringList &arguments, const char *named) {
        QTest::newRow(name) << arguments << QString::fromUtf8(named);
    };
    row("unknown", {QStringLiteral("--bogus")}, "--bogus");
    row("single dash", {QStringLiteral("-ing")}, "-ing");
    row("json alone", {QStringLiteral("--json")}, "--json");
    row("limit alone", {QStringLiteral("--limit"), QStringLiteral("5")}, "--limit");
    row("empty search", {QStringLiteral("--search"), QString()}, "--search");
    row("search without word", {QStringLiteral("--search")}, "--search");
    row("two modes", {QStringLiteral("--new-entry"), QStringLiteral("--backup")}, "--backup");
    row("word list option of lookup", {QStringLiteral("--lookup"), QStringLiteral("a"), QStringLiteral("--header")}, "--header");
    row("export without output", {QStringLiteral("--export"), QStringLiteral("a.dic")}, "--export");
    row("backup with a word", {QStringLiteral("--backup"), QStringLiteral("x")}, "--backup");
    row("two words", {QStringLiteral("a"), QStringLiteral("b")}, "a b");
}

void tst_commandline::badCommandLinesEndAtOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    for (const bool programRuns : {false, true}) {
        std::unique_ptr<QProcess> first;
        if (programRuns) {
            first = std::make_unique<QProcess>();
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            first->setProcessEnvironment(env);
            first->start(m_folder.filePath(QStringLiteral("brindlet")), {});
            QLocalSocket probe;
            QTRY_VERIFY_WITH_TIMEOUT((probe.connectToServer(qm::app::SingleInstance::serverName(m_folder.path())),
                                      probe.waitForConnected(100)),
                                     30000);
        }
        const Run bad = run(arguments);
        QCOMPARE(bad.status, 2);
        QVERIFY2(bad.err.contains(named) && bad.err.contains(QStringLiteral("brindlet --help")), qPrintable(bad.err));
        QVERIFY2(bad.ms < m_helpMs + 1000, qPrintable(QStringLiteral("%1 ms").arg(bad.ms)));
        if (first) {
            QVERIFY(first->state() == QProcess::Running);
            first->kill();
            first->waitForFinished(5000);
        }
    }
}

void tst_commandline::windowsWithoutADisplaySayHowToStart()
{
    for (const QString &display : {QString(), QStringLiteral(":97")}) {
        const Run none = run({}, display);
        QCOMPARE(none.status, 1);
        QVERIFY2(none.err.contains(QStringLiteral("画面")) && none.err.contains(QStringLiteral("xvfb-run"))
                     && none.err.contains(QStringLiteral("no display")),
                 qPrintable(none.err));
    }
    // The desktop's clipboard action with nothing copied is told so, not searched for nothing.
    const Run empty = run({QStringLiteral("--clipboard"), QStringLiteral("--search"), QStringLiteral(" ")});
    QCOMPARE(empty.status, 1);
    QVERIFY2(empty.err.contains(QStringLiteral("クリップボード")), qPrintable(empty.err));
}

QTEST_GUILESS_MAIN(tst_commandline)
#include "tst_commandline.moc"
