#pragma once

#include "storedobject.h"

#include <QString>

#include <optional>

namespace qm::objects {

// Hands objects to other programs through files: an embedded object is written to a fresh
// temporary copy (removed when the program ends), a linked one is its own file. The copies live
// in a folder of the system's temporary folder whose name holds the process id and start time
// of the program that made it, so a later run can tell the folders of killed runs.
class ObjectHandoff final
{
public:
    // The path of a file that holds the object; nullopt when a linked file is missing or the
    // copy could not be written.
    static std::optional<QString> fileFor(const StoredObject &object);

    // Removes the copy folders in `folder` (the system's temporary folder by default) that
    // belong to the user and whose program is no longer running; a live program's folder and
    // every other file stay. Returns how many were removed.
    static int removeStaleFolders(const QString &folder = {});
    // The name prefix of the copy folders of the process `pid` as it runs now; empty when the
    // process does not exist.
    static QString folderPrefixOf(qint64 pid);

private:
    ObjectHandoff() = delete;
    static std::optional<QString> writeCopy(const StoredObject &object);
};

} // namespace qm::objects
