#pragma once

#include "database.h"
#include "rowlist.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct sqlite3_stmt;

namespace qm::sqlite {

class LikePattern;

// A prepared statement that lives for one use. Values are always bound, never spliced into the
// SQL text. Parameters are numbered from 1, columns from 0.
class Statement final
{
public:
    Statement(Database &db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    Statement &bind(int index, qint64 value);
    Statement &bind(int index, int value) { return bind(index, qint64(value)); }
    Statement &bind(int index, const QString &value);
    Statement &bindUtf8(int index, const QByteArray &utf8);
    Statement &bindBlob(int index, const QByteArray &value);
    // Binds the bytes where they are, without a copy (a body may be a hundred megabytes): they
    // must stay as they are until the statement has been stepped and reset.
    Statement &bindBlobInPlace(int index, QByteArrayView value);
    Statement &bindNull(int index);
    // Binds a compiled pattern for the SQL functions that take one (qm_like, ...), so the engine
    // does not compile it again. `pattern` must outlive the statement's run (up to reset()).
    Statement &bindPattern(int index, const LikePattern &pattern);
    // Binds a list for qm_rows(?) (see rowlist.h); the numbers are read in place, so they must
    // stay as they are until the statement is reset. One list per statement.
    Statement &bindRows(int index, RowList rows);

    // Advances to the next row; false when there are no more. Throws on errors.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    bool isNull(int column) const;
    qint64 toInt64(int column) const;
    int toInt(int column) const { return int(toInt64(column)); }
    QString toText(int column) const;
    QByteArray toBlob(int column) const;
    // The column's bytes where the engine holds them: valid until the next step or reset.
    QByteArrayView blobView(int column) const;
    // The same for a column read as UTF-8 text.
    QByteArrayView utf8View(int column) const;

private:
    Database &m_db;
    sqlite3_stmt *m_stmt = nullptr;
    RowList m_rows;
};

} // namespace qm::sqlite
