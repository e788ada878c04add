#pragma once

#include "error.h"

#include <QString>

struct sqlite3;

namespace qm::sqlite {

class Statement;

// One open database file. Every connection is opened hardened for files from anywhere:
// defensive mode, no trusted schema, triggers and views off, cell size checks and lowered
// limits, with foreign keys on.
//
// Opening writes nothing to the file: a caller first checks what it opened, then calls
// prepareForWriting(), which sets the rollback journal and full syncs. Until then closing the
// connection does not checkpoint a write-ahead log either, so a file that is refused keeps
// every byte.
class Database final
{
public:
    // Memory: a private database that lives in memory only; the path is ignored.
    // Immutable: reads the file as it lies on disk, taking no lock and making no file beside it
    // (no journal is read, no log), for a damaged file that must stay byte for byte as it is.
    enum class OpenMode { ReadWrite, ReadOnly, Create, Memory, Immutable };

    // Opens the file; throws Error. A path whose folder does not exist fails with
    // Error::Kind::FolderMissing, every other failure with Kind::General. The file is read at
    // once, so a file that is no database fails here and not at its first query. The path is
    // always a plain file name, never read as a URI. ReadWrite falls back to reading only when
    // the file is write-protected (see isReadOnly()). ReadOnly first rolls back a write that was
    // cut short, when the file and its folder may be written; otherwise such a file fails with
    // SQLITE_READONLY_ROLLBACK.
    explicit Database(const QString &path, OpenMode mode = OpenMode::ReadWrite);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    Database(Database &&) = delete;
    Database &operator=(Database &&) = delete;

    // Sets the journal mode and syncs for writing; only for a file that passed its checks.
    void prepareForWriting();
    bool isReadOnly() const;
    // Whether a transaction is open on the connection.
    bool inTransaction() const;

    // Closes the connection early; the object can then only be destroyed or reopened.
    void close();
    // Closes the connection and opens the file under the same path again (another file may
    // have been put under that name meanwhile); throws Error as the constructor does, and the
    // object is then closed.
    void reopen(OpenMode mode);

    void exec(const char *sql);
    qint64 lastInsertRowId() const;
    int changes() const;
    const QString &path() const { return m_path; }
    sqlite3 *handle() const { return m_db; }

    // Throws the connection's current error.
    [[noreturn]] void raise(int code, const char *what = nullptr) const;

private:
    void open(OpenMode mode);
    void openOnce(OpenMode mode);
    void checkPath(const QString &path, OpenMode mode) const;
    // Plays back the journal of a write cut short; throws, with the reason, when the file or its
    // folder may not be written.
    void rollBackCutShortWrite() const;
    void harden();
    void registerFunctions();

    sqlite3 *m_db = nullptr;
    QString m_path;
};

} // namespace qm::sqlite
