#include "app/store/care/backup.h"

#include "app/store/care/compaction.h"
#include "app/store/care/copywriteback.h"
#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/fileattributes.h"
#include "app/store/dictionary/filelock.h"
#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/storeerror.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"
#include "platform/postgres/error.h"
#include "platform/postgres/location.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

#include <sqlite3.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qm::store {
namespace {

const QString StampName = QStringLiteral(".last-backup");
const QString TimeFormat = QStringLiteral("yyyyMMdd-HHmmss");
// Marks the name of a file a restore replaced: "20261209-103000-before-restore.dic".
const QString BeforeRestore = QStringLiteral("-before-restore");

// The marks by which a backup's error carries its remedy, apart from the store's other marks.
constexpr int RemedyMark = 0x4200;

Error failure(Error::Kind kind, const QString &path, int code, BackupRemedy remedy = BackupRemedy::None)
{
    Error error(kind, path, code);
    if (remedy != BackupRemedy::None)
        error.withMark(RemedyMark + int(remedy));
    return error;
}

Error damagedFailure(const QString &path)
{
    return failure(Error::Kind::BackupDamaged, path, SQLITE_CORRUPT, BackupRemedy::RepairDictionary);
}

bool isDiskFull(int code, int systemError)
{
    return (code & 0xff) == SQLITE_FULL || systemError == ENOSPC || systemError == EDQUOT || systemError == EFBIG;
}

Error diskFullFailure(const QString &path)
{
    return failure(Error::Kind::BackupDiskFull, path, SQLITE_FULL, BackupRemedy::FreeSpace);
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

const QRegularExpression &generationName()
{
    static const QRegularExpression name(QStringLiteral("^(\\d{8}-\\d{6})(%1)?\\.\\w+$").arg(BeforeRestore));
    return name;
}

// A folder for the backups, made when missing; nothing is made when it cannot be written.
QString preparedFolder(const QString &root, const QString &path)
{
    const QString folder = backupFolderFor(root, path);
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
        throw failure(Error::Kind::BackupFolderUnwritable, folder, SQLITE_CANTOPEN, BackupRemedy::ChangeFolder);
    return folder;
}

// The dated name of a new generation; a second taken already moves the name on.
QString newGenerationPath(const QString &folder, const QString &suffix, QDateTime time, const QString &mark = {})
{
    const QDir dir(folder);
    for (;;) {
        const QString name = time.toString(TimeFormat) + mark + QLatin1Char('.') + suffix;
        if (!QFileInfo::exists(dir.filePath(name)))
            return dir.filePath(name);
        time = time.addSecs(1);
    }
}

void writeStamp(const QString &folder, const QString &stamp)
{
    QSaveFile file(QDir(folder).filePath(StampName));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(stamp.toUtf8());
        file.commit();
    }
}

using Connection = std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)>;

Connection openTarget(const QString &path)
{
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(encoded(path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW, nullptr);
    Connection target(db, &sqlite3_close_v2);
    if (rc != SQLITE_OK)
        throw failure(Error::Kind::BackupNotCreated, path, rc, BackupRemedy::ChangeFolder);
    sqlite3_exec(db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
    return target;
}

// Why the engine could not copy `source`, in words for the user with what helps.
Error copyFailure(const QString &source, int code, int systemError)
{
    if (isDiskFull(code, systemError))
        return diskFullFailure(source);
    if ((code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB)
        return damagedFailure(source);
    return failure(Error::Kind::BackupNotCopied, source, code, BackupRemedy::ChangeFolder);
}

// The dictionary opened only for reading, its schema checked.
std::unique_ptr<sqlite::Database> openSource(const QString &source)
{
    try {
        auto from = std::make_unique<sqlite::Database>(source, sqlite::Database::OpenMode::ReadOnly);
        if (!schema::isDictionary(*from))
            throw notDictionaryError(source);
        return from;
    } catch (const sqlite::Error &e) {
        if (isNotDictionaryError(e) || e.kind() != sqlite::Error::Kind::General)
            throw;
        if ((e.code() & 0xff) == SQLITE_CORRUPT || (e.code() & 0xff) == SQLITE_NOTADB)
            throw damagedFailure(source);
        throw failure(Error::Kind::BackupSourceUnreadable, source, e.code()).withCause(e);
    }
}

// The bytes of one page of the dictionary, which its copy shares.
off_t pageBytes(sqlite::Database &db)
{
    sqlite::Statement st(db, "PRAGMA page_size");
    return st.step() ? off_t(st.toInt64(0)) : off_t(4096);
}

// Copies the dictionary page by page, a few pages at a time, so that the program's own reads
// and writes of the file wait at most for one small step. A write by another connection makes
// the engine start the copy again. The copy goes to disk as it grows, not in one burst at its
// end, and does not stay in the file cache, where the program's lookups want the dictionaries.
void onlineCopy(const QString &source, const QString &target, const Progress &progress)
{
    const std::unique_ptr<sqlite::Database> from = openSource(source);
    const off_t pageSize = pageBytes(*from);
    Connection to = openTarget(target);
    sqlite3_backup *copy = sqlite3_backup_init(to.get(), "main", from->handle(), "main");
    if (!copy)
        throw copyFailure(source, sqlite3_extended_errcode(to.get()), sqlite3_system_errno(to.get()));
    CopyWriteback writeback(target);
    int rc = SQLITE_OK;
    bool stopped = false;
    while (!stopped && (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED)) {
        rc = sqlite3_backup_step(copy, 64);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        else
            std::this_thread::yield(); // a lookup waiting for the processor goes first
        const int pages = sqlite3_backup_pagecount(copy);
        const int copied = pages - sqlite3_backup_remaining(copy);
        writeback.advance(off_t(copied) * pageSize);
        stopped = !reportProgress(progress, copied, pages);
    }
    const int finished = sqlite3_backup_finish(copy);
    if (stopped && rc != SQLITE_DONE)
        throw Error(Error::Kind::BackupCancelled);
    if (rc != SQLITE_DONE || finished != SQLITE_OK)
        throw copyFailure(source, rc != SQLITE_DONE ? rc : finished, sqlite3_system_errno(to.get()));
}

// Gives a checked temporary copy of `source` the source's mode, owner and group (a private
// dictionary has private backups), syncs it, gives it its generation name and syncs the folder.
void putInPlace(const QString &source, const QString &temp, const QString &generation)
{
    keepFileAttributes(source, temp);
    if (!syncPath(temp) || ::rename(encoded(temp).constData(), encoded(generation).constData()) != 0) {
        if (isDiskFull(SQLITE_IOERR, errno))
            throw diskFullFailure(generation);
        throw failure(Error::Kind::BackupNotWritten, generation, SQLITE_IOERR, BackupRemedy::ChangeFolder)
            .withSystemError(errno);
    }
    syncPath(QFileInfo(generation).absolutePath());
}

// Runs `work` on a temporary file, which is removed again when it fails.
void withTemporary(const QString &temp, const std::function<void()> &work)
{
    QFile::remove(temp);
    try {
        work();
    } catch (...) {
        QFile::remove(temp);
        QFile::remove(temp + QStringLiteral("-journal"));
        throw;
    }
}

// A new generation of a dictionary in `folder`, without pruning.
QString backupInto(const QString &path, const QString &folder, const QDateTime &now, const Progress &progress = {})
{
    removeStaleCompactionCopies(folder);
    const QString stamp = fileIdentity(path);
    const QString generation = newGenerationPath(folder, QStringLiteral("dic"), now);
    const QString temp = compactionTempPath(generation);
    withTemporary(temp, [&] {
        onlineCopy(path, temp, progress);
        if (!Dictionary::IsDictionaryFile(temp)) {
            // A copy of a damaged dictionary fails as the dictionary does; a sound one's copy
            // that fails was spoilt where it was written.
            if (!Dictionary::IsDictionaryFile(path))
                throw damagedFailure(path);
            throw failure(Error::Kind::BackupCheckFailed, path, SQLITE_IOERR, BackupRemedy::ChangeFolder);
        }
        putInPlace(path, temp, generation);
    });
    // Synced and checked: nothing will read the generation soon.
    CopyWriteback::dropFromCache(generation);
    writeStamp(folder, stamp);
    return generation;
}

void copyFile(const QString &from, const QString &to)
{
    if (!QFile::copy(from, to))
        throw failure(Error::Kind::CopyFailed, from, SQLITE_IOERR).withOther(to);
}

// The copy of a generation that is to replace `target`, with the mode, owner, group and
// extended attributes the target has.
void copyInPlaceOf(const QString &generation, const QString &temp, const QString &target)
{
    copyFile(generation, temp);
    keepFileAttributes(target, temp);
}

// Keeps the dictionary as it is now before a restore replaces it, beside the generations but
// outside their count. A file that fails the checks is kept whole, under a name no listing or
// pruning takes for one.
void keepCurrent(const QString &path, const QString &folder)
{
    if (!QFileInfo::exists(path))
        return;
    const bool sound = Dictionary::IsDictionaryFile(path);
    const QDateTime now = QDateTime::currentDateTime();
    const QString kept = sound ? newGenerationPath(folder, QStringLiteral("dic"), now, BeforeRestore)
                               : QDir(folder).filePath(now.toString(TimeFormat) + QStringLiteral("-damaged.dic"));
    const QString temp = compactionTempPath(kept);
    withTemporary(temp, [&] {
        if (sound)
            onlineCopy(path, temp, {});
        else
            copyFile(path, temp);
        putInPlace(path, temp, kept);
    });
}

// A writer killed in the middle leaves its journal beside the file; it belongs to the old file
// and must not be played back into the restored one, so it is played back now (or dropped with
// a file too damaged to take it).
void settleJournal(const QString &path)
{
    try {
        sqlite::Database old(path, sqlite::Database::OpenMode::ReadWrite);
        sqlite::Statement(old, "SELECT count(*) FROM sqlite_master").step();
    } catch (const sqlite::Error &) {
    }
    QFile::remove(path + QStringLiteral("-journal"));
}

// A copy of a file that is no dictionary in `folder`, named by the time and `mark`.
QString plainCopyInto(const QString &path, const QString &folder, const QDateTime &now, const QString &mark,
                      const PlainFileCheck &check)
{
    removeStaleCompactionCopies(folder);
    const QString suffix = QFileInfo(path).suffix().isEmpty() ? QStringLiteral("bak") : QFileInfo(path).suffix();
    const QString generation = newGenerationPath(folder, suffix, now, mark);
    const QString temp = compactionTempPath(generation);
    withTemporary(temp, [&] {
        copyFile(path, temp);
        if (const std::optional<Error> problem = check ? check(temp) : std::nullopt)
            throw failure(Error::Kind::PlainBackupCheckFailed, path, SQLITE_CORRUPT).withCause(*problem);
        putInPlace(path, temp, generation);
    });
    return generation;
}

// A new generation of a file that is no dictionary in `folder`, without pruning.
QString plainBackupInto(const QString &path, const QString &folder, const QDateTime &now, const PlainFileCheck &check)
{
    const QString stamp = fileIdentity(path);
    const QString generation = plainCopyInto(path, folder, now, {}, check);
    writeStamp(folder, stamp);
    return generation;
}

// One backup or restore at a time in the process: the background round and the backup window
// would otherwise pick the same dated name, and with it the same temporary file, for one file.
std::mutex &backupMutex()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

BackupRemedy backupRemedy(const sqlite::Error &error)
{
    const int remedy = error.mark() - RemedyMark;
    return remedy > int(BackupRemedy::None) && remedy <= int(BackupRemedy::RepairDictionary) ? BackupRemedy(remedy)
                                                                                              : BackupRemedy::None;
}

QString defaultBackupRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/backups");
}

QString backupFolderFor(const QString &root, const QString &path)
{
    const QFileInfo info(path);
    const QByteArray hash = QCryptographicHash::hash(info.absoluteFilePath().toUtf8(), QCryptographicHash::Sha1);
    return QDir(root).filePath(info.fileName() + QLatin1Char('-') + QString::fromLatin1(hash.toHex().left(8)));
}

QString BackupDictionary(const QString &path, const QString &root, const GenerationPolicy &policy, const QDateTime &now,
                         const Progress &progress)
{
    const std::lock_guard<std::mutex> one(backupMutex());
    if (!QFileInfo(path).isFile())
        throw failure(Error::Kind::FileMissing, path, SQLITE_CANTOPEN);
    const QString folder = preparedFolder(root, path);
    const QString generation = backupInto(QFileInfo(path).absoluteFilePath(), folder, now, progress);
    pruneGenerations(folder, policy);
    return generation;
}

namespace {

const QString LocationName = QStringLiteral(".location");

// Up to `limit` characters of a name that can be a file name: no folder separator, no control.
QString fileNamePart(const QString &name, int limit)
{
    QString out;
    for (const QChar c : name) {
        if (out.size() >= limit)
            break;
        out += c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control ? QLatin1Char('_') : c;
    }
    return out == QLatin1String(".") || out == QLatin1String("..") ? QStringLiteral("_") : out;
}

} // namespace

QString serverBackupFolder(const QString &root, const QString &location)
{
    const QString shown = pg::redactPassword(location.trimmed());
    QString dictionary;
    try {
        dictionary = pg::parseLocation(shown).dictionary;
    } catch (const pg::Error &) {
    }
    const QByteArray hash = QCryptographicHash::hash(shown.toUtf8(), QCryptographicHash::Sha1);
    return QDir(root).filePath(QStringLiteral("server-") + fileNamePart(dictionary, 64) + QLatin1Char('-')
                               + QString::fromLatin1(hash.toHex().left(8)));
}

QString preparedServerBackupFolder(const QString &root, const QString &location)
{
    const QString folder = serverBackupFolder(root, location);
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
        throw failure(Error::Kind::BackupFolderUnwritable, folder, SQLITE_CANTOPEN, BackupRemedy::ChangeFolder);
    QSaveFile file(QDir(folder).filePath(LocationName));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(pg::redactPassword(location.trimmed()).toUtf8());
        file.commit();
    }
    return folder;
}

QString serverBackupLocation(const QString &folder)
{
    QFile file(QDir(folder).filePath(LocationName));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeBackupStamp(const QString &folder, const QString &stamp)
{
    writeStamp(folder, stamp);
}

bool changedSinceStamp(const QString &folder, const QString &stamp)
{
    QFile file(QDir(folder).filePath(StampName));
    return !file.open(QIODevice::ReadOnly) || QString::fromUtf8(file.readAll()) != stamp;
}

QString BackupWrittenGeneration(const QString &folder, const QString &suffix, const GenerationPolicy &policy,
                                const QDateTime &now, const GenerationWriter &write, const PlainFileCheck &check,
                                bool beforeRestore)
{
    const std::lock_guard<std::mutex> one(backupMutex());
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
        throw failure(Error::Kind::BackupFolderUnwritable, folder, SQLITE_CANTOPEN, BackupRemedy::ChangeFolder);
    removeStaleCompactionCopies(folder);
    const QString generation = newGenerationPath(folder, suffix, now, beforeRestore ? BeforeRestore : QString());
    const QString temp = compactionTempPath(generation);
    withTemporary(temp, [&] {
        QFile out(temp);
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw failure(Error::Kind::BackupNotCreated, temp, SQLITE_CANTOPEN, BackupRemedy::ChangeFolder);
        write(out);
        if (!out.flush() || out.error() != QFileDevice::NoError) {
            if (isDiskFull(SQLITE_IOERR, errno))
                throw diskFullFailure(generation);
            throw failure(Error::Kind::BackupNotWritten, generation, SQLITE_IOERR, BackupRemedy::ChangeFolder);
        }
        out.close();
        if (const std::optional<Error> problem = check ? check(temp) : std::nullopt)
            throw failure(Error::Kind::PlainBackupCheckFailed, generation, SQLITE_CORRUPT).withCause(*problem);
        if (!syncPath(temp) || ::rename(encoded(temp).constData(), encoded(generation).constData()) != 0)
            throw failure(Error::Kind::BackupNotWritten, generation, SQLITE_IOERR, BackupRemedy::ChangeFolder)
                .withSystemError(errno);
        syncPath(folder);
    });
    pruneGenerations(folder, policy);
    return generation;
}

QString BackupPlainFile(const QString &path, const QString &root, const GenerationPolicy &policy, const QDateTime &now,
                        const PlainFileCheck &check)
{
    const std::lock_guard<std::mutex> one(backupMutex());
    if (!QFileInfo(path).isFile())
        throw failure(Error::Kind::FileMissing, path, SQLITE_CANTOPEN);
    const QString folder = preparedFolder(root, path);
    const QString generation = plainBackupInto(QFileInfo(path).absoluteFilePath(), folder, now, check);
    pruneGenerations(folder, policy);
    return generation;
}

namespace {

// The entries of a generation in the exchange format: a line each after the header line.
qint64 countEntryLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qint64 lines = 0;
    for (QByteArray chunk; !(chunk = file.read(1 << 16)).isEmpty();)
        lines += chunk.count('\n');
    return std::max<qint64>(0, lines - 1);
}

// The generations in `folder`, newest first; their entries are counted only when `counted`, for
// that opens each one.
QList<Generation> generationsIn(const QString &folder, bool counted)
{
    QList<Generation> found;
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name | QDir::Reversed)) {
        const QRegularExpressionMatch match = generationName().match(name);
        if (!match.hasMatch())
            continue;
        Generation g;
        g.path = dir.filePath(name);
        g.time = QDateTime::fromString(match.captured(1), TimeFormat);
        g.beforeRestore = !match.captured(2).isEmpty();
        g.size = QFileInfo(g.path).size();
        if (counted && name.endsWith(QStringLiteral(".dic")))
            g.entries = countEntries(g.path).value_or(0);
        else if (counted && name.endsWith(QStringLiteral(".jsonl")))
            g.entries = countEntryLines(g.path);
        if (g.time.isValid())
            found.append(g);
    }
    // In one second, a restore's copy of the file comes after the backup the restore undoes.
    std::stable_sort(found.begin(), found.end(), [](const Generation &a, const Generation &b) {
        return a.time != b.time ? a.time > b.time : a.beforeRestore && !b.beforeRestore;
    });
    return found;
}

} // namespace

QList<Generation> listGenerations(const QString &folder)
{
    return generationsIn(folder, true);
}

QList<QDateTime> generationsToDrop(QList<QDateTime> times, const GenerationPolicy &policy)
{
    std::sort(times.begin(), times.end(), std::greater<>());
    QSet<QDate> days;
    QSet<int> weeks;
    QList<QDateTime> drop;
    for (const QDateTime &time : times) {
        int weekYear = 0;
        const int week = time.date().weekNumber(&weekYear) + weekYear * 100;
        bool keep = false;
        if (!days.contains(time.date()) && days.size() < policy.daily) {
            days.insert(time.date());
            keep = true;
        }
        if (!weeks.contains(week) && weeks.size() < policy.weekly) {
            weeks.insert(week);
            keep = true;
        }
        // The newest generation is always kept, whatever the counts say.
        if (!keep && time != times.first())
            drop.append(time);
    }
    return drop;
}

void pruneGenerations(const QString &folder, const GenerationPolicy &policy)
{
    removeStaleCompactionCopies(folder);
    QList<Generation> generations;
    QList<QDateTime> times;
    int restoresKept = 0;
    // Pruning goes by the names alone: it does not read the generations it keeps.
    for (const Generation &g : generationsIn(folder, false)) {
        if (!g.beforeRestore) {
            generations.append(g);
            times.append(g.time);
        } else if (++restoresKept > policy.daily) {
            QFile::remove(g.path);
        }
    }
    const QList<QDateTime> drop = generationsToDrop(times, policy);
    for (const Generation &g : std::as_const(generations))
        if (drop.contains(g.time))
            QFile::remove(g.path);
}

void RestoreGeneration(const QString &generation, const QString &path, const QString &root,
                       const GenerationPolicy &policy, const ReleaseWhile &release)
{
    const std::lock_guard<std::mutex> one(backupMutex());
    if (!Dictionary::IsDictionaryFile(generation))
        throw failure(Error::Kind::GenerationNotDictionary, generation, SQLITE_CORRUPT);
    const QString target = QFileInfo(path).absoluteFilePath();
    if (QFileInfo::exists(target))
        requireReplaceable(target);
    const QString folder = preparedFolder(root, target);
    removeStaleCompactionCopies(QFileInfo(target).absolutePath());
    const QString temp = compactionTempPath(target);
    withTemporary(temp, [&] {
        copyInPlaceOf(generation, temp, target);
        if (!Dictionary::IsDictionaryFile(temp) || !syncPath(temp))
            throw failure(Error::Kind::RestoreCopyUnchecked, temp, SQLITE_CORRUPT);
        // Kept only now: pruning must not take the generation being restored before it is copied.
        keepCurrent(target, folder);
        const auto swap = [&] {
            const ExclusiveFileLock lock(target);
            settleJournal(target);
            if (::rename(encoded(temp).constData(), encoded(target).constData()) != 0)
                throw failure(Error::Kind::RestoreNotPlaced, target, SQLITE_CANTOPEN);
            syncPath(QFileInfo(target).absolutePath());
        };
        if (release)
            release(target, swap);
        else
            swap();
    });
    pruneGenerations(folder, policy);
}

void RestorePlainGeneration(const QString &generation, const QString &path, const QString &root,
                            const GenerationPolicy &policy)
{
    const std::lock_guard<std::mutex> one(backupMutex());
    if (!QFileInfo(generation).isFile())
        throw failure(Error::Kind::GenerationMissing, generation, SQLITE_CANTOPEN);
    const QString target = QFileInfo(path).absoluteFilePath();
    const QString folder = preparedFolder(root, target);
    const QString temp = compactionTempPath(target);
    withTemporary(temp, [&] {
        copyInPlaceOf(generation, temp, target);
        // Kept only after the copy is made, for pruning may take the generation being restored.
        if (QFileInfo::exists(target))
            plainCopyInto(target, folder, QDateTime::currentDateTime(), BeforeRestore, {});
        if (!syncPath(temp) || ::rename(encoded(temp).constData(), encoded(target).constData()) != 0)
            throw failure(Error::Kind::RestoreNotPlaced, target, SQLITE_CANTOPEN);
        syncPath(QFileInfo(target).absolutePath());
    });
    pruneGenerations(folder, policy);
}

std::optional<qint64> countEntries(const QString &path)
{
    try {
        sqlite::Database db(path, sqlite::Database::OpenMode::ReadOnly);
        if (!schema::isDictionary(db))
            return std::nullopt;
        sqlite::Statement st(db, "SELECT count(*) FROM Document");
        return st.step() ? st.toInt64(0) : 0;
    } catch (const sqlite::Error &) {
        return std::nullopt;
    }
}

void lowerBackupThreadPriority()
{
    // On Linux a nice value belongs to the thread named by its id.
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
}

bool changedSinceBackup(const QString &path, const QString &root)
{
    QFile stamp(QDir(backupFolderFor(root, path)).filePath(StampName));
    if (!stamp.open(QIODevice::ReadOnly))
        return true;
    return QString::fromUtf8(stamp.readAll()) != fileIdentity(QFileInfo(path).absoluteFilePath());
}

} // namespace qm::store
