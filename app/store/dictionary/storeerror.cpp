#include "app/store/dictionary/storeerror.h"

#include <sqlite3.h>

#include <utility>

namespace qm::store {
namespace {

using Kind = Error::Kind;

// The engine kind the same failure of the engine has, which callers that only know engine
// errors tell apart.
sqlite::Error::Kind engineKind(Kind kind)
{
    switch (kind) {
    case Kind::ReadOnly: return sqlite::Error::Kind::ReadOnly;
    case Kind::BodyTooLarge: return sqlite::Error::Kind::TooLarge;
    case Kind::BadPattern:
    case Kind::UnreadableWord: return sqlite::Error::Kind::BadPattern;
    case Kind::Cancelled:
    case Kind::BackupCancelled: return sqlite::Error::Kind::Cancelled;
    default: return sqlite::Error::Kind::General;
    }
}

// The engine code of a failure raised without one.
int engineCode(Kind kind)
{
    switch (kind) {
    case Kind::NotDictionary: return SQLITE_NOTADB;
    case Kind::NumbersExhausted: return SQLITE_FULL;
    case Kind::InUse: return SQLITE_BUSY;
    case Kind::ServerChangedByOther: return SQLITE_CONSTRAINT;
    case Kind::ReadOnly: return SQLITE_READONLY;
    case Kind::WriteUndone: return SQLITE_ABORT;
    case Kind::NulInKeyword: return SQLITE_CONSTRAINT;
    case Kind::BodyTooLarge: return SQLITE_TOOBIG;
    case Kind::Cancelled:
    case Kind::BackupCancelled: return SQLITE_INTERRUPT;
    case Kind::FileMissing:
    case Kind::Unreadable:
    case Kind::AttributesNotKept:
    case Kind::TargetRefused:
    case Kind::NotRemovable: return SQLITE_CANTOPEN;
    default: return SQLITE_ERROR;
    }
}

// A plain text for logs and debuggers; the user reads the words the windows give it.
QString technicalText(Kind kind, const QString &file)
{
    const QString text = QStringLiteral("store failure %1").arg(int(kind));
    return file.isEmpty() ? text : text + QStringLiteral(": ") + file;
}

} // namespace

Error::Error(Kind kind, QString file, int code)
    : sqlite::Error(engineKind(kind), code != 0 ? code : engineCode(kind), technicalText(kind, file))
    , m_failure(std::make_shared<Failure>())
{
    m_failure->kind = kind;
    m_failure->file = std::move(file);
    setDetail(m_failure);
}

Error &Error::withOther(QString other)
{
    m_failure->other = std::move(other);
    return *this;
}

Error &Error::withNumber(qint64 number)
{
    m_failure->number = number;
    return *this;
}

Error &Error::withSystemError(int systemError)
{
    m_failure->systemError = systemError;
    return *this;
}

Error &Error::withCause(const sqlite::Error &cause)
{
    m_failure->cause = std::make_shared<sqlite::Error>(cause);
    return *this;
}

Error &Error::withMark(int mark)
{
    setMark(mark);
    return *this;
}

const Failure *storeFailure(const sqlite::Error &error)
{
    return dynamic_cast<const Failure *>(error.detail());
}

bool isStoreError(const sqlite::Error &error, FailureKind kind)
{
    const Failure *failure = storeFailure(error);
    return failure && failure->kind == kind;
}

Error notDictionaryError(const QString &path)
{
    return Error(Kind::NotDictionary, path);
}

bool isNotDictionaryError(const sqlite::Error &error)
{
    return isStoreError(error, Kind::NotDictionary);
}

Error numbersExhaustedError()
{
    return Error(Kind::NumbersExhausted);
}

bool isNumbersExhaustedError(const sqlite::Error &error)
{
    return isStoreError(error, Kind::NumbersExhausted);
}

bool isDamageError(const sqlite::Error &error)
{
    const int code = error.code() & 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

} // namespace qm::store
