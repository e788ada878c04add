#include "app/store/dictionary/filelock.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <map>
#include <mutex>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::store {
namespace {

// A locked file that turns out to stand for another than the name is tried this often again.
constexpr int Attempts = 5;

std::optional<FileIdentity> identityOfDescriptor(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

int openForLocking(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
}

} // namespace

std::optional<FileIdentity> identityOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

Error inUseError(const QString &path)
{
    return Error(Error::Kind::InUse, path);
}

struct SharedFileLock::Held {
    explicit Held(int descriptor)
        : fd(descriptor)
    {
    }
    ~Held() { ::close(fd); }
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;
    int fd;
};

namespace {

// The descriptors this process holds a shared lock through, one per file.
struct Registry {
    std::mutex mutex;
    std::map<std::pair<dev_t, ino_t>, std::weak_ptr<SharedFileLock::Held>> held;

    static Registry &instance()
    {
        static Registry registry;
        return registry;
    }
    std::shared_ptr<SharedFileLock::Held> find(const FileIdentity &id)
    {
        const std::lock_guard guard(mutex);
        const auto it = held.find({id.device, id.inode});
        return it == held.end() ? nullptr : it->second.lock();
    }
};

} // namespace

SharedFileLock SharedFileLock::acquire(const QString &path)
{
    Registry &registry = Registry::instance();
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        const std::optional<FileIdentity> named = identityOf(path);
        if (!named)
            return {};
        SharedFileLock lock;
        lock.m_identity = *named;
        if ((lock.m_held = registry.find(*named)))
            return lock;
        const int fd = openForLocking(path);
        if (fd < 0)
            return {};
        if (identityOfDescriptor(fd) != named) {
            ::close(fd);
            continue;
        }
        if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                throw inUseError(path);
            return {};
        }
        // Another program may have put a new file in place between looking and locking.
        if (identityOf(path) != named) {
            ::close(fd);
            continue;
        }
        lock.m_held = std::make_shared<Held>(fd);
        const std::lock_guard guard(registry.mutex);
        registry.held[{named->device, named->inode}] = lock.m_held;
        return lock;
    }
    throw inUseError(path);
}

bool SharedFileLock::isReplacedAt(const QString &path) const
{
    if (!m_held)
        return false;
    // A file that was removed is kept in use: what was read stays readable.
    const std::optional<FileIdentity> named = identityOf(path);
    return named && *named != m_identity;
}

ExclusiveFileLock::ExclusiveFileLock(const QString &path)
{
    const std::optional<FileIdentity> named = identityOf(path);
    if (!named)
        return;
    // This program's own holders share one descriptor, which would not stop a second one here.
    if (Registry::instance().find(*named))
        throw inUseError(path);
    const int fd = openForLocking(path);
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || identityOfDescriptor(fd) != named || identityOf(path) != named) {
        ::close(fd);
        throw inUseError(path);
    }
    m_fd = fd;
}

ExclusiveFileLock::~ExclusiveFileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace qm::store
