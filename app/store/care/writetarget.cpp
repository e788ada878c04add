#include "app/store/care/writetarget.h"

#include "app/store/dictionary/fileattributes.h"

#include "platform/sqlite/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::store {
namespace {

// More links than the system follows in one name is a circle.
constexpr int MaxLinks = 40;
constexpr qsizetype BufferSize = 64 * 1024;

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

bool sameFile(const struct stat &st, const QString &other)
{
    struct stat o {};
    return ::stat(encoded(other).constData(), &o) == 0 && o.st_dev == st.st_dev && o.st_ino == st.st_ino;
}

bool namesAny(const struct stat &st, const QStringList &paths)
{
    return std::any_of(paths.begin(), paths.end(), [&st](const QString &p) { return sameFile(st, p); });
}

bool hasDatabaseHeader(int fd)
{
    static constexpr char Header[] = "SQLite format 3";
    std::array<char, sizeof Header> bytes{};
    return ::pread(fd, bytes.data(), bytes.size(), 0) == qint64(bytes.size()) &&
           std::memcmp(bytes.data(), Header, sizeof Header) == 0;
}

// Follows the links of a name to the last one; the refusal when that cannot be done.
TargetRefusal followLinks(QString &path, int &errorCode)
{
    for (int hop = 0; hop <= MaxLinks; ++hop) {
        struct stat st {};
        if (::lstat(encoded(path).constData(), &st) != 0) {
            errorCode = errno;
            if (errno == ENOENT)
                return TargetRefusal::None;
            if (errno == ELOOP)
                return TargetRefusal::LinkLoop;
            return errno == ENOTDIR ? TargetRefusal::FolderMissing : TargetRefusal::Unexamined;
        }
        if (!S_ISLNK(st.st_mode))
            return TargetRefusal::None;
        std::array<char, PATH_MAX> link{};
        const ssize_t length = ::readlink(encoded(path).constData(), link.data(), link.size() - 1);
        if (length < 0) {
            errorCode = errno;
            return TargetRefusal::Unexamined;
        }
        const QString to = QFile::decodeName(QByteArray(link.data(), length));
        path = to.startsWith(QLatin1Char('/')) ? to : path.left(path.lastIndexOf(QLatin1Char('/')) + 1) + to;
    }
    return TargetRefusal::LinkLoop;
}

// The real folder of the last name, with its own links resolved.
TargetRefusal realFolderOf(QString &path, int &errorCode)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    const QString folder = slash == 0 ? QStringLiteral("/") : path.left(slash);
    char *real = ::realpath(encoded(folder).constData(), nullptr);
    if (!real) {
        errorCode = errno;
        if (errno == ELOOP)
            return TargetRefusal::LinkLoop;
        return errno == ENOENT || errno == ENOTDIR ? TargetRefusal::FolderMissing : TargetRefusal::Unexamined;
    }
    QString resolved = QFile::decodeName(real);
    std::free(real);
    path = (resolved.endsWith(QLatin1Char('/')) ? resolved : resolved + QLatin1Char('/')) + name;
    return TargetRefusal::None;
}

// What an existing file is, as far as a write over it goes. Only regular files are opened (to
// read their first bytes): opening a device can have effects of its own.
TargetRefusal examine(ResolvedTarget &r, const TargetGuard &guard)
{
    struct stat st {};
    if (::stat(encoded(r.path).constData(), &st) != 0) {
        r.errorCode = errno;
        return TargetRefusal::Unexamined;
    }
    r.device = st.st_dev;
    r.inode = st.st_ino;
    if (S_ISDIR(st.st_mode))
        return TargetRefusal::Folder;
    if (!S_ISREG(st.st_mode))
        return TargetRefusal::Special;
    if (namesAny(st, guard.sources))
        return TargetRefusal::Source;
    if (namesAny(st, guard.setMembers))
        return TargetRefusal::SetMember;
    const int fd = ::open(encoded(r.path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        r.errorCode = errno;
        return TargetRefusal::Unexamined;
    }
    const bool database = hasDatabaseHeader(fd);
    ::close(fd);
    if (database)
        return TargetRefusal::Database;
    // Replacing a file the user may not write would get round its permissions.
    return ::access(encoded(r.path).constData(), W_OK) == 0 ? TargetRefusal::None : TargetRefusal::NotWritable;
}

// A set member that is missing now still owns its name.
bool isMissingMember(const QString &path, const QStringList &members)
{
    return std::any_of(members.begin(), members.end(),
                       [&path](const QString &m) { return QFileInfo(m).absoluteFilePath() == path; });
}

} // namespace

QStringList setMembersOf(const DictionarySetTable &table)
{
    QStringList members;
    for (int i = 0; i < table.DictionarySetCount && i < MaxDictionarySets; ++i)
        for (const QString &file : table.DictionarySetList[size_t(i)].fileNames())
            if (!file.contains(QLatin1String("://")))
                members.append(file);
    return members;
}

QStringList setMembersInFile(const QString &setFilePath)
{
    const SetFileContents contents = readDictionarySetsFile(setFilePath);
    return contents.missing ? QStringList() : setMembersOf(contents.table);
}

ResolvedTarget resolveWriteTarget(const QString &named, const TargetGuard &guard)
{
    ResolvedTarget r;
    r.named = named;
    r.path = QFileInfo(named).absoluteFilePath();
    r.refusal = followLinks(r.path, r.errorCode);
    if (r.refusal == TargetRefusal::None)
        r.refusal = realFolderOf(r.path, r.errorCode);
    if (r.refusal != TargetRefusal::None)
        return r;
    struct stat st {};
    r.exists = ::lstat(encoded(r.path).constData(), &st) == 0;
    if (r.exists)
        r.refusal = examine(r, guard);
    else if (isMissingMember(r.path, guard.setMembers))
        r.refusal = TargetRefusal::SetMember;
    return r;
}

Error refusalError(const ResolvedTarget &target)
{
    return Error(Error::Kind::TargetRefused, target.named)
        .withOther(target.path)
        .withNumber(qint64(target.refusal))
        .withSystemError(target.errorCode);
}

TargetFile::TargetFile(ResolvedTarget target, FailureWording wording, QObject *parent)
    : QIODevice(parent)
    , m_target(std::move(target))
    , m_wording(std::move(wording))
{
}

TargetFile::~TargetFile()
{
    discard();
}

bool TargetFile::open(OpenMode mode)
{
    if (isOpen() || (mode & ReadOnly) || !(mode & WriteOnly))
        return failWith(Error(Error::Kind::WriteOnly, m_target.named), EINVAL);
    if (!m_target.isWritable())
        return failWith(refusalError(m_target), EPERM);
    const qsizetype slash = m_target.path.lastIndexOf(QLatin1Char('/'));
    m_temporary = encoded(m_target.path.left(slash + 1) + QLatin1Char('.') + m_target.path.mid(slash + 1) +
                          QStringLiteral(".XXXXXX"));
    m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
    if (m_fd < 0) {
        m_temporary.clear();
        return fail(errno);
    }
    m_errorCode = 0;
    m_buffer.reserve(BufferSize);
    return QIODevice::open(mode | Unbuffered);
}

qint64 TargetFile::readData(char *, qint64)
{
    return -1;
}

qint64 TargetFile::writeData(const char *data, qint64 size)
{
    if (m_fd < 0 || m_errorCode != 0)
        return -1;
    m_buffer.append(data, size);
    if (m_buffer.size() >= BufferSize && !flushBuffer())
        return -1;
    return size;
}

bool TargetFile::flushBuffer()
{
    const char *data = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail(written == 0 ? ENOSPC : errno);
        data += written;
        left -= written;
    }
    m_buffer.clear();
    return true;
}

bool TargetFile::fail(int errorCode)
{
    return failWith(Error(Error::Kind::WriteFailed, m_target.named).withSystemError(errorCode), errorCode);
}

bool TargetFile::failWith(const Error &failure, int errorCode)
{
    if (m_errorCode == 0) {
        m_errorCode = errorCode;
        m_failure = failure;
        setErrorString(m_wording ? m_wording(failure) : failure.message());
    }
    return false;
}

// Gives the new file what the old one has beyond its contents (mode, owner, group, extended
// attributes; see keepFileAttributes()), or a new file's mode, and makes its bytes durable.
bool TargetFile::finishFile()
{
    try {
        if (m_target.exists)
            keepFileAttributes(m_target.path, QFile::decodeName(m_temporary));
    } catch (const Error &e) {
        return failWith(e, EPERM);
    } catch (const sqlite::Error &) {
        return fail(EPERM);
    }
    if (!m_target.exists && ::fchmod(m_fd, newFileMode()) != 0)
        return fail(errno);
    if (::fsync(m_fd) != 0)
        return fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    return ::close(fd) == 0 || fail(errno);
}

bool TargetFile::commit()
{
    if (m_fd < 0 || m_errorCode != 0 || !flushBuffer() || !finishFile()) {
        discard();
        return false;
    }
    // The name must still lead to the file that was examined.
    const ResolvedTarget now = resolveWriteTarget(m_target.named);
    if (!now.isWritable() || !now.sameFileAs(m_target)) {
        failWith(Error(Error::Kind::TargetChanged, m_target.named), EBUSY);
        discard();
        return false;
    }
    if (::rename(m_temporary.constData(), encoded(m_target.path).constData()) != 0) {
        fail(errno);
        discard();
        return false;
    }
    m_temporary.clear();
    syncPath(QFileInfo(m_target.path).path());
    QIODevice::close();
    return true;
}

void TargetFile::discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
    m_buffer.clear();
    if (isOpen())
        QIODevice::close();
}

} // namespace qm::store
