#pragma once

#include "app/store/care/autobackup.h"

#include <optional>

class QTextStream;

namespace qm::app {

// Runs `--backup` without windows or a display: every dictionary of every set and the set file
// are backed up into the folder the options name. Gives the exit status (0 only when every file
// was backed up).
int runBackupCommand(int &argc, char *argv[]);

// The round itself: a line for each file on `out`, each failure on `err`, a summary last.
int runBackup(const QString &setFile, const store::BackupOptions &options, QTextStream &out, QTextStream &err);

} // namespace qm::app
