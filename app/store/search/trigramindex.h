#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace qm::sqlite {
class Database;
class LikePattern;
class Statement;
} // namespace qm::sqlite

namespace qm::store {

// Three characters of folded text in one number: their code points, 21 bits each, the first in
// the highest bits.
using Trigram = qint64;

// The distinct trigrams of a text, ascending.
std::vector<Trigram> trigramsOf(QStringView text);
// The distinct trigrams of the pattern's literal runs, which every key matching it holds, as
// its text and not through a wildcard. Empty when no run is three characters long.
std::vector<Trigram> trigramsOf(const sqlite::LikePattern &pattern);

// A trigram index: of the folded keywords (table KeyTrigram, see schema.cpp) or of the folded
// text of the entries' bodies (table BodyTrigram). For each trigram it holds the ascending list
// of the rows whose key has it: for keywords the index rowids (searchtables::indexRowid()) of the
// keyword rows, for bodies the entry numbers. The lists are cut into chunks of delta-coded
// numbers, each chunk keyed by its first rowid. A lookup reads one range of a b-tree per trigram and intersects the lists; a write
// rewrites only the chunks its rows fall in. Every statement runs in the caller's transaction
// and throws sqlite::Error.
class TrigramIndex final
{
public:
    enum class Table { Keywords, Bodies };
    explicit TrigramIndex(sqlite::Database &db, Table table = Table::Keywords);
    ~TrigramIndex();
    TrigramIndex(const TrigramIndex &) = delete;
    TrigramIndex &operator=(const TrigramIndex &) = delete;

    // A keyword row: its rowid and its folded key as stored; for the body index an entry
    // number and its body's search key (bodySearchKey(); a null key is not indexed).
    struct KeywordRow {
        qint64 rowid;
        QString key;
    };
    void add(const std::vector<KeywordRow> &rows);
    // Takes the rows out under the trigrams of the keys given; rowids it does not hold are
    // passed over.
    void remove(const std::vector<KeywordRow> &rows);

    // The list under which the body index names the entries every body search reads, whatever
    // it looks for: those whose bodies are too large to index (searchtables::IndexedBodyBytes).
    // No trigram of text is negative.
    static constexpr Trigram ReadAlways = -1;
    void addUnder(Trigram trigram, const std::vector<qint64> &rowids);
    void removeUnder(Trigram trigram, const std::vector<qint64> &rowids);

    // A row's key changes from `before` to `after` (either null for none): the trigrams it
    // gains are added; those it loses stay listed (a search tests every entry it is given, so
    // they only cost a test) until the index is made anew. Returns how many it lost.
    qsizetype addGained(qint64 rowid, const QString &before, const QString &after);

    // The index rowids held under every one of the trigrams, ascending.
    std::vector<qint64> rowsWithAll(const std::vector<Trigram> &trigrams);

    // True when every list can be read: its numbers well formed and ascending from chunk to chunk.
    bool readable();

    // Empties the index and fills it from every keyword row the index can number (or every
    // body, by its key qm_body_key(), see bodytext.h), calling
    // `step` with how far it has come (which may throw to stop it).
    void rebuild(const std::function<void(qint64 done, qint64 total)> &step);

private:
    struct Posting {
        Trigram trigram;
        qint64 rowid;
        bool operator<(const Posting &o) const
        {
            return trigram != o.trigram ? trigram < o.trigram : rowid < o.rowid;
        }
        bool operator==(const Posting &) const = default;
    };
    struct Chunk;
    using Change = void (*)(std::vector<qint64> &list, const qint64 *first, const qint64 *last);

    // The number the index lists a row under, or nothing when it cannot hold the row.
    std::optional<qint64> listedRowid(qint64 rowid, QStringView key) const;
    std::vector<Posting> postingsOf(const std::vector<KeywordRow> &rows) const;
    static std::vector<Posting> postingsUnder(Trigram trigram, const std::vector<qint64> &rowids);
    // The trigrams, those with the shortest lists (fewest chunks) first.
    std::vector<Trigram> shortestFirst(const std::vector<Trigram> &trigrams);
    // Every rowid listed under the trigram, ascending.
    std::vector<qint64> wholeList(Trigram trigram);
    // Keeps the rows (ascending) that the trigram lists too.
    void keepListed(std::vector<qint64> &rows, Trigram trigram);
    // Applies `change` to the chunks that the sorted postings fall in; a chunk that cannot be
    // read makes the whole index anew instead.
    void updateOrRebuild(const std::vector<Posting> &postings, Change change);
    void update(const std::vector<Posting> &postings, Change change);
    Chunk chunkFor(Trigram trigram, qint64 rowid);
    void eraseChunk(Trigram trigram, qint64 first);
    // Writes a trigram's sorted rowids as chunks of at most `bytes` bytes each.
    void writeChunks(Trigram trigram, const qint64 *first, const qint64 *last, qsizetype bytes);
    // Sorts the postings and writes each trigram's rowids after the chunks it has; empties them.
    void writeSorted(std::vector<Posting> &postings);
    // The group a listed number belongs to in the order a rebuild reads the rows.
    qint64 groupOf(qint64 listed) const;
    sqlite::Statement &statement(int which);

    sqlite::Database &m_db;
    Table m_table;
    std::vector<std::unique_ptr<sqlite::Statement>> m_statements;
};

} // namespace qm::store
