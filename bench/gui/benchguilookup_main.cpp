// qm-bench-gui-lookup: a keyword lookup typed into the running program's main window, timed from
// the Return key to the result list shown with its rows: idle, and while a backup round of the
// set runs in the background as the program runs it (its backup schedule, on its own thread).
//
//   qm-bench-gui-lookup --set DIR --scratch DIR [--keyword TEXT] [--runs N]
//
// --set names a set folder (its DicSets.ini); its dictionaries are only read. The program's own
// folder, its per-user folders and the backups are made in the scratch folder. --keyword is what
// is typed (default: the first two characters of a keyword from the middle of the first
// dictionary); --runs the lookups timed idle before the backups and again after them, and at least
// as many during the backups (default 7).
// Budget: the median lookup during a backup within 2x of the median idle one.

#include "benchreport.h"

#include "app/common/storemessages.h"
#include "app/main/backupschedule.h"
#include "app/main/mdimain.h"
#include "app/search/frmsearchindexlist.h"
#include "app/store/care/autobackup.h"
#include "app/store/sets/databasemodule.h"
#include "app/store/settings.h"
#include "platform/desktop/programfolder.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"

#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

using namespace qm;

[[noreturn]] void fail(const QString &why)
{
    throw std::runtime_error(why.toStdString());
}

// The per-user folders (settings, data, cache) inside the scratch folder, so the bench neither
// reads nor writes the user's own; set before anything asks for a standard path.
void useScratchHome(const QString &scratch)
{
    const QString home = QDir(scratch).filePath(QStringLiteral("home"));
    const std::pair<const char *, QString> folders[] = {
        {"HOME", home},
        {"XDG_CONFIG_HOME", home + QStringLiteral("/config")},
        {"XDG_DATA_HOME", home + QStringLiteral("/data")},
        {"XDG_CACHE_HOME", home + QStringLiteral("/cache")},
        {"XDG_RUNTIME_DIR", home + QStringLiteral("/runtime")},
    };
    for (const auto &[name, path] : folders) {
        QDir().mkpath(path);
        qputenv(name, QFile::encodeName(path));
    }
    QFile::setPermissions(home + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A set file in the program folder naming the given set's dictionaries where they are.
void writeSetFile(const QString &programFolder, const QString &setFolder, desktop::Prompter &prompter)
{
    const QStringList files = store::dictionariesOfSets(QDir(setFolder).filePath(QStringLiteral("DicSets.ini")));
    if (files.isEmpty())
        fail(QStringLiteral("no dictionaries in the set %1").arg(setFolder));
    store::DatabaseModule module(app::storeHost(prompter), programFolder);
    module.sets().add(store::DictionarySet(QStringLiteral("ベンチ"), files));
    module.sets().choose(0);
    module.SaveDictionarySets();
}

// What a user would type: the start of a keyword from the middle of the dictionary.
QString keywordToType(const QString &dictionary)
{
    sqlite::Database db(dictionary, sqlite::Database::OpenMode::ReadOnly);
    sqlite::Statement st(db, "SELECT \"Index\" FROM \"Index\" LIMIT 1 OFFSET (SELECT count(*) / 2 FROM \"Index\")");
    const QString keyword = st.step() ? st.toText(0) : QString();
    if (keyword.isEmpty())
        fail(QStringLiteral("no keyword in %1").arg(dictionary));
    return keyword.left(2);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Types a keyword into the main window's keyword box and presses Return; the time runs until the
// result list shows, holding its rows. The list is closed again at once.
class LookupTimer final : public QObject
{
    Q_DISABLE_COPY_MOVE(LookupTimer)

public:
    explicit LookupTimer(app::mdiMain &window)
        : m_window(window)
        , m_list(window.findChild<app::frmSearchIndexList *>())
    {
        if (!m_list)
            fail(QStringLiteral("the main window has no result list"));
        m_list->installEventFilter(this);
    }

    // Seconds from Return to the list shown; fails when no list with rows shows.
    double lookUp(const QString &keyword)
    {
        QLineEdit *edit = m_window.cboKeyWord->lineEdit();
        edit->setFocus();
        edit->clear();
        for (const QChar c : keyword)
            QTest::sendKeyEvent(QTest::KeyAction::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        // A character the box refuses would make this another lookup than the one asked for.
        if (edit->text() != keyword)
            fail(QStringLiteral("the keyword box took %1 of %2").arg(edit->text(), keyword));
        m_shownAfter.reset();
        m_rows = 0;
        QEventLoop loop;
        // The lookup is over once the list was shown and closed, or it ended without one.
        QTimer over;
        connect(&over, &QTimer::timeout, &loop, [this, &loop] {
            if (!m_window.isLookingUp())
                loop.quit();
        });
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        m_clock.start();
        QTest::keyClick(edit, Qt::Key_Return);
        over.start(5);
        loop.exec();
        if (!m_shownAfter || m_rows == 0)
            fail(QStringLiteral("the lookup of %1 showed no rows").arg(keyword));
        return *m_shownAfter;
    }

    int rows() const { return m_rows; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_list && event->type() == QEvent::Show && !m_shownAfter) {
            m_shownAfter = double(m_clock.nsecsElapsed()) / 1e9;
            m_rows = m_list->ListIndex->topLevelItemCount();
            QTimer::singleShot(0, m_list, &app::frmSearchIndexList::reject);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    app::mdiMain &m_window;
    app::frmSearchIndexList *m_list;
    QElapsedTimer m_clock;
    std::optional<double> m_shownAfter;
    int m_rows = 0;
};

// Backup rounds of the program's set, one after another while `wanted` says so, each into a fresh
// folder so that every round copies every dictionary (a round skips what its folder holds unchanged).
class BackupRounds final
{
public:
    BackupRounds(const QString &setFile, const QString &scratch, std::function<bool()> wanted)
        : m_root(QDir(scratch).filePath(QStringLiteral("backups")))
        , m_wanted(std::move(wanted))
        , m_schedule(setFile, [this] { return nextRound(); })
    {
    }
    ~BackupRounds() { QDir(m_root).removeRecursively(); }
    BackupRounds(const BackupRounds &) = delete;
    BackupRounds &operator=(const BackupRounds &) = delete;

    void start()
    {
        // The schedule asks for the options once as it starts, to clear what killed rounds left.
        m_starting = true;
        m_schedule.start(std::chrono::milliseconds(10));
        m_starting = false;
    }
    bool running() const { return m_schedule.isRunning(); }
    int rounds() const { return m_rounds; }

private:
    // Asked by the schedule when a round is due; the round before has ended.
    store::BackupOptions nextRound()
    {
        store::BackupOptions options;
        options.root = m_root;
        options.policy = {1, 0};
        if (m_starting)
            return options;
        options.enabled = m_rounds == 0 || m_wanted();
        if (options.enabled) {
            QDir(m_root).removeRecursively();
            ++m_rounds;
        }
        return options;
    }

    QString m_root;
    std::function<bool()> m_wanted;
    int m_rounds = 0;
    bool m_starting = false;
    app::BackupSchedule m_schedule;
};

struct Options {
    QString set;
    QString scratch;
    QString keyword;
    int runs = 7;
};

Options parse(const QApplication &app)
{
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("set"), QStringLiteral("set folder (only read)"), QStringLiteral("DIR")},
                       {QStringLiteral("scratch"), QStringLiteral("scratch folder"), QStringLiteral("DIR")},
                       {QStringLiteral("keyword"), QStringLiteral("what is typed"), QStringLiteral("TEXT")},
                       {QStringLiteral("runs"), QStringLiteral("lookups timed in each state"), QStringLiteral("N")}});
    parser.process(app);
    Options o{parser.value(QStringLiteral("set")), parser.value(QStringLiteral("scratch")),
              parser.value(QStringLiteral("keyword"))};
    if (parser.isSet(QStringLiteral("runs")))
        o.runs = qMax(1, parser.value(QStringLiteral("runs")).toInt());
    if (o.set.isEmpty() || o.scratch.isEmpty())
        fail(QStringLiteral("--set DIR and --scratch DIR are needed"));
    return o;
}

// Lookups while backup rounds run: at least `runs`, and on until the round running has ended, so
// that every stage of a dictionary's backup (copy, check, sync, prune) has lookups in it.
std::vector<double> lookUpDuringBackups(LookupTimer &timer, const QString &setFile, const QString &scratch,
                                        const QString &keyword, int runs)
{
    std::vector<double> times;
    BackupRounds backups(setFile, scratch, [&] { return int(times.size()) < runs; });
    backups.start();
    QElapsedTimer sinceStart;
    sinceStart.start();
    while (int(times.size()) < runs || backups.running() || backups.rounds() == 0) {
        if (backups.rounds() == 0 && sinceStart.elapsed() > 10000)
            fail(QStringLiteral("no backup round started"));
        if (backups.running())
            times.push_back(timer.lookUp(keyword));
        // A user reads the list before the next lookup; between two rounds the next starts soon.
        QTest::qWait(backups.running() ? 50 : 1);
    }
    std::printf("backup rounds: %d\n", backups.rounds());
    return times;
}

int run(const QApplication &app)
{
    const Options options = parse(app);
    // Only what an earlier run made goes: the scratch folder may hold other things.
    for (const QString &made : {QStringLiteral("program"), QStringLiteral("home"), QStringLiteral("backups")})
        QDir(QDir(options.scratch).filePath(made)).removeRecursively();
    const QString programFolder = QDir(options.scratch).filePath(QStringLiteral("program"));
    QDir().mkpath(programFolder);
    useScratchHome(options.scratch);
    desktop::ProgramFolder::setPath(programFolder);
    desktop::ScriptedPrompter prompter;
    writeSetFile(programFolder, options.set, prompter);
    const QString keyword = options.keyword.isEmpty()
                                ? keywordToType(store::dictionariesOfSets(QDir(options.set).filePath(QStringLiteral("DicSets.ini"))).first())
                                : options.keyword;

    store::DatabaseModule database(app::storeHost(prompter), programFolder);
    // The set is only read: keys made by another version would be made anew in its files.
    bool refoldAsked = false;
    database.setProgressHandler([&refoldAsked](qint64, qint64) { return !(refoldAsked = true); });
    store::Settings settings;
    app::mdiMain window(database, settings, prompter);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window) || refoldAsked || !prompter.messages().isEmpty())
        fail(QStringLiteral("the set did not open as it is: %1").arg(prompter.texts().join(QLatin1Char(' '))));

    LookupTimer timer(window);
    timer.lookUp(keyword); // opens the search worker's connections
    // Idle lookups before and after the backups, so that a machine busy with something else for
    // a while weighs on both sides alike.
    std::vector<double> idle;
    const auto lookUpIdle = [&] {
        for (int i = 0; i < options.runs; ++i)
            idle.push_back(timer.lookUp(keyword));
    };
    lookUpIdle();
    const std::vector<double> during = lookUpDuringBackups(timer, database.setFilePath(), options.scratch, keyword, options.runs);
    lookUpIdle();

    const double idleMedian = median(idle);
    const double duringMedian = median(during);
    std::printf("set: %s, typed \"%s\", %d rows listed\n", qPrintable(options.set), qPrintable(keyword), timer.rows());
    std::printf("lookup idle: median %s of %zu (slowest %s)\n", qPrintable(bench::formatSeconds(idleMedian)), idle.size(),
                qPrintable(bench::formatSeconds(*std::max_element(idle.begin(), idle.end()))));
    std::printf("lookup during a backup: median %s of %zu (slowest %s)\n", qPrintable(bench::formatSeconds(duringMedian)),
                during.size(), qPrintable(bench::formatSeconds(*std::max_element(during.begin(), during.end()))));
    const bench::Budget budget{QStringLiteral("lookup in the running program during a backup vs idle"),
                               duringMedian / idleMedian, 2, true, QStringLiteral("x")};
    std::printf("%s\n", qPrintable(budget.line()));
    std::fflush(stdout);
    return budget.ok() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Quillmere"));
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    try {
        return run(app);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qm-bench-gui-lookup: %s\n", e.what());
        return 2;
    }
}
