#pragma once

#include "error.h"

#include <QString>

struct sqlite3;

namespace qm::sqlite {

class Statement;

// One open database file. Every connection is opened hardened for files from anywhere:
// defensive mode, no trusted schema, triggers and views off, cell size checks and lowered
// limits, with foreign keys on, a rollback journal and full syncs.
class Database final
{
public:
    enum class OpenMode { ReadWrite, ReadOnly, Create };

    // Opens the file; throws Error. A path whose folder does not exist fails with
    // Error::Kind::FolderMissing, every other failure with Kind::General. The file is read at
    // once, so a file that is no database fails here and not at its first query.
    explicit Database(const QString &path, OpenMode mode = OpenMode::ReadWrite);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    Database(Database &&) = delete;
    Database &operator=(Database &&) = delete;

    void exec(const char *sql);
    qint64 lastInsertRowId() const;
    int changes() const;
    const QString &path() const { return m_path; }
    sqlite3 *handle() const { return m_db; }

    // Throws the connection's current error.
    [[noreturn]] void raise(int code, const char *what = nullptr) const;

private:
    void harden(bool readOnly);
    void registerFunctions();

    sqlite3 *m_db = nullptr;
    QString m_path;
};

} // namespace qm::sqlite
