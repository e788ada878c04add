#pragma once

#include "backup.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace qm::store {

class Settings;

// The backup options as the settings store holds them.
struct BackupOptions {
    bool enabled = true;
    QString root; // the folder of the backups
    GenerationPolicy policy;
};
BackupOptions readBackupOptions(const Settings &settings);

// What became of one file in a round of backups: its new generation, or why there is none.
struct BackupOutcome {
    QString path;
    QString generation;
    QString error;
    bool skipped = false; // unchanged since its last backup
    bool ok() const { return error.isEmpty(); }
};

// Every dictionary file named by any set of the set file, each once, in the order of the sets.
QStringList dictionariesOfSets(const QString &setFile);

// Backs up the set file and every dictionary of its sets; with `onlyChanged`, files unchanged
// since their last backup are skipped. One failure does not stop the others. `progress`, when
// given, is told how far the round has come; a dictionary it stops is reported as not backed up.
QList<BackupOutcome> backUpSets(const QString &setFile, const BackupOptions &options, bool onlyChanged,
                                const Progress &progress = {});

} // namespace qm::store
