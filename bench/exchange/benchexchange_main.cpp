// qm-bench-exchange: import and export of the dictionary's own JSON Lines format, measured
// against the store's bulk registration of the same rows in one run.
//
//   qm-bench-exchange [benchmark flags] --scratch DIR [--entries N] [--keywords K]
//
// N entries (default 50,000) of K keywords each (default 20: a million keyword rows) are
// registered in batches with Dictionary::addEntries, exported, and imported into an empty
// dictionary. The floor: the rows the import wrote (entries, keywords, body texts, both trigram
// indexes) read back and written with plain SQL into an empty dictionary in one transaction.
// Budgets: import within 2x of the registration and within 1.5x of the floor, export no slower
// than the import, and for each run in a process of its own, a peak memory under 100 MB and, for
// the export, under 15 % of its time in the kernel.
//
//   qm-bench-exchange --peak import|export FROM TO
// runs one of them alone and prints "peak <bytes> user <us> system <us>" (the process's
// high-water mark and processor times).

#include "platform/desktop/datetext.h"
#include "benchreport.h"
#include "bodies.h"
#include "prng.h"
#include "words.h"

#include "app/exchange/exporter.h"
#include "app/exchange/importer.h"
#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionary.h"
#include "platform/rtf/rtf.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>
#include <variant>

namespace {

using namespace qm::bench;
using qm::store::Dictionary;

constexpr int BatchEntries = 512;
constexpr double MemoryBudgetMB = 100;

struct Settings {
    QString scratch;
    int entries = 50000;
    int keywords = 20;
};

using Batches = std::vector<std::vector<Dictionary::NewEntry>>;

// The rows, made once from a fixed seed so every run registers the same ones.
Batches makeRows(const Settings &s)
{
    Prng rng(42);
    const Vocabulary vocabulary(7, 20000, 400);
    KeywordFactory keywords(rng, vocabulary);
    BodyFactory bodies(rng, 300);
    const BodyMix mix;
    Batches batches;
    for (int done = 0; done < s.entries;) {
        std::vector<Dictionary::NewEntry> batch;
        for (; done < s.entries && int(batch.size()) < BatchEntries; ++done) {
            Dictionary::NewEntry e;
            e.keywords = keywords.keywords(s.keywords);
            e.entry.Viewer = mix.draw(rng);
            e.entry.Heading = e.keywords.first();
            e.entry.Document = bodies.make(e.entry.Viewer, e.entry.Heading, e.keywords);
            e.entry.RenewalDate = QDateTime(QDate(2024, 1, 1).addDays(done % 365), QTime(12, 0));
            batch.push_back(std::move(e));
        }
        batches.push_back(std::move(batch));
    }
    return batches;
}

QString freshDictionary(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    Dictionary::CreateDictionary(path, QStringLiteral("exchange"), {}, {}, {false, false, false});
    return path;
}

void exportTo(const QString &dictionary, const QString &out)
{
    Dictionary d(dictionary, {true, {}});
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write the export");
    qm::exchange::exportDictionary(d, file);
}

void importFrom(const QString &in, const QString &dictionary)
{
    // As the program does: rich-text bodies get the text their search reads.
    Dictionary d(dictionary, {false, {}, &qm::rtf::rtfToPlainText});
    QFile file(in);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the export");
    qm::exchange::importJsonLines(file, d);
}

// The tables a dictionary's rows are in, in the order they can be written, with the columns
// that hold them (rowids that other rows name included).
constexpr std::pair<const char *, const char *> FloorTables[] = {
    {"Document", "DocumentNumber, Viewer, Heading, Document, RenewalDate, HeadingKey"},
    {"\"Index\"", "rowid, \"Index\", DocumentNumber, IndexKey"},
    {"DocumentText", "DocumentNumber, TextKey"},
    {"KeyTrigram", "Trigram, FirstRow, Rows"},
    {"BodyTrigram", "Trigram, FirstRow, Rows"},
};

// Every row of those tables, read from a dictionary, to be written again with plain SQL.
class FloorRows final
{
public:
    explicit FloorRows(const QString &dictionary)
    {
        sqlite3 *db = open(dictionary, SQLITE_OPEN_READONLY);
        for (const auto &[table, columns] : FloorTables) {
            Table &t = m_tables.emplace_back();
            t.columns = std::count(columns, columns + std::strlen(columns), ',') + 1;
            t.insert = QByteArray("INSERT INTO ") + table + " (" + columns + ") VALUES (?"
                       + QByteArray(",?").repeated(t.columns - 1) + ")";
            sqlite3_stmt *st = prepare(db, QByteArray("SELECT ") + columns + " FROM " + table);
            while (sqlite3_step(st) == SQLITE_ROW)
                for (int c = 0; c < t.columns; ++c)
                    t.values.push_back(valueAt(st, c));
            sqlite3_finalize(st);
        }
        sqlite3_close_v2(db);
    }

    // Writes every row into the dictionary in one transaction.
    void writeTo(const QString &dictionary) const
    {
        sqlite3 *db = open(dictionary, SQLITE_OPEN_READWRITE);
        check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr));
        for (const Table &t : m_tables) {
            sqlite3_stmt *st = prepare(db, t.insert);
            for (std::size_t row = 0; row < t.values.size(); row += std::size_t(t.columns)) {
                for (int c = 0; c < t.columns; ++c)
                    bind(st, c + 1, t.values[row + std::size_t(c)]);
                if (sqlite3_step(st) != SQLITE_DONE)
                    check(db, SQLITE_ERROR);
                sqlite3_reset(st);
            }
            sqlite3_finalize(st);
        }
        check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr));
        sqlite3_close_v2(db);
    }

private:
    struct Blob {
        QByteArray bytes;
    };
    using Value = std::variant<std::nullptr_t, qint64, QByteArray, Blob>;
    struct Table {
        QByteArray insert;
        int columns = 0;
        std::vector<Value> values;
    };

    static sqlite3 *open(const QString &path, int flags)
    {
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr) != SQLITE_OK) {
            sqlite3_close_v2(db);
            throw std::runtime_error("cannot open " + path.toStdString());
        }
        return db;
    }
    static void check(sqlite3 *db, int rc)
    {
        if (rc != SQLITE_OK)
            throw std::runtime_error(std::string("floor: ") + sqlite3_errmsg(db));
    }
    static sqlite3_stmt *prepare(sqlite3 *db, const QByteArray &sql)
    {
        sqlite3_stmt *st = nullptr;
        check(db, sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr));
        return st;
    }
    static Value valueAt(sqlite3_stmt *st, int c)
    {
        const auto bytes = [&] { return QByteArray(static_cast<const char *>(sqlite3_column_blob(st, c)), sqlite3_column_bytes(st, c)); };
        switch (sqlite3_column_type(st, c)) {
        case SQLITE_INTEGER: return qint64(sqlite3_column_int64(st, c));
        case SQLITE_TEXT: return bytes();
        case SQLITE_BLOB: return Blob{bytes()};
        default: return nullptr;
        }
    }
    static void bind(sqlite3_stmt *st, int n, const Value &v)
    {
        if (const auto *i = std::get_if<qint64>(&v))
            sqlite3_bind_int64(st, n, *i);
        else if (const auto *text = std::get_if<QByteArray>(&v))
            sqlite3_bind_text(st, n, text->constData(), int(text->size()), SQLITE_STATIC);
        else if (const auto *blob = std::get_if<Blob>(&v))
            sqlite3_bind_blob(st, n, blob->bytes.constData(), int(blob->bytes.size()), SQLITE_STATIC);
        else
            sqlite3_bind_null(st, n);
    }

    std::vector<Table> m_tables;
};

qint64 peakBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}

class ExchangeSuite final
{
public:
    explicit ExchangeSuite(const Settings &s) : m_s(s), m_rows(makeRows(s))
    {
        QDir().mkpath(s.scratch);
        m_source = path(QStringLiteral("source.dic"));
        m_export = path(QStringLiteral("source.jsonl"));
        m_target = path(QStringLiteral("target.dic"));
    }

    void registerAll()
    {
        benchmark::RegisterBenchmark("bulk_registration", [this](benchmark::State &state) {
            for (auto _ : state) {
                state.PauseTiming();
                Dictionary d(freshDictionary(m_source));
                state.ResumeTiming();
                for (const auto &batch : m_rows)
                    d.addEntries(batch);
            }
        })->Iterations(1)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("export_jsonl", [this](benchmark::State &state) {
            for (auto _ : state)
                exportTo(m_source, m_export);
        })->Iterations(1)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("import_jsonl", [this](benchmark::State &state) {
            for (auto _ : state) {
                state.PauseTiming();
                freshDictionary(m_target);
                state.ResumeTiming();
                importFrom(m_export, m_target);
            }
        })->Iterations(1)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("import_floor_plain_sql", [this](benchmark::State &state) {
            const FloorRows rows(m_target);
            for (auto _ : state) {
                state.PauseTiming();
                const QString floor = freshDictionary(path(QStringLiteral("floor.dic")));
                state.ResumeTiming();
                rows.writeTo(floor);
            }
        })->Iterations(1)->Unit(benchmark::kMillisecond);
    }

    int report(const TimingCollector &t, const QString &self)
    {
        std::vector<Budget> budgets{
            {QStringLiteral("import of our format vs bulk registration"), t.ratio("import_jsonl", "bulk_registration"), 2, true, QStringLiteral("x")},
            {QStringLiteral("import of our format vs the same rows written with plain SQL"), t.ratio("import_jsonl", "import_floor_plain_sql"), 1.5, true, QStringLiteral("x")},
            {QStringLiteral("export vs import"), t.ratio("export_jsonl", "import_jsonl"), 1, true, QStringLiteral("x")},
            {QStringLiteral("peak memory of the import"), runAlone(self, QStringLiteral("import"), m_export, freshDictionary(m_target)).peakMB, MemoryBudgetMB, true, QStringLiteral(" MB")},
        };
        const Alone exported = runAlone(self, QStringLiteral("export"), m_source, path(QStringLiteral("again.jsonl")));
        budgets.push_back({QStringLiteral("peak memory of the export"), exported.peakMB, MemoryBudgetMB, true, QStringLiteral(" MB")});
        budgets.push_back({QStringLiteral("kernel share of the export's time"), exported.kernelPercent, 15, true, QStringLiteral(" %")});
        std::printf("\nrows: %d entries, %lld keyword rows, export %lld bytes\n", m_s.entries,
                    qint64(m_s.entries) * m_s.keywords, QFileInfo(m_export).size());
        return printBudgets(budgets);
    }

private:
    QString path(const QString &name) const { return QDir(m_s.scratch).filePath(name); }

    // What a run alone in a child process took: its peak resident size, and the share of its
    // processor time spent in the kernel.
    struct Alone {
        std::optional<double> peakMB;
        std::optional<double> kernelPercent;
    };
    static Alone runAlone(const QString &self, const QString &what, const QString &from, const QString &to)
    {
        QProcess p;
        p.start(self, {QStringLiteral("--peak"), what, from, to});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            return {};
        // "peak <bytes> user <us> system <us>"
        const QList<QByteArray> out = p.readAllStandardOutput().simplified().split(' ');
        if (out.size() != 6 || out[0] != "peak")
            return {};
        const double user = out[3].toDouble();
        const double system = out[5].toDouble();
        Alone alone{double(out[1].toLongLong()) / (1024 * 1024), std::nullopt};
        if (user + system > 0)
            alone.kernelPercent = 100 * system / (user + system);
        std::printf("%s alone: user %.0f ms, system %.0f ms\n", qPrintable(what), user / 1000, system / 1000);
        return alone;
    }

    Settings m_s;
    Batches m_rows;
    QString m_source;
    QString m_export;
    QString m_target;
};

int runPeak(const QStringList &args)
{
    if (args.size() != 4)
        return 2;
    if (args[1] == QLatin1String("import"))
        importFrom(args[2], args[3]);
    else
        exportTo(args[2], args[3]);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto micros = [](const timeval &t) { return qint64(t.tv_sec) * 1000000 + t.tv_usec; };
    std::printf("peak %lld user %lld system %lld\n", peakBytes(), micros(usage.ru_utime), micros(usage.ru_stime));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // As the program does: dates are converted without a look at the zone file each time.
    qm::desktop::pinLocalTimeZone();
    benchmark::Initialize(&argc, argv);
    // Rich-text bodies are made by Qt's text engine; no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments().mid(1);
    try {
        if (args.value(0) == QLatin1String("--peak"))
            return runPeak(args);
        QCommandLineParser parser;
        parser.addOptions({{QStringLiteral("scratch"), QStringLiteral("scratch folder"), QStringLiteral("DIR")},
                           {QStringLiteral("entries"), QStringLiteral("entries"), QStringLiteral("N")},
                           {QStringLiteral("keywords"), QStringLiteral("keywords per entry"), QStringLiteral("K")}});
        parser.process(app);
        Settings s;
        s.scratch = parser.value(QStringLiteral("scratch"));
        if (s.scratch.isEmpty()) {
            std::fprintf(stderr, "qm-bench-exchange: --scratch DIR is needed\n");
            return 2;
        }
        if (parser.isSet(QStringLiteral("entries")))
            s.entries = qMax(1, parser.value(QStringLiteral("entries")).toInt());
        if (parser.isSet(QStringLiteral("keywords")))
            s.keywords = qMax(1, parser.value(QStringLiteral("keywords")).toInt());
        ExchangeSuite suite(s);
        return runSuite(suite, QCoreApplication::applicationFilePath());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qm-bench-exchange: %s\n", e.what());
        return 2;
    }
}
