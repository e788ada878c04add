// qm-bench-exchange: import and export of the dictionary's own JSON Lines format, measured
// against the store's bulk registration of the same rows in one run.
//
//   qm-bench-exchange [benchmark flags] --scratch DIR [--entries N] [--keywords K]
//
// N entries (default 50,000) of K keywords each (default 20: a million keyword rows) are
// registered in batches with Dictionary::addEntries, exported, and imported into an empty
// dictionary. Budgets: import within 2x of the registration, export no slower than the import,
// and the peak memory of either, each run in a process of its own, under 100 MB.
//
//   qm-bench-exchange --peak import|export FROM TO
// runs one of them alone and prints "peak <bytes>" (the process's high-water mark).

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

#include <cstdio>
#include <unistd.h>

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
    }

    int report(const TimingCollector &t, const QString &self)
    {
        const std::vector<Budget> budgets{
            {QStringLiteral("import of our format vs bulk registration"), t.ratio("import_jsonl", "bulk_registration"), 2, true, QStringLiteral("x")},
            {QStringLiteral("export vs import"), t.ratio("export_jsonl", "import_jsonl"), 1, true, QStringLiteral("x")},
            {QStringLiteral("peak memory of the import"), peakOf(self, QStringLiteral("import"), m_export, freshDictionary(m_target)), MemoryBudgetMB, true, QStringLiteral(" MB")},
            {QStringLiteral("peak memory of the export"), peakOf(self, QStringLiteral("export"), m_source, path(QStringLiteral("again.jsonl"))), MemoryBudgetMB, true, QStringLiteral(" MB")},
        };
        std::printf("\nrows: %d entries, %lld keyword rows, export %lld bytes\n", m_s.entries,
                    qint64(m_s.entries) * m_s.keywords, QFileInfo(m_export).size());
        int over = 0;
        for (const Budget &b : budgets) {
            std::printf("%s\n", qPrintable(b.line()));
            over += b.ok() ? 0 : 1;
        }
        return over == 0 ? 0 : 1;
    }

private:
    QString path(const QString &name) const { return QDir(m_s.scratch).filePath(name); }

    static std::optional<double> peakOf(const QString &self, const QString &what, const QString &from, const QString &to)
    {
        QProcess p;
        p.start(self, {QStringLiteral("--peak"), what, from, to});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            return std::nullopt;
        const QByteArray out = p.readAllStandardOutput().trimmed();
        if (!out.startsWith("peak "))
            return std::nullopt;
        return double(out.mid(5).toLongLong()) / (1024 * 1024);
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
    std::printf("peak %lld\n", peakBytes());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
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
        suite.registerAll();
        TimingCollector timings(isatty(STDOUT_FILENO) != 0);
        benchmark::RunSpecifiedBenchmarks(&timings);
        benchmark::Shutdown();
        return suite.report(timings, QCoreApplication::applicationFilePath());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qm-bench-exchange: %s\n", e.what());
        return 2;
    }
}
