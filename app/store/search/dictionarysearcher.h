#pragma once

#include "app/store/dictionary/entry.h"
#include "app/store/search/headinglist.h"
#include "app/store/search/searchcondition.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qm::sqlite {
class LikePattern;
class Statement;
}

namespace qm::store {

class DictionaryFile;

// The keyword row a lookup statement stands on: keyword, heading, type and entry number in its
// first four columns.
KeywordMatch keywordMatchAt(sqlite::Statement &st);

using KeywordSink = std::function<void(const KeywordMatch &)>;

// The searches of one dictionary file: keyword lookups, condition searches, the trigram index's
// candidates and heading lists. Keyword and condition searches read the file now under the name.
class DictionarySearcher final
{
public:
    explicit DictionarySearcher(DictionaryFile &file);
    DictionarySearcher(const DictionarySearcher &) = delete;
    DictionarySearcher &operator=(const DictionarySearcher &) = delete;

    DictionaryFile &file() { return m_file; }

    // Keyword rows matching the pattern, in keyword order, at most `limit`; each is handed to
    // the sink. Returns the number of rows handed over.
    int searchKeyword(const sqlite::LikePattern &pattern, int limit, const KeywordSink &sink,
                      RowUse use = RowUse::List);

    // The statement a keyword lookup runs for this pattern when it walks the keyword index
    // (parameters: ?1 and ?2 the range of folded keys, ?3 the pattern, ?4 the row limit; each
    // present only where the pattern needs it). A pattern without literal text in front whose
    // literal runs give trigrams reads the trigram index instead, while that names few rows.
    static const char *keywordLookupSql(const sqlite::LikePattern &pattern, RowUse use = RowUse::List);

    // Condition search: the keyword rows of the entries that meet the condition, in keyword
    // order, at most `limit`, each handed to the sink (see SearchCondition). Returns the number
    // of rows handed over.
    int searchCondition(const SearchCondition &condition, int limit, const KeywordSink &sink);

    // The rowids of the keyword rows the trigram index names for a pattern, for qm_rows(?);
    // nullopt when the pattern has no trigram, when they are more than `cap`, or when the index
    // cannot hold every keyword row.
    std::optional<std::vector<qint64>> trigramRows(const sqlite::LikePattern &pattern, qint64 cap);

    // The entries whose bodies the body index names for all the patterns (the trigrams of their
    // literal runs), ascending, with those whose body text has not been read: every entry whose
    // body can match them. nullopt when no pattern has a trigram, or the index cannot serve.
    std::optional<std::vector<qint64>> bodyCandidates(const std::vector<sqlite::LikePattern> &patterns);

    // The entries in the order given, a batch at a time (see HeadingList).
    std::unique_ptr<HeadingCursor> headings(HeadingOrder order, bool descending);

private:
    // True when the trigram index can hold every keyword row (see searchtables.h).
    bool indexHoldsEveryRow();
    // The rows of a lookup through the trigram index, or nullopt when the index cannot serve it
    // (no trigrams, too many candidates, an index that fails); the caller then walks the keys.
    std::optional<std::vector<KeywordMatch>> trigramLookup(const sqlite::LikePattern &pattern, int limit, RowUse use);

    DictionaryFile &m_file;
};

} // namespace qm::store
