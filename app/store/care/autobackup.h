#pragma once

#include "app/store/care/backup.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace qm::store {

class DatabaseModule;
class Settings;

struct BackupOptions;
// Backs up one dictionary on a server as a new generation in serverBackupFolder() and gives its
// path; with `onlyChanged`, gives an empty path when the dictionary has not changed since its last
// backup. Throws sqlite::Error. Made where the exchange format is written (app/exchange).
using ServerBackup = std::function<QString(const QString &location, const BackupOptions &options, bool onlyChanged)>;

// The backup options as the settings store holds them.
struct BackupOptions {
    bool enabled = true;
    QString root; // the folder of the backups
    GenerationPolicy policy;
    // How server dictionaries of the sets are backed up; without it they are left out.
    ServerBackup serverBackup;
};
BackupOptions readBackupOptions(const Settings &settings);

// What became of one file in a round of backups: its new generation, or why there is none.
struct BackupOutcome {
    QString path;
    QString generation;
    std::optional<sqlite::Error> failure;
    bool skipped = false; // unchanged since its last backup
    BackupRemedy remedy = BackupRemedy::None; // what the user can do about the failure
    bool ok() const { return !failure; }
};

// Why a file cannot serve as the set file (it cannot be read, or holds nothing); none when it can.
std::optional<Error> setFileProblem(const QString &path);

// Every dictionary file named by any set of the set file, each once, in the order of the sets.
QStringList dictionariesOfSets(const QString &setFile);

// A file the backups are kept of: the set file, or a dictionary with the name of the first set
// that names it.
struct BackedUpFile {
    QString path; // a server dictionary's location as the set names it
    QString setName; // empty for the set file
    bool isSetFile = false;
    bool isServer = false;
    // The folder of its generations under `root`.
    QString backupFolder(const QString &root) const;
};
// The set file first, then every dictionary of its sets (server dictionaries too), each once,
// in the order of the sets.
QList<BackedUpFile> backedUpFiles(const QString &setFile);

// Removes what backups, restores and compactions of processes no longer running left behind
// (their temporary copies, which may be as large as a dictionary) from the backup folders of the
// set file and its dictionaries and from the dictionaries' own folders.
void removeStaleBackupCopies(const QString &setFile, const BackupOptions &options);

// Puts a generation in place of a dictionary (see RestoreGeneration), with the program's own
// connections to the file closed meanwhile and opened again afterwards.
void RestoreInProgram(DatabaseModule &database, const QString &generation, const QString &path,
                      const BackupOptions &options);

// Puts a generation of the set file in place of it (see RestorePlainGeneration). A generation
// that cannot be read as a set file is refused, and the set file then stays as it was.
void RestoreSetFile(const QString &generation, const QString &setFile, const BackupOptions &options);

// Backs up the set file and every dictionary of its sets; with `onlyChanged`, files unchanged
// since their last backup are skipped. One failure does not stop the others. `progress`, when
// given, is told how far the round has come; a dictionary it stops is reported as not backed up.
QList<BackupOutcome> backUpSets(const QString &setFile, const BackupOptions &options, bool onlyChanged,
                                const Progress &progress = {});

} // namespace qm::store
