#pragma once

#include "progress.h"

#include <QString>

namespace qm::store {

// Compacts a closed dictionary file and keeps the previous file as its backup.
//
// The file is copied compactly ("VACUUM INTO") to "$Temp$.dic" beside it, the copy's folded
// keys are recomputed, every page of the copy is checked, and only then is the old file kept as the
// backup (the file's name with the extension "bak") and the copy put in its place. The
// dictionary is never absent under its name: whenever the work stops, the old or the new
// file is there and opens. Until the swap the progress can stop it; the old file is then left
// as it was. Throws sqlite::Error with the reason; the original stays in place and in use.
void CompactDictionary(const QString &path, const Progress &progress = {});

// The backup a compaction keeps: "User.dic" -> "User.bak".
QString compactionBackupPath(const QString &path);
// The working copy: "$Temp$.dic" in the dictionary's folder.
QString compactionTempPath(const QString &path);

} // namespace qm::store
