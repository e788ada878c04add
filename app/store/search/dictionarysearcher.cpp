#include "app/store/search/dictionarysearcher.h"

#include "app/store/dictionary/dictionaryfile.h"
#include "app/store/search/searchtables.h"
#include "app/store/search/trigramcandidates.h"
#include "app/store/search/trigramindex.h"

#include "platform/sqlite/likepattern.h"
#include "platform/sqlite/statement.h"

#include <QScopeGuard>

#include <algorithm>

namespace qm::store {
using sqlite::Statement;

KeywordMatch keywordMatchAt(Statement &st)
{
    KeywordMatch m;
    m.Index = st.toText(0);
    m.Heading = st.toText(1);
    m.Viewer = quint8(st.toInt(2));
    m.DocumentNumber = st.toInt(3);
    return m;
}

DictionarySearcher::DictionarySearcher(DictionaryFile &file)
    : m_file(file)
{
}

std::unique_ptr<HeadingCursor> DictionarySearcher::headings(HeadingOrder order, bool descending)
{
    return std::make_unique<HeadingList>(m_file, order, descending);
}

int DictionarySearcher::searchKeyword(const sqlite::LikePattern &pattern, int limit, const KeywordSink &sink,
                                      RowUse use)
{
    m_file.followReplacement();
    if (limit <= 0)
        return 0;
    const bool ranged = !pattern.literalPrefix().isEmpty();
    if (!ranged) {
        if (std::optional<std::vector<KeywordMatch>> rows = trigramLookup(pattern, limit, use)) {
            for (const KeywordMatch &m : *rows)
                sink(m);
            return int(rows->size());
        }
    }
    Statement &st = m_file.cachedStatement(keywordLookupSql(pattern, use));
    // Reset however the loop ends, so the file is not held by an unfinished read.
    const auto release = qScopeGuard([&st] { st.reset(); });
    if (ranged) {
        const QByteArray prefix = pattern.literalPrefix().toUtf8();
        st.bindUtf8(1, prefix).bindUtf8(2, sqlite::prefixUpperBound(prefix));
    }
    if (!(ranged && pattern.isPurePrefix()))
        st.bindPattern(3, pattern);
    st.bind(4, limit);
    int count = 0;
    while (st.step()) {
        sink(keywordMatchAt(st));
        ++count;
    }
    return count;
}

bool DictionarySearcher::indexHoldsEveryRow()
{
    Statement &st = m_file.cachedStatement(searchtables::IndexableRowsSql);
    const auto release = qScopeGuard([&st] { st.reset(); });
    return st.step() && st.toInt(0) == 1;
}

std::optional<std::vector<qint64>> DictionarySearcher::trigramRows(const sqlite::LikePattern &pattern, qint64 cap)
{
    m_file.followReplacement();
    const std::vector<Trigram> trigrams = trigramsOf(pattern);
    if (!m_file.hasSearchTables() || trigrams.empty() || !indexHoldsEveryRow())
        return std::nullopt;
    std::vector<qint64> rows = m_file.trigramIndex().rowsWithAll(trigrams);
    if (qint64(rows.size()) > cap)
        return std::nullopt;
    std::transform(rows.begin(), rows.end(), rows.begin(), searchtables::keywordRowOf);
    return rows;
}

std::optional<std::vector<qint64>> DictionarySearcher::bodyCandidates(const std::vector<sqlite::LikePattern> &patterns)
{
    std::vector<Trigram> trigrams;
    for (const sqlite::LikePattern &p : patterns) {
        const std::vector<Trigram> of = trigramsOf(p);
        trigrams.insert(trigrams.end(), of.begin(), of.end());
    }
    std::sort(trigrams.begin(), trigrams.end());
    trigrams.erase(std::unique(trigrams.begin(), trigrams.end()), trigrams.end());
    if (!m_file.hasBodyIndex() || trigrams.empty())
        return std::nullopt;
    try {
        std::vector<qint64> entries = m_file.bodyIndex().rowsWithAll(trigrams);
        // The bodies the index does not hold: too large to index, or rich text whose text was
        // never read.
        std::vector<qint64> unindexed = m_file.bodyIndex().rowsWithAll({TrigramIndex::ReadAlways});
        Statement &unread = m_file.cachedStatement("SELECT DocumentNumber FROM DocumentText INDEXED BY Index_UnreadText "
                                                   "WHERE TextKey IS NULL");
        const auto reset = qScopeGuard([&unread] { unread.reset(); });
        while (unread.step())
            unindexed.push_back(unread.toInt64(0));
        std::sort(unindexed.begin(), unindexed.end());
        const std::size_t indexed = entries.size();
        entries.insert(entries.end(), unindexed.begin(), unindexed.end());
        std::inplace_merge(entries.begin(), entries.begin() + qsizetype(indexed), entries.end());
        entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
        return entries;
    } catch (const sqlite::Error &) {
        // An index that fails (damaged behind the store's back) is passed over: reading every
        // body finds the same entries.
        return std::nullopt;
    }
}

std::optional<std::vector<KeywordMatch>> DictionarySearcher::trigramLookup(const sqlite::LikePattern &pattern, int limit,
                                                                            RowUse use)
{
    const std::vector<Trigram> trigrams = trigramsOf(pattern);
    if (!m_file.hasSearchTables() || trigrams.empty())
        return std::nullopt;
    try {
        // One read transaction for all the statements: alone, each would take and give back
        // the file's lock and look for a journal.
        const ReadTransaction read(m_file);
        if (!indexHoldsEveryRow())
            return std::nullopt;
        const CachedStatements statements = [this](const char *sql) -> Statement & { return m_file.cachedStatement(sql); };
        return matchingCandidates(statements, pattern, m_file.trigramIndex().rowsWithAll(trigrams), limit, use);
    } catch (const sqlite::Error &) {
        // An index that fails (damaged behind the store's back) is passed over: the walk finds
        // the same rows without it.
        return std::nullopt;
    }
}

const char *DictionarySearcher::keywordLookupSql(const sqlite::LikePattern &pattern, RowUse use)
{
    // Rows come in the order of the keyword index (folded key, entry, keyword), so the engine
    // walks the index and never sorts. A list reads both tables through their covering indexes.
    // Rows whose bodies are read next take heading and type from the entry row (see RowUse;
    // NOT INDEXED still finds it by its number, the table's own key). Where a damaged file lost
    // that row but not its heading, the heading index gives them as for a list, and the body's
    // read then tells of the damage. A pattern with literal text in front scans only that range;
    // a pattern that is that text and one "*" needs no test per row.
#define QM_KEYWORD_LOOKUP(columns, entries, where)                                                 \
    "SELECT i.\"Index\", " columns ", i.DocumentNumber "                                           \
    "FROM \"Index\" AS i INDEXED BY Index_Index " entries " "                                       \
    "WHERE " where " "                                                                             \
    "ORDER BY i.IndexKey, i.DocumentNumber, i.\"Index\", i.rowid LIMIT ?4"
#define QM_KEYWORD_LOOKUPS(columns, entries, entryFound)                                           \
    {QM_KEYWORD_LOOKUP(columns, entries, entryFound "qm_like(?3, i.IndexKey)"),                    \
     QM_KEYWORD_LOOKUP(columns, entries, entryFound "i.IndexKey >= ?1 AND i.IndexKey < ?2"),       \
     QM_KEYWORD_LOOKUP(columns, entries, entryFound "i.IndexKey >= ?1 AND i.IndexKey < ?2 AND qm_like(?3, i.IndexKey)")}
#define QM_LISTED(column)                                                                          \
    "(SELECT h." column " FROM Document AS h INDEXED BY Index_DocumentHeading "                     \
    "WHERE h.DocumentNumber = i.DocumentNumber)"
    static constexpr const char *Lists[] = QM_KEYWORD_LOOKUPS(
        "d.Heading, d.Viewer",
        "INNER JOIN Document AS d INDEXED BY Index_DocumentHeading ON d.DocumentNumber = i.DocumentNumber", "");
    static constexpr const char *WithBodies[] = QM_KEYWORD_LOOKUPS(
        "coalesce(d.Heading, " QM_LISTED("Heading") "), coalesce(d.Viewer, " QM_LISTED("Viewer") ")",
        "LEFT JOIN Document AS d NOT INDEXED ON d.DocumentNumber = i.DocumentNumber",
        "(d.DocumentNumber IS NOT NULL OR " QM_LISTED("DocumentNumber") " IS NOT NULL) AND ");
#undef QM_LISTED
#undef QM_KEYWORD_LOOKUPS
#undef QM_KEYWORD_LOOKUP
    const char *const *sql = use == RowUse::WithBodies ? WithBodies : Lists;
    if (pattern.literalPrefix().isEmpty())
        return sql[0];
    return pattern.isPurePrefix() ? sql[1] : sql[2];
}

} // namespace qm::store
