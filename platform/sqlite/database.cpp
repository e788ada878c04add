#include "database.h"

#include "likepattern.h"
#include "rowlist.h"
#include "platform/text/fold.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <sqlite3.h>

#include <memory>

namespace qm::sqlite {
namespace {

// qm_like(pattern, foldedText): the dictionary LIKE on folded text. The compiled pattern is
// kept with the statement, so it is compiled once per query and not once per row.
void likeFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    bool failed = false;
    const LikePattern *pattern = patternArgument(ctx, 0, argv[0], failed);
    if (failed)
        return;
    if (!pattern || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    const int len = sqlite3_value_bytes(argv[1]);
    sqlite3_result_int(ctx, pattern->matches(text::codePoints(QString::fromUtf8(text, len))) ? 1 : 0);
}

// qm_fold(text): the comparison key of a keyword or heading, for statements that need it
// computed by the engine.
void foldFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QByteArray folded = text::fold(QString::fromUtf8(text, sqlite3_value_bytes(argv[0]))).toUtf8();
    sqlite3_result_text(ctx, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

// The engine's text for a file whose last write was cut short: its journal is still beside it,
// and only a connection that may write plays it back (the code SQLITE_READONLY_ROLLBACK).
QString cutShortWrite()
{
    return QStringLiteral("the last write was cut short and its journal must be played back by a writer");
}

} // namespace

Database::Database(const QString &path, OpenMode mode)
    : m_path(path)
{
    open(mode);
}

void Database::reopen(OpenMode mode)
{
    close();
    open(mode);
}

void Database::open(OpenMode mode)
{
    try {
        openOnce(mode);
    } catch (const Error &e) {
        if (e.code() != SQLITE_READONLY_ROLLBACK)
            throw;
        // Opened for writing, only a write-protected file gets here.
        if (mode != OpenMode::ReadOnly)
            throw Error(Error::Kind::General, e.code(), cutShortWrite());
        rollBackCutShortWrite();
        openOnce(mode);
    }
}

void Database::openOnce(OpenMode mode)
{
    const QString &path = m_path;
    checkPath(path, mode);
    // An absolute path never starts with "file:", so the engine cannot take it for a URI with
    // options of its own (another VFS, immutable, a different mode).
    QByteArray name = mode == OpenMode::Memory ? QByteArray(":memory:")
                                                : QFile::encodeName(QFileInfo(path).absoluteFilePath());
    int flags = SQLITE_OPEN_EXRESCODE | SQLITE_OPEN_NOMUTEX;
    flags |= mode == OpenMode::ReadOnly || mode == OpenMode::Immutable ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (mode == OpenMode::Immutable) {
        // The one mode that takes the name as a URI, built here from the absolute path with
        // every special character escaped, so only the option written here applies.
        name = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    }
    if (mode == OpenMode::Create || mode == OpenMode::Memory)
        flags |= SQLITE_OPEN_CREATE;
    const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw Error(Error::Kind::General, rc, message);
    }
    try {
        harden();
        registerFunctions();
        if (mode == OpenMode::Create || mode == OpenMode::Memory)
            prepareForWriting();
    } catch (...) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw;
    }
}

// A write cut short (the program killed, the power gone) leaves its journal beside the file, and
// the file cannot be read until the journal has been played back, which only a connection that
// may write does. The engine plays it back under its own exclusive lock when such a connection
// first reads the file, as every opening for writing does.
void Database::rollBackCutShortWrite() const
{
    const QFileInfo info(m_path);
    if (!info.isWritable() || !QFileInfo(info.absolutePath()).isWritable())
        throw Error(Error::Kind::General, SQLITE_READONLY_ROLLBACK, cutShortWrite());
    const Database writer(m_path, OpenMode::ReadWrite);
}

void Database::checkPath(const QString &path, OpenMode mode) const
{
    if (mode == OpenMode::Memory)
        return;
    const QFileInfo info(path);
    if (!QFileInfo(info.absolutePath()).isDir())
        throw Error(Error::Kind::FolderMissing, SQLITE_CANTOPEN,
                    QStringLiteral("folder does not exist: %1").arg(info.absolutePath()));
    if (mode == OpenMode::Create && info.exists())
        throw Error(Error::Kind::General, SQLITE_CANTOPEN,
                    QStringLiteral("file already exists: %1").arg(path));
    if (mode != OpenMode::Create && info.isDir())
        throw Error(Error::Kind::General, SQLITE_CANTOPEN, QStringLiteral("is a folder: %1").arg(path));
}

Database::~Database()
{
    if (m_db)
        sqlite3_close_v2(m_db);
}

void Database::harden()
{
    int ignored = 0;
    // Until the file has been checked, closing must not write a write-ahead log into it.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, &ignored);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, &ignored);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &ignored);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, &ignored);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, &ignored);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, &ignored);
    sqlite3_limit(m_db, SQLITE_LIMIT_SQL_LENGTH, 100000);
    sqlite3_limit(m_db, SQLITE_LIMIT_COLUMN, 100);
    sqlite3_limit(m_db, SQLITE_LIMIT_EXPR_DEPTH, 100);
    sqlite3_limit(m_db, SQLITE_LIMIT_COMPOUND_SELECT, 4);
    sqlite3_limit(m_db, SQLITE_LIMIT_VDBE_OP, 100000);
    sqlite3_limit(m_db, SQLITE_LIMIT_FUNCTION_ARG, 8);
    sqlite3_limit(m_db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(m_db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 1000);
    sqlite3_limit(m_db, SQLITE_LIMIT_VARIABLE_NUMBER, 100);
    sqlite3_limit(m_db, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
    // A file another program is writing is waited for a few seconds, then reported busy.
    sqlite3_busy_timeout(m_db, 3000);
    // Reading the schema here makes a file that is no database fail at open.
    exec("PRAGMA cell_size_check=ON;"
         "PRAGMA foreign_keys=ON;"
         "PRAGMA mmap_size=0;"
         "PRAGMA cache_size=-2048;"
         "PRAGMA temp_store=MEMORY;"
         "SELECT count(*) FROM sqlite_schema;");
}

void Database::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void Database::prepareForWriting()
{
    // A write-protected file keeps whatever journal it has; it is only read then.
    if (isReadOnly())
        return;
    int ignored = 0;
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, &ignored);
    exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL;");
}

bool Database::isReadOnly() const
{
    return sqlite3_db_readonly(m_db, "main") == 1;
}

bool Database::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

void Database::registerFunctions()
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY;
    int rc = sqlite3_create_function_v2(m_db, "qm_like", 2, flags, nullptr, likeFunction, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(m_db, "qm_fold", 1, flags, nullptr, foldFunction, nullptr,
                                        nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = registerRowList(m_db);
    if (rc != SQLITE_OK)
        raise(rc, "registering functions");
}

void Database::exec(const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        sqlite3_free(message);
        throw Error(Error::Kind::General, rc, text);
    }
}

qint64 Database::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int Database::changes() const
{
    return sqlite3_changes(m_db);
}

void Database::raise(int code, const char *what) const
{
    QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
    if (what)
        message = QString::fromUtf8(what) + QStringLiteral(": ") + message;
    throw Error(Error::Kind::General, code, message);
}

} // namespace qm::sqlite
