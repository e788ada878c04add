#pragma once

#include <QString>

namespace qm::store {

// The working copy of this process for this dictionary, in the dictionary's folder:
// "User.dic" -> "$Temp$-User.dic-<process id>.tmp". Compaction, backups, restores and salvage
// build their new file there before it takes the dictionary's place.
QString compactionTempPath(const QString &path);
// Removes the working copies (and their journals) in a folder that processes no longer running
// left behind; a running process's copies are kept.
void removeStaleCompactionCopies(const QString &folder);

} // namespace qm::store
