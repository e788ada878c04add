#include "searchbench.h"

#include "app/common/storemessages.h"
#include "app/search/headinggridmodel.h"
#include "app/store/dictionary/bodytext.h"
#include "app/store/sets/databasemodule.h"
#include "platform/sqlite/likepattern.h"
#include "platform/desktop/scriptedprompter.h"

#include <QCoreApplication>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <iterator>
#include <limits>
#include <set>
#include <cstdio>

namespace qm::bench {
namespace {

std::string utf8(const QString &s)
{
    return s.toStdString();
}

// Rows a grid shows at first.
constexpr int VisibleRows = 40;
// How often each of two lookups compared against a tight budget runs.
constexpr int RatioRepetitions = 7;
// Rounds of the two lookups run by turns, and the least time each side of a round takes: a
// load that comes and goes on the machine slows both sides of a round alike.
constexpr int PairedRounds = 31;
constexpr std::chrono::milliseconds PairedSide{20};

// Contains patterns of three characters and more: one the generated keywords hold rarely, one
// that more than the list takes hold (a common Latin syllable run).
const char *const FewPattern = "*abuk*";
const char *const ManyPattern = "*abu*";
// Body text a condition search looks for: a syllable run the generated bodies hold now and then,
// so the search reads every body of the set.
const char *const BodyText = "abuk";

// Prefix lookups to measure a contains lookup against: the one whose row count is nearest.
QStringList prefixCandidates()
{
    return prefixPatterns() + QString::fromUtf8("abu* ka* kyo* ゆう* ﾀﾞ* 山* ara*").split(u' ');
}

std::optional<double> ratio(std::optional<double> a, std::optional<double> b)
{
    if (!a || !b || *b <= 0)
        return std::nullopt;
    return *a / *b;
}

QString text(std::optional<double> seconds)
{
    return seconds ? formatSeconds(*seconds) : QStringLiteral("-");
}

QString ratioText(std::optional<double> r)
{
    return r ? QString::number(*r, 'f', 2) + u'x' : QStringLiteral("-");
}

} // namespace

SearchSuite::SearchSuite(const QString &smallFolder, store::DatabaseModule &large, int listLimit)
    : m_prompter(std::make_unique<desktop::ScriptedPrompter>())
    , m_smallSet(std::make_unique<store::DatabaseModule>(qm::app::storeHost(*m_prompter), smallFolder))
    , m_small(*m_smallSet)
    , m_large(large)
    , m_limit(listLimit)
{
    m_smallSet->setRichTextReader(large.richTextReader());
    m_small.LoadDictionarySets();
    m_small.OpenDictionarySet();
    std::map<QString, std::size_t> prefixRows;
    for (const QString &p : prefixCandidates())
        prefixRows[p] = storeLookup(m_large, p, m_limit).size();
    for (const auto &[name, pattern] : {std::pair{"few", FewPattern}, std::pair{"many", ManyPattern}}) {
        Case c{QString::fromLatin1(name), QString::fromUtf8(pattern), {}, 0, 0};
        const LookupRows rows = storeLookup(m_large, c.contains, m_limit);
        c.containsRows = rows.size();
        double best = 1e300;
        for (const auto &[p, n] : prefixRows) {
            const double distance = std::abs(std::log((double(n) + 1) / (double(c.containsRows) + 1)));
            if (n > 0 && distance < best) {
                best = distance;
                c.prefix = p;
                c.prefixRows = n;
            }
        }
        m_cases.push_back(c);
    }
}

SearchSuite::~SearchSuite() = default;

void SearchSuite::lookup(benchmark::State &state, const QString &pattern)
{
    std::int64_t rows = 0;
    storeLookup(m_large, pattern, m_limit); // warm the page cache
    for (auto _ : state) {
        rows = m_large.search(store::SearchRequest::keyword(pattern, m_limit), [](const store::SlotMatch &m) {
                          benchmark::DoNotOptimize(m.match.DocumentNumber);
                      }).count;
    }
    state.counters["rows"] = double(rows);
}

double SearchSuite::pairedRatio(const Case &c)
{
    using Clock = std::chrono::steady_clock;
    const auto timed = [this](const QString &pattern, int times) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < times; ++i)
            m_large.search(store::SearchRequest::keyword(pattern, m_limit), [](const store::SlotMatch &m) {
                benchmark::DoNotOptimize(m.match.DocumentNumber);
            });
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    // As many lookups per side as fill its time, from the slower one's first run.
    const double once = std::max(timed(c.contains, 1), timed(c.prefix, 1));
    const int times = std::max(1, int(std::chrono::duration<double>(PairedSide).count() / std::max(once, 1e-6)));
    std::vector<double> ratios;
    for (int round = 0; round < PairedRounds; ++round) {
        const double contains = timed(c.contains, times);
        ratios.push_back(contains / std::max(timed(c.prefix, times), 1e-9));
    }
    std::nth_element(ratios.begin(), ratios.begin() + PairedRounds / 2, ratios.end());
    return ratios[PairedRounds / 2];
}

void SearchSuite::fullScan(benchmark::State &state, const Case &c)
{
    LookupRows rows;
    for (auto _ : state)
        rows = fullScanRows(m_large, c.contains, m_limit);
    state.counters["rows"] = double(rows.size());
    const QString diff = firstDifference(storeLookup(m_large, c.contains, m_limit), rows);
    if (!diff.isEmpty())
        m_disagreements.append(QStringLiteral("contains %1: %2").arg(c.contains, diff));
}

void SearchSuite::openGrid(benchmark::State &state, store::DatabaseModule &set)
{
    // What opening the grid does: the first dictionary's entries in entry order, the rows in
    // sight read for drawing.
    // The rows come from the search worker: the time includes handing them to this thread.
    app::HeadingGridModel model(set);
    for (auto _ : state) {
        model.show(0, store::HeadingList::Order::Entry, false);
        while (model.isReading())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        for (int r = 0; r < std::min(VisibleRows, model.rowCount()); ++r)
            for (int c = 0; c < app::HeadingGridModel::ColumnCount; ++c)
                benchmark::DoNotOptimize(model.index(r, c).data());
    }
    state.counters["rows"] = double(model.rowCount());
}

void SearchSuite::bodySearch(benchmark::State &state, const QString &text)
{
    store::SearchCondition condition;
    condition.terms.push_back({store::SearchField::Body, store::MatchMode::Contains, text});
    std::int64_t rows = 0;
    for (auto _ : state) {
        rows = m_large.search(store::SearchRequest::condition(condition, m_limit), [](const store::SlotMatch &m) {
                          benchmark::DoNotOptimize(m.match.DocumentNumber);
                      }).count;
    }
    state.counters["rows"] = double(rows);
}

void SearchSuite::registerAll()
{
    for (const Case &c : m_cases) {
        // Compared with each other against a tight budget: each counts by the median of several
        // runs.
        benchmark::RegisterBenchmark(utf8(QStringLiteral("contains/store/") + c.contains).c_str(),
                                     [this, c](benchmark::State &s) { lookup(s, c.contains); })
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(RatioRepetitions);
        benchmark::RegisterBenchmark(utf8(QStringLiteral("contains/prefix/") + c.prefix).c_str(),
                                     [this, c](benchmark::State &s) { lookup(s, c.prefix); })
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(RatioRepetitions);
        benchmark::RegisterBenchmark(utf8(QStringLiteral("contains/fullscan/") + c.contains).c_str(),
                                     [this, c](benchmark::State &s) { fullScan(s, c); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::RegisterBenchmark("condition/body", [this](benchmark::State &s) {
        bodySearch(s, QString::fromLatin1(BodyText));
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("grid/open/small", [this](benchmark::State &s) { openGrid(s, m_small); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("grid/open/large", [this](benchmark::State &s) { openGrid(s, m_large); })
        ->Unit(benchmark::kMicrosecond);
}

SearchSuite::Growth SearchSuite::indexGrowth()
{
    // Page bytes of the large set's first dictionary by table, read by the engine's own
    // statistics table on a plain read-only connection.
    store::Dictionary *first = m_large.dictionary(0);
    if (!first)
        return {};
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(first->path()).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return {};
    }
    sqlite3_stmt *st = nullptr;
    std::map<std::string, double> bytes;
    double total = 0;
    if (sqlite3_prepare_v2(db, "SELECT name, sum(pgsize) FROM dbstat GROUP BY name", -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const double b = sqlite3_column_double(st, 1);
            bytes[reinterpret_cast<const char *>(sqlite3_column_text(st, 0))] = b;
            total += b;
        }
    }
    sqlite3_finalize(st);
    sqlite3_close_v2(db);
    double index = 0;
    double bodyIndex = bytes["Index_UnreadText"];
    for (const auto &[name, b] : bytes) {
        if (name.rfind("KeyTrigram", 0) == 0)
            index += b;
        if (name.rfind("BodyTrigram", 0) == 0)
            bodyIndex += b;
    }
    const auto mb = [](double b) { return b / (1 << 20); };
    const double texts = bytes["DocumentText"];
    const double dates = bytes["Index_RenewalDate"];
    const double without = total - index - bodyIndex - texts - dates;
    if (without <= 0)
        return {};
    std::printf("the large set's first dictionary: %.1f MB in pages; without what the search windows add "
                "%.1f MB; trigram index %.1f MB (+%.1f %%), body index %.1f MB (+%.1f %%), rich-text body texts "
                "%.1f MB (+%.1f %%), renewal-date index %.1f MB (+%.1f %%)\n",
                mb(total), mb(without), mb(index), 100 * index / without, mb(bodyIndex), 100 * bodyIndex / without,
                mb(texts), 100 * texts / without, mb(dates), 100 * dates / without);
    return {100 * index / without, 100 * bodyIndex / without};
}

std::optional<double> SearchSuite::bodyDisagreements(const QString &text)
{
    store::Dictionary *first = m_large.dictionary(0);
    const std::optional<sqlite::LikePattern> pattern =
        sqlite::LikePattern::compile(QString(u'*' + text + u'*'), sqlite::LikePattern::StrayBracket::Literal);
    if (!first || !pattern)
        return std::nullopt;
    store::SearchCondition condition;
    condition.terms.push_back({store::SearchField::Body, store::MatchMode::Contains, text});
    std::set<qint32> searched;
    first->searchCondition(condition, std::numeric_limits<int>::max(),
                           [&](const store::KeywordMatch &m) { searched.insert(m.DocumentNumber); });
    // Every body read and matched on its search text, as a search without the index does.
    std::set<qint32> read;
    const store::RichTextReader &reader = m_large.richTextReader();
    first->forEachEntry(first->entryNumbers(), [&](const store::Entry &e, const QStringList &keywords) {
        const QString key = store::bodySearchKey(e, reader);
        if (!keywords.isEmpty() && !key.isNull() && pattern->matchesFolded(key))
            read.insert(e.DocumentNumber);
        return true;
    });
    std::vector<qint32> differ;
    std::set_symmetric_difference(searched.begin(), searched.end(), read.begin(), read.end(), std::back_inserter(differ));
    std::printf("body search for \"%s\" in the large set's first dictionary: %zu entries, a reading of every body "
                "%zu; %zu differ\n",
                qPrintable(text), searched.size(), read.size(), differ.size());
    return double(differ.size());
}

std::vector<Budget> SearchSuite::report(const TimingCollector &t)
{
    // store/pre: the median of the rounds in which the two ran by turns.
    std::printf("%-6s %-10s %6s %12s %-10s %6s %12s %12s %10s %12s\n", "case", "contains", "rows", "store",
                "prefix", "rows", "prefix", "full scan", "store/pre", "full/store");
    std::optional<double> worstPrefix = 0.0;
    std::optional<double> leastFull = 1e300;
    for (const Case &c : m_cases) {
        const auto store = t.seconds(utf8(QStringLiteral("contains/store/") + c.contains));
        const auto prefix = t.seconds(utf8(QStringLiteral("contains/prefix/") + c.prefix));
        const auto full = t.seconds(utf8(QStringLiteral("contains/fullscan/") + c.contains));
        std::optional<double> p;
        if (store && prefix)
            p = pairedRatio(c);
        const auto f = ratio(full, store);
        worstPrefix = p && worstPrefix ? std::optional(std::max(*worstPrefix, *p)) : std::nullopt;
        leastFull = f && leastFull ? std::optional(std::min(*leastFull, *f)) : std::nullopt;
        std::printf("%-6s %-10s %6zu %12s %-10s %6zu %12s %12s %10s %12s\n", qPrintable(c.name),
                    qPrintable(c.contains), c.containsRows, qPrintable(text(store)), qPrintable(c.prefix),
                    c.prefixRows, qPrintable(text(prefix)), qPrintable(text(full)), qPrintable(ratioText(p)),
                    qPrintable(ratioText(f)));
    }
    const auto grid = ratio(t.seconds("grid/open/large"), t.seconds("grid/open/small"));
    std::printf("heading grid opens: small %s, large %s, large/small %s\n", qPrintable(text(t.seconds("grid/open/small"))),
                qPrintable(text(t.seconds("grid/open/large"))), qPrintable(ratioText(grid)));
    const auto body = t.seconds("condition/body");
    const auto many = t.seconds(utf8(QStringLiteral("contains/store/") + QString::fromUtf8(ManyPattern)));
    std::printf("condition search for \"%s\" in the bodies of the large set: %s (%s a contains keyword lookup)\n",
                BodyText, qPrintable(text(body)), qPrintable(ratioText(ratio(body, many))));
    const Growth growth = indexGrowth();
    const auto bodyRatio = ratio(body, many);
    const auto bodyDiffer = bodyDisagreements(QString::fromLatin1(BodyText));
    std::printf("contains rows agree with the full-scan matcher: %s\n",
                m_disagreements.isEmpty() ? "yes" : qPrintable(m_disagreements.join(QStringLiteral("; "))));
    return {
        {QStringLiteral("full-scan matcher / contains lookup (least pattern)"), leastFull, 100, false, QStringLiteral("x")},
        {QStringLiteral("contains lookup / prefix lookup of as many rows (worst pattern)"), worstPrefix, 3, true,
         QStringLiteral("x")},
        {QStringLiteral("open the heading grid on the large / the small dictionary"), grid, 2, true, QStringLiteral("x")},
        {QStringLiteral("trigram index / the rest of the dictionary"), growth.keywords, 35, true, QStringLiteral(" %")},
        {QStringLiteral("body search / contains keyword lookup"), bodyRatio, 20, true, QStringLiteral("x")},
        {QStringLiteral("entries a body search and a reading of every body disagree on"), bodyDiffer, 0, true, {}},
        {QStringLiteral("body index / the rest of the dictionary"), growth.bodies, 40, true, QStringLiteral(" %")},
    };
}

} // namespace qm::bench
