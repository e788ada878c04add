#include "platform/postgres/connection.h"

#include "platform/postgres/error.h"

#include <libpq-fe.h>

#include <QUuid>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace qm::pg {
namespace {

struct OptionsDeleter {
    void operator()(PQconninfoOption *options) const { PQconninfoFree(options); }
};
struct ConnDeleter {
    void operator()(PGconn *conn) const { PQfinish(conn); }
};
using ConnPtr = std::unique_ptr<PGconn, ConnDeleter>;

// The settings libpq reads from the connection text, with ours added: the caller's timeout
// (unless the text sets one), UTF-8 for every text, and a password when one was asked for.
class Settings final
{
public:
    Settings(const QString &connection, const ConnectOptions &options)
    {
        char *error = nullptr;
        std::unique_ptr<PQconninfoOption, OptionsDeleter> parsed(PQconninfoParse(connection.toUtf8().constData(), &error));
        if (!parsed) {
            const QString why = error ? QString::fromUtf8(error).trimmed() : QStringLiteral("out of memory");
            PQfreemem(error);
            throw Error(Error::Kind::BadLocation, why);
        }
        for (PQconninfoOption *o = parsed.get(); o->keyword; ++o) {
            if (o->val && *o->val)
                set(o->keyword, o->val);
        }
        if (!has("connect_timeout"))
            set("connect_timeout", QByteArray::number(qint64(std::max<long long>(1, options.timeout.count()))));
        set("client_encoding", "UTF8");
        if (!has("application_name"))
            set("fallback_application_name", "Quillmere");
        // Added to the server options the text may set.
        // A prepared statement is planned for each run's values: how a lookup is best made
        // depends on its pattern.
        const QByteArray mark = QByteArray("-c plan_cache_mode=force_custom_plan -c ") + ProcessSetting + '='
                                + processMark().toLatin1();
        set("options", has("options") ? value("options") + ' ' + mark : mark);
    }

    // Overwrites a value where it is kept (a password, once libpq has its own copy).
    void wipe(const QByteArray &key)
    {
        const auto at = std::find(m_keys.begin(), m_keys.end(), key);
        if (at != m_keys.end())
            m_values[std::size_t(at - m_keys.begin())].fill('\0');
    }

    QByteArray value(const QByteArray &key) const
    {
        const auto at = std::find(m_keys.begin(), m_keys.end(), key);
        return at == m_keys.end() ? QByteArray() : m_values[std::size_t(at - m_keys.begin())];
    }

    bool has(const QByteArray &key) const { return std::find(m_keys.begin(), m_keys.end(), key) != m_keys.end(); }

    void set(const QByteArray &key, const QByteArray &value)
    {
        const auto at = std::find(m_keys.begin(), m_keys.end(), key);
        if (at != m_keys.end())
            m_values[std::size_t(at - m_keys.begin())] = value;
        else {
            m_keys.push_back(key);
            m_values.push_back(value);
        }
    }

    ConnPtr connect() const
    {
        std::vector<const char *> keys;
        std::vector<const char *> values;
        for (std::size_t i = 0; i < m_keys.size(); ++i) {
            keys.push_back(m_keys[i].constData());
            values.push_back(m_values[i].constData());
        }
        keys.push_back(nullptr);
        values.push_back(nullptr);
        return ConnPtr(PQconnectdbParams(keys.data(), values.data(), 0));
    }

private:
    std::vector<QByteArray> m_keys;
    std::vector<QByteArray> m_values;
};

QString messageOf(const PGconn *conn)
{
    return QString::fromUtf8(PQerrorMessage(conn)).trimmed();
}

// What a failed connection means. The server's answers are read from its message (libpq gives
// no code before a connection is made); a failure without one never reached a server.
Error connectionError(const PGconn *conn, bool passwordAsked)
{
    const QString message = messageOf(conn);
    if (PQconnectionNeedsPassword(conn) || (passwordAsked && PQconnectionUsedPassword(conn))
        || message.contains(QLatin1String("authentication")) || message.contains(QLatin1String("pg_hba.conf"))
        || message.contains(QLatin1String("role \"")))
        return Error(Error::Kind::Authentication, message);
    if (message.contains(QLatin1String("database \"")) && message.contains(QLatin1String("does not exist")))
        return Error(Error::Kind::NoDatabase, message);
    if (message.contains(QLatin1String("FATAL:")))
        return Error(Error::Kind::Server, message);
    return Error(Error::Kind::Unreachable, message);
}

} // namespace

QString processMark()
{
    static const QString mark = QUuid::createUuid().toString(QUuid::Id128);
    return mark;
}

QString connectionHost(const QString &connection)
{
    std::unique_ptr<PQconninfoOption, OptionsDeleter> parsed(PQconninfoParse(connection.toUtf8().constData(), nullptr));
    if (!parsed)
        return {};
    QString host;
    QString address;
    for (PQconninfoOption *o = parsed.get(); o->keyword; ++o) {
        if (!o->val || !*o->val)
            continue;
        if (qstrcmp(o->keyword, "host") == 0)
            host = QString::fromUtf8(o->val);
        else if (qstrcmp(o->keyword, "hostaddr") == 0)
            address = QString::fromUtf8(o->val);
    }
    if (!host.isEmpty())
        return host;
    return address.isEmpty() ? QStringLiteral("localhost") : address;
}

Connection::Connection(const QString &connection, const ConnectOptions &options)
{
    Settings settings(connection, options);
    ConnPtr conn = settings.connect();
    if (!conn)
        throw Error(Error::Kind::Unreachable, QStringLiteral("out of memory"));
    bool asked = false;
    if (PQstatus(conn.get()) != CONNECTION_OK && PQconnectionNeedsPassword(conn.get()) && options.password) {
        // The password goes to libpq only; our copies are wiped once it has it.
        std::optional<QString> password = options.password();
        if (!password)
            throw Error(Error::Kind::Authentication, messageOf(conn.get()));
        settings.set("password", password->toUtf8());
        password->fill(QLatin1Char('\0'));
        conn = settings.connect();
        settings.wipe("password");
        asked = true;
    }
    if (!conn || PQstatus(conn.get()) != CONNECTION_OK)
        throw connectionError(conn.get(), asked);
    m_conn = conn.release();
    // The server's notices ("already exists, skipping") are not for the user's terminal.
    PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
}

Connection::~Connection()
{
    PQfinish(m_conn);
}

Result Connection::check(pg_result *raw)
{
    Result result(raw);
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return result;
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw Error(Error::Kind::ConnectionLost, messageOf(m_conn));
    const char *primary = raw ? PQresultErrorField(raw, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const char *state = raw ? PQresultErrorField(raw, PG_DIAG_SQLSTATE) : nullptr;
    throw Error(Error::Kind::Server, primary ? QString::fromUtf8(primary) : messageOf(m_conn),
                state ? QString::fromLatin1(state) : QString());
}

Result Connection::exec(const char *sql, const Params &params)
{
    const std::vector<const char *> values = params.values();
    const std::vector<int> lengths = params.lengths();
    return check(PQexecParams(m_conn, sql, params.count(), nullptr, values.data(), lengths.data(),
                              params.formats().data(), 0));
}

Result Connection::execPrepared(const char *sql, const Params &params)
{
    // Statements built from a search's terms come in few shapes; past this many, the rest run
    // unprepared rather than fill the server's memory.
    constexpr std::size_t MostPrepared = 64;
    auto known = m_prepared.find(sql);
    if (known == m_prepared.end() && m_prepared.size() >= MostPrepared)
        return exec(sql, params);
    if (known == m_prepared.end()) {
        const std::string name = "qm_" + std::to_string(m_prepared.size() + 1);
        check(PQprepare(m_conn, name.c_str(), sql, params.count(), nullptr));
        known = m_prepared.emplace(sql, name).first;
    }
    const std::vector<const char *> values = params.values();
    const std::vector<int> lengths = params.lengths();
    return check(PQexecPrepared(m_conn, known->second.c_str(), params.count(), values.data(), lengths.data(),
                                params.formats().data(), 0));
}

Result Connection::execAtomic(const char *sql, const Params &params)
{
    if (!inTransaction())
        return exec(sql, params);
    const std::vector<const char *> values = params.values();
    const std::vector<int> lengths = params.lengths();
    const auto send = [this](const char *text, int count, const char *const *v, const int *l, const int *f) {
        return PQsendQueryParams(m_conn, text, count, nullptr, v, l, f, 0) == 1;
    };
    if (PQenterPipelineMode(m_conn) != 1)
        throw Error(Error::Kind::ConnectionLost, messageOf(m_conn));
    const bool sent = send("SAVEPOINT qm_write", 0, nullptr, nullptr, nullptr)
                      && send(sql, params.count(), values.data(), lengths.data(), params.formats().data())
                      && send("RELEASE SAVEPOINT qm_write", 0, nullptr, nullptr, nullptr) && PQpipelineSync(m_conn) == 1;
    // Each command's result comes with an empty one after it; the sync's closes the pipeline.
    std::vector<pg_result *> results;
    for (int i = 0; sent && i < 3; ++i) {
        results.push_back(PQgetResult(m_conn));
        if (!results.back())
            break;
        while (pg_result *extra = PQgetResult(m_conn))
            PQclear(extra);
    }
    while (pg_result *rest = PQgetResult(m_conn)) {
        const bool synced = PQresultStatus(rest) == PGRES_PIPELINE_SYNC;
        PQclear(rest);
        if (synced)
            break;
    }
    PQexitPipelineMode(m_conn);
    results.resize(3, nullptr);
    const auto done = [](const pg_result *r) {
        return r && (PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK);
    };
    const auto first = std::find_if_not(results.begin(), results.end(), done);
    if (first == results.end()) {
        PQclear(results[0]);
        PQclear(results[2]);
        return Result(results[1]);
    }
    // The savepoint stands unless making it failed: the statement's work is undone and the
    // transaction goes on as it was.
    if (first != results.begin() && PQstatus(m_conn) == CONNECTION_OK)
        PQclear(PQexec(m_conn, "ROLLBACK TO SAVEPOINT qm_write; RELEASE SAVEPOINT qm_write"));
    for (auto r = results.begin(); r != results.end(); ++r)
        if (r != first)
            PQclear(*r);
    check(*first);
    throw Error(Error::Kind::Server, messageOf(m_conn));
}

void Connection::run(const char *sql)
{
    check(PQexec(m_conn, sql));
}

void Connection::copyIn(const char *sql, const QByteArray &rows)
{
    startCopyIn(sql, rows).finish();
}

Connection::PendingCopy Connection::startCopyIn(const char *sql, const QByteArray &rows)
{
    pg_result *started = PQexec(m_conn, sql);
    if (!started || PQresultStatus(started) != PGRES_COPY_IN) {
        check(started);
        throw Error(Error::Kind::Server, QStringLiteral("not a COPY FROM STDIN statement"));
    }
    PQclear(started);
    PendingCopy pending(*this);
    // Sent in pieces: a message's length must fit the protocol's 32 bits.
    constexpr qsizetype Piece = 1 << 20;
    bool sent = true;
    for (qsizetype at = 0; sent && at < rows.size(); at += Piece)
        sent = PQputCopyData(m_conn, rows.constData() + at, int(std::min(Piece, rows.size() - at))) == 1;
    // A COPY that could not be sent whole is ended as failed: the server takes none of it.
    if (PQputCopyEnd(m_conn, sent ? nullptr : "the rows could not be sent") != 1 || !sent)
        pending.finish();
    return pending;
}

Connection::PendingCopy::PendingCopy(Connection &connection)
    : m_connection(&connection)
{
}

Connection::PendingCopy::PendingCopy(PendingCopy &&other) noexcept
    : m_connection(std::exchange(other.m_connection, nullptr))
{
}

Connection::PendingCopy::~PendingCopy()
{
    if (!m_connection)
        return;
    while (pg_result *result = PQgetResult(m_connection->m_conn))
        PQclear(result);
}

void Connection::PendingCopy::finish()
{
    if (!m_connection)
        return;
    Connection &c = *std::exchange(m_connection, nullptr);
    // The COPY's outcome, then the end of its results.
    pg_result *outcome = PQgetResult(c.m_conn);
    while (pg_result *rest = PQgetResult(c.m_conn))
        PQclear(rest);
    if (!outcome && PQstatus(c.m_conn) != CONNECTION_OK)
        throw Error(Error::Kind::ConnectionLost, messageOf(c.m_conn));
    c.check(outcome);
}

void Connection::reset()
{
    PQreset(m_conn);
    m_prepared.clear();
    if (PQstatus(m_conn) != CONNECTION_OK)
        throw connectionError(m_conn, false);
    PQsetNoticeProcessor(m_conn, [](void *, const char *) {}, nullptr);
}

QString Connection::host() const
{
    return QString::fromUtf8(PQhost(m_conn));
}

bool Connection::isOpen() const
{
    return PQstatus(m_conn) == CONNECTION_OK;
}

bool Connection::stillOpen()
{
    // A server that ends the session sends its reason and then closes: the first read takes the
    // reason, the second meets the end.
    for (int i = 0; i < 2 && PQstatus(m_conn) == CONNECTION_OK; ++i)
        PQconsumeInput(m_conn);
    return PQstatus(m_conn) == CONNECTION_OK;
}

bool Connection::inTransaction() const
{
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

bool Connection::transactionUsable() const
{
    return PQtransactionStatus(m_conn) == PQTRANS_INTRANS;
}

int Connection::socket() const
{
    return PQsocket(m_conn);
}

void Connection::listen(const QString &channel)
{
    // An identifier cannot be a parameter: it is quoted, its quotes doubled.
    QString quoted = channel;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    const QByteArray sql = "LISTEN \"" + quoted.toUtf8() + '"';
    exec(sql.constData());
}

std::vector<Connection::Notification> Connection::notifications()
{
    if (PQconsumeInput(m_conn) == 0 || PQstatus(m_conn) != CONNECTION_OK)
        throw Error(Error::Kind::ConnectionLost, messageOf(m_conn));
    std::vector<Notification> out;
    while (PGnotify *raw = PQnotifies(m_conn)) {
        out.push_back({QString::fromUtf8(raw->relname), QString::fromUtf8(raw->extra), raw->be_pid});
        PQfreemem(raw);
    }
    return out;
}

} // namespace qm::pg
