// qm-bench-store: the speed budgets of the dictionary store, measured as ratios in one run.
//
//   qm-bench-store [benchmark flags] --small DIR --large DIR --scratch DIR [--memory-probe EXE]
//
// DIR are sets written by qm-gendict (10 dictionaries of 1,000 and of 1,000,000 keyword rows
// for the real budgets); the scratch folder gets a dictionary for the registration runs and
// the copies of the large set's first dictionary that are compacted and edited; the sets are
// only read.

#include "platform/desktop/datetext.h"
#include "benchreport.h"
#include "bodies.h"
#include "lookups.h"
#include "searchbench.h"
#include "words.h"

#include "app/common/storemessages.h"
#include "app/store/dictionary/bodytext.h"
#include "app/store/care/compaction.h"
#include "app/store/sets/databasemodule.h"
#include "platform/desktop/scriptedprompter.h"
#include "platform/rtf/rtf.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <sqlite3.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <map>

namespace {

using namespace qm::bench;
using qm::store::DatabaseModule;
using qm::store::Dictionary;

constexpr int ListLimit = 1000;   // rows the result list takes
constexpr int BulkEntries = 100;  // entries per bulk registration
constexpr int EditedKeywords = 10; // keywords an update takes out of an entry and puts in
constexpr int MemoryLookups = 100;

// As the program does: rich-text bodies are searched on their text.
const Dictionary::Options WithReader{false, {}, &qm::rtf::rtfToPlainText};

struct Folders {
    QString small;
    QString large;
    QString scratch;
    QString memoryProbe;
};

// A set loaded from its folder as the program does at start-up.
struct LoadedSet {
    explicit LoadedSet(const QString &folder)
        : module(qm::app::storeHost(prompter), folder)
    {
        module.setRichTextReader(WithReader.richText);
        module.LoadDictionarySets();
    }
    QStringList paths() const
    {
        return module.sets().at(module.OpenDictionarySetsIndex()).fileNames();
    }
    qm::desktop::ScriptedPrompter prompter;
    DatabaseModule module;
};

std::string utf8(const QString &s)
{
    return s.toStdString();
}

// Copies a file over another and flushes the copy, so that none of its writing is left to
// overlap a timed run.
void copyFlushed(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error(utf8(QStringLiteral("cannot copy %1 to %2").arg(from, to)));
    const int fd = ::open(QFile::encodeName(to).constData(), O_RDONLY | O_CLOEXEC);
    const bool flushed = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0)
        ::close(fd);
    if (!flushed)
        throw std::runtime_error(utf8(QStringLiteral("cannot flush %1").arg(to)));
}

// A dictionary file and the side files a compaction or a transaction leaves beside it.
void removeDictionaryFiles(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    QFile::remove(qm::store::compactionBackupPath(path));
}

class StoreSuite final
{
public:
    explicit StoreSuite(const Folders &folders);
    ~StoreSuite();

    void registerAll();
    int report(const TimingCollector &timings);

private:
    void lookupStore(benchmark::State &state, const QString &pattern);
    void lookupRaw(benchmark::State &state, const QString &pattern);
    void lookupFullScan(benchmark::State &state, const QString &pattern);
    void openSet(benchmark::State &state, LoadedSet &set);
    void closeSet(benchmark::State &state, LoadedSet &set);
    void registerOne(benchmark::State &state);
    void registerBulk(benchmark::State &state);
    void compactStore(benchmark::State &state);
    void compactVacuumInto(benchmark::State &state);
    void editRegister(benchmark::State &state);
    void editUpdate(benchmark::State &state);
    const Dictionary::NewEntry &nextNewEntry() { return m_newEntries[m_nextEntry++ % m_newEntries.size()]; }
    void prepareScratch();
    QString scratchPath(const QString &name) const { return QDir(m_folders.scratch).filePath(name); }
    void check(const QString &pattern, const char *variant, const LookupRows &rows);

    std::optional<double> peakMemoryMB();
    struct LookupRatios {
        std::optional<double> worstRaw;   // the highest store/raw over the patterns
        std::optional<double> leastFull;  // the lowest full-scan/store over the patterns
    };
    LookupRatios printLookupTable(const TimingCollector &t);

    Folders m_folders;
    LoadedSet m_small;
    LoadedSet m_large;
    LoadedSet m_lookupSet;   // stays open for the lookups
    RawRangeScan m_raw;
    std::unique_ptr<Dictionary> m_scratch;
    // The large set's first dictionary: copied into the scratch folder before each compaction.
    QString m_largeFirst;
    qint64 m_largeFirstRows = 0;
    // A copy of it that entries are registered in and updated in, so its indexes are full size.
    std::unique_ptr<Dictionary> m_edit;
    qint64 m_editEntries = 0;   // entries 1 to this were generated
    qint64 m_nextUpdate = 0;
    std::vector<Dictionary::NewEntry> m_newEntries;
    std::size_t m_nextEntry = 0;
    std::map<QString, LookupRows> m_storeRows;
    QStringList m_disagreements;
    std::unique_ptr<SearchSuite> m_search; // contains lookups and the heading grid
};

StoreSuite::StoreSuite(const Folders &folders)
    : m_folders(folders)
    , m_small(folders.small)
    , m_large(folders.large)
    , m_lookupSet(folders.large)
    , m_raw(m_lookupSet.paths())
{
    m_lookupSet.module.OpenDictionarySet();
    for (const QString &p : prefixPatterns() + QStringList{leadingWildcardPattern()})
        m_storeRows[p] = storeLookup(m_lookupSet.module, p, ListLimit);
    prepareScratch();
    m_search = std::make_unique<SearchSuite>(folders.small, m_lookupSet.module, ListLimit);
}

StoreSuite::~StoreSuite()
{
    m_edit.reset();
    for (const QString &name : {QStringLiteral("Compact.dic"), QStringLiteral("Vacuum.dic"), QStringLiteral("Edit.dic")})
        removeDictionaryFiles(scratchPath(name));
    QFile::remove(qm::store::compactionTempPath(scratchPath(QStringLiteral("Compact.dic"))));
}

void StoreSuite::prepareScratch()
{
    const QString path = QDir(m_folders.scratch).filePath(QStringLiteral("Register.dic"));
    QDir().mkpath(m_folders.scratch);
    QFile::remove(path);
    Dictionary::CreateDictionary(path, QStringLiteral("登録"), {}, {}, {false, false, false});
    const QStringList large = m_large.paths();
    if (large.isEmpty())
        throw std::runtime_error("the large set has no dictionary");
    m_largeFirst = large.first();
    const QString edit = scratchPath(QStringLiteral("Edit.dic"));
    removeDictionaryFiles(edit);
    copyFlushed(m_largeFirst, edit);
    m_edit = std::make_unique<Dictionary>(edit, WithReader);
    m_largeFirstRows = m_edit->indexRowCount();
    m_editEntries = m_edit->documentRowCount();
    m_scratch = std::make_unique<Dictionary>(path, WithReader);
    Prng rng(7);
    const Vocabulary vocabulary(7, 2000, 100);
    KeywordFactory keywords(rng, vocabulary);
    BodyFactory bodies(rng, 600);
    const BodyMix mix;
    for (int i = 0; i < 1000; ++i) {
        Dictionary::NewEntry e;
        e.keywords = keywords.keywords(20);
        e.entry.Viewer = mix.draw(rng);
        e.entry.Heading = e.keywords[0];
        e.entry.Document = bodies.make(e.entry.Viewer, e.entry.Heading, e.keywords);
        e.entry.RenewalDate = QDateTime(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC);
        m_newEntries.push_back(std::move(e));
    }
}

void StoreSuite::check(const QString &pattern, const char *variant, const LookupRows &rows)
{
    const QString diff = firstDifference(m_storeRows[pattern], rows);
    if (!diff.isEmpty())
        m_disagreements.append(QStringLiteral("%1 on %2: %3").arg(QString::fromLatin1(variant), pattern, diff));
}

void StoreSuite::lookupStore(benchmark::State &state, const QString &pattern)
{
    std::int64_t rows = 0;
    storeLookup(m_lookupSet.module, pattern, ListLimit); // warm the page cache, as raw does
    for (auto _ : state) {
        const auto outcome = m_lookupSet.module.search(
            qm::store::SearchRequest::keyword(pattern, ListLimit),
            [](const qm::store::SlotMatch &m) { benchmark::DoNotOptimize(m.match.DocumentNumber); });
        rows = outcome.count;
    }
    state.counters["rows"] = double(rows);
}

void StoreSuite::lookupRaw(benchmark::State &state, const QString &pattern)
{
    const RawRangeScan::Range range = RawRangeScan::rangeOf(pattern);
    quint64 checksum = 0;
    int rows = m_raw.scan(range, ListLimit, checksum); // its connections have their own cache
    for (auto _ : state)
        rows = m_raw.scan(range, ListLimit, checksum);
    benchmark::DoNotOptimize(checksum);
    state.counters["rows"] = rows;
    check(pattern, "raw range scan", m_raw.rows(range, ListLimit));
}

void StoreSuite::lookupFullScan(benchmark::State &state, const QString &pattern)
{
    LookupRows rows;
    for (auto _ : state)
        rows = fullScanRows(m_lookupSet.module, pattern, ListLimit);
    state.counters["rows"] = double(rows.size());
    check(pattern, "full scan", rows);
}

void StoreSuite::openSet(benchmark::State &state, LoadedSet &set)
{
    for (auto _ : state) {
        set.module.OpenDictionarySet();
        state.PauseTiming();
        if (set.module.OpenDictionarySetsIndex() == -1)
            state.SkipWithError("the set did not open");
        // Closed as the program closes a set, so that the next round opens every file anew.
        set.module.CloseDictionarySet();
        state.ResumeTiming();
    }
}

void StoreSuite::closeSet(benchmark::State &state, LoadedSet &set)
{
    for (auto _ : state) {
        state.PauseTiming();
        set.module.OpenDictionarySet();
        state.ResumeTiming();
        set.module.CloseDictionarySet();
    }
}

void StoreSuite::registerOne(benchmark::State &state)
{
    for (auto _ : state) {
        const Dictionary::NewEntry &e = m_newEntries[m_nextEntry++ % m_newEntries.size()];
        benchmark::DoNotOptimize(m_scratch->addEntry(e.entry, e.keywords));
    }
    state.SetItemsProcessed(state.iterations());
}

void StoreSuite::registerBulk(benchmark::State &state)
{
    std::vector<Dictionary::NewEntry> batch;
    for (auto _ : state) {
        state.PauseTiming();
        batch.clear();
        for (int i = 0; i < BulkEntries; ++i)
            batch.push_back(m_newEntries[m_nextEntry++ % m_newEntries.size()]);
        state.ResumeTiming();
        m_scratch->addEntries(batch);
    }
    state.SetItemsProcessed(state.iterations() * BulkEntries);
}

// The store's compaction of a fresh copy of the large set's first dictionary, as the program
// does it: a compact copy, its keys recomputed, checked whole, swapped in keeping a backup.
void StoreSuite::compactStore(benchmark::State &state)
{
    const QString path = scratchPath(QStringLiteral("Compact.dic"));
    for (auto _ : state) {
        state.PauseTiming();
        removeDictionaryFiles(path);
        copyFlushed(m_largeFirst, path);
        state.ResumeTiming();
        try {
            qm::store::CompactDictionary(path, {}, WithReader.richText);
        } catch (const qm::sqlite::Error &e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

// The floor: a plain VACUUM INTO of the same fresh copy, straight against SQLite.
void StoreSuite::compactVacuumInto(benchmark::State &state)
{
    const QString path = scratchPath(QStringLiteral("Compact.dic"));
    const QByteArray target = QFile::encodeName(scratchPath(QStringLiteral("Vacuum.dic")));
    for (auto _ : state) {
        state.PauseTiming();
        removeDictionaryFiles(path);
        copyFlushed(m_largeFirst, path);
        QFile::remove(QFile::decodeName(target));
        state.ResumeTiming();
        sqlite3 *db = nullptr;
        sqlite3_stmt *vacuum = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_prepare_v2(db, "VACUUM INTO ?1", -1, &vacuum, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_bind_text(vacuum, 1, target.constData(), int(target.size()), SQLITE_STATIC);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(vacuum);
        const std::string error = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_finalize(vacuum);
        sqlite3_close_v2(db);
        if (rc != SQLITE_DONE) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
}

// Registering one entry with its keywords in the large dictionary's copy.
void StoreSuite::editRegister(benchmark::State &state)
{
    for (auto _ : state) {
        const Dictionary::NewEntry &e = nextNewEntry();
        benchmark::DoNotOptimize(m_edit->addEntry(e.entry, e.keywords));
    }
    state.SetItemsProcessed(state.iterations());
}

// Saving what the entry window changed in one entry of the large dictionary's copy: in one edit
// session, some of its keywords taken out, new ones put in, and the entry itself rewritten.
// Entries are taken from all over the file, in steps of a large prime.
void StoreSuite::editUpdate(benchmark::State &state)
{
    if (m_editEntries < 1) {
        state.SkipWithError("the large dictionary has no entries");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        // What the window holds when it saves: the entry's keywords as it read them, and the
        // changed entry.
        const qint32 number = qint32(1 + (m_nextUpdate++ * 104729) % m_editEntries);
        const QStringList removed = m_edit->keywords(number).mid(0, EditedKeywords);
        const Dictionary::NewEntry &e = nextNewEntry();
        qm::store::Entry changed = e.entry;
        changed.DocumentNumber = number;
        const QStringList added = e.keywords.mid(0, EditedKeywords);
        state.ResumeTiming();
        bool found = true;
        m_edit->beginEditSession();
        for (const QString &keyword : removed)
            found = m_edit->deleteKeyword(number, keyword) && found;
        for (const QString &keyword : added)
            m_edit->addKeyword(number, keyword);
        found = m_edit->updateEntry(changed) && found;
        m_edit->commitEditSession();
        if (!found) {
            state.SkipWithError("an entry or keyword to update was not found");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void StoreSuite::registerAll()
{
    for (const QString &p : prefixPatterns()) {
        benchmark::RegisterBenchmark(utf8(QStringLiteral("lookup/store/") + p).c_str(),
                                     [this, p](benchmark::State &s) { lookupStore(s, p); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(utf8(QStringLiteral("lookup/raw/") + p).c_str(),
                                     [this, p](benchmark::State &s) { lookupRaw(s, p); })
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(utf8(QStringLiteral("lookup/fullscan/") + p).c_str(),
                                     [this, p](benchmark::State &s) { lookupFullScan(s, p); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    const QString wild = leadingWildcardPattern();
    benchmark::RegisterBenchmark(utf8(QStringLiteral("lookup/store/") + wild).c_str(),
                                 [this, wild](benchmark::State &s) { lookupStore(s, wild); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("open/small", [this](benchmark::State &s) { openSet(s, m_small); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("open/large", [this](benchmark::State &s) { openSet(s, m_large); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("close/small", [this](benchmark::State &s) { closeSet(s, m_small); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("close/large", [this](benchmark::State &s) { closeSet(s, m_large); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("register/one-at-a-time", [this](benchmark::State &s) { registerOne(s); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("register/bulk", [this](benchmark::State &s) { registerBulk(s); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("compact/store", [this](benchmark::State &s) { compactStore(s); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("compact/vacuum-into", [this](benchmark::State &s) { compactVacuumInto(s); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("edit/register", [this](benchmark::State &s) { editRegister(s); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("edit/update", [this](benchmark::State &s) { editUpdate(s); })
        ->Unit(benchmark::kMillisecond);
    m_search->registerAll();
}

std::optional<double> StoreSuite::peakMemoryMB()
{
    if (m_folders.memoryProbe.isEmpty())
        return std::nullopt;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(m_folders.memoryProbe, {m_folders.large, QString::number(MemoryLookups)});
    if (!probe.waitForFinished(-1) || probe.exitCode() != 0)
        return std::nullopt;
    const QString out = QString::fromUtf8(probe.readAllStandardOutput());
    std::printf("%s", qPrintable(out));
    for (const QString &line : out.split(u'\n')) {
        if (line.startsWith(QStringLiteral("peak resident KiB:")))
            return line.section(u':', 1).trimmed().toDouble() / 1024.0;
    }
    return std::nullopt;
}

std::optional<double> ratio(std::optional<double> a, std::optional<double> b)
{
    if (!a || !b || *b <= 0)
        return std::nullopt;
    return *a / *b;
}

QString ratioText(std::optional<double> r)
{
    return r ? QString::number(*r, 'f', 2) + u'x' : QStringLiteral("-");
}

QString timeText(std::optional<double> s)
{
    return s ? formatSeconds(*s) : QStringLiteral("-");
}

StoreSuite::LookupRatios StoreSuite::printLookupTable(const TimingCollector &t)
{
    std::printf("%6s %12s %12s %12s %10s %12s  %s\n", "rows", "store", "raw range", "full scan",
                "store/raw", "full/store", "pattern");
    LookupRatios out{0.0, 1e300};
    for (const QString &p : prefixPatterns()) {
        const auto store = t.seconds(utf8(QStringLiteral("lookup/store/") + p));
        const auto raw = t.seconds(utf8(QStringLiteral("lookup/raw/") + p));
        const auto full = t.seconds(utf8(QStringLiteral("lookup/fullscan/") + p));
        const auto r = ratio(store, raw);
        const auto f = ratio(full, store);
        // A pattern left unmeasured leaves the budget unmeasured.
        out.worstRaw = r && out.worstRaw ? std::optional(std::max(*out.worstRaw, *r)) : std::nullopt;
        out.leastFull = f && out.leastFull ? std::optional(std::min(*out.leastFull, *f)) : std::nullopt;
        std::printf("%6zu %12s %12s %12s %10s %12s  %s\n", m_storeRows[p].size(), qPrintable(timeText(store)),
                    qPrintable(timeText(raw)), qPrintable(timeText(full)), qPrintable(ratioText(r)),
                    qPrintable(ratioText(f)), qPrintable(p));
    }
    return out;
}

int StoreSuite::report(const TimingCollector &t)
{
    qint64 rows = 0;
    for (int i = 0; i < m_lookupSet.module.DictionaryCount(); ++i)
        rows += m_lookupSet.module.dictionary(i)->property(QStringLiteral("IndexRecordCount")).toLongLong();
    std::printf("\n== Store report ==\nlookups over %d dictionaries, %lld keyword rows, list limit %d\n",
                int(m_lookupSet.module.DictionaryCount()), static_cast<long long>(rows), ListLimit);
    const LookupRatios lookup = printLookupTable(t);
    const QString wild = leadingWildcardPattern();
    std::printf("leading wildcard %s: %zu rows, %s\n", qPrintable(wild), m_storeRows[wild].size(),
                qPrintable(timeText(t.seconds(utf8(QStringLiteral("lookup/store/") + wild)))));
    const auto openRatio = ratio(t.seconds("open/large"), t.seconds("open/small"));
    std::printf("open set: small %s, large %s, large/small %s\n", qPrintable(timeText(t.seconds("open/small"))),
                qPrintable(timeText(t.seconds("open/large"))), qPrintable(ratioText(openRatio)));
    std::printf("close set (counts rows): small %s, large %s, large/small %s\n",
                qPrintable(timeText(t.seconds("close/small"))), qPrintable(timeText(t.seconds("close/large"))),
                qPrintable(ratioText(ratio(t.seconds("close/large"), t.seconds("close/small")))));
    const auto one = t.seconds("register/one-at-a-time");
    const auto bulk = t.seconds("register/bulk");
    const std::optional<double> bulkEach = bulk ? std::optional(*bulk / BulkEntries) : std::nullopt;
    std::printf("register per entry: one at a time %s, in bulk %s, one/bulk %s\n", qPrintable(timeText(one)),
                qPrintable(timeText(bulkEach)), qPrintable(ratioText(ratio(one, bulkEach))));
    const auto compacted = t.seconds("compact/store");
    const auto vacuumed = t.seconds("compact/vacuum-into");
    const auto compactRatio = ratio(compacted, vacuumed);
    std::printf("compact the large set's first dictionary (%lld keyword rows, %.1f MB): store %s, "
                "plain VACUUM INTO %s, store/plain %s\n",
                static_cast<long long>(m_largeFirstRows), double(QFileInfo(m_largeFirst).size()) / (1 << 20),
                qPrintable(timeText(compacted)), qPrintable(timeText(vacuumed)), qPrintable(ratioText(compactRatio)));
    const auto registered = t.seconds("edit/register");
    const auto updated = t.seconds("edit/update");
    const auto editRatio = ratio(updated, registered);
    std::printf("edit per entry in a copy of it: register (%d keywords) %s, update (%d keywords out, %d in) %s, "
                "update/register %s\n",
                int(m_newEntries.front().keywords.size()), qPrintable(timeText(registered)), EditedKeywords,
                EditedKeywords, qPrintable(timeText(updated)), qPrintable(ratioText(editRatio)));
    const auto memory = peakMemoryMB();
    std::printf("lookup process peak resident: %s\n",
                memory ? qPrintable(QString::number(*memory, 'f', 1) + QStringLiteral(" MB")) : "-");
    std::printf("rows agree (store, raw range scan, full scan): %s\n",
                m_disagreements.isEmpty() ? "yes" : qPrintable(m_disagreements.join(QStringLiteral("; "))));

    const Budget budgets[] = {
        {QStringLiteral("prefix lookup / raw range scan (worst pattern)"), lookup.worstRaw, 3, true, QStringLiteral("x")},
        {QStringLiteral("full-scan LIKE / prefix lookup (least pattern)"), lookup.leastFull, 50, false, QStringLiteral("x")},
        {QStringLiteral("open large set / open small set"), openRatio, 2, true, QStringLiteral("x")},
        {QStringLiteral("compaction / plain VACUUM INTO"), compactRatio, 3, true, QStringLiteral("x")},
        {QStringLiteral("update an entry / register it"), editRatio, 2, true, QStringLiteral("x")},
        {QStringLiteral("peak memory of the lookup process"), memory, 100, true, QStringLiteral(" MB")},
    };
    const std::vector<Budget> search = m_search->report(t);
    for (const Budget &b : budgets)
        std::printf("%s\n", qPrintable(b.line()));
    for (const Budget &b : search)
        std::printf("%s\n", qPrintable(b.line()));
    return m_disagreements.isEmpty() && m_search->disagreements().isEmpty() ? 0 : 1;
}

std::optional<Folders> parseFolders(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addOptions({{QStringLiteral("small"), QStringLiteral("Set of 1,000-row dictionaries."), QStringLiteral("dir")},
                       {QStringLiteral("large"), QStringLiteral("Set of 1,000,000-row dictionaries."), QStringLiteral("dir")},
                       {QStringLiteral("scratch"), QStringLiteral("Folder for the registration dictionary."), QStringLiteral("dir")},
                       {QStringLiteral("memory-probe"), QStringLiteral("The qm-bench-memory program."), QStringLiteral("exe")}});
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "qm-bench-store: %s\n", qPrintable(parser.errorText()));
        return std::nullopt;
    }
    Folders f{parser.value(QStringLiteral("small")), parser.value(QStringLiteral("large")),
              parser.value(QStringLiteral("scratch")), parser.value(QStringLiteral("memory-probe"))};
    for (const QString &set : {f.small, f.large}) {
        if (!QFileInfo::exists(QDir(set).filePath(QStringLiteral("DicSets.ini")))) {
            std::fprintf(stderr, "qm-bench-store: no set in \"%s\" (write one with qm-gendict)\n", qPrintable(set));
            return std::nullopt;
        }
    }
    if (f.scratch.isEmpty()) {
        std::fprintf(stderr, "qm-bench-store: --scratch is needed\n");
        return std::nullopt;
    }
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    // As the program does: dates are converted without a look at the zone file each time.
    qm::desktop::pinLocalTimeZone();
    benchmark::Initialize(&argc, argv);
    // Rich-text bodies are laid out by Qt's text engine, which wants a GUI application; no
    // window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::optional<Folders> folders = parseFolders(QGuiApplication::arguments());
    if (!folders)
        return 2;
    try {
        StoreSuite suite(*folders);
        return runSuite(suite);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "qm-bench-store: %s\n", e.what());
        return 1;
    }
}
