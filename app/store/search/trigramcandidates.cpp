#include "app/store/search/trigramcandidates.h"

#include "app/store/search/searchtables.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/rowlist.h"
#include "platform/sqlite/statement.h"

#include <QScopeGuard>

#include <algorithm>
#include <string>
#include <string_view>

namespace qm::store {
namespace {

using sqlite::RowList;
using sqlite::Statement;

// A keyword row the index named that matches, with the order class of its key. Its key and
// keyword are UTF-8 text, one after the other, in the list's text (one buffer for all rows
// instead of two strings each).
struct CandidateRow {
    std::size_t keyAt;
    quint32 keySize;
    quint32 keywordSize;
    qint64 rowid;
    qint32 number;
    quint32 order;
};

struct CandidateList {
    std::string text;
    std::vector<CandidateRow> rows;
    std::string_view key(const CandidateRow &r) const { return {text.data() + r.keyAt, r.keySize}; }
    std::string_view keyword(const CandidateRow &r) const
    {
        return {text.data() + r.keyAt + r.keySize, r.keywordSize};
    }
};

// Reads the keyword rows of a contains lookup's candidates, index rowids in the order class of
// their keys (see searchtables.h), as far as the first `limit` matches in keyword order need.
// Once the limit is reached, only the rest of the class it was reached in can still come before
// the rows kept. Keyword rows are read by rowid in batches, each one statement over a list of
// rowids, growing, as most lookups stop early. A large class the limit falls in is read in key
// order through the keyword index instead: rows one after the other, and only as many as are
// kept, where by rowid every candidate of the class costs a page of its own.
class CandidateReader final
{
public:
    CandidateReader(const CachedStatements &statements, const sqlite::LikePattern &pattern,
                    const std::vector<qint64> &candidates, int limit)
        : m_statements(statements)
        , m_pattern(pattern)
        , m_candidates(candidates)
        , m_limit(std::size_t(limit))
        // Past CandidateLimit the lookup is given up, so no more rowids are needed than that.
        , m_rowids(std::min(candidates.size(), std::size_t(searchtables::CandidateLimit) + 1))
    {
        std::transform(candidates.begin(), candidates.begin() + std::ptrdiff_t(m_rowids.size()), m_rowids.begin(),
                       searchtables::keywordRowOf);
    }

    std::optional<CandidateList> read()
    {
        const auto [from, to] = limitClass();
        if (to - from < WalkMinimum)
            return finish(readByRowid(0, m_rowids.size()));
        if (readByRowid(0, from) == Outcome::GiveUp)
            return std::nullopt;
        const std::size_t rows = m_list.rows.size();
        const std::size_t text = m_list.text.size();
        switch (walkClass(from, to)) {
        case Walk::Taken:
            return std::move(m_list);
        case Walk::Exhausted:
            return finish(readByRowid(to, m_rowids.size()));
        case Walk::TooLong:
            break;
        }
        m_list.rows.resize(rows);
        m_list.text.resize(text);
        return finish(readByRowid(from, m_rowids.size()));
    }

private:
    // Smaller classes are read by rowid; a walk of the keyword index reads at most WalkFactor
    // rows per candidate of the class before it gives way to reading them by rowid.
    static constexpr std::size_t WalkMinimum = 128;
    static constexpr std::size_t WalkFactor = 2;
    enum class Outcome { Reading, Done, GiveUp };
    enum class Walk { Taken, Exhausted, TooLong };

    // The candidates of the class the limit falls in, when all of them can be read; else none.
    std::pair<std::size_t, std::size_t> limitClass() const
    {
        if (m_candidates.size() < m_limit || m_limit == 0)
            return {0, 0};
        const quint32 order = searchtables::keyOrderOf(m_candidates[m_limit - 1]);
        const auto before = [](qint64 rowid, quint32 c) { return searchtables::keyOrderOf(rowid) < c; };
        const auto after = [](quint32 c, qint64 rowid) { return c < searchtables::keyOrderOf(rowid); };
        const auto begin = std::lower_bound(m_candidates.begin(), m_candidates.end(), order, before);
        const auto end = std::upper_bound(begin, m_candidates.end(), order, after);
        const auto to = std::size_t(end - m_candidates.begin());
        if (to > std::size_t(searchtables::CandidateLimit))
            return {0, 0};
        return {std::size_t(begin - m_candidates.begin()), to};
    }

    std::optional<CandidateList> finish(Outcome outcome)
    {
        if (outcome == Outcome::GiveUp)
            return std::nullopt;
        return std::move(m_list);
    }

    Outcome readByRowid(std::size_t from, std::size_t to)
    {
        Statement &st = m_statements("SELECT m.rowid, i.IndexKey, i.DocumentNumber, i.\"Index\" "
                                                     "FROM qm_rows(?1) AS m CROSS JOIN \"Index\" AS i ON i.rowid = m.value");
        const auto release = qScopeGuard([&st] { st.reset(); });
        for (std::size_t first = from, batch = 64; first < to; first += batch, batch *= 2) {
            st.reset();
            st.bindRows(1, RowList(m_rowids).subspan(first, std::min(batch, to - first)));
            while (st.step()) {
                const std::size_t at = first + std::size_t(st.toInt64(0));
                const quint32 order = searchtables::keyOrderOf(m_candidates[at]);
                if (m_lastClass && order != *m_lastClass)
                    return Outcome::Done;
                // Candidates that are mostly not matches are better left to the walk.
                if (at >= std::size_t(searchtables::CandidateLimit))
                    return Outcome::GiveUp;
                keepIfMatching(st, 1, m_rowids[at], order);
            }
        }
        return Outcome::Reading;
    }

    Walk walkClass(std::size_t from, std::size_t to)
    {
        std::vector<qint64> members(m_rowids.begin() + std::ptrdiff_t(from), m_rowids.begin() + std::ptrdiff_t(to));
        std::sort(members.begin(), members.end());
        const quint32 order = searchtables::keyOrderOf(m_candidates[from]);
        Statement &st = m_statements(
            "SELECT i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid FROM \"Index\" AS i INDEXED BY Index_Index "
            "WHERE i.IndexKey >= ?1 ORDER BY i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid");
        const auto release = qScopeGuard([&st] { st.reset(); });
        st.bind(1, searchtables::lowestKeyOf(order));
        const std::size_t cap = WalkFactor * members.size();
        std::size_t walked = 0;
        std::size_t seen = 0;
        while (st.step()) {
            if (++walked > cap)
                return Walk::TooLong;
            const qint64 rowid = st.toInt64(3);
            if (!std::binary_search(members.begin(), members.end(), rowid))
                continue;
            keepIfMatching(st, 0, rowid, order);
            if (m_list.rows.size() >= m_limit)
                return Walk::Taken;
            // Rows the index holds under another key are not met here: the walk goes on past
            // the class for them until the cap ends it.
            if (++seen == members.size())
                break;
        }
        return Walk::Exhausted;
    }

    // Keeps a keyword row (key, entry number and keyword in the statement's three columns from
    // `column` on) if it matches. A row the index holds under another key (changed by another
    // program) is passed over: its place in the order is not known.
    void keepIfMatching(Statement &st, int column, qint64 rowid, quint32 order)
    {
        const QByteArrayView key = st.utf8View(column);
        const QString folded = QString::fromUtf8(key);
        if (searchtables::keyOrder(folded) != order || !m_pattern.matchesFolded(folded))
            return;
        const QByteArrayView keyword = st.utf8View(column + 2);
        m_list.rows.push_back({m_list.text.size(), quint32(key.size()), quint32(keyword.size()), rowid,
                               st.toInt(column + 1), order});
        m_list.text.append(key.data(), std::size_t(key.size())).append(keyword.data(), std::size_t(keyword.size()));
        if (!m_lastClass && m_list.rows.size() >= m_limit)
            m_lastClass = order;
    }

    const CachedStatements &m_statements;
    const sqlite::LikePattern &m_pattern;
    const std::vector<qint64> &m_candidates;
    const std::size_t m_limit;
    std::vector<qint64> m_rowids;
    CandidateList m_list;
    std::optional<quint32> m_lastClass;
};

// Puts the rows into keyword order (their texts compared byte by byte, as the keyword index
// orders them) and keeps the first `limit`.
void sortCandidates(CandidateList &list, int limit)
{
    // The rows come in order class already: each class is sorted by itself.
    const auto less = [&list](const CandidateRow &a, const CandidateRow &b) {
        if (const int c = list.key(a).compare(list.key(b)))
            return c < 0;
        if (a.number != b.number)
            return a.number < b.number;
        if (const int c = list.keyword(a).compare(list.keyword(b)))
            return c < 0;
        return a.rowid < b.rowid;
    };
    std::vector<CandidateRow> &rows = list.rows;
    for (auto begin = rows.begin(); begin != rows.end();) {
        const auto end = std::find_if(begin, rows.end(), [&](const CandidateRow &r) { return r.order != begin->order; });
        std::sort(begin, end, less);
        begin = end;
    }
    if (rows.size() > std::size_t(limit))
        rows.resize(std::size_t(limit));
}

// The rows with their entries' heading and type; nullopt when an entry is missing.
std::optional<std::vector<KeywordMatch>> withEntries(const CachedStatements &statements, const CandidateList &list,
                                                     RowUse use)
{
    // Only the rows kept read their entry: one statement, in entry order, which reads the pages
    // of the heading index, or for rows whose bodies are read next the entry rows, one after
    // the other (see RowUse).
    std::vector<qint64> numbers;
    numbers.reserve(list.rows.size());
    for (const CandidateRow &r : list.rows)
        numbers.push_back(r.number);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
#define QM_ENTRIES_OF_ROWS(read)                                                                   \
    "SELECT m.rowid, d.Heading, d.Viewer FROM qm_rows(?1) AS m CROSS JOIN Document AS d " read " "  \
    "ON d.DocumentNumber = m.value"
    Statement &st = statements(use == RowUse::WithBodies ? QM_ENTRIES_OF_ROWS("NOT INDEXED")
                                                         : QM_ENTRIES_OF_ROWS("INDEXED BY Index_DocumentHeading"));
#undef QM_ENTRIES_OF_ROWS
    const auto release = qScopeGuard([&st] { st.reset(); });
    st.bindRows(1, numbers);
    std::vector<std::optional<std::pair<QString, quint8>>> shown(numbers.size());
    while (st.step())
        shown[std::size_t(st.toInt64(0))].emplace(st.toText(1), quint8(st.toInt(2)));
    std::vector<KeywordMatch> out;
    out.reserve(list.rows.size());
    for (const CandidateRow &r : list.rows) {
        const auto &entry = shown[std::size_t(std::lower_bound(numbers.begin(), numbers.end(), r.number) - numbers.begin())];
        // A keyword row without its entry (the relation broken behind the store's back) is not
        // listed, and rows past the ones kept might then belong in the list.
        if (!entry)
            return std::nullopt;
        const std::string_view keyword = list.keyword(r);
        out.push_back({QString::fromUtf8(keyword.data(), qsizetype(keyword.size())), entry->first, entry->second, r.number});
    }
    return out;
}

} // namespace

std::optional<std::vector<KeywordMatch>> matchingCandidates(const CachedStatements &statements,
                                                            const sqlite::LikePattern &pattern,
                                                            const std::vector<qint64> &candidates, int limit,
                                                            RowUse use)
{
    std::optional<CandidateList> rows = CandidateReader(statements, pattern, candidates, limit).read();
    if (!rows)
        return std::nullopt;
    sortCandidates(*rows, limit);
    return withEntries(statements, *rows, use);
}

} // namespace qm::store
