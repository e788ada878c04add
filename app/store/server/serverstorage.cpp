// A dictionary on a server: opening, identity and counts, reading entries. Writes and the edit
// session are in serverwrites.cpp, the searches in serversearch.cpp.

#include "app/store/server/serverstorage.h"

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/dictionary/viewertype.h"
#include "app/store/server/servernotify.h"
#include "app/store/server/serverschema.h"

#include "platform/postgres/location.h"
#include "platform/postgres/transaction.h"
#include "platform/text/fold.h"

#include <sqlite3.h>

#include <map>

namespace qm::store {
namespace {

using pg::Params;
using pg::Result;
using pg::Transaction;

// Entries read at once by forEachEntry().
constexpr int ReadBatch = 64;

const QString Blank = QStringLiteral(" ");

QString shownText(const QString &stored)
{
    return stored == Blank ? QString() : stored;
}

QString storedText(const QString &shown)
{
    return shown.isEmpty() ? Blank : shown;
}

// The columns readEntry() reads, in its order.
#define QM_ENTRY_COLUMNS                                                                           \
    "document_number, viewer, heading, renewal_date, octet_length(body), "                         \
    "CASE WHEN octet_length(body) <= 134217728 THEN body END"
static_assert(MaxBodyBytes == 134217728, "the SQL above names the limit");

} // namespace

// --- Opening -------------------------------------------------------------------------------

ServerDictionary::ServerDictionary(const QString &location, const ServerOptions &options)
    : m_location(location)
    , m_shown(pg::redactPassword(location))
    , m_options(options)
{
    guarded([&] {
        const pg::Location parsed = pg::parseLocation(location);
        if (parsed.dictionary.isEmpty())
            throw Error(Error::Kind::ServerBadLocation, m_shown).withOther(QStringLiteral("dictionary= がありません"));
        m_dictionary = parsed.dictionary;
        m_schema = server::schemaName(m_dictionary);
        m_host = pg::connectionHost(parsed.connection);
        open(parsed.connection);
    });
}

ServerDictionary::~ServerDictionary()
{
    rollbackEditSession();
}

std::unique_ptr<pg::Connection> ServerDictionary::connect() const
{
    pg::ConnectOptions options;
    options.timeout = m_options.timeout;
    if (m_options.password)
        options.password = [this] { return m_options.password(m_shown); };
    return std::make_unique<pg::Connection>(m_connectionText, options);
}

std::unique_ptr<pg::Connection> ServerDictionary::connectAgain()
{
    std::unique_ptr<pg::Connection> c = connect();
    server::useSchema(*c, m_schema);
    return c;
}

void ServerDictionary::open(const QString &connection)
{
    m_connectionText = connection;
    m_connection = connect();
    using server::SchemaState;
    server::SchemaCheck check = server::checkSchema(*m_connection, m_schema, m_dictionary);
    if (check.state == SchemaState::Missing && m_options.createIfMissing && !m_options.readOnly) {
        DictionaryDescription description;
        description.name = m_dictionary;
        server::createSchema(*m_connection, m_schema, m_dictionary, description);
        check = server::checkSchema(*m_connection, m_schema, m_dictionary);
    }
    if (check.state == SchemaState::OtherVersion && server::isUpgradable(check.version)) {
        // Read-only, the older tables answer every read as they are.
        if (!m_options.readOnly)
            upgradeTables(check.version);
        check = m_options.readOnly ? server::SchemaCheck{SchemaState::Ours, 0}
                                   : server::checkSchema(*m_connection, m_schema, m_dictionary);
    }
    switch (check.state) {
    case SchemaState::Missing: throw Error(Error::Kind::ServerDictionaryMissing, m_dictionary);
    case SchemaState::Foreign: throw Error(Error::Kind::ServerNotDictionary, m_dictionary);
    case SchemaState::OtherVersion: throw Error(Error::Kind::ServerOtherVersion, m_dictionary).withNumber(check.version);
    case SchemaState::Ours: break;
    }
    useSchema();
    refoldKeys();
    // Every writer's changes are announced to the others, whichever program opened it first.
    if (!m_options.readOnly)
        server::installChangeNotices(*m_connection, m_schema);
}

void ServerDictionary::useSchema()
{
    server::useSchema(*m_connection, m_schema);
    // Opened for reading only, the server refuses writes as well.
    if (m_options.readOnly)
        m_connection->run("SET default_transaction_read_only = on");
}

void ServerDictionary::reconnectIfBroken()
{
    if (!m_connection || m_session || m_connection->inTransaction() || m_connection->stillOpen())
        return;
    m_connection->reset();
    useSchema();
}

void ServerDictionary::refoldKeys()
{
    if (m_options.readOnly || property(QStringLiteral("FoldVersion")) == text::foldVersion())
        return;
    Transaction tx(*m_connection);
    // In batches by id, so a large dictionary is never held in memory whole.
    for (qint64 last = 0;;) {
        const Result rows = m_connection->exec("SELECT id, keyword FROM keyword WHERE id > $1 ORDER BY id LIMIT 5000",
                                               Params().number(last));
        if (rows.rows() == 0)
            break;
        QStringList ids;
        QStringList keys;
        for (int i = 0; i < rows.rows(); ++i) {
            ids.append(rows.text(i, 0));
            keys.append(text::fold(rows.text(i, 1)));
        }
        last = rows.number(rows.rows() - 1, 0);
        m_connection->exec("UPDATE keyword AS k SET keyword_key = t.f FROM unnest($1::bigint[], $2::text[]) AS t(i, f) "
                           "WHERE k.id = t.i",
                           Params().textArray(ids).textArray(keys));
    }
    for (qint32 last = 0;;) {
        const Result rows = m_connection->exec("SELECT document_number, viewer, heading, body FROM document "
                                               "WHERE document_number > $1 ORDER BY document_number LIMIT 200",
                                               Params().number(last));
        if (rows.rows() == 0)
            break;
        for (int i = 0; i < rows.rows(); ++i) {
            last = qint32(rows.number(i, 0));
            const QString key = bodySearchKey(quint8(rows.number(i, 1)), rows.bytes(i, 3), m_options.richText);
            Params p;
            p.number(last).text(text::fold(rows.text(i, 2)));
            key.isNull() ? p.null() : p.text(key);
            m_connection->exec("UPDATE document SET heading_key = $2, text_key = $3 WHERE document_number = $1", p);
        }
    }
    m_connection->exec("UPDATE properties SET value = $1 WHERE name = 'FoldVersion'", Params().text(text::foldVersion()));
    tx.commit();
}

void ServerDictionary::raise(const pg::Error &error) const
{
    const QString reason = pg::redactPassword(error.message());
    using K = pg::Error::Kind;
    switch (error.kind()) {
    case K::BadLocation: throw Error(Error::Kind::ServerBadLocation, m_shown).withOther(reason);
    case K::Unreachable: throw Error(Error::Kind::ServerUnreachable, m_host).withOther(reason);
    case K::Authentication: throw Error(Error::Kind::ServerLoginRefused, m_host).withOther(reason);
    case K::NoDatabase: throw Error(Error::Kind::ServerDatabaseMissing, m_host).withOther(reason);
    case K::ConnectionLost: throw Error(Error::Kind::ServerConnectionLost, m_host).withOther(reason);
    case K::Server: break;
    }
    // read_only_sql_transaction: the server (a standby) or the role accepts no writes.
    if (error.sqlState() == QLatin1String("25006"))
        throw Error(Error::Kind::ReadOnly, m_shown);
    // program_limit_exceeded: a key too long for its index.
    if (error.sqlState() == QLatin1String("54000"))
        throw Error(Error::Kind::ServerTextTooLong, m_shown).withOther(reason);
    // Another program holds what this write needs (a deadlock the server broke, a lock not
    // granted): the user may try again.
    if (error.sqlState() == QLatin1String("40P01") || error.sqlState() == QLatin1String("40001")
        || error.sqlState() == QLatin1String("55P03"))
        throw Error(Error::Kind::InUse, m_shown);
    throw Error(Error::Kind::ServerFailed, m_host).withOther(reason);
}

void ServerDictionary::requireWritable() const
{
    if (m_options.readOnly)
        throw Error(Error::Kind::ReadOnly, m_shown);
}

namespace {

// Holds one read transaction, so the reads inside see one state of the dictionary.
class ServerReadScope final : public DictionaryStorage::ReadScope
{
public:
    explicit ServerReadScope(pg::Connection &connection)
    {
        if (!connection.inTransaction())
            m_read.emplace(connection, Transaction::Mode::ReadOnly);
    }

private:
    std::optional<Transaction> m_read;
};

} // namespace

std::unique_ptr<DictionaryStorage::ReadScope> ServerDictionary::holdReads()
{
    return guarded([&]() -> std::unique_ptr<ReadScope> { return std::make_unique<ServerReadScope>(*m_connection); });
}

// --- Identity and counts -------------------------------------------------------------------

QString ServerDictionary::property(const QString &name)
{
    return guarded([&] {
        const Result r = m_connection->exec("SELECT value FROM properties WHERE name = $1", Params().text(name));
        if (r.rows() == 0)
            throw Error(Error::Kind::ServerNotDictionary, m_dictionary);
        return r.text(0, 0);
    });
}

QString ServerDictionary::name()
{
    return property(QStringLiteral("DictionaryName"));
}

QString ServerDictionary::displayName()
{
    try {
        return name();
    } catch (const sqlite::Error &) {
        return m_dictionary;
    }
}

DictionaryDescription ServerDictionary::description()
{
    return guarded([&] {
        const Result r = m_connection->exec("SELECT name, value FROM properties");
        std::map<QString, QString> values;
        for (int i = 0; i < r.rows(); ++i)
            values[r.text(i, 0)] = r.text(i, 1);
        const auto value = [&](const char *key) {
            const auto at = values.find(QString::fromLatin1(key));
            if (at == values.end())
                throw Error(Error::Kind::ServerNotDictionary, m_dictionary);
            return at->second;
        };
        DictionaryDescription d;
        d.name = value("DictionaryName");
        d.author = shownText(value("Author"));
        d.comment = shownText(value("Comment"));
        d.locks = {value("DictionaryNameLock") == QLatin1String("1"), value("AuthorLock") == QLatin1String("1"),
                   value("CommentLock") == QLatin1String("1")};
        return d;
    });
}

void ServerDictionary::setDescription(const DictionaryDescription &description)
{
    // The locks are read from the server, not taken from the caller, so nothing unlocks a text.
    const DictionaryDescription current = this->description();
    requireWritable();
    guarded([&] {
        Transaction tx(*m_connection);
        const auto write = [&](const char *name, const QString &value) {
            m_connection->exec("UPDATE properties SET value = $2 WHERE name = $1",
                               Params().text(QString::fromLatin1(name)).text(value));
        };
        if (!current.locks[0])
            write("DictionaryName", description.name);
        if (!current.locks[1])
            write("Author", storedText(description.author));
        if (!current.locks[2])
            write("Comment", storedText(description.comment));
        tx.commit();
    });
}

qint64 ServerDictionary::entryCount()
{
    return guarded([&] { return m_connection->exec("SELECT count(*) FROM document").number(0, 0); });
}

qint64 ServerDictionary::keywordCount()
{
    return guarded([&] { return m_connection->exec("SELECT count(*) FROM keyword").number(0, 0); });
}

void ServerDictionary::recordCounts()
{
    requireWritable();
    guarded([&] {
        Transaction tx(*m_connection);
        m_connection->run("INSERT INTO properties (name, value) VALUES "
                          "('IndexRecordCount', (SELECT least(count(*), 2147483647)::text FROM keyword)), "
                          "('DocumentRecordCount', (SELECT least(count(*), 2147483647)::text FROM document)) "
                          "ON CONFLICT (name) DO UPDATE SET value = excluded.value");
        tx.commit();
    });
}

// --- Reading entries -----------------------------------------------------------------------

std::optional<Entry> ServerDictionary::readEntry(const Result &rows, int row) const
{
    const qint64 size = rows.number(row, 4);
    if (size > MaxBodyBytes)
        throw Error(Error::Kind::BodyTooLarge).withNumber(size);
    Entry e;
    e.DocumentNumber = qint32(rows.number(row, 0));
    e.Viewer = quint8(rows.number(row, 1));
    e.Heading = rows.text(row, 2);
    e.RenewalDate = QDateTime::fromString(rows.text(row, 3), QString::fromLatin1(schema::DateFormat));
    e.Document = rows.bytes(row, 5);
    return e;
}

std::optional<Entry> ServerDictionary::document(qint32 documentNumber)
{
    return guarded([&]() -> std::optional<Entry> {
        const Result r = m_connection->exec("SELECT " QM_ENTRY_COLUMNS ", version FROM document WHERE document_number = $1",
                                            Params().number(documentNumber));
        if (r.rows() == 0)
            return std::nullopt;
        noteRead(documentNumber, r.number(0, 6));
        return readEntry(r, 0);
    });
}

QStringList ServerDictionary::keywords(qint32 documentNumber)
{
    return guarded([&] {
        const Result r = m_connection->exec("SELECT keyword FROM keyword WHERE document_number = $1 ORDER BY id",
                                            Params().number(documentNumber));
        QStringList out;
        for (int i = 0; i < r.rows(); ++i)
            out.append(r.text(i, 0));
        return out;
    });
}

std::vector<qint32> ServerDictionary::entryNumbers()
{
    return guarded([&] {
        const Result r = m_connection->exec("SELECT document_number FROM document ORDER BY document_number");
        std::vector<qint32> out;
        out.reserve(std::size_t(r.rows()));
        for (int i = 0; i < r.rows(); ++i)
            out.push_back(qint32(r.number(i, 0)));
        return out;
    });
}

void ServerDictionary::forEachEntry(const std::vector<qint32> &numbers, const EntryVisitor &visit)
{
    guarded([&] {
        Transaction read(*m_connection, Transaction::Mode::ReadOnly);
        for (std::size_t from = 0; from < numbers.size(); from += ReadBatch) {
            const std::vector<qint32> part(numbers.begin() + qsizetype(from),
                                           numbers.begin() + qsizetype(std::min(numbers.size(), from + ReadBatch)));
            const Result entries = m_connection->exec("SELECT " QM_ENTRY_COLUMNS " FROM document "
                                                      "WHERE document_number = ANY($1::integer[])",
                                                      Params().numberArray(part));
            const Result words = m_connection->exec("SELECT document_number, keyword FROM keyword "
                                                    "WHERE document_number = ANY($1::integer[]) ORDER BY document_number, id",
                                                    Params().numberArray(part));
            std::map<qint32, int> rowOf;
            for (int i = 0; i < entries.rows(); ++i)
                rowOf[qint32(entries.number(i, 0))] = i;
            std::map<qint32, QStringList> keywordsOf;
            for (int i = 0; i < words.rows(); ++i)
                keywordsOf[qint32(words.number(i, 0))].append(words.text(i, 1));
            for (const qint32 number : part) {
                const auto at = rowOf.find(number);
                if (at != rowOf.end() && !visit(*readEntry(entries, at->second), keywordsOf[number]))
                    return;
            }
        }
        read.commit();
    });
}

bool ServerDictionary::headingExists(const QString &heading)
{
    return guarded([&] {
        return m_connection->exec("SELECT EXISTS (SELECT 1 FROM document WHERE heading = $1)", Params().text(heading))
                   .text(0, 0)
               == QLatin1String("t");
    });
}

QString ServerDictionary::backUp(const QString &, const GenerationPolicy &, const QDateTime &, const Progress &)
{
    throw Error(Error::Kind::ServerNotSupported, m_shown);
}

} // namespace qm::store
