#pragma once

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/workingcopy.h"
#include "app/store/progress.h"

#include <QString>

namespace qm::store {

// The sizes in bytes of a dictionary before and after its compaction.
struct CompactionSizes {
    qint64 before = 0;
    qint64 after = 0;
    QString backup; // the path the previous file was kept under
};

// Compacts a closed dictionary file and keeps the previous file as its backup.
//
// The file is copied compactly ("VACUUM INTO") to a working copy beside it, the copy's folded
// keys are recomputed, every page of the copy is checked, and only then is the old file kept as the
// backup and the copy put in its place. The backup is the file's name with the extension "bak";
// a file under that name that is not this dictionary's earlier backup (another dictionary, say)
// is never replaced: the first free name of "bak1", "bak2", ... is taken instead. The copy gets
// the old file's mode, owner, group and extended attributes. The
// dictionary is never absent under its name: whenever the work stops, the old or the new
// file is there and opens. Until the swap the progress can stop it; the old file is then left
// as it was. Throws sqlite::Error with the reason; the original stays in place and in use.
// A dictionary that any program (this one included) holds open is refused (inUseError()), and
// so is a write-protected one (Kind::ReadOnly): compaction would make it writable.
// `richText` reads rich-text bodies for their search text (empty: those are read when searched).
CompactionSizes CompactDictionary(const QString &path, const Progress &progress = {},
                                  const RichTextReader &richText = {});

// Refuses (sqlite::Error of Kind::ReadOnly, naming the file) a dictionary that is write-protected
// or in a folder that cannot be written: a file put in its place would make it writable.
void requireReplaceable(const QString &path);

// The first name a compaction keeps the backup under: "User.dic" -> "User.bak".
QString compactionBackupPath(const QString &path);

} // namespace qm::store
