#pragma once

#include <QString>

#include <sys/types.h>

namespace qm::store {

// Writes a copy that is being made out to disk a slice at a time. A large copy otherwise piles up
// in the file cache as unwritten pages until its final sync, which then writes it all at once:
// the disk is busy with it for seconds while the program's lookups wait for their reads, and the
// unwritten pages crowd out of the cache the pages the lookups need. Once the copy has been
// checked and synced, it leaves the cache. This only changes when the pages are written and how
// long they stay cached: the copy is still synced whole before it is kept. Errors are ignored
// here; the final sync reports them.
class CopyWriteback final
{
public:
    // The slice written out in one go.
    static constexpr off_t SliceBytes = off_t(8) << 20;

    explicit CopyWriteback(const QString &path);
    ~CopyWriteback();
    CopyWriteback(const CopyWriteback &) = delete;
    CopyWriteback &operator=(const CopyWriteback &) = delete;

    // Called as the copy grows, with the bytes copied so far: starts writing out the slices added
    // since the last call, and waits for those started before. Fewer bytes than before mean the
    // copy started again from its first page (its source changed meanwhile).
    void advance(off_t copied);
    // The file's pages leave the cache; for a copy that has been checked and synced.
    static void dropFromCache(const QString &path);

private:
    int m_fd = -1;
    off_t m_written = 0; // written out up to here
    off_t m_started = 0; // writing started up to here
};

} // namespace qm::store
