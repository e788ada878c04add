#include "storeerror.h"

#include <sqlite3.h>

namespace qm::store {
namespace {

// The store's marks on engine errors.
enum Mark : int { NotDictionary = 1 };

} // namespace

sqlite::Error notDictionaryError(const QString &path)
{
    return sqlite::Error(sqlite::Error::Kind::General, SQLITE_NOTADB, QStringLiteral("not a dictionary: %1").arg(path),
                         NotDictionary);
}

bool isNotDictionaryError(const sqlite::Error &error)
{
    return error.mark() == NotDictionary;
}

} // namespace qm::store
