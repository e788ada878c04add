#pragma once

#include "app/store/progress.h"

namespace qm::sqlite {
class Database;
}

namespace qm::store {

// Keywords and headings are found through folded keys (IndexKey, HeadingKey) that the store
// writes with every row. A file records which version of the folding made them; rows written
// by another program (the stock sqlite3 tool leaves the keys empty) or keys folded by another
// version are only found again once the keys are recomputed.

// True when the file's keys were folded by this program's version of the folding.
bool keysAreCurrent(sqlite::Database &db);

// Recomputes every key that differs from the fold of its text, in batches with progress, and
// records this program's version. Runs inside the caller's transaction; throws sqlite::Error
// (Kind::Cancelled when the progress asks to stop). Returns how many keyword keys changed.
qint64 refoldKeys(sqlite::Database &db, const Progress &progress);

} // namespace qm::store
