#pragma once

#include "app/store/dictionary/storeerror.h"
#include "app/store/sets/dictionaryset.h"

#include <QIODevice>
#include <QStringList>

#include <functional>
#include <optional>

#include <sys/types.h>

namespace qm::store {

// Writing a file whose name the user chose (an export, a new dictionary, a salvaged copy).
//
//   ResolvedTarget target = resolveWriteTarget(named, {sources, setMembersOf(table)});
//   if (!target.isWritable())
//       show(words(refusalError(target)));
//   TargetFile out(target, words);
//   if (!out.open(QIODevice::WriteOnly) || out.write(...) < 0 || !out.commit())
//       show(out.errorString());            // the file under the name is left as it was
//
// The name is first resolved to the real file (every symbolic link followed), and the write is
// refused when that file is one the program must not lose: a database of the engine (every
// dictionary is one, whatever its name), a dictionary of a set, the file being read, a device,
// FIFO, socket or folder. The data then goes to a new file beside the real one, which is synced
// and renamed over it only at commit(): until then, and after any failure, the old file is
// whole. The new file keeps the old one's permissions (and owner and group where allowed).

// Why a named file may not be written.
enum class TargetRefusal {
    None,
    LinkLoop,      // the symbolic links lead round in a circle
    FolderMissing, // the folder the file would be in does not exist
    Folder,        // the name is a folder
    Special,       // a device, FIFO or socket
    Database,      // a database file of the engine: a dictionary or another program's data
    SetMember,     // a dictionary of one of the sets
    Source,        // the file the data is read from
    NotWritable,   // a file the user may not write
    Unexamined,    // the file or its folder cannot be looked at (see errorCode)
};

// The files a write must not replace besides those the checks recognise by themselves.
struct TargetGuard {
    QStringList sources;    // read by this write
    QStringList setMembers; // the dictionaries of every set
};

// The dictionary files of every set of a table (server dictionaries are left out).
QStringList setMembersOf(const DictionarySetTable &table);
// The same for the set file at a path; none when it is missing or unreadable.
QStringList setMembersInFile(const QString &setFilePath);

// Where a name leads.
struct ResolvedTarget {
    QString named; // as the user gave it
    QString path;  // the real file: absolute, every link followed (may not exist yet)
    bool exists = false;
    TargetRefusal refusal = TargetRefusal::None;
    int errorCode = 0; // the system's error for Unexamined
    dev_t device = 0;  // which file the real one is, when it exists
    ino_t inode = 0;

    bool isWritable() const { return refusal == TargetRefusal::None; }
    // The name leads to the same place as it did: no file in both, or the same file.
    bool sameFileAs(const ResolvedTarget &other) const
    {
        return path == other.path && exists == other.exists
               && (!exists || (device == other.device && inode == other.inode));
    }
};

ResolvedTarget resolveWriteTarget(const QString &named, const TargetGuard &guard = {});

// The refusal of a target that is not writable, as an error naming the file as the user gave it
// and the real file.
Error refusalError(const ResolvedTarget &target);

// Words for a failure of the store, which the caller supplies (the store words nothing).
using FailureWording = std::function<QString(const sqlite::Error &)>;

// The new content of a resolved, writable target. Writes are buffered a little and every write
// to the disk is checked: the first failure makes write() return -1 with failure() saying why
// (a full disk, a missing folder, no permission) and errorString() saying it in the words
// `wording` gives (a plain text without one), and every later write fails too. Destroying the
// device without commit() removes the new file.
class TargetFile final : public QIODevice
{
    Q_DISABLE_COPY_MOVE(TargetFile)

public:
    explicit TargetFile(ResolvedTarget target, FailureWording wording = {}, QObject *parent = nullptr);
    ~TargetFile() override;

    // Write-only; makes the new file beside the target. False with errorString() on failure.
    bool open(OpenMode mode) override;
    // Syncs the new file, checks that the target is still the file that was resolved (and still
    // not one the write must not replace) and renames the new file over it, then syncs the
    // folder. False with errorString() when anything fails; the old file is then untouched.
    bool commit();
    // The system's error number of the first failure, 0 when none.
    int errorCode() const { return m_errorCode; }
    // The first failure, if any.
    const std::optional<Error> &failure() const { return m_failure; }
    const ResolvedTarget &target() const { return m_target; }

    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool flushBuffer();
    bool fail(int errorCode);
    bool failWith(const Error &failure, int errorCode);
    void discard();
    bool finishFile();

    ResolvedTarget m_target;
    FailureWording m_wording;
    std::optional<Error> m_failure;
    QByteArray m_temporary; // the new file's name, encoded
    QByteArray m_buffer;
    int m_fd = -1;
    int m_errorCode = 0;
};

} // namespace qm::store
