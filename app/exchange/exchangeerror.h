#pragma once

#include <QString>

#include <stdexcept>

namespace qm::exchange {

// Why an import or export stopped, in words for the user. `line` is the 1-based line of the
// file read that caused it (0 when no line is to blame: a file that cannot be opened, a cancel).
class ExchangeError final : public std::runtime_error
{
public:
    ExchangeError(qint64 line, const QString &reason);

    qint64 line() const { return m_line; }
    const QString &reason() const { return m_reason; }
    // "12 行目: reason", or the reason alone when no line is to blame.
    QString message() const;

private:
    qint64 m_line;
    QString m_reason;
};

// The reason given when the user stops an import or export.
QString cancelledReason();

} // namespace qm::exchange
