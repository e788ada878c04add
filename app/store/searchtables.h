#pragma once

#include "progress.h"

#include <QString>

namespace qm::sqlite {
class Database;
class LikePattern;
} // namespace qm::sqlite

namespace qm::store::searchtables {

// What contains and suffix searches of keywords, and body searches of rich text, read besides
// the three tables (see schema.cpp): the trigram index IndexKeyTrigram over the folded keywords
// and the folded visible text of rich-text bodies in DocumentText. The store writes both with
// every change it makes; what other programs write reaches them when they are rebuilt (when
// keys are recomputed and when a dictionary is compacted).

// The most candidate rows a search takes from the trigram index; a query that names more is
// served by walking the keyword index in order, which finds the first rows of many sooner.
constexpr qint64 CandidateLimit = 10000;

// The query of the trigram index that every folded key matching the pattern satisfies: each
// distinct trigram of the pattern's literal runs, joined by AND. Empty when no run is three
// characters long, since the index cannot narrow such a pattern.
QString trigramQuery(const sqlite::LikePattern &pattern);

// Which rich-text bodies have their text read again by rebuild().
enum class BodyTexts {
    All,    // every one (the folding or the tables are new)
    Missing // only those without a text (written by another program, or while no reader was set)
};

// Fills the trigram index anew from every keyword row (merged into one segment, which queries
// read fastest), reads the text of rich-text bodies and drops the texts of entries that are no
// longer rich text. Runs inside the caller's transaction, in batches with progress; throws
// sqlite::Error (Kind::Cancelled when the progress asks to stop).
void rebuild(sqlite::Database &db, BodyTexts bodies, const Progress &progress);
// Only the body texts.
void readBodyTexts(sqlite::Database &db, BodyTexts bodies, const Progress &progress);

// The keyword rows the trigram index was last known to hold: their number and the highest
// rowid, recorded in the property SearchIndexRows. The store records them with each of its
// writes; keyword rows that another program added or deleted make the actual ones differ.
void recordIndexedRows(sqlite::Database &db);
// True when the keyword rows are the ones recorded (counting them reads a whole index).
bool indexedRowsMatch(sqlite::Database &db);

} // namespace qm::store::searchtables
