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

// One stage of a longer operation: the stage's own done/total reported as the steps
// [offset, offset + span) of `total`.
inline Progress progressStage(const Progress &progress, qint64 offset, qint64 span, qint64 total)
{
    if (!progress)
        return {};
    return [=](qint64 done, qint64 of) {
        const qint64 part = of > 0 ? qint64(double(span) * double(qMin(done, of)) / double(of)) : span;
        return progress(offset + part, total);
    };
}

} // namespace qm::store
