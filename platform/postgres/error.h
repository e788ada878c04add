#pragma once

#include <QString>

#include <stdexcept>

namespace qm::pg {

// A failure of the server or of the way to it. `Kind` tells apart what callers word
// differently; message() is the server's (or libpq's) own reason, never holding a password.
class Error final : public std::runtime_error
{
public:
    enum class Kind {
        Unreachable,    // no server answered (no such host, nothing listening, timed out)
        Authentication, // the server refused the login, or no password was given
        NoDatabase,     // the server has no such database
        Server,         // the server refused a statement
        ConnectionLost, // the connection broke while in use
        BadLocation     // the connection text cannot be read
    };

    Error(Kind kind, QString message, QString sqlState = {});

    Kind kind() const { return m_kind; }
    const QString &message() const { return m_message; }
    // The five-character SQLSTATE of a server error, empty otherwise.
    const QString &sqlState() const { return m_sqlState; }

private:
    Kind m_kind;
    QString m_message;
    QString m_sqlState;
};

} // namespace qm::pg
