// qm-bench-server: a dictionary on a server against a file dictionary with the same rows.
//
//   qm-bench-server [benchmark flags] --large DIR --scratch DIR --brindlet EXE
//
// A private cluster is started in a temporary folder (a Unix socket only, as the tests do). The
// large set's first dictionary (DIR/Dict00.dic; only read) is exported to JSON Lines, and the file
// is imported by `brindlet --import` into an empty file and into a new server dictionary, each timed
// (budget: the server within 2x of the file). The server dictionary that import made is then
// vacuumed and analysed, as the server's own maintenance would soon do, and looked up through the
// store beside the file: a prefix filling the result list and two contains lookups (budget: each
// within 5x of the file's; the rows must be the file's). Last, `brindlet --lookup` runs through a
// set naming the server dictionary, for its peak resident size (budget: under 100 MB).

#include "benchreport.h"
#include "lookups.h"

#include "app/common/storemessages.h"
#include "app/store/server/serverschema.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/datetext.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/rtf/rtf.h"
#include "tests/common/pgcluster.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcessEnvironment>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

using namespace qm::bench;
using qm::store::DatabaseModule;

constexpr int ListLimit = 1000;
constexpr double LookupBudget = 5;
constexpr double ImportBudget = 2;
constexpr double MemoryBudgetMB = 100;
// Rounds in which the file's and the server's lookups run by turns, and the least time each
// side of a round takes: a load that comes and goes on the machine slows both sides alike.
// The rounds' median is taken in several sessions, each with the sets opened anew (so with a
// server process of its own), and the sessions' median is the ratio. The program and the
// cluster it started run on one processor meanwhile: left to the scheduler, a session whose
// server process it moves from processor to processor with every round trip took twice the
// time of the next session on a two-processor machine.
constexpr int PairedRounds = 15;
constexpr double PairedSideSeconds = 0.02;
constexpr int Sessions = 5;
constexpr int ImportRounds = 3;
const char *const ServerDictionaryName = "bench";
// A prefix that fills the list in the large set's first dictionary, and the contains lookups
// of the store benchmarks (one with few rows, one with more than the list takes).
const char *const PrefixPattern = "か*";
const char *const FewPattern = "*abuk*";
const char *const ManyPattern = "*abu*";

struct Settings {
    QString large;
    QString scratch;
    QString brindlet;
    // A server dictionary loaded with the rows already: no cluster is started and nothing is
    // imported (for a quick look at the lookups; the import's budget is then not measured).
    QString uri;
};

std::string utf8(const QString &s)
{
    return s.toStdString();
}

// What a child process took: its exit status, wall time and peak resident size.
struct ChildRun {
    int status = -1;
    double seconds = 0;
    double peakMB = 0;
};

// Runs a program with the given environment and waits for it; stdout goes to `out` (nothing:
// /dev/null), stderr stays ours.
ChildRun runChild(const QStringList &command, const QProcessEnvironment &env, const QString &out = {})
{
    std::vector<QByteArray> args;
    for (const QString &a : command)
        args.push_back(a.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> vars;
    for (const QString &v : env.toStringList())
        vars.push_back(v.toLocal8Bit());
    std::vector<char *> envp;
    for (QByteArray &v : vars)
        envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray target = out.isEmpty() ? QByteArray("/dev/null") : QFile::encodeName(out);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, target.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + utf8(command.first()));
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        throw std::runtime_error("lost " + utf8(command.first()));
    ChildRun run;
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMB = double(usage.ru_maxrss) / 1024.0;
    return run;
}

// Puts this program's threads and the server's main process on one processor, as the sessions'
// server processes it starts then are (see Sessions). False when the system refuses.
bool pinBeside(pid_t server)
{
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(std::max(::sched_getcpu(), 0), &one);
    bool pinned = ::sched_setaffinity(server, sizeof one, &one) == 0;
    const QStringList threads = QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &thread : threads)
        pinned = ::sched_setaffinity(pid_t(thread.toInt()), sizeof one, &one) == 0 && pinned;
    return pinned;
}

// A set of one dictionary, opened for reading as the program opens its set.
struct OneDictionarySet {
    OneDictionarySet(const QString &folder, const QString &member)
        : module(qm::app::storeHost(prompter), folder)
    {
        module.setReadOnly(true);
        module.setRichTextReader(&qm::rtf::rtfToPlainText);
        module.sets().add(qm::store::DictionarySet(QStringLiteral("bench"), {member}));
        module.sets().choose(0);
        module.OpenDictionarySet();
        if (!module.storage(0))
            throw std::runtime_error("cannot open " + utf8(member));
    }
    qm::desktop::ScriptedPrompter prompter;
    DatabaseModule module;
};

class ServerSuite final
{
public:
    explicit ServerSuite(const Settings &settings);

    void registerAll();
    int report(const TimingCollector &timings);

private:
    QString scratch(const QString &name) const { return QDir(m_settings.scratch).filePath(name); }
    QStringList brindlet(const QStringList &args) const { return QStringList{m_program} + args; }
    void prepareProgram();
    void openSets();
    void importBoth();
    void lookup(benchmark::State &state, OneDictionarySet &set, const QString &pattern);
    double pairedRatio(const QString &pattern);
    void compareRows();
    void measureMemory();

    Settings m_settings;
    std::optional<qm::test::PgCluster> m_cluster;
    QString m_uri;
    QString m_program;          // a read-only copy of the program, which keeps its data per user
    QProcessEnvironment m_env;  // with the per-user folders in the scratch folder
    std::optional<double> m_importRatio;
    std::optional<double> m_peakMB;
    QStringList m_disagreements;
    std::unique_ptr<OneDictionarySet> m_file;
    std::unique_ptr<OneDictionarySet> m_server;
};

ServerSuite::ServerSuite(const Settings &settings)
    : m_settings(settings)
    , m_uri(settings.uri)
{
    if (m_uri.isEmpty()) {
        m_cluster.emplace();
        m_uri = m_cluster->uri(QString::fromLatin1(ServerDictionaryName));
    }
    prepareProgram();
    if (m_cluster) {
        importBoth();
        // The server's own maintenance (autovacuum) would do this soon after a large import;
        // the lookups are measured on the dictionary as it then stands.
        m_cluster->psql(QString::fromLatin1(qm::test::PgCluster::Database), QStringLiteral("VACUUM ANALYZE"));
    }
    openSets();
    compareRows();
    measureMemory();
}

void ServerSuite::openSets()
{
    m_server.reset();
    m_file.reset();
    m_file = std::make_unique<OneDictionarySet>(scratch(QStringLiteral("file-set")),
                                                QDir(m_settings.large).filePath(QStringLiteral("Dict00.dic")));
    m_server = std::make_unique<OneDictionarySet>(scratch(QStringLiteral("server-set")), m_uri);
}

void ServerSuite::prepareProgram()
{
    QDir(m_settings.scratch).removeRecursively();
    const QString bin = scratch(QStringLiteral("bin"));
    const QString home = scratch(QStringLiteral("home"));
    if (!QDir().mkpath(home) || !QDir().mkpath(scratch(QStringLiteral("file-set")))
        || !QDir().mkpath(scratch(QStringLiteral("server-set"))))
        throw std::runtime_error("cannot make the scratch folders");
    const QString from = QFileInfo(m_settings.brindlet).absolutePath();
    if (runChild({QStringLiteral("/bin/cp"), QStringLiteral("-r"), from, bin}, QProcessEnvironment::systemEnvironment()).status != 0
        || runChild({QStringLiteral("/bin/chmod"), QStringLiteral("-R"), QStringLiteral("a-w"), bin},
                    QProcessEnvironment::systemEnvironment()).status != 0)
        throw std::runtime_error("cannot copy the program");
    m_program = QDir(bin).filePath(QFileInfo(m_settings.brindlet).fileName());
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("HOME"), home);
    m_env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    const QString data = home + QStringLiteral("/.local/share/Quillmere/Quillmere");
    QFile sets(data + QStringLiteral("/DicSets.ini"));
    if (!QDir().mkpath(data) || !sets.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the set file");
    sets.write("Quillmere\r\n\r\nOpenDictionarySetsIndex = 0\r\n\r\nDictionarySets = \"server\"\r\nDictionary = \""
               + m_uri.toUtf8() + "\"\r\n");
}

void ServerSuite::importBoth()
{
    const QString rows = scratch(QStringLiteral("rows.jsonl"));
    const QString dictionary = QDir(m_settings.large).filePath(QStringLiteral("Dict00.dic"));
    if (runChild(brindlet({QStringLiteral("--export"), dictionary, rows}), m_env).status != 0)
        throw std::runtime_error("the export of " + utf8(dictionary) + " failed");
    // A file's import waits on the disk, whose speed comes and goes: the ratio is the median of
    // rounds, each importing into an empty file and an empty server dictionary.
    std::vector<double> ratios;
    for (int round = 0; round < ImportRounds; ++round) {
        if (round > 0)
            m_cluster->psql(QString::fromLatin1(qm::test::PgCluster::Database),
                            QStringLiteral("DROP SCHEMA %1 CASCADE").arg(qm::store::server::schemaName(QString::fromLatin1(ServerDictionaryName))));
        const QString file = scratch(QStringLiteral("imported-%1.dic").arg(round));
        const ChildRun fileImport = runChild(brindlet({QStringLiteral("--import"), rows, file}), m_env);
        const ChildRun serverImport = runChild(brindlet({QStringLiteral("--import"), rows, m_uri}), m_env);
        if (fileImport.status != 0 || serverImport.status != 0)
            throw std::runtime_error("an import failed: file " + std::to_string(fileImport.status) + ", server "
                                     + std::to_string(serverImport.status));
        QFile::remove(file);
        std::printf("import of the same JSON Lines, round %d: file %s, server %s\n", round,
                    qPrintable(formatSeconds(fileImport.seconds)), qPrintable(formatSeconds(serverImport.seconds)));
        ratios.push_back(serverImport.seconds / fileImport.seconds);
    }
    std::nth_element(ratios.begin(), ratios.begin() + ImportRounds / 2, ratios.end());
    m_importRatio = ratios[ImportRounds / 2];
}

void ServerSuite::compareRows()
{
    for (const char *p : {PrefixPattern, FewPattern, ManyPattern}) {
        const QString pattern = QString::fromUtf8(p);
        const LookupRows file = storeLookup(m_file->module, pattern, ListLimit);
        const LookupRows server = storeLookup(m_server->module, pattern, ListLimit);
        std::printf("%-8s file %5zu rows, server %5zu rows\n", p, file.size(), server.size());
        if (file != server)
            m_disagreements.append(pattern);
    }
}

void ServerSuite::measureMemory()
{
    const ChildRun run = runChild(brindlet({QStringLiteral("--lookup"), QString::fromUtf8(PrefixPattern),
                                            QStringLiteral("--limit"), QString::number(ListLimit)}),
                                  m_env, scratch(QStringLiteral("lookup.txt")));
    // 0: rows found; anything else means the lookup did not run through.
    if (run.status == 0)
        m_peakMB = run.peakMB;
    std::printf("brindlet --lookup %s through the server: status %d, %.2f s, peak %.1f MB\n", PrefixPattern,
                run.status, run.seconds, run.peakMB);
}

void ServerSuite::lookup(benchmark::State &state, OneDictionarySet &set, const QString &pattern)
{
    std::size_t rows = 0;
    for (auto _ : state)
        rows = storeLookup(set.module, pattern, ListLimit).size();
    state.counters[QStringLiteral("rows").toStdString()] = double(rows);
}

double ServerSuite::pairedRatio(const QString &pattern)
{
    const auto timed = [&pattern](OneDictionarySet &set, int times) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < times; ++i)
            benchmark::DoNotOptimize(storeLookup(set.module, pattern, ListLimit).size());
        return double(timer.nsecsElapsed()) / 1e9;
    };
    std::vector<double> sessions;
    for (int session = 0; session < Sessions; ++session) {
        openSets();
        // As many lookups a side as fill its time, from the slower side's first run.
        const double once = std::max(timed(*m_file, 1), timed(*m_server, 1));
        const int times = std::max(1, int(PairedSideSeconds / std::max(once, 1e-6)));
        std::vector<double> ratios;
        for (int round = 0; round < PairedRounds; ++round) {
            const double server = timed(*m_server, times);
            ratios.push_back(server / std::max(timed(*m_file, times), 1e-9));
        }
        std::nth_element(ratios.begin(), ratios.begin() + PairedRounds / 2, ratios.end());
        sessions.push_back(ratios[PairedRounds / 2]);
        std::printf("  session %d %s %.2f\n", session, qPrintable(pattern), sessions.back());
    }
    std::nth_element(sessions.begin(), sessions.begin() + Sessions / 2, sessions.end());
    return sessions[Sessions / 2];
}

void ServerSuite::registerAll()
{
    for (const char *p : {PrefixPattern, FewPattern, ManyPattern}) {
        const QString pattern = QString::fromUtf8(p);
        benchmark::RegisterBenchmark(("lookup/file/" + std::string(p)).c_str(),
                                     [this, pattern](benchmark::State &s) { lookup(s, *m_file, pattern); })
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(3);
        benchmark::RegisterBenchmark(("lookup/server/" + std::string(p)).c_str(),
                                     [this, pattern](benchmark::State &s) { lookup(s, *m_server, pattern); })
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(3);
    }
}

int ServerSuite::report(const TimingCollector &t)
{
    if (m_cluster && !pinBeside(pid_t(m_cluster->serverProcess())))
        std::printf("the lookups' sessions run where the scheduler puts them (not on one processor)\n");
    std::vector<Budget> budgets;
    for (const auto &[what, p] : {std::pair{"prefix lookup of a full list", PrefixPattern},
                                  std::pair{"contains lookup, few rows", FewPattern},
                                  std::pair{"contains lookup, many rows", ManyPattern}}) {
        // The median of the rounds in which the two ran by turns.
        const std::string pattern(p);
        std::optional<double> ratio;
        if (t.ratio("lookup/server/" + pattern, "lookup/file/" + pattern))
            ratio = pairedRatio(QString::fromUtf8(p));
        budgets.push_back({QStringLiteral("server / file, %1 (%2)").arg(QString::fromUtf8(what), QString::fromUtf8(p)),
                           ratio, LookupBudget, true, QStringLiteral("x")});
    }
    budgets.push_back({QStringLiteral("server lookups whose rows differ from the file's"),
                       double(m_disagreements.size()), 0, true, QString()});
    budgets.push_back({QStringLiteral("peak resident size of brindlet --lookup through a server dictionary"), m_peakMB,
                       MemoryBudgetMB, true, QStringLiteral(" MB")});
    budgets.push_back({QStringLiteral("server / file, import of the same JSON Lines"),
                       m_importRatio,
                       ImportBudget, true, QStringLiteral("x")});
    if (!m_disagreements.isEmpty())
        std::printf("rows differ for: %s\n", qPrintable(m_disagreements.join(QStringLiteral(", "))));
    std::printf("\n");
    return printBudgets(budgets);
}

} // namespace

int main(int argc, char *argv[])
{
    qm::desktop::pinLocalTimeZone();
    benchmark::Initialize(&argc, argv);
    // The rich-text reader uses Qt's text engine; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        QCommandLineParser parser;
        parser.addOptions({{QStringLiteral("large"), QStringLiteral("the large set's folder"), QStringLiteral("DIR")},
                           {QStringLiteral("scratch"), QStringLiteral("scratch folder"), QStringLiteral("DIR")},
                           {QStringLiteral("brindlet"), QStringLiteral("the program"), QStringLiteral("EXE")},
                           {QStringLiteral("uri"), QStringLiteral("a server dictionary holding the rows"), QStringLiteral("URI")}});
        parser.process(app);
        Settings s{parser.value(QStringLiteral("large")), parser.value(QStringLiteral("scratch")),
                   parser.value(QStringLiteral("brindlet")), parser.value(QStringLiteral("uri"))};
        if (s.large.isEmpty() || s.scratch.isEmpty() || s.brindlet.isEmpty()) {
            std::fprintf(stderr, "qm-bench-server: --large DIR --scratch DIR --brindlet EXE are needed\n");
            return 2;
        }
        ServerSuite suite(s);
        return runSuite(suite);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qm-bench-server: %s\n", e.what());
        return 2;
    }
}
