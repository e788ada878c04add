#include "exchangeerror.h"

namespace qm::exchange {

ExchangeError::ExchangeError(qint64 line, const QString &reason)
    : std::runtime_error(reason.toStdString()), m_line(line), m_reason(reason)
{
}

QString ExchangeError::message() const
{
    if (m_line <= 0)
        return m_reason;
    return QStringLiteral("%1 行目: %2").arg(m_line).arg(m_reason);
}

QString cancelledReason()
{
    return QStringLiteral("中止しました。辞書は変更されていません");
}

} // namespace qm::exchange
