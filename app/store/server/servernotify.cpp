#include "app/store/server/servernotify.h"

#include "app/store/server/serverschema.h"
#include "app/store/sets/databasemodule.h"

#include "platform/postgres/connection.h"
#include "platform/postgres/error.h"
#include "platform/postgres/location.h"
#include "platform/postgres/transaction.h"

#include <QSocketNotifier>
#include <QTimer>

namespace qm::store {
namespace server {
namespace {

const QStringList Triggers{QStringLiteral("document_changed"), QStringLiteral("keyword_changed")};

// One statement per table is enough: a listener only learns that something changed, and the
// server folds a transaction's equal notifications into one.
constexpr char NoticeSql[] = R"sql(
CREATE OR REPLACE FUNCTION %1.announce_change() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    PERFORM pg_catalog.pg_notify(TG_TABLE_SCHEMA, coalesce(pg_catalog.current_setting('quillmere.process', true), ''));
    RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER document_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %1.document
    FOR EACH STATEMENT EXECUTE FUNCTION %1.announce_change();
CREATE OR REPLACE TRIGGER keyword_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %1.keyword
    FOR EACH STATEMENT EXECUTE FUNCTION %1.announce_change();
)sql";

bool hasNotices(pg::Connection &c, const QString &schema)
{
    const pg::Result r = c.exec("SELECT count(*) FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                                "JOIN pg_namespace n ON n.oid = c.relnamespace "
                                "WHERE n.nspname = $1 AND t.tgname = ANY($2::text[]) AND NOT t.tgisinternal",
                                pg::Params().text(schema).textArray(Triggers));
    return r.number(0, 0) == Triggers.size();
}

} // namespace

QString changeChannel(const QString &schema)
{
    return schema;
}

void installChangeNotices(pg::Connection &c, const QString &schema)
{
    if (hasNotices(c, schema))
        return;
    try {
        pg::Transaction tx(c);
        // A program in the middle of an edit holds the tables against the triggers' lock: the
        // opening does not wait for it, and the next one adds them.
        c.run("SET LOCAL lock_timeout = '2s'");
        // Two programs adding them at once would trip over each other's catalogue rows.
        c.exec("SELECT pg_advisory_xact_lock($1)", pg::Params().number(lockKey(schema)));
        if (!hasNotices(c, schema))
            c.run(QString::fromLatin1(NoticeSql).arg(schema).toUtf8().constData());
        tx.commit();
    } catch (const pg::Error &e) {
        // Only the tables' owner may add triggers (insufficient_privilege), a standby adds
        // nothing (read_only_sql_transaction), and a lock not granted in time is tried again.
        static const QStringList passed{QStringLiteral("42501"), QStringLiteral("25006"), QStringLiteral("55P03")};
        if (e.kind() != pg::Error::Kind::Server || !passed.contains(e.sqlState()))
            throw;
    }
}

} // namespace server

// --- Listening, on the watch's thread ------------------------------------------------------

struct ServerChangeListener::Listening {
    std::unique_ptr<pg::Connection> connection;
    std::unique_ptr<QSocketNotifier> notifier;
};

ServerChangeListener::ServerChangeListener(QObject *parent)
    : QObject(parent)
{
}

ServerChangeListener::~ServerChangeListener() = default;

void ServerChangeListener::follow(const QStringList &locations, const PasswordPrompt &password)
{
    m_password = password;
    m_wanted = locations;
    for (auto it = m_open.begin(); it != m_open.end();)
        it = m_wanted.contains(it->first) ? std::next(it) : m_open.erase(it);
    for (const QString &location : locations)
        if (!m_open.count(location))
            connectTo(location);
}

void ServerChangeListener::connectTo(const QString &location)
{
    try {
        const pg::Location parsed = pg::parseLocation(location);
        pg::ConnectOptions options;
        options.timeout = std::chrono::seconds(3);
        if (m_password)
            options.password = [prompt = m_password, shown = pg::redactPassword(location)] { return prompt(shown); };
        auto listening = std::make_unique<Listening>();
        listening->connection = std::make_unique<pg::Connection>(parsed.connection, options);
        const QString schema = server::schemaName(parsed.dictionary);
        // A program that opens the dictionary gives it the triggers that every writer then fires.
        server::installChangeNotices(*listening->connection, schema);
        listening->connection->listen(server::changeChannel(schema));
        listening->notifier = std::make_unique<QSocketNotifier>(listening->connection->socket(), QSocketNotifier::Read);
        connect(listening->notifier.get(), &QSocketNotifier::activated, this, [this, location] { read(location); });
        m_open[location] = std::move(listening);
    } catch (const pg::Error &) {
        // The set's own opening tells the user why the server cannot be reached.
        retryLater();
    }
}

void ServerChangeListener::read(const QString &location)
{
    const auto at = m_open.find(location);
    if (at == m_open.end())
        return;
    bool changedHere = false;
    try {
        for (const pg::Connection::Notification &n : at->second->connection->notifications())
            changedHere = changedHere || n.payload != pg::processMark();
    } catch (const pg::Error &) {
        // The notifier is inside its own signal: it goes once that has returned.
        at->second->notifier->setEnabled(false);
        QTimer::singleShot(0, this, [this, location] {
            m_open.erase(location);
            retryLater();
        });
        // Changes made while nobody listened are not known: the listener says it may have missed one.
        changedHere = true;
    }
    if (changedHere)
        emit changed(location);
}

void ServerChangeListener::retryLater()
{
    if (std::exchange(m_retrying, true))
        return;
    QTimer::singleShot(std::chrono::seconds(5), this, [this] {
        m_retrying = false;
        for (const QString &location : std::as_const(m_wanted))
            if (!m_open.count(location))
                connectTo(location);
    });
}

// --- The watch, on the window thread -------------------------------------------------------

ServerChangeWatch::ServerChangeWatch(DatabaseModule &database, QObject *parent)
    : QObject(parent)
    , m_database(database)
    , m_listener(new ServerChangeListener)
{
    m_listener->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_listener, &QObject::deleteLater);
    connect(m_listener, &ServerChangeListener::changed, this, &ServerChangeWatch::changedAt);
    m_thread.setObjectName(QStringLiteral("server change watch"));
    m_thread.start();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ServerChangeWatch::refresh);
    timer->start(std::chrono::seconds(2));
    refresh();
}

ServerChangeWatch::~ServerChangeWatch()
{
    m_thread.quit();
    m_thread.wait();
}

void ServerChangeWatch::refresh()
{
    const SetFiles files = m_database.openFiles();
    QHash<QString, QList<int>> bySlot;
    for (int slot = 0; slot < files.files.size(); ++slot)
        if (isServerLocation(files.files[slot]))
            bySlot[files.files[slot]].append(slot);
    if (files.generation == m_generation && bySlot == m_slots)
        return;
    m_generation = files.generation;
    m_slots = bySlot;
    QMetaObject::invokeMethod(m_listener, [listener = m_listener, locations = bySlot.keys(),
                                           password = m_database.openSet().rememberedPasswords()] {
        listener->follow(locations, password);
    });
}

void ServerChangeWatch::changedAt(const QString &location)
{
    for (const int slot : m_slots.value(location))
        emit dictionaryChanged(slot);
}

} // namespace qm::store
