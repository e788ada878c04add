#pragma once

#include "platform/postgres/result.h"

#include <QString>

#include <string>
#include <unordered_map>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

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

// The server setting every connection of this process carries from its start, and its value: a
// mark made once per process, so that what the server runs for this process (a trigger's
// notification) can be told from what it runs for others.
inline constexpr char ProcessSetting[] = "quillmere.process";
QString processMark();

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
    // A statement run often (a lookup): parsed once on this connection, at its first run, and
    // planned anew for each run's values, as exec() plans it.
    Result execPrepared(const char *sql, const Params &params = {});
    // One statement whose failure leaves an open transaction as it was, in one round trip: in a
    // transaction it is sent between a savepoint and the savepoint's release, the three at once;
    // outside one, it runs alone as its own transaction.
    Result execAtomic(const char *sql, const Params &params = {});
    // A statement of several commands, without parameters.
    void run(const char *sql);
    // A COPY ... FROM STDIN statement with its rows (CopyRows' data).
    void copyIn(const char *sql, const QByteArray &rows);
    // The same, without waiting for the server to take the rows: the caller prepares more
    // meanwhile, and sends nothing else on the connection before the copy is finished.
    class PendingCopy;
    PendingCopy startCopyIn(const char *sql, const QByteArray &rows);

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

    // The connection's socket, for watching it for notifications; -1 when closed.
    int socket() const;
    // Starts listening on a channel (an identifier; quoted here).
    void listen(const QString &channel);
    // A notification the server sent: its channel, its text, and the server process that sent it.
    struct Notification {
        QString channel;
        QString payload;
        int sender = 0;
    };
    // Reads what the server sent meanwhile, without waiting, and gives the notifications in it;
    // throws pg::Error (Kind::ConnectionLost) when the connection broke.
    std::vector<Notification> notifications();

private:
    Result check(pg_result *result);

    pg_conn *m_conn = nullptr;
    // The statements prepared on the connection, by their text; a new connection has none.
    std::unordered_map<std::string, std::string> m_prepared;
};

// A COPY whose rows are sent and whose outcome is still to be read. finish() reads it and throws
// its failure; one never finished is read and dropped with the object (before the transaction
// it belongs to rolls back).
class Connection::PendingCopy final
{
public:
    explicit PendingCopy(Connection &connection);
    ~PendingCopy();
    PendingCopy(PendingCopy &&other) noexcept;
    PendingCopy &operator=(PendingCopy &&) = delete;
    PendingCopy(const PendingCopy &) = delete;
    PendingCopy &operator=(const PendingCopy &) = delete;

    void finish();

private:
    Connection *m_connection;
};

} // namespace qm::pg
