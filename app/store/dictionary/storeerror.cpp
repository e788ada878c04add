#include "app/store/dictionary/storeerror.h"

#include <QDir>

#include <sqlite3.h>

namespace qm::store {
namespace {

// The store's marks on engine errors.
enum Mark : int { NotDictionary = 1, NumbersExhausted = 2 };

} // namespace

sqlite::Error notDictionaryError(const QString &path)
{
    return sqlite::Error(sqlite::Error::Kind::General, SQLITE_NOTADB,
                         QStringLiteral("%1 は辞書ファイルではありません").arg(QDir::toNativeSeparators(path)), NotDictionary);
}

bool isNotDictionaryError(const sqlite::Error &error)
{
    return error.mark() == NotDictionary;
}

sqlite::Error numbersExhaustedError()
{
    return sqlite::Error(sqlite::Error::Kind::General, SQLITE_FULL, QStringLiteral("every entry number is taken"),
                         NumbersExhausted);
}

bool isNumbersExhaustedError(const sqlite::Error &error)
{
    return error.mark() == NumbersExhausted;
}

} // namespace qm::store
