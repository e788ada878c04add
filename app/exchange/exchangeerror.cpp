#include "exchangeerror.h"

namespace qm::exchange {

namespace {

QString lineMessage(qint64 line, const QString &reason)
{
    if (line <= 0)
        return reason;
    return QStringLiteral("%1 行目: %2").arg(line).arg(reason);
}

} // namespace

ExchangeError::ExchangeError(qint64 line, const QString &reason)
    : std::runtime_error(reason.toStdString()), m_line(line), m_reason(reason)
{
}

QString ExchangeError::message() const
{
    if (m_count <= 1)
        return lineMessage(m_line, m_reason);
    QString out = QStringLiteral("取り込めない行が %1 行あります。\n").arg(m_count) + m_listed.join(u'\n');
    if (m_count > m_listed.size())
        out += QStringLiteral("\nほかに %1 行あります。").arg(m_count - m_listed.size());
    return out;
}

void ProblemList::add(qint64 line, const QString &reason)
{
    if (m_count++ == 0) {
        m_firstLine = line;
        m_firstReason = reason;
    }
    if (m_listed.size() < Listed)
        m_listed.append(lineMessage(line, reason));
}

void ProblemList::add(const ExchangeError &e)
{
    add(e.line(), e.reason());
}

void ProblemList::throwIfAny() const
{
    if (m_count == 0)
        return;
    ExchangeError e(m_firstLine, m_firstReason);
    e.m_count = m_count;
    if (m_count > 1)
        e.m_listed = m_listed;
    throw e;
}

QString cancelledReason()
{
    return QStringLiteral("取り込みを中止しました");
}

} // namespace qm::exchange
