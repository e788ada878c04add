// A dictionary on a server: opening, identity, reading and writing entries, the edit session.
// The searches are in serversearch.cpp.

#include "app/store/server/serverstorage.h"

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/dictionary/viewertype.h"
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

// Entries written by one statement: few enough for the server's limit of parameters.
constexpr int WriteBatch = 500;
// Entries read at once by forEachEntry().
constexpr int ReadBatch = 64;
constexpr qint64 MaxDocumentNumber = std::numeric_limits<qint32>::max();

const QString Blank = QStringLiteral(" ");

QString formatDate(const QDateTime &date)
{
    return date.isValid() ? date.toString(QString::fromLatin1(schema::DateFormat)) : QString(QLatin1String(""));
}

QString shownText(const QString &stored)
{
    return stored == Blank ? QString() : stored;
}

QString storedText(const QString &shown)
{
    return shown.isEmpty() ? Blank : shown;
}

QByteArray intArray(const std::vector<qint32> &numbers)
{
    QByteArray out = "{";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0)
            out += ',';
        out += QByteArray::number(numbers[i]);
    }
    return out + '}';
}

// What every written entry must be: one of the five types, a body the program can read back, a
// number that can be kept.
void requireStorable(const Entry &entry, bool keep)
{
    if (!isViewerCode(entry.Viewer))
        throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_CONSTRAINT,
                            QStringLiteral("viewer type %1 does not exist").arg(entry.Viewer));
    if (entry.Document.size() > MaxBodyBytes)
        throw Error(Error::Kind::BodyTooLarge).withNumber(entry.Document.size());
    if (keep && entry.DocumentNumber <= 0)
        throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_CONSTRAINT,
                            QStringLiteral("entry number %1 cannot be kept").arg(entry.DocumentNumber));
}

void requireKeyword(const QString &keyword)
{
    if (keyword.contains(QChar(0)))
        throw Error(Error::Kind::NulInKeyword);
}

// The columns readEntry() reads, in its order.
#define QM_ENTRY_COLUMNS                                                                           \
    "document_number, viewer, heading, renewal_date, octet_length(body), "                         \
    "CASE WHEN octet_length(body) <= 134217728 THEN body END"
static_assert(MaxBodyBytes == 134217728, "the SQL above names the limit");

void addEntryParams(Params &p, qint32 number, const Entry &e, const RichTextReader &reader)
{
    p.number(number).number(e.Viewer).text(e.Heading).text(text::fold(e.Heading)).bytes(e.Document);
    p.text(formatDate(e.RenewalDate));
    const QString key = bodySearchKey(e, reader);
    if (key.isNull())
        p.null();
    else
        p.text(key);
}

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

void ServerDictionary::open(const QString &connection)
{
    pg::ConnectOptions connect;
    connect.timeout = m_options.timeout;
    if (m_options.password)
        connect.password = [this] { return m_options.password(m_shown); };
    m_connection = std::make_unique<pg::Connection>(connection, connect);
    using server::SchemaState;
    server::SchemaCheck check = server::checkSchema(*m_connection, m_schema, m_dictionary);
    if (check.state == SchemaState::Missing && m_options.createIfMissing && !m_options.readOnly) {
        DictionaryDescription description;
        description.name = m_dictionary;
        server::createSchema(*m_connection, m_schema, m_dictionary, description);
        check = server::checkSchema(*m_connection, m_schema, m_dictionary);
    }
    switch (check.state) {
    case SchemaState::Missing: throw Error(Error::Kind::ServerDictionaryMissing, m_dictionary);
    case SchemaState::Foreign: throw Error(Error::Kind::ServerNotDictionary, m_dictionary);
    case SchemaState::OtherVersion: throw Error(Error::Kind::ServerOtherVersion, m_dictionary).withNumber(check.version);
    case SchemaState::Ours: break;
    }
    useSchema();
    refoldKeys();
}

void ServerDictionary::useSchema()
{
    m_connection->exec("SELECT set_config('search_path', $1, false)", Params().text(m_schema + QStringLiteral(", public")));
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
        const Result r = m_connection->exec("SELECT " QM_ENTRY_COLUMNS " FROM document WHERE document_number = $1",
                                            Params().number(documentNumber));
        return r.rows() == 0 ? std::nullopt : readEntry(r, 0);
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
            const QByteArray list = intArray(part);
            const Result entries = m_connection->exec("SELECT " QM_ENTRY_COLUMNS " FROM document "
                                                      "WHERE document_number = ANY($1::integer[])",
                                                      Params().utf8(list));
            const Result words = m_connection->exec("SELECT document_number, keyword FROM keyword "
                                                    "WHERE document_number = ANY($1::integer[]) ORDER BY document_number, id",
                                                    Params().utf8(list));
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

// --- Writing entries -----------------------------------------------------------------------

std::vector<qint32> ServerDictionary::newNumbers(int count)
{
    std::vector<qint32> out;
    const Result seq = m_connection->exec("SELECT last_value, is_called FROM document_numbers");
    const qint64 last = seq.number(0, 0) - (seq.text(0, 1) == QLatin1String("t") ? 0 : 1);
    if (last + count <= MaxDocumentNumber) {
        const Result r = m_connection->exec("SELECT nextval('document_numbers') FROM generate_series(1, $1)",
                                            Params().number(count));
        for (int i = 0; i < r.rows(); ++i)
            out.push_back(qint32(r.number(i, 0)));
        return out;
    }
    // Once the largest number has been given, new entries take the lowest free numbers.
    const Result free = m_connection->exec(
        "SELECT g FROM (SELECT n + 1 AS s, lead(n, 1, 2147483648) OVER (ORDER BY n) - 1 AS e "
        "FROM (SELECT 0::bigint AS n UNION ALL SELECT document_number::bigint FROM document) AS used) AS gaps, "
        "generate_series(s, e) AS g WHERE s <= e ORDER BY g LIMIT $1",
        Params().number(count));
    if (free.rows() < count)
        throw numbersExhaustedError();
    for (int i = 0; i < free.rows(); ++i)
        out.push_back(qint32(free.number(i, 0)));
    return out;
}

qint32 ServerDictionary::insertEntries(const std::vector<NewEntry> &entries, Numbering numbering)
{
    const bool keep = numbering == Numbering::Keep;
    for (const NewEntry &e : entries) {
        requireStorable(e.entry, keep);
        for (const QString &k : e.keywords)
            requireKeyword(k);
    }
    if (entries.empty())
        return 0;
    std::vector<qint32> numbers;
    if (keep) {
        for (const NewEntry &e : entries)
            numbers.push_back(e.entry.DocumentNumber);
    } else {
        numbers = newNumbers(int(entries.size()));
    }
    Params doc;
    QByteArray sql = "INSERT INTO document (document_number, viewer, heading, heading_key, body, renewal_date, text_key) VALUES ";
    QStringList owners;
    QStringList words;
    QStringList keys;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int at = doc.count();
        sql += QByteArray(i > 0 ? ", (" : "(");
        for (int c = 1; c <= 7; ++c)
            sql += (c > 1 ? ", $" : "$") + QByteArray::number(at + c);
        sql += ')';
        addEntryParams(doc, numbers[i], entries[i].entry, m_options.richText);
        for (const QString &k : entries[i].keywords) {
            owners.append(QString::number(numbers[i]));
            words.append(k);
            keys.append(text::fold(k));
        }
    }
    m_connection->exec(sql.constData(), doc);
    if (!words.isEmpty())
        m_connection->exec("INSERT INTO keyword (document_number, keyword, keyword_key) "
                           "SELECT n, k, f FROM unnest($1::integer[], $2::text[], $3::text[]) WITH ORDINALITY AS t(n, k, f, o) "
                           "ORDER BY o",
                           Params().textArray(owners).textArray(words).textArray(keys));
    if (keep) {
        // Numbers kept above the sequence move it on, so no new entry takes them.
        const qint32 highest = *std::max_element(numbers.begin(), numbers.end());
        m_connection->exec("SELECT setval('document_numbers', $1) FROM document_numbers "
                           "WHERE NOT is_called OR last_value < $1",
                           Params().number(highest));
    }
    return numbers.back();
}

qint32 ServerDictionary::addEntry(const Entry &entry, const QStringList &keywords)
{
    requireWritable();
    return guarded([&] {
        Transaction tx(*m_connection);
        const qint32 number = insertEntries({NewEntry{entry, keywords}}, Numbering::New);
        tx.commit();
        return number;
    });
}

qint64 ServerDictionary::addEntriesFrom(const BatchSource &next)
{
    requireWritable();
    return guarded([&] {
        Transaction tx(*m_connection);
        qint64 added = 0;
        std::vector<NewEntry> batch;
        for (bool more = true; more;) {
            batch.clear();
            Numbering numbering = Numbering::New;
            more = next(batch, numbering);
            for (std::size_t from = 0; from < batch.size(); from += WriteBatch) {
                const std::vector<NewEntry> part(batch.begin() + qsizetype(from),
                                                 batch.begin() + qsizetype(std::min(batch.size(), from + WriteBatch)));
                insertEntries(part, numbering);
            }
            added += qint64(batch.size());
        }
        tx.commit();
        return added;
    });
}

bool ServerDictionary::updateEntry(const Entry &entry)
{
    requireWritable();
    requireStorable(entry, false);
    return guarded([&] {
        Transaction tx(*m_connection);
        Params p;
        addEntryParams(p, entry.DocumentNumber, entry, m_options.richText);
        const qint64 changed = m_connection
                                   ->exec("UPDATE document SET viewer = $2, heading = $3, heading_key = $4, body = $5, "
                                          "renewal_date = $6, text_key = $7, version = version + 1 "
                                          "WHERE document_number = $1",
                                          p)
                                   .changed();
        tx.commit();
        return changed > 0;
    });
}

bool ServerDictionary::deleteEntry(qint32 documentNumber)
{
    requireWritable();
    return guarded([&] {
        Transaction tx(*m_connection);
        const qint64 changed = m_connection->exec("DELETE FROM document WHERE document_number = $1",
                                                  Params().number(documentNumber))
                                   .changed();
        tx.commit();
        return changed > 0;
    });
}

void ServerDictionary::addKeyword(qint32 documentNumber, const QString &keyword)
{
    requireWritable();
    requireKeyword(keyword);
    guarded([&] {
        Transaction tx(*m_connection);
        m_connection->exec("INSERT INTO keyword (document_number, keyword, keyword_key) VALUES ($1, $2, $3)",
                           Params().number(documentNumber).text(keyword).text(text::fold(keyword)));
        tx.commit();
    });
}

bool ServerDictionary::deleteKeyword(qint32 documentNumber, const QString &keyword)
{
    requireWritable();
    return guarded([&] {
        Transaction tx(*m_connection);
        const qint64 changed = m_connection
                                   ->exec("DELETE FROM keyword WHERE id = (SELECT id FROM keyword WHERE document_number = $1 "
                                          "AND keyword = $2 ORDER BY id LIMIT 1)",
                                          Params().number(documentNumber).text(keyword))
                                   .changed();
        tx.commit();
        return changed > 0;
    });
}

// --- The edit session ----------------------------------------------------------------------

void ServerDictionary::beginEditSession()
{
    if (m_session)
        throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_MISUSE, QStringLiteral("an edit session is already open"));
    guarded([&] { m_connection->run("BEGIN"); });
    m_session = true;
}

void ServerDictionary::commitEditSession()
{
    if (!m_session)
        throw sqlite::Error(sqlite::Error::Kind::General, SQLITE_MISUSE, QStringLiteral("no edit session is open"));
    if (!m_connection->transactionUsable()) {
        rollbackEditSession();
        throw Error(Error::Kind::WriteUndone, m_shown);
    }
    m_session = false;
    guarded([&] {
        if (m_connection->exec("COMMIT").command() != "COMMIT")
            throw Error(Error::Kind::WriteUndone, m_shown);
    });
}

void ServerDictionary::rollbackEditSession()
{
    if (!m_session)
        return;
    m_session = false;
    if (!m_connection->isOpen() || !m_connection->inTransaction())
        return;
    try {
        m_connection->run("ROLLBACK");
    } catch (const pg::Error &) {
        // The server drops the transaction with the connection.
    }
}

bool ServerDictionary::isEditSessionLive()
{
    return m_session && m_connection->transactionUsable();
}

QString ServerDictionary::backUp(const QString &, const GenerationPolicy &, const QDateTime &, const Progress &)
{
    throw Error(Error::Kind::ServerNotSupported, m_shown);
}

} // namespace qm::store
