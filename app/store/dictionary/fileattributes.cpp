#include "app/store/dictionary/fileattributes.h"

#include "app/store/dictionary/storeerror.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <vector>

namespace qm::store {
namespace {

// The system's calls for extended attributes, by what they do.
constexpr auto listAttributes = &::listxattr;
constexpr auto readAttribute = &::getxattr;
constexpr auto writeAttribute = &::setxattr;

// The names of a file's extended attributes, each ended by a zero byte.
std::vector<char> attributeNames(const char *path)
{
    for (;;) {
        const ssize_t size = listAttributes(path, nullptr, 0);
        if (size <= 0)
            return {};
        std::vector<char> names(static_cast<size_t>(size));
        const ssize_t got = listAttributes(path, names.data(), names.size());
        if (got >= 0) {
            names.resize(size_t(got));
            return names;
        }
        if (errno != ERANGE) // ERANGE: an attribute was added meanwhile
            return {};
    }
}

std::vector<char> attributeValue(const char *path, const char *name)
{
    for (;;) {
        const ssize_t size = readAttribute(path, name, nullptr, 0);
        if (size < 0)
            return {};
        std::vector<char> value(static_cast<size_t>(size));
        const ssize_t got = readAttribute(path, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(size_t(got));
            return value;
        }
        if (errno != ERANGE)
            return {};
    }
}

// Attributes of a namespace this process may not write (trusted.*, security.* for most users),
// or on a file system without them, are left out.
void copyAttributes(const char *from, const char *to)
{
    const std::vector<char> names = attributeNames(from);
    for (size_t at = 0; at < names.size(); at += ::strlen(names.data() + at) + 1) {
        const char *name = names.data() + at;
        const std::vector<char> value = attributeValue(from, name);
        writeAttribute(to, name, value.data(), value.size(), 0);
    }
}

// Gives the new file the old one's owner and group where permitted; true when its group is the
// old one's.
bool copyOwner(const char *to, const struct stat &old)
{
    if (::chown(to, old.st_uid, old.st_gid) == 0)
        return true;
    // Not the owner: the group alone may still be one of this user's.
    if (::chown(to, uid_t(-1), old.st_gid) == 0)
        return true;
    struct stat now {};
    return ::stat(to, &now) == 0 && now.st_gid == old.st_gid;
}

} // namespace

void keepFileAttributes(const QString &replaced, const QString &replacement)
{
    const QByteArray from = QFile::encodeName(replaced);
    const QByteArray to = QFile::encodeName(replacement);
    struct stat old {};
    if (::stat(from.constData(), &old) != 0)
        return; // nothing is replaced: the new file keeps what it was made with
    copyAttributes(from.constData(), to.constData());
    mode_t mode = old.st_mode & 07777;
    if (!copyOwner(to.constData(), old))
        mode &= ~mode_t(S_IRWXG | S_ISGID);
    if (::chmod(to.constData(), mode) != 0)
        throw Error(Error::Kind::AttributesNotKept, replaced).withOther(replacement);
}

QString fileIdentity(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return QStringLiteral("%1 %2 %3.%4 %5")
        .arg(qulonglong(st.st_dev))
        .arg(qulonglong(st.st_ino))
        .arg(qlonglong(st.st_mtim.tv_sec))
        .arg(qlonglong(st.st_mtim.tv_nsec))
        .arg(qlonglong(st.st_size));
}

bool syncPath(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mode_t(0666) & ~mask;
}

} // namespace qm::store
