#include "statement.h"
#include "likepattern.h"

#include <sqlite3.h>

namespace qm::sqlite {

Statement::Statement(Database &db, const char *sql)
    : m_db(db)
{
    const int rc = sqlite3_prepare_v3(db.handle(), sql, -1, 0, &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        db.raise(rc, "prepare");
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement &Statement::bind(int index, qint64 value)
{
    const int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK)
        m_db.raise(rc, "bind");
    return *this;
}

Statement &Statement::bind(int index, const QString &value)
{
    return bindUtf8(index, value.toUtf8());
}

Statement &Statement::bindUtf8(int index, const QByteArray &utf8)
{
    const int rc = sqlite3_bind_text64(m_stmt, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK)
        m_db.raise(rc, "bind");
    return *this;
}

Statement &Statement::bindBlob(int index, const QByteArray &value)
{
    // An empty body is stored as an empty blob, not as NULL.
    const int rc = sqlite3_bind_blob64(m_stmt, index, value.isEmpty() ? "" : value.constData(),
                                       sqlite3_uint64(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        m_db.raise(rc, "bind");
    return *this;
}

Statement &Statement::bindBlobInPlace(int index, QByteArrayView value)
{
    const int rc = sqlite3_bind_blob64(m_stmt, index, value.isEmpty() ? "" : value.data(),
                                       sqlite3_uint64(value.size()), SQLITE_STATIC);
    if (rc != SQLITE_OK)
        m_db.raise(rc, "bind");
    return *this;
}

Statement &Statement::bindPattern(int index, const LikePattern &pattern)
{
    // The engine only hands the pointer back to functions asking for this type; it never writes.
    const int rc = sqlite3_bind_pointer(m_stmt, index, const_cast<LikePattern *>(&pattern), CompiledPatternType, nullptr);
    if (rc != SQLITE_OK)
        m_db.raise(rc, "bind");
    return *this;
}

Statement &Statement::bindNull(int index)
{
    const int rc = sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK)
        m_db.raise(rc, "bind");
    return *this;
}

Statement &Statement::bindRows(int index, RowList rows)
{
    m_rows = rows;
    const int rc = sqlite3_bind_pointer(m_stmt, index, &m_rows, RowListType, nullptr);
    if (rc != SQLITE_OK)
        m_db.raise(rc, "bind");
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    m_db.raise(rc);
}

void Statement::run()
{
    while (step()) {
    }
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 Statement::toInt64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString Statement::toText(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

QByteArray Statement::toBlob(int column) const
{
    const void *data = sqlite3_column_blob(m_stmt, column);
    return QByteArray(static_cast<const char *>(data), sqlite3_column_bytes(m_stmt, column));
}

QByteArrayView Statement::blobView(int column) const
{
    const void *data = sqlite3_column_blob(m_stmt, column);
    return QByteArrayView(static_cast<const char *>(data), sqlite3_column_bytes(m_stmt, column));
}

QByteArrayView Statement::utf8View(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, column));
}

} // namespace qm::sqlite
