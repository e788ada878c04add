#include "exchangeerror.h"

namespace qm::exchange {

ExchangeError::ExchangeError(qint64 line, Reason reason)
    : std::runtime_error("exchange refused"), m_line(line), m_reason(std::move(reason))
{
}

Reason reasonOf(Reason::Kind kind)
{
    Reason r;
    r.kind = kind;
    return r;
}

Reason reasonOf(Reason::Kind kind, const QString &detail)
{
    Reason r = reasonOf(kind);
    r.detail = detail;
    return r;
}

Reason reasonOf(Reason::Kind kind, const sqlite::Error &cause)
{
    Reason r = reasonOf(kind);
    r.cause = cause;
    return r;
}

Reason measuredReason(Reason::Kind kind, qint64 value, qint64 limit)
{
    Reason r = reasonOf(kind);
    r.value = value;
    r.limit = limit;
    return r;
}

void ProblemList::add(qint64 line, const Reason &reason)
{
    ++m_count;
    if (m_listed.size() < size_t(Listed))
        m_listed.push_back({line, reason});
}

void ProblemList::add(const ExchangeError &e)
{
    add(e.line(), e.reason());
}

void ProblemList::throwIfAny() const
{
    if (m_count == 0)
        return;
    ExchangeError e(m_listed.front().line, m_listed.front().reason);
    e.m_count = m_count;
    if (m_count > 1)
        e.m_listed = m_listed;
    throw e;
}

} // namespace qm::exchange
