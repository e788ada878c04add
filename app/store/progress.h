#pragma once

#include <QtGlobal>

#include <functional>

namespace qm::store {

// Reports how far a long operation has come. Returns false to ask the operation to stop; an
// operation that can still stop throws sqlite::Error (Kind::Cancelled) and leaves every file as
// it was. An empty function reports nothing and never stops.
using Progress = std::function<bool(qint64 done, qint64 total)>;

inline bool reportProgress(const Progress &progress, qint64 done, qint64 total)
{
    return !progress || progress(done, total);
}

} // namespace qm::store
