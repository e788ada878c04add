#pragma once

#include "app/store/dictionary/storeerror.h"

#include <QString>

#include <memory>
#include <optional>

#include <sys/types.h>

namespace qm::store {

// Which file on disk a name stands for: renaming another file over the name changes it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};
std::optional<FileIdentity> identityOf(const QString &path);

// The refusal given when another program holds a dictionary (engine code SQLITE_BUSY).
Error inUseError(const QString &path);

// A shared lock (flock(2)) on a dictionary file, held for as long as a program has the file
// open, so that no other program replaces the file meanwhile. The engine's own locks are POSIX
// record locks, which do not interact with these on Linux.
//
// Every holder in this process shares one descriptor per file: closing a descriptor of a file
// drops the process's record locks on it, so a descriptor is closed only when the last holder
// lets go. Copies share the lock.
class SharedFileLock final
{
public:
    // Holds nothing.
    SharedFileLock() = default;
    // Locks the file under `path` without waiting. Throws inUseError() while another program
    // replaces the file (holds it exclusively). A file that cannot be opened is not locked: the
    // engine reports why when it opens the file.
    static SharedFileLock acquire(const QString &path);

    bool isHeld() const { return m_held != nullptr; }
    // True when the name no longer stands for the file that was locked (another program put a
    // new file in its place, or removed it).
    bool isReplacedAt(const QString &path) const;

    // The descriptor the lock is held through (shared by the holders of one file).
    struct Held;

private:
    std::shared_ptr<Held> m_held;
    FileIdentity m_identity;
};

// An exclusive lock on a dictionary file for the time it is replaced (compaction, overwriting
// with a copy). Taken without waiting: while any program (this one included) holds the file,
// the constructor throws inUseError(). A missing file is not locked.
class ExclusiveFileLock final
{
public:
    explicit ExclusiveFileLock(const QString &path);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock &) = delete;
    ExclusiveFileLock &operator=(const ExclusiveFileLock &) = delete;

private:
    int m_fd = -1;
};

} // namespace qm::store
