#include "app/store/care/compaction.h"
#include "app/store/dictionary/workingcopy.h"

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/fileattributes.h"
#include "app/store/dictionary/filelock.h"
#include "app/store/dictionary/foldkeys.h"
#include "app/store/dictionary/properties.h"
#include "app/store/dictionary/schema.h"
#include "app/store/search/searchtables.h"
#include "app/store/dictionary/storeerror.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"
#include "platform/sqlite/transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace qm::store {
namespace {

Error failure(Error::Kind kind, const QString &path, int code = SQLITE_ERROR)
{
    return Error(kind, path, code);
}

Error cancelled()
{
    return Error(Error::Kind::Cancelled);
}

// Names, in a dictionary, the backup its last compaction kept and that file's identity then.
const QString BackupRecord = QStringLiteral("CompactionBackup");

// "User.bak", "User.bak1", "User.bak2", ...: the names a compaction of "User.dic" may keep its backup under.
bool isBackupName(const QString &path, const QString &name)
{
    const QString first = QFileInfo(compactionBackupPath(path)).fileName();
    static const QRegularExpression number(QStringLiteral("^\\d*$"));
    return name.startsWith(first) && number.match(name.mid(first.size())).hasMatch();
}

bool nameIsFree(const QString &path)
{
    return !QFileInfo::exists(path) && !QFileInfo(path).isSymLink();
}

// The name the backup of this compaction goes under. The earlier backup is replaced only when
// the dictionary's record proves that the file under the recorded name is still the very file
// its last compaction kept; any other file is left alone and the first free name is taken.
QString backupPathFor(const QString &path, const QString &record)
{
    const QStringList parts = record.split(QLatin1Char('\n'));
    if (parts.size() == 2 && isBackupName(path, parts[0])) {
        const QString earlier = QFileInfo(path).absoluteDir().filePath(parts[0]);
        if (QFileInfo(earlier).isFile() && !QFileInfo(earlier).isSymLink() && fileIdentity(earlier) == parts[1])
            return earlier;
    }
    const QString first = compactionBackupPath(path);
    for (int n = 0;; ++n) {
        const QString candidate = n == 0 ? first : first + QString::number(n);
        if (nameIsFree(candidate))
            return candidate;
    }
}

void removeIfThere(const QString &path)
{
    if (QFileInfo::exists(path) && !QFile::remove(path))
        throw failure(Error::Kind::NotRemovable, path, SQLITE_CANTOPEN);
}

// One compaction: copy, recompute keys, check, swap, verify. Progress runs over three equal
// stages measured in pages of the old file: copying, recomputing keys, checking the copy.
class Compaction final
{
public:
    Compaction(const QString &path, const Progress &progress, const RichTextReader &richText)
        : m_path(QFileInfo(path).absoluteFilePath())
        , m_temp(compactionTempPath(m_path))
        , m_progress(progress)
        , m_richText(richText)
    {
    }

    // Gives the path of the backup kept.
    QString run()
    {
        if (m_path == m_temp)
            throw failure(Error::Kind::NotCompactable, m_path);
        removeIfThere(m_temp);
        removeIfThere(m_temp + QStringLiteral("-journal"));
        try {
            copy();
            finishCopy();
            // The new file is the dictionary the user set up: the same mode, owner and group.
            keepFileAttributes(m_path, m_temp);
            if (!reportProgress(m_progress, 3 * m_pages, 3 * m_pages))
                throw cancelled();
        } catch (...) {
            QFile::remove(m_temp);
            throw;
        }
        swap();
        verify();
        return m_backup;
    }

private:
    static int onProgress(void *self) { return static_cast<Compaction *>(self)->tick() ? 0 : 1; }

    bool tick()
    {
        const qint64 done = m_stage == 0 ? QFileInfo(m_temp).size() / qMax(1, m_pageSize) : m_stage * m_pages;
        m_cancelled = !reportProgress(m_progress, qMin(done, m_pages * (m_stage + 1)), 3 * m_pages);
        return !m_cancelled;
    }

    // Runs a statement that the progress can interrupt.
    void interruptible(sqlite::Database &db, const std::function<void()> &work)
    {
        sqlite3_progress_handler(db.handle(), 20000, &Compaction::onProgress, this);
        try {
            work();
        } catch (const sqlite::Error &) {
            sqlite3_progress_handler(db.handle(), 0, nullptr, nullptr);
            if (m_cancelled)
                throw cancelled();
            throw;
        }
        sqlite3_progress_handler(db.handle(), 0, nullptr, nullptr);
    }

    void copy()
    {
        // Opened for writing, so that the journal of a program killed while writing is played
        // back into the old file first: it belongs to that file, never to the copy.
        sqlite::Database source(m_path, sqlite::Database::OpenMode::ReadWrite);
        if (!schema::isDictionary(source))
            throw notDictionaryError(m_path);
        m_backup = backupPathFor(m_path, findProperty(source, BackupRecord).value_or(QVariant()).toString());
        m_pages = pragmaValue(source, "PRAGMA page_count");
        m_pageSize = int(pragmaValue(source, "PRAGMA page_size"));
        // The copy is attached by the engine for the time of the statement.
        sqlite3_limit(source.handle(), SQLITE_LIMIT_ATTACHED, 1);
        sqlite::Statement vacuum(source, "VACUUM INTO ?1");
        vacuum.bind(1, m_temp);
        interruptible(source, [&] { vacuum.run(); });
    }

    static qint64 pragmaValue(sqlite::Database &db, const char *sql)
    {
        sqlite::Statement st(db, sql);
        return st.step() ? st.toInt64(0) : 0;
    }

    // Recomputes the copy's keys and its search tables, and checks it whole. The copy is thrown
    // away on any failure, so it needs no journal.
    void finishCopy()
    {
        sqlite::Database copy(m_temp, sqlite::Database::OpenMode::ReadWrite);
        copy.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=FULL;");
        registerBodyFunctions(copy, &m_richText);
        m_stage = 1;
        {
            sqlite::Transaction tx(copy);
            // A file of an earlier version gains the search tables, and keys or body texts
            // folded by another version are made anew. Copying keeps every rowid, so the
            // trigram index stays in step with what the store wrote; it is made anew when
            // another program changed keyword rows (then their keys were recomputed, or the rows
            // are not the ones the store recorded) or left a list of it that cannot be read.
            const schema::Layout layout = schema::layoutOf(copy);
            const bool newTables = layout == schema::Layout::WithoutSearchTables
                                   || layout == schema::Layout::IncompleteSearchTables;
            if (newTables)
                schema::createSearchTables(copy);
            // An index of the earlier layout is made anew in the current one.
            const bool newIndex = layout == schema::Layout::EarlierTrigramIndex;
            if (newIndex)
                schema::replaceTrigramIndex(copy);
            const bool newBodyIndex = layout == schema::Layout::WithoutBodyIndex;
            if (newBodyIndex)
                schema::addBodyIndex(copy);
            const bool keysCurrent = keysAreCurrent(copy);
            const qint64 changedKeys = refoldKeys(copy, progressStage(m_progress, m_pages, m_pages / 2, 3 * m_pages));
            const auto bodies = newTables || !keysCurrent ? searchtables::BodyTexts::All
                                                          : searchtables::BodyTexts::Missing;
            const Progress rest = progressStage(m_progress, m_pages + m_pages / 2, m_pages - m_pages / 2, 3 * m_pages);
            if (newTables || newIndex || changedKeys > 0 || !searchtables::indexIsSound(copy))
                searchtables::rebuild(copy, bodies, rest);
            else if (searchtables::readBodyTexts(copy, bodies, rest) > 0 || newBodyIndex
                     || searchtables::bodyIndexIsStale(copy))
                searchtables::rebuildBodyIndex(copy, {});
            recordBackup(copy);
            tx.commit();
        }
        m_stage = 2;
        // Every page of the copy is read and its b-tree structure, records and constraints are
        // checked. Whether each index entry matches its row (integrity_check) is left out: the
        // copy's indexes were just built from its rows, and on a file of a million keyword rows
        // that part alone costs several times the copying.
        interruptible(copy, [&] {
            sqlite::Statement check(copy, "PRAGMA quick_check");
            if (!check.step() || check.toText(0) != QLatin1String("ok"))
                throw failure(Error::Kind::CompactedCopyDamaged, m_path, SQLITE_CORRUPT);
        });
        copy.close();
        if (!syncPath(m_temp))
            throw failure(Error::Kind::CompactedCopyUnwritten, m_path, SQLITE_IOERR);
    }

    // The new file records which file its backup is, for the next compaction to know it may replace it.
    void recordBackup(sqlite::Database &copy)
    {
        const QString record = QFileInfo(m_backup).fileName() + QLatin1Char('\n') + fileIdentity(m_path);
        if (findProperty(copy, BackupRecord))
            writeProperty(copy, BackupRecord, record);
        else
            createProperty(copy, BackupRecord, PropertyType::Text, record);
    }

    // Keeps the old file as the backup and puts the copy in its place. The old file gets its
    // second name (a hard link, or a copy where links are not possible) before the copy is
    // renamed over it, so one of the two is always there under the dictionary's name.
    void swap()
    {
        try {
            removeIfThere(m_backup);
            if (::link(QFile::encodeName(m_path).constData(), QFile::encodeName(m_backup).constData()) != 0
                && !(QFile::copy(m_path, m_backup) && syncPath(m_backup)))
                throw failure(Error::Kind::CompactionBackupFailed, m_backup, SQLITE_CANTOPEN);
            if (::rename(QFile::encodeName(m_temp).constData(), QFile::encodeName(m_path).constData()) != 0)
                throw failure(Error::Kind::CompactedNotPlaced, m_path, SQLITE_CANTOPEN);
        } catch (...) {
            QFile::remove(m_temp);
            throw;
        }
        syncPath(QFileInfo(m_path).absolutePath());
    }

    // The new file must open as a dictionary; otherwise the old one goes back.
    void verify()
    {
        try {
            Dictionary check(m_path);
        } catch (const sqlite::Error &e) {
            if (::rename(QFile::encodeName(m_backup).constData(), QFile::encodeName(m_path).constData()) == 0)
                syncPath(QFileInfo(m_path).absolutePath());
            throw failure(Error::Kind::CompactedNotOpened, m_path, e.code()).withCause(e);
        }
    }

    QString m_path;
    QString m_temp;
    QString m_backup;
    const Progress &m_progress;
    const RichTextReader &m_richText;
    qint64 m_pages = 0;
    int m_pageSize = 4096;
    int m_stage = 0;
    bool m_cancelled = false;
};

} // namespace

QString compactionBackupPath(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > 0 ? name.left(dot) : name;
    return info.absoluteDir().filePath(base + QStringLiteral(".bak"));
}

void requireReplaceable(const QString &path)
{
    const QFileInfo info(path);
    constexpr auto anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    const bool writable = info.isWritable() && (info.permissions() & anyWrite)
                          && QFileInfo(info.absolutePath()).isWritable();
    if (!writable)
        throw Error(Error::Kind::ReadOnly, path);
}

CompactionSizes CompactDictionary(const QString &path, const Progress &progress, const RichTextReader &richText)
{
    if (!QFileInfo(path).isFile())
        throw failure(Error::Kind::FileMissing, path, SQLITE_CANTOPEN);
    requireReplaceable(path);
    // No program may have the file open while it is replaced: its writes would go to the old file.
    const ExclusiveFileLock lock(path);
    removeStaleCompactionCopies(QFileInfo(path).absolutePath());
    CompactionSizes sizes;
    sizes.before = QFileInfo(path).size();
    sizes.backup = Compaction(path, progress, richText).run();
    sizes.after = QFileInfo(path).size();
    return sizes;
}

} // namespace qm::store
