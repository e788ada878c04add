#include "app/store/sets/distribution.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/dictionaryinfo.h"
#include "app/store/dictionary/fileattributes.h"
#include "app/store/dictionary/filelock.h"
#include "app/store/dictionary/storeerror.h"

#include "platform/sqlite/error.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <optional>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::store {
namespace {

// A file descriptor closed at the end of its scope.
class Descriptor final
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { close(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now; false (with errno set) when the system reports a failure, which for a file
    // being written can be the last of its data not reaching the disk.
    bool close()
    {
        if (m_fd < 0)
            return true;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0;
    }

private:
    int m_fd;
};

// Opens a file for reading without waiting on a FIFO or a device that has no data.
int openForReading(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

bool isRegularFile(int fd)
{
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

// The first bytes of every database file of the engine.
bool hasDatabaseHeader(const QString &path)
{
    const Descriptor fd(openForReading(path));
    if (!fd.valid() || !isRegularFile(fd.get()))
        return false;
    static constexpr char Header[] = "SQLite format 3";
    std::array<char, sizeof Header> bytes{};
    return ::read(fd.get(), bytes.data(), bytes.size()) == qint64(bytes.size())
        && std::equal(bytes.begin(), bytes.end(), Header, Header + sizeof Header);
}

Error readFailure(int errorCode)
{
    return Error(Error::Kind::DistributedNotRead).withSystemError(errorCode);
}

Error writeFailure(int errorCode)
{
    return Error(Error::Kind::WriteFailed).withSystemError(errorCode);
}

bool writeAll(int fd, const char *data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, std::size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Copies every byte of `source` into `target`; on failure the reason in `reason`.
bool copyBytes(int source, int target, std::optional<sqlite::Error> &reason)
{
    std::array<char, 64 * 1024> buffer{};
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            reason = readFailure(errno);
            return false;
        }
        if (got == 0)
            return true;
        if (!writeAll(target, buffer.data(), got)) {
            reason = writeFailure(errno);
            return false;
        }
    }
}

// A copy that replaces a file the user already has takes that file's mode, owner, group and
// extended attributes, so a private dictionary stays private. False with the reason when they
// cannot be given.
bool keepReplacedAttributes(const QString &target, const QString &copy, std::optional<sqlite::Error> &reason)
{
    if (!QFileInfo::exists(target))
        return true;
    try {
        keepFileAttributes(target, copy);
        return true;
    } catch (const sqlite::Error &e) {
        reason = e;
        return false;
    }
}

} // namespace

OfferedDictionary examineOfferedDictionary(const QString &path)
{
    OfferedDictionary offered;
    if (Dictionary::IsDictionaryFile(path)) {
        try {
            Dictionary::Options options;
            options.readOnly = true;
            Dictionary dictionary(path, options);
            offered.name = dictionary.name();
            offered.kind = OfferedDictionary::Kind::Dictionary;
            return offered;
        } catch (const sqlite::Error &) {
            // It passed the check but its properties cannot be read: damaged after all.
        }
    }
    const bool claimsToBeOne = hasDatabaseHeader(path)
        || (QFileInfo(path).isFile() && path.endsWith(QStringLiteral(".dic"), Qt::CaseInsensitive));
    offered.kind = claimsToBeOne ? OfferedDictionary::Kind::Unsound : OfferedDictionary::Kind::NotDatabase;
    return offered;
}

bool isSameFile(const QString &first, const QString &second)
{
    struct stat a {};
    struct stat b {};
    if (::stat(QFile::encodeName(first).constData(), &a) != 0
        || ::stat(QFile::encodeName(second).constData(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

CopyOutcome copyDictionaryFile(const QString &source, const QString &target)
{
    CopyOutcome outcome;
    // No program may have the old file open while it is replaced: its writes would go to it.
    std::optional<ExclusiveFileLock> lock;
    try {
        lock.emplace(target);
    } catch (const sqlite::Error &e) {
        outcome.reason = e;
        return outcome;
    }
    const Descriptor in(openForReading(source));
    if (!in.valid()) {
        outcome.reason = readFailure(errno);
        return outcome;
    }
    if (!isRegularFile(in.get())) {
        outcome.reason = Error(Error::Kind::DistributedNotFile, source);
        return outcome;
    }
    // Blocking reads from here on: a regular file never waits.
    ::fcntl(in.get(), F_SETFL, ::fcntl(in.get(), F_GETFL) & ~O_NONBLOCK);

    const QFileInfo targetInfo(target);
    QByteArray temporary = QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.")
                                             + targetInfo.fileName() + QStringLiteral(".XXXXXX"));
    Descriptor out(::mkstemp(temporary.data()));
    if (!out.valid()) {
        outcome.reason = writeFailure(errno);
        return outcome;
    }
    const QString temporaryPath = QFile::decodeName(temporary);
    bool written = copyBytes(in.get(), out.get(), outcome.reason);
    if (written && (::fchmod(out.get(), newFileMode()) != 0 || ::fsync(out.get()) != 0 || !out.close())) {
        outcome.reason = writeFailure(errno);
        written = false;
    }
    out.close();
    written = written && keepReplacedAttributes(target, temporaryPath, outcome.reason);
    if (written && !Dictionary::IsDictionaryFile(temporaryPath)) {
        // The file changed after it was checked, or was read wrongly: the copy is no dictionary.
        outcome.reason = Error(Error::Kind::DistributedCopyBad, target);
        written = false;
    }
    if (written) {
        // A journal left beside the old file by a crash would be played back into the new one
        // when it is first opened, so it goes with the file it belongs to.
        for (const char *side : {"-journal", "-wal", "-shm"})
            ::unlink(QFile::encodeName(target + QLatin1String(side)).constData());
    }
    if (written && ::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        outcome.reason = writeFailure(errno);
        written = false;
    }
    if (!written) {
        ::unlink(temporary.constData());
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

} // namespace qm::store
