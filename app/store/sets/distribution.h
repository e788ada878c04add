#pragma once

#include "platform/sqlite/error.h"

#include <QString>

#include <optional>

namespace qm::store {

// Dictionaries that someone else made (received on a disk, downloaded) and that the user copies
// into the program folder. Such a file is untrusted until it has passed the dictionary check.

// What a file offered for copying turned out to be.
struct OfferedDictionary {
    enum class Kind {
        Dictionary,  // a sound dictionary; `name` holds its "DictionaryName"
        NotDatabase, // no database at all (a text file, a picture, a folder)
        Unsound      // a database or a ".dic" file that fails the check: hostile or damaged
    };
    Kind kind = Kind::NotDatabase;
    QString name;
};

// Checks the file as untrusted (IsDictionaryFile) and reads its name without writing to it.
OfferedDictionary examineOfferedDictionary(const QString &path);

// True when both paths name one file on disk (also through a link or another spelling).
bool isSameFile(const QString &first, const QString &second);

struct CopyOutcome {
    bool ok = false;
    std::optional<sqlite::Error> reason; // why the copy failed
};

// Copies a dictionary to `target`, replacing a file of that name. The bytes go to a temporary
// file beside the target, which is checked as a dictionary and only then renamed over it, so
// the target is either the old file or a whole, sound copy; a failed copy leaves nothing behind.
// The copy can be written by the user even when the source was read-only. A target that any
// program (this one included) holds open is left as it is, with the reason.
CopyOutcome copyDictionaryFile(const QString &source, const QString &target);

} // namespace qm::store
