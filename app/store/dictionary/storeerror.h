#pragma once

#include "platform/sqlite/error.h"

#include <QString>

#include <memory>

namespace qm::store {

// A failure of the store is a kind and the facts that go with it, never words: the windows and
// the command line word it (app/common/storemessages.h). It is thrown as a Error, an
// engine error (named apart from sqlite::Error, which store code often calls plain `Error`)
// whose engine kind and code are those the same failure of the engine would have, so a caller
// that only tells engine failures apart catches it as one.

// The kinds of the store's failures: those callers tell apart or that read differently.
enum class FailureKind {
    // One dictionary file.
    NotDictionary,      // opens, but is not one of ours (not our schema, no marker)
    NumbersExhausted,   // every entry number is taken
    InUse,              // another program holds the file
    ReadOnly,           // the dictionary is open only for reading
    WriteUndone,        // a failed write rolled the edit session back
    NulInKeyword,       // a keyword holding U+0000
    BodyTooLarge,       // the number: the body's size in bytes
    BadPattern,         // the number: the sqlite::LikePattern::Problem
    UnreadableWord,     // the file: a search text that is no pattern
    FileMissing,        // the file is not there
    Unreadable,         // the file cannot be read
    AttributesNotKept,  // the file's mode cannot be given to the other file
    Cancelled,          // the user stopped a long operation
    // A file the user named for writing.
    TargetRefused,      // the number: the TargetRefusal; the file as named, the other file the real file
    TargetChanged,      // the file was changed by another program during the write
    WriteFailed,        // the system error says why
    WriteOnly,          // the device opens only for writing
    // Compaction.
    NotRemovable,           // the file cannot be removed
    NotCompactable,         // the file's name is one compaction cannot work on
    CompactedCopyDamaged,   // the compacted copy failed its check
    CompactedCopyUnwritten, // the compacted copy could not be made durable
    CompactionBackupFailed, // the old file could not be kept as the file
    CompactedNotPlaced,     // the compacted copy could not be put at the file
    CompactedNotOpened,     // cause(): why the compacted file would not open; the old one is back
    // Backups and restores.
    BackupCancelled,
    BackupDamaged,          // the file is damaged
    BackupDiskFull,         // no room to back up the file
    BackupFolderUnwritable, // the file is the backup folder
    BackupNotCreated,       // the generation the file cannot be made; the engine code says why
    BackupNotCopied,        // the file cannot be copied; the engine code says why
    BackupSourceUnreadable, // the file cannot be read; the cause says why
    BackupNotWritten,       // the generation the file cannot be written; the system error says why
    BackupCheckFailed,      // the copy of the file failed its check
    CopyFailed,             // the file cannot be copied to the other file
    PlainBackupCheckFailed, // the copy of the file failed its check; the cause says why
    GenerationMissing,      // the generation the file is not there
    GenerationNotDictionary,  // the generation the file is no dictionary
    RestoreCopyUnchecked,     // the copy the file to put back cannot be checked
    RestoreNotPlaced,         // the generation cannot be put at the file
    GenerationUnopenable,     // the generation the file is missing, or (the number 1) no backup
    SetFileGenerationUnreadable, // the set file's generation the file cannot be read
    SetFileUnreadableForBackup,  // the set file cannot be read; the cause says why
    // Salvage.
    NothingSalvageable,     // the file holds no entry that can be read
    SalvagedCopyDamaged,    // the salvaged copy the file failed its check
    SalvageTargetChanged,   // the file became another file during the salvage
    SalvageNotSaved,        // the salvaged copy cannot be saved as the file
    // A dictionary of a set.
    MemberIsFolder,         // the file is a folder
    MemberNotFile,          // the file is a device, FIFO or socket
    MemberLinkLoop,         // the file is a link that leads back to itself
    MemberNotOpened,        // the file does not open; the cause says why
    // The set file; line() is the line to blame.
    SetFileBadUtf8,
    SetFileBadEncoding,     // UTF-16 or another encoding that is not read
    SetFileBadCp932,
    SetFileTooManySets,     // the number: the most sets
    SetFileMemberFirst,     // a dictionary line before any set line
    SetFileTooManyMembers,  // the number: the most dictionaries of one set
    SetFileDuplicateMember, // the file: the member named twice
    SetFileBadNumber,
    SetFileBadLine,         // the file: the line
    SetFileNoSets,
    SetFileNotOpened,
    SetFileNotRead,
    SetFileNoSetsWritten,   // a set file that names no set
    SetFileNotSaved,        // the file: the set file; the system error says why
    SetFileNotLoaded,       // the file: the set file; the cause says why it is kept as it is
    SetFileCopyFailed,      // the file: the set file, whose copy could not be made
    DefaultFilesNotCreated, // the file: the program folder; the cause says why
    SetFull,                // the number: the most dictionaries of a set
    AlreadyRegistered,      // the file: the member it matches
    // Distribution.
    DistributedNotRead,     // the offered dictionary cannot be read; the system error says why
    DistributedNotFile,     // the offered dictionary is no regular file
    DistributedCopyBad,     // the copied dictionary failed its check
    // A dictionary on a server: the file is the server (its host or socket folder) or the
    // location as it may be shown; the other is the server's own reason.
    ServerBadLocation,      // the file: the location, which cannot be read as one
    ServerUnreachable,      // no server answered within the timeout
    ServerLoginRefused,     // the server refused the login, or no password was given
    ServerDatabaseMissing,  // the server has no such database
    ServerDictionaryMissing, // the file: the dictionary's name
    ServerNotDictionary,    // the file: the dictionary's name; its tables are another program's
    ServerOtherVersion,     // the file: the dictionary's name; the number: the version found
    ServerFailed,           // the server refused a statement
    ServerConnectionLost,   // the connection broke while in use
    ServerNotSupported,     // the file: the location; the operation is for files only
    ServerTextTooLong,      // a keyword or heading longer than the server's index holds
    ServerChangedByOther,   // the file: who changed the entry since it was read ("user@host"), the
                            // other: when (server time, shown as local time); the number: 1 when deleted
    ServerNeedsUpgrade,     // the file: the dictionary's name; the number: its older version
};

// The facts of a store failure.
struct Failure final : sqlite::Error::Detail {
    FailureKind kind{};
    QString file;
    QString other;
    qint64 number = 0;   // a line, a size, a limit or an enum value, as the kind says
    int systemError = 0; // errno
    std::shared_ptr<const sqlite::Error> cause;

    int line() const { return int(number); }
};

class Error : public sqlite::Error
{
public:
    using Kind = FailureKind;

    explicit Error(Kind kind, QString file = {}, int code = 0);

    const Failure &failure() const { return *m_failure; }
    Kind reason() const { return m_failure->kind; }

    Error &withOther(QString other);
    Error &withNumber(qint64 number);
    Error &withSystemError(int systemError);
    Error &withCause(const sqlite::Error &cause);
    Error &withMark(int mark);

private:
    std::shared_ptr<Failure> m_failure;
};

// The store's failure in `error` (kept by every copy), or nullptr when it is the engine's own.
const Failure *storeFailure(const sqlite::Error &error);
bool isStoreError(const sqlite::Error &error, FailureKind kind);

Error notDictionaryError(const QString &path);
bool isNotDictionaryError(const sqlite::Error &error);
Error numbersExhaustedError();
bool isNumbersExhaustedError(const sqlite::Error &error);

// Whether an engine error says that a file is damaged (or is no dictionary at all), rather than
// missing, busy or not allowed.
bool isDamageError(const sqlite::Error &error);

} // namespace qm::store
