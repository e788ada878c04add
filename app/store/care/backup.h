#pragma once

#include "app/store/dictionary/storeerror.h"
#include "app/store/progress.h"

#include <QDateTime>
#include <QList>
#include <QString>

class QIODevice;

#include <functional>
#include <optional>


namespace qm::store {

// How many generations a backup folder keeps: the newest of each of the last `daily` days
// that have one, and the newest of each of the last `weekly` weeks that have one.
struct GenerationPolicy {
    int daily = 7;
    int weekly = 4;
};

// One kept copy of a dictionary (or of the set file) in its backup folder.
struct Generation {
    QString path;
    QDateTime time;
    qint64 size = 0;
    qint64 entries = 0; // the entries of a dictionary; 0 for the set file
    // The file as it was before a restore replaced it: kept beside the generations, but neither
    // counted by the policy nor able to make it drop one.
    bool beforeRestore = false;
};

// What the user can do about a backup that failed; the errors the backups throw carry it.
enum class BackupRemedy { None, ChangeFolder, FreeSpace, RepairDictionary };
BackupRemedy backupRemedy(const sqlite::Error &error);

// Where the backups go when no folder is chosen: the per-user data folder's "backups".
QString defaultBackupRoot();
// The folder of one file's generations under `root`: the file name and a short hash of its full
// path, so that two dictionaries of the same name in different folders never mix.
QString backupFolderFor(const QString &root, const QString &path);

// Copies a dictionary, only reading it, to a new generation in its backup folder and prunes the
// folder by the policy; gives the generation's path. The copy is made in small steps under a
// temporary name, checked (the engine's quick check, and it must open as a dictionary), synced
// and only then given its dated name. Throws sqlite::Error with the reason in Japanese; a
// failed backup leaves every earlier generation as it was and no temporary file behind.
// `progress` is told the pages copied; a backup it stops throws Kind::Cancelled.
QString BackupDictionary(const QString &path, const QString &root, const GenerationPolicy &policy,
                         const QDateTime &now = QDateTime::currentDateTime(), const Progress &progress = {});
// The same for a file that is no dictionary (the set file): copied, checked by `check` (which
// gives the problem it finds in the copy, none when none), synced, renamed. A copy that fails
// the check is no generation: nothing is kept and nothing pruned.
using PlainFileCheck = std::function<std::optional<Error>(const QString &copy)>;
QString BackupPlainFile(const QString &path, const QString &root, const GenerationPolicy &policy,
                        const QDateTime &now = QDateTime::currentDateTime(), const PlainFileCheck &check = {});

// The folder of a server dictionary's generations under `root`: "server-", the dictionary's name
// and a short hash of its location (without a password), so that dictionaries of one name on
// two servers never mix. The location is kept in the folder (see serverBackupLocation()).
QString serverBackupFolder(const QString &root, const QString &location);
// The folder, made when missing, with the location (without a password) noted in it.
QString preparedServerBackupFolder(const QString &root, const QString &location);
// The location (without a password) whose generations a folder keeps; empty for a file's folder.
QString serverBackupLocation(const QString &folder);

// A generation written rather than copied (a server dictionary in the exchange format): `write`
// fills the device and throws when it cannot; `check` then reads the written file and gives the
// problem it finds, none when none. Written under a temporary name, synced and only then given
// its dated name with `suffix`; a failure keeps nothing and prunes nothing. `beforeRestore` names
// it as the content a restore replaced. Gives the generation's path.
using GenerationWriter = std::function<void(QIODevice &out)>;
QString BackupWrittenGeneration(const QString &folder, const QString &suffix, const GenerationPolicy &policy,
                                const QDateTime &now, const GenerationWriter &write, const PlainFileCheck &check,
                                bool beforeRestore = false);
// Notes `stamp` as what the folder's newest generation was made from (see changedSinceStamp()).
void writeBackupStamp(const QString &folder, const QString &stamp);
// True when the folder's last backup was made from something other than `stamp`.
bool changedSinceStamp(const QString &folder, const QString &stamp);

// The generations in a backup folder and the files restores replaced, newest first.
QList<Generation> listGenerations(const QString &folder);
// Of generation times (any order), those the policy drops.
QList<QDateTime> generationsToDrop(QList<QDateTime> times, const GenerationPolicy &policy);
// Removes the generations the policy drops, the files restores replaced beyond the newest
// `policy.daily` of them, and temporary files that backups of processes no longer running left
// behind.
void pruneGenerations(const QString &folder, const GenerationPolicy &policy);

// Puts a generation in place of the dictionary, all or nothing. The current file is first kept
// beside the generations as the file before the restore (one that no longer passes the checks
// is kept with the extension "damaged"), so a restore can be undone. The generation is copied beside the
// dictionary, checked, synced and renamed over it. `release` runs the swap with the program's
// own connections to the file closed (DatabaseModule::releaseWhile); no other program may hold
// the file. Throws sqlite::Error with the reason in Japanese; the dictionary then stays as it was.
using ReleaseWhile = std::function<void(const QString &path, const std::function<void()> &swap)>;
void RestoreGeneration(const QString &generation, const QString &path, const QString &root,
                       const GenerationPolicy &policy, const ReleaseWhile &release = {});

// Puts a generation of a file that is no dictionary (the set file) in place of the file, the
// same way: the current file is first kept as the file before the restore, the copy is synced and renamed over
// it. Throws sqlite::Error with the reason in Japanese; the file then stays as it was.
void RestorePlainGeneration(const QString &generation, const QString &path, const QString &root,
                            const GenerationPolicy &policy);

// The number of entries of a dictionary file, read without writing to it; nullopt when it cannot
// be read as one.
std::optional<qint64> countEntries(const QString &path);

// Lowers the calling thread's priority, for a thread that backs up in the background: the
// program's windows and lookups then get the processor first.
void lowerBackupThreadPriority();

// Whether the file changed (another file under the name, another time of change or size) since
// its last backup into `root`; true when it was never backed up.
bool changedSinceBackup(const QString &path, const QString &root);

} // namespace qm::store
