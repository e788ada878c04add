// qm-bench-backup: the backup of a dictionary against a plain compact copy of it (VACUUM INTO),
// and a lookup while backups run against the same lookup alone.
//
//   qm-bench-backup [benchmark flags] --scratch DIR (--dictionary FILE | --entries N)
//
// --dictionary names the dictionary to copy (it is only read); --entries makes one of N
// entries in the scratch folder instead. Budgets: the backup (copy in small steps, checks,
// rename) within 1.5x of the plain copy, and a lookup during backups within 2x of one alone.

#include "platform/desktop/datetext.h"
#include "benchreport.h"

#include "app/store/care/backup.h"
#include "app/store/dictionary/dictionary.h"
#include "platform/sqlite/database.h"
#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

using namespace qm::bench;
using qm::store::Dictionary;

QString makeDictionary(const QString &path, int entries)
{
    QFile::remove(path);
    Dictionary::CreateDictionary(path, QStringLiteral("backup"), {}, {}, {false, false, false});
    Dictionary d(path);
    std::vector<Dictionary::NewEntry> batch;
    for (int i = 0; i < entries; ++i) {
        Dictionary::NewEntry e;
        e.entry.Viewer = 1;
        e.entry.Heading = QStringLiteral("見出し%1").arg(i);
        e.entry.Document = QByteArray(400 + i % 300, char('a' + i % 26));
        e.keywords = {QStringLiteral("key%1").arg(i), QStringLiteral("語%1").arg(i % 1000)};
        batch.push_back(std::move(e));
        if (batch.size() == 512 || i + 1 == entries) {
            d.addEntries(batch);
            batch.clear();
        }
    }
    return path;
}

// A prefix of a keyword from the middle of the dictionary, so the lookup finds rows.
QString lookupPattern(const QString &path)
{
    qm::sqlite::Database db(path, qm::sqlite::Database::OpenMode::ReadOnly);
    qm::sqlite::Statement st(db, "SELECT \"Index\" FROM \"Index\" LIMIT 1 OFFSET (SELECT count(*) / 2 FROM \"Index\")");
    const QString keyword = st.step() ? st.toText(0) : QStringLiteral("a");
    return keyword.left(2) + QLatin1Char('*');
}

class BackupSuite final
{
public:
    BackupSuite(QString dictionary, const QString &scratch)
        : m_dictionary(std::move(dictionary))
        , m_scratch(scratch)
        , m_pattern(lookupPattern(m_dictionary))
    {
    }

    void registerAll()
    {
        benchmark::RegisterBenchmark("backup", [this](benchmark::State &state) {
            for (auto _ : state)
                backUp();
        })->Iterations(3)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("vacuum_into", [this](benchmark::State &state) {
            for (auto _ : state) {
                state.PauseTiming();
                const QString target = path(QStringLiteral("vacuum.dic"));
                QFile::remove(target);
                state.ResumeTiming();
                qm::sqlite::Database db(m_dictionary, qm::sqlite::Database::OpenMode::ReadOnly);
                // The copy is attached by the engine for the time of the statement.
                sqlite3_limit(db.handle(), SQLITE_LIMIT_ATTACHED, 1);
                qm::sqlite::Statement vacuum(db, "VACUUM INTO ?1");
                vacuum.bind(1, target);
                vacuum.run();
            }
        })->Iterations(3)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("lookup", [this](benchmark::State &state) {
            Dictionary d(m_dictionary, {true, {}});
            for (auto _ : state)
                lookUp(d);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("lookup_during_backup", [this](benchmark::State &state) {
            Dictionary d(m_dictionary, {true, {}});
            std::atomic<bool> stop = false;
            // As in the program, the backups run in a thread of lower priority.
            std::thread backups([&] {
                qm::store::lowerBackupThreadPriority();
                while (!stop)
                    backUp();
            });
            for (auto _ : state)
                lookUp(d);
            stop = true;
            backups.join();
        })->Unit(benchmark::kMicrosecond);
    }

    int report(const TimingCollector &t) const
    {
        const std::vector<Budget> budgets{
            {QStringLiteral("backup vs VACUUM INTO"), t.ratio("backup", "vacuum_into"), 1.5, true, QStringLiteral("x")},
            {QStringLiteral("lookup during a backup vs alone"), t.ratio("lookup_during_backup", "lookup"), 2, true, QStringLiteral("x")},
        };
        std::printf("\ndictionary: %s, %lld bytes\n", qPrintable(m_dictionary), QFileInfo(m_dictionary).size());
        return printBudgets(budgets);
    }

private:
    QString path(const QString &name) const { return QDir(m_scratch).filePath(name); }

    // Each backup keeps only the newest generation, so the scratch folder does not grow.
    void backUp() const { qm::store::BackupDictionary(m_dictionary, path(QStringLiteral("backups")), {1, 0}); }

    void lookUp(Dictionary &d) const
    {
        const auto pattern = qm::sqlite::LikePattern::compile(m_pattern);
        benchmark::DoNotOptimize(d.searchKeyword(*pattern, 100, [](const qm::store::KeywordMatch &) {}));
    }

    QString m_dictionary;
    QString m_scratch;
    QString m_pattern;
};

} // namespace

int main(int argc, char *argv[])
{
    // As the program does: dates are converted without a look at the zone file each time.
    qm::desktop::pinLocalTimeZone();
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    try {
        QCommandLineParser parser;
        parser.addOptions({{QStringLiteral("scratch"), QStringLiteral("scratch folder"), QStringLiteral("DIR")},
                           {QStringLiteral("dictionary"), QStringLiteral("dictionary to back up"), QStringLiteral("FILE")},
                           {QStringLiteral("entries"), QStringLiteral("entries of a made dictionary"), QStringLiteral("N")}});
        parser.process(app);
        const QString scratch = parser.value(QStringLiteral("scratch"));
        if (scratch.isEmpty()) {
            std::fprintf(stderr, "qm-bench-backup: --scratch DIR is needed\n");
            return 2;
        }
        QDir(scratch).removeRecursively();
        QDir().mkpath(scratch);
        QString dictionary = parser.value(QStringLiteral("dictionary"));
        if (dictionary.isEmpty())
            dictionary = makeDictionary(QDir(scratch).filePath(QStringLiteral("made.dic")),
                                        qMax(1, parser.value(QStringLiteral("entries")).toInt()));
        BackupSuite suite(dictionary, scratch);
        return runSuite(suite);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qm-bench-backup: %s\n", e.what());
        return 2;
    }
}
