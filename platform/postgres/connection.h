#pragma once

#include "platform/postgres/result.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

struct pg_conn;

namespace qm::pg {

// Asked for a password when the server wants one and none of libpq's own sources gave it;
// nothing: the user declined.
using PasswordSource = std::function<std::optional<QString>()>;

struct ConnectOptions {
    // How long connecting may take (libpq's connect_timeout, unless the text sets its own).
    std::chrono::seconds timeout{5};
    PasswordSource password;
};

// The host (or socket folder) a connection text names, for messages: "localhost" when it names
// none; empty when the text cannot be read.
QString connectionHost(const QString &connection);

// One open connection to a server, closed with the object. Statements take their values as
// parameters, never spliced into the SQL. Every failure throws pg::Error.
class Connection final
{
public:
    // `connection` is a libpq URI or keyword string (without our own settings).
    Connection(const QString &connection, const ConnectOptions &options);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    Result exec(const char *sql, const Params &params = {});
    // A statement of several commands, without parameters.
    void run(const char *sql);

    // Connects anew with the same settings after the connection broke; throws pg::Error when the
    // server cannot be reached. Settings made with SET are gone.
    void reset();

    // The host (or socket folder) the connection reached, for messages.
    QString host() const;
    bool isOpen() const;
    // Reads what the server sent meanwhile without waiting, so a connection the server closed
    // (a restart, a terminated session) is seen as broken before a statement is sent on it.
    bool stillOpen();
    // True when the connection is inside a transaction (also one a failed statement aborted).
    bool inTransaction() const;
    // True when the connection is inside a transaction that can still commit (no failed
    // statement aborted it).
    bool transactionUsable() const;

private:
    Result check(pg_result *result);

    pg_conn *m_conn = nullptr;
};

} // namespace qm::pg
