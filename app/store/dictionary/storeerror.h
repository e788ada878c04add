#pragma once

#include "platform/sqlite/error.h"

namespace qm::store {

// The file opens but is not one of our dictionaries: its schema is not ours or it lacks the
// marker. Reported as an engine error (SQLITE_NOTADB) the store marks as its own.
sqlite::Error notDictionaryError(const QString &path);
bool isNotDictionaryError(const sqlite::Error &error);

// Every entry number is taken, so no entry can be added.
sqlite::Error numbersExhaustedError();
bool isNumbersExhaustedError(const sqlite::Error &error);

} // namespace qm::store
