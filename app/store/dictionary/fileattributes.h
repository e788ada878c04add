#pragma once

#include <QString>

#include <sys/types.h>

namespace qm::store {

// Gives a new file that is about to be renamed over `replaced` what the replaced file has
// beyond its contents: its extended attributes (access lists included), its owner and group
// where this process may set them, and its mode. A group that cannot be kept loses its
// permission bits, so the new file is never readable by more people than the old one.
// Attributes the file system or this process cannot set are left out. Throws sqlite::Error
// (in Japanese, naming the file) when the mode cannot be set: the new file must then not
// replace the old one.
void keepFileAttributes(const QString &replaced, const QString &replacement);

// Flushes a file (or a folder, for the names in it) to the disk. False when it cannot.
bool syncPath(const QString &path);

// The permissions of a file the user makes: everyone may read and write it, less the umask.
mode_t newFileMode();

// Tells one file from another under the same name: its device, inode, time of change and size.
// Empty when the file cannot be read.
QString fileIdentity(const QString &path);

} // namespace qm::store
