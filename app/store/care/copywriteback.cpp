#include "app/store/care/copywriteback.h"

#include <QFile>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::store {
namespace {

int openForWriteback(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
}

} // namespace

CopyWriteback::CopyWriteback(const QString &path)
    : m_fd(openForWriteback(path))
{
}

CopyWriteback::~CopyWriteback()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CopyWriteback::advance(off_t copied)
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return;
    if (copied < m_started) {
        m_written = 0;
        m_started = 0;
    }
    // The engine may still hold the last pages it copied; only what the file has is written out.
    const off_t inFile = std::min(copied, st.st_size);
    const off_t end = inFile - inFile % SliceBytes;
    if (end - m_started < SliceBytes)
        return;
    // The slices started before are waited for, so that no more than two are ever unwritten.
    if (m_started > m_written) {
        ::sync_file_range(m_fd, m_written, m_started - m_written,
                          SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
        m_written = m_started;
    }
    ::sync_file_range(m_fd, m_started, end - m_started, SYNC_FILE_RANGE_WRITE);
    m_started = end;
}

void CopyWriteback::dropFromCache(const QString &path)
{
    const int fd = openForWriteback(path);
    if (fd < 0)
        return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

} // namespace qm::store
