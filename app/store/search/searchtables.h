#pragma once

#include "app/store/progress.h"

#include <QString>
#include <QStringView>

namespace qm::sqlite {
class Database;
} // namespace qm::sqlite

namespace qm::store::searchtables {

// What contains and suffix searches of keywords, and body searches, read besides the three
// tables (see schema.cpp): the trigram index KeyTrigram over the folded keywords, the folded
// visible text of rich-text bodies in DocumentText and the trigram index BodyTrigram over the
// folded text of every body. The store writes both with
// every change it makes; what other programs write reaches them when they are rebuilt (when
// keys are recomputed and when a dictionary is compacted).

// The most candidate rows a search takes from the trigram index; a query that names more is
// served by walking the keyword index in order, which finds the first rows of many sooner.
constexpr qint64 CandidateLimit = 10000;

// The rowids the trigram index lists: the keyword row's rowid in the low 32 bits, the order
// class of its folded key above them. The order class (keyOrder()) keeps the order of the
// keys: a key of a lower class sorts before every key of a higher one. The index lists the rows
// of a query by these rowids, so a lookup reads the keyword rows in nearly keyword order and
// can stop once it has its rows and the class they end in. Keyword rows numbered outside
// 1 ... RowMask are not indexed; lookups pass over the index while a dictionary has such a
// row (IndexableRowsSql).
// The order classes are part of the file: changing keyOrder() needs a new layout of the index.
constexpr int RowBits = 32;
constexpr qint64 RowMask = (qint64(1) << RowBits) - 1;
static_assert(RowMask == 4294967295, "QM_INDEXABLE_ROWS and IndexableRowsSql name RowMask");

// The order class of a folded key: its first three characters, ten bits each, in a
// scale that tells apart every ASCII character and every hiragana, kanji in small groups and
// the rest of Unicode in larger ones (the characters after one of those are not counted); 0
// stands for the end of a shorter key.
quint32 keyOrder(QStringView key);
// The lowest key of an order class: every key of the class sorts at or after it.
QString lowestKeyOf(quint32 order);
inline qint64 indexRowid(qint64 row, QStringView key)
{
    return (qint64(keyOrder(key)) << RowBits) | row;
}
inline qint64 keywordRowOf(qint64 indexRowid) { return indexRowid & RowMask; }
inline quint32 keyOrderOf(qint64 indexRowid) { return quint32(indexRowid >> RowBits); }
// The condition on "Index".rowid of the rows the index holds.
#define QM_INDEXABLE_ROWS "rowid BETWEEN 1 AND 4294967295"
// A query giving 1 when every keyword row is numbered so that the index can hold it.
constexpr char IndexableRowsSql[] = "SELECT coalesce((SELECT min(rowid) FROM \"Index\") >= 1 "
                                    "AND (SELECT max(rowid) FROM \"Index\") <= 4294967295, 1)";

// Bodies larger than this are not indexed (gathering the trigrams of a large text takes many
// times its size, and such bodies are few): the body index lists them under
// TrigramIndex::ReadAlways, and every body search reads them.
constexpr qint64 IndexedBodyBytes = 1 << 20;
#define QM_INDEXED_BODY_BYTES "1048576"
static_assert(IndexedBodyBytes == 1048576, "QM_INDEXED_BODY_BYTES names IndexedBodyBytes");
inline bool isIndexedBody(qint64 bytes) { return bytes <= IndexedBodyBytes; }
// The key the body index holds a body under (of `d`, a Document row, and `t`, its DocumentText
// row), NULL for a body too large to index.
#define QM_BODY_KEY_SQL                                                                            \
    "CASE WHEN length(d.Document) <= " QM_INDEXED_BODY_BYTES                                       \
    " THEN qm_body_key(d.Viewer, d.Document, t.TextKey) END"

// Which rich-text bodies have their text read again by rebuild().
enum class BodyTexts {
    All,    // every one (the folding or the tables are new)
    Missing // only those without a text (written by another program, or while no reader was set)
};

// Fills the trigram index anew from every keyword row, reads the text of rich-text bodies,
// drops the texts of entries that are no longer rich text and fills the body index anew. Runs
// inside the caller's transaction, in batches with progress; throws sqlite::Error
// (Kind::Cancelled when the progress asks to stop).
void rebuild(sqlite::Database &db, BodyTexts bodies, const Progress &progress);
// Only the body index; it then lists nothing stale.
void rebuildBodyIndex(sqlite::Database &db, const Progress &progress);
// How many times an entry lost text the body index still lists it under (see
// TrigramIndex::addGained()), recorded in the property BodyIndexStale, and adding to it.
qint64 staleBodyCount(sqlite::Database &db);
void noteStaleBodies(sqlite::Database &db, qint64 more);
// True when the index holds so much that is stale that it is worth making anew.
bool bodyIndexIsStale(sqlite::Database &db);
// Only the body texts; returns how many were written (a body index then needs them too).
qint64 readBodyTexts(sqlite::Database &db, BodyTexts bodies, const Progress &progress);

// The keyword rows the trigram index was last known to hold: their number and the highest
// rowid, recorded in the property SearchIndexRows. The store records them with each of its
// writes; keyword rows that another program added or deleted make the actual ones differ.
void recordIndexedRows(sqlite::Database &db);
// True when the keyword rows are the ones recorded (counting them reads a whole index) and both
// trigram indexes can be read whole (which reads all of them).
bool indexIsSound(sqlite::Database &db);

} // namespace qm::store::searchtables
