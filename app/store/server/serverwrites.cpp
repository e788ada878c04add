// A dictionary on a server: adding, changing and deleting entries and keywords, and the edit
// session.

#include "app/store/server/serverstorage.h"

#include "app/store/dictionary/bodytext.h"
#include "app/store/dictionary/schema.h"
#include "app/store/dictionary/storeerror.h"
#include "app/store/dictionary/viewertype.h"
#include "app/store/server/serverschema.h"

#include "platform/postgres/copyrows.h"
#include "platform/postgres/transaction.h"
#include "platform/text/fold.h"

#include <QRegularExpression>
#include <QSysInfo>

#include <future>

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

namespace qm::store {
namespace {

using pg::Connection;
using pg::Params;
using pg::Result;
using pg::Transaction;

// Entries written by one statement: few enough for the server's limit of parameters.
constexpr int WriteBatch = 500;
constexpr qint64 MaxDocumentNumber = std::numeric_limits<qint32>::max();

QString formatDate(const QDateTime &date)
{
    return date.isValid() ? date.toString(QString::fromLatin1(schema::DateFormat)) : QString(QLatin1String(""));
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

// --- Writing entries -----------------------------------------------------------------------

// New numbers come from the dictionary's sequence: one above every number given before, and
// never waited for, so writers in several programs number at once. A number given to a write
// that was then rolled back is not given again (the file, whose counter rolls back with the
// write, would give it again); numbers are never reused while the sequence lasts either way.
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

// The numbers the entries take, once each is known storable.
std::vector<qint32> ServerDictionary::numbersFor(const std::vector<NewEntry> &entries, Numbering numbering)
{
    const bool keep = numbering == Numbering::Keep;
    for (const NewEntry &e : entries) {
        requireStorable(e.entry, keep);
        for (const QString &k : e.keywords)
            requireKeyword(k);
    }
    if (entries.empty())
        return {};
    if (!keep)
        return newNumbers(int(entries.size()));
    std::vector<qint32> numbers;
    for (const NewEntry &e : entries)
        numbers.push_back(e.entry.DocumentNumber);
    return numbers;
}

// Numbers kept above the sequence move it on, so no new entry takes them.
void ServerDictionary::passKeptNumbers(const std::vector<qint32> &numbers)
{
    const qint32 highest = *std::max_element(numbers.begin(), numbers.end());
    m_connection->exec("SELECT setval('document_numbers', $1) FROM document_numbers "
                       "WHERE NOT is_called OR last_value < $1",
                       Params().number(highest));
}

qint32 ServerDictionary::insertEntries(const std::vector<NewEntry> &entries, Numbering numbering)
{
    const std::vector<qint32> numbers = numbersFor(entries, numbering);
    if (numbers.empty())
        return 0;
    Params doc;
    // Every row names this program as its writer through the one last parameter.
    const QByteArray by = "$" + QByteArray::number(qsizetype(entries.size()) * 7 + 1);
    QByteArray sql = "INSERT INTO document (document_number, viewer, heading, heading_key, body, renewal_date, text_key, "
                     "changed_by, changed_at) VALUES ";
    QStringList owners;
    QStringList words;
    QStringList keys;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int at = doc.count();
        sql += QByteArray(i > 0 ? ", (" : "(");
        for (int c = 1; c <= 7; ++c)
            sql += (c > 1 ? ", $" : "$") + QByteArray::number(at + c);
        sql += ", " + by + ", now())";
        addEntryParams(doc, numbers[i], entries[i].entry, m_options.richText);
        for (const QString &k : entries[i].keywords) {
            owners.append(QString::number(numbers[i]));
            words.append(k);
            keys.append(text::fold(k));
        }
    }
    doc.text(writer());
    m_connection->exec(sql.constData(), doc);
    if (!words.isEmpty())
        m_connection->exec("INSERT INTO keyword (document_number, keyword, keyword_key) "
                           "SELECT n, k, f FROM unnest($1::integer[], $2::text[], $3::text[]) WITH ORDINALITY AS t(n, k, f, o) "
                           "ORDER BY o",
                           Params().textArray(owners).textArray(words).textArray(keys));
    if (numbering == Numbering::Keep)
        passKeptNumbers(numbers);
    return numbers.back();
}

// An import's batches go in as COPY streams, the same rows insertEntries() writes: the server
// reads them several times faster than statements with a parameter for every value. `stamp` is
// the transaction's time as the server wrote it (what now() gives every row of it). The keyword
// rows' COPY is left for the caller to finish, who reads the next batch meanwhile.
Connection::PendingCopy ServerDictionary::copyEntries(const std::vector<NewEntry> &entries, Numbering numbering,
                                                      const QString &stamp)
{
    const std::vector<qint32> numbers = numbersFor(entries, numbering);
    pg::CopyRows documents;
    pg::CopyRows keywords;
    const QString by = writer();
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const Entry &e = entries[i].entry;
        const QString key = bodySearchKey(e, m_options.richText);
        documents.number(numbers[i]).number(e.Viewer).text(e.Heading).text(text::fold(e.Heading)).bytes(e.Document);
        documents.text(formatDate(e.RenewalDate));
        (key.isNull() ? documents.null() : documents.text(key)).text(by).text(stamp).endRow();
        for (const QString &k : entries[i].keywords)
            keywords.number(numbers[i]).text(k).text(text::fold(k)).endRow();
    }
    if (!documents.isEmpty())
        m_connection->copyIn("COPY document (document_number, viewer, heading, heading_key, body, renewal_date, text_key, "
                             "changed_by, changed_at) FROM STDIN",
                             documents.data());
    if (!numbers.empty() && numbering == Numbering::Keep)
        passKeptNumbers(numbers);
    return m_connection->startCopyIn("COPY keyword (document_number, keyword, keyword_key) FROM STDIN", keywords.data());
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

// An import into an empty dictionary makes the tables' own indexes and checks the keywords'
// references to their entries at its end: building a trigram index over every row at once costs
// a fraction of keeping it up to date batch by batch.
// The first look is made before the import's transaction holds any lock, so that two imports
// cannot wait on each other; the table lock then lets one import at a time decide, and the
// second finds the first one's rows and writes through whatever indexes stand. Only the tables'
// owner defers them; anyone else writes through them. Readers of the dictionary wait for the
// rows to be committed (until then they would find it empty anyway).
ServerDictionary::Deferred ServerDictionary::deferIndexesWhenEmpty(bool lookedEmpty)
{
    if (!lookedEmpty)
        return {};
    m_connection->run("LOCK TABLE document, keyword IN SHARE ROW EXCLUSIVE MODE");
    if (m_connection->exec("SELECT 1 FROM document LIMIT 1").rows() > 0)
        return {};
    // Constraints' indexes (the keys) stay: the rows are checked against them as they come.
    const Result r = m_connection->exec("SELECT i.indexrelid::regclass::text, i.indrelid::regclass::text, "
                                        "pg_get_indexdef(i.indexrelid) FROM pg_index i "
                                        "WHERE i.indrelid IN ('document'::regclass, 'keyword'::regclass) "
                                        "AND NOT EXISTS (SELECT 1 FROM pg_constraint c WHERE c.conindid = i.indexrelid)");
    Deferred deferred = {{}, missingIndexesByTable()};
    QStringList names;
    for (int i = 0; i < r.rows(); ++i) {
        names.append(r.text(i, 0));
        // Made after the commit, when another program may have made it meanwhile.
        QString make = r.text(i, 2);
        make.replace(QRegularExpression(QStringLiteral("^CREATE (UNIQUE )?INDEX ")), QStringLiteral("CREATE \\1INDEX IF NOT EXISTS "));
        deferred.indexes[r.text(i, 1)].append(make);
    }
    if (!names.isEmpty())
        m_connection->run(qPrintable(QStringLiteral("DROP INDEX ") + names.join(QStringLiteral(", "))));
    // A keyword's reference to its entry is checked once for all rows at the end, by one join,
    // rather than by a lookup for every row written.
    const Result refs = m_connection->exec("SELECT conrelid::regclass::text, quote_ident(conname), pg_get_constraintdef(oid) "
                                           "FROM pg_constraint WHERE contype = 'f' "
                                           "AND conrelid IN ('document'::regclass, 'keyword'::regclass)");
    for (int i = 0; i < refs.rows(); ++i) {
        const QString table = refs.text(i, 0);
        const QString name = refs.text(i, 1);
        m_connection->run(qPrintable(QStringLiteral("ALTER TABLE %1 DROP CONSTRAINT %2").arg(table, name)));
        deferred.references.append(QStringLiteral("ALTER TABLE %1 ADD CONSTRAINT %2 %3").arg(table, name, refs.text(i, 2)));
    }
    return deferred;
}

// Our indexes the tables lack, by table: those an import cut off before it built them again.
QMap<QString, QStringList> ServerDictionary::missingIndexesByTable()
{
    QMap<QString, QStringList> missing;
    for (const server::IndexDefinition &index : server::missingIndexes(*m_connection))
        missing[QLatin1String(index.table)].append(QLatin1String(index.sql));
    return missing;
}

// The server builds an index on one core: each table's indexes are built at once on a
// connection of their own, each table's in one transaction. Meanwhile lookups read the tables
// through and give the same rows. The rows are committed before: nothing here may fail the
// import. A build that fails (a lost connection, a killed program) takes none of them away, and
// the next import or compaction of the dictionary makes the indexes still missing; `deferred`
// empty, this makes those an import cut off before left missing.
void ServerDictionary::completeIndexes(const QMap<QString, QStringList> &deferred)
{
    const auto build = [](pg::Connection &c, const QStringList &statements) {
        Transaction tx(c);
        for (const QString &make : statements)
            c.run(qPrintable(make));
        tx.commit();
    };
    try {
        const QMap<QString, QStringList> byTable = deferred.isEmpty() ? missingIndexesByTable() : deferred;
        if (byTable.isEmpty())
            return;
        std::vector<std::unique_ptr<pg::Connection>> others;
        std::vector<std::future<void>> builds;
        for (auto table = std::next(byTable.cbegin()); table != byTable.cend(); ++table) {
            others.push_back(connectAgain());
            builds.push_back(std::async(std::launch::async, build, std::ref(*others.back()), table.value()));
        }
        std::exception_ptr failed;
        try {
            build(*m_connection, byTable.first());
        } catch (const std::exception &) {
            failed = std::current_exception();
        }
        for (std::future<void> &b : builds)
            b.get();
        if (failed)
            std::rethrow_exception(failed);
    } catch (const std::exception &) {
        // The rows stand; only lookups are slower until the indexes are made.
    }
}

// Whether the dictionary holds no entry and this login owns its tables (only the owner may drop
// their indexes, or lock them without the rights to change rows).
bool ServerDictionary::emptyAndOwned()
{
    return m_connection->exec("SELECT 1 FROM pg_class t WHERE t.oid IN ('document'::regclass, 'keyword'::regclass) "
                              "HAVING bool_and(pg_has_role(t.relowner, 'USAGE')) "
                              "AND NOT EXISTS (SELECT 1 FROM document)")
               .rows() == 1;
}

qint64 ServerDictionary::addEntriesFrom(const BatchSource &next)
{
    requireWritable();
    Deferred deferred;
    const qint64 added = guarded([&] {
        const bool empty = !m_connection->inTransaction() && emptyAndOwned();
        Transaction tx(*m_connection);
        deferred = deferIndexesWhenEmpty(empty);
        const QString stamp = m_connection->exec("SELECT now()::text").text(0, 0);
        qint64 count = 0;
        std::vector<NewEntry> batch;
        // Destroyed before the transaction, so that it rolls back on a connection with nothing pending.
        std::optional<Connection::PendingCopy> pending;
        for (bool more = true; more;) {
            batch.clear();
            Numbering numbering = Numbering::New;
            more = next(batch, numbering);
            for (std::size_t from = 0; from < batch.size(); from += WriteBatch) {
                const std::vector<NewEntry> part(batch.begin() + qsizetype(from),
                                                 batch.begin() + qsizetype(std::min(batch.size(), from + WriteBatch)));
                if (pending)
                    pending->finish();
                pending.reset();
                pending.emplace(copyEntries(part, numbering, stamp));
            }
            count += qint64(batch.size());
        }
        if (pending)
            pending->finish();
        for (const QString &make : deferred.references)
            m_connection->run(qPrintable(make));
        tx.commit();
        return count;
    });
    completeIndexes(deferred.indexes);
    return added;
}

// An entry this object has read is changed only while it is still the version read: another
// program's change or delete since is refused with who made it and when (nothing is
// overwritten). An entry never read here is changed as it is.
bool ServerDictionary::updateEntry(const Entry &entry)
{
    requireWritable();
    requireStorable(entry, false);
    return guarded([&] {
        // One statement: in an edit session it runs in one round trip with its savepoint.
        const std::optional<qint64> read = versionRead(entry.DocumentNumber);
        Params p;
        addEntryParams(p, entry.DocumentNumber, entry, m_options.richText);
        p.text(writer());
        read ? p.number(*read) : p.null();
        const Result changed = m_connection->execAtomic("UPDATE document SET viewer = $2, heading = $3, heading_key = $4, body = $5, "
                                                  "renewal_date = $6, text_key = $7, version = version + 1, "
                                                  "changed_by = $8, changed_at = now() "
                                                  "WHERE document_number = $1 AND ($9::bigint IS NULL OR version = $9) "
                                                  "RETURNING version",
                                                  p);
        if (changed.rows() == 0) {
            if (read)
                refuseChanged(entry.DocumentNumber);
            return false;
        }
        noteRead(entry.DocumentNumber, changed.number(0, 0));
        return true;
    });
}

bool ServerDictionary::deleteEntry(qint32 documentNumber)
{
    requireWritable();
    return guarded([&] {
        Transaction tx(*m_connection);
        const std::optional<qint64> read = versionRead(documentNumber);
        Params p;
        p.number(documentNumber);
        read ? p.number(*read) : p.null();
        const qint64 changed = m_connection->exec("DELETE FROM document WHERE document_number = $1 "
                                                  "AND ($2::bigint IS NULL OR version = $2)",
                                                  p)
                                   .changed();
        if (changed == 0) {
            // Gone already: nothing to refuse. Still there: another program changed it.
            if (read && m_connection->exec("SELECT 1 FROM document WHERE document_number = $1",
                                           Params().number(documentNumber)).rows() > 0)
                refuseChanged(documentNumber);
            return false;
        }
        m_connection->exec("INSERT INTO removed (document_number, changed_by, changed_at) VALUES ($1, $2, now()) "
                           "ON CONFLICT (document_number) DO UPDATE SET changed_by = $2, changed_at = now()",
                           Params().number(documentNumber).text(writer()));
        tx.commit();
        m_versions.erase(documentNumber);
        return true;
    });
}

void ServerDictionary::noteRead(qint32 documentNumber, qint64 version)
{
    // A program that reads very many entries forgets what it read rather than grow; the entry
    // held for an edit is kept.
    constexpr std::size_t MostRemembered = 100000;
    if (m_versions.size() >= MostRemembered) {
        const std::optional<qint64> held = m_held ? versionRead(*m_held) : std::nullopt;
        m_versions.clear();
        if (held)
            m_versions.emplace(*m_held, *held);
    }
    m_versions[documentNumber] = version;
}

std::optional<qint64> ServerDictionary::versionRead(qint32 documentNumber) const
{
    const auto at = m_versions.find(documentNumber);
    return at == m_versions.end() ? std::nullopt : std::optional<qint64>(at->second);
}

void ServerDictionary::refuseChanged(qint32 documentNumber)
{
    // The entry as it is now, or who deleted it; a deletion nobody recorded names no one.
    const Result r = m_connection->exec(
        "SELECT changed_by, extract(epoch FROM changed_at)::bigint, 0 FROM document WHERE document_number = $1 "
        "UNION ALL SELECT changed_by, extract(epoch FROM changed_at)::bigint, 1 FROM removed "
        "WHERE document_number = $1 AND NOT EXISTS (SELECT 1 FROM document WHERE document_number = $1)",
        Params().number(documentNumber));
    const bool known = r.rows() > 0;
    const QString who = known && !r.isNull(0, 0) ? r.text(0, 0) : QStringLiteral("ほかのプログラム");
    const QString when = known && !r.isNull(0, 1)
                             ? QDateTime::fromSecsSinceEpoch(r.number(0, 1)).toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                             : QStringLiteral("不明な時刻");
    throw Error(Error::Kind::ServerChangedByOther, who).withOther(when).withNumber(known ? r.number(0, 2) : 1);
}

QString ServerDictionary::writer()
{
    static const QString name = []() -> QString {
        QString user = qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
        if (user.isEmpty())
            if (const passwd *pw = ::getpwuid(::geteuid()))
                user = QString::fromLocal8Bit(pw->pw_name);
        return user + QLatin1Char('@') + QSysInfo::machineHostName();
    }();
    return name;
}

void ServerDictionary::addKeyword(qint32 documentNumber, const QString &keyword)
{
    requireWritable();
    requireKeyword(keyword);
    guarded([&] {
        m_connection->execAtomic("INSERT INTO keyword (document_number, keyword, keyword_key) VALUES ($1, $2, $3)",
                                 Params().number(documentNumber).text(keyword).text(text::fold(keyword)));
    });
}

bool ServerDictionary::deleteKeyword(qint32 documentNumber, const QString &keyword)
{
    requireWritable();
    return guarded([&] {
        return m_connection
                   ->execAtomic("DELETE FROM keyword WHERE id = (SELECT id FROM keyword WHERE document_number = $1 "
                                "AND keyword = $2 ORDER BY id LIMIT 1)",
                                Params().number(documentNumber).text(keyword))
                   .changed()
               > 0;
    });
}

// One statement, so one round trip: the rows to take out are the first ones (by id) of each
// text, as many as it is named; the new rows come in the order given.
int ServerDictionary::changeKeywords(qint32 documentNumber, const QStringList &remove, const QStringList &add)
{
    requireWritable();
    for (const QString &k : add)
        requireKeyword(k);
    if (remove.isEmpty() && add.isEmpty())
        return 0;
    QStringList keys;
    for (const QString &k : add)
        keys.append(text::fold(k));
    return guarded([&] {
        const Result r = m_connection->execAtomic(
            "WITH named AS (SELECT t AS keyword, count(*) AS times FROM unnest($2::text[]) AS t GROUP BY t), "
            "gone AS (DELETE FROM keyword WHERE id IN (SELECT k.id FROM (SELECT id, keyword, row_number() OVER "
            "(PARTITION BY keyword ORDER BY id) AS nth FROM keyword WHERE document_number = $1 "
            "AND keyword = ANY($2::text[])) AS k JOIN named AS n ON n.keyword = k.keyword WHERE k.nth <= n.times) "
            "RETURNING 1), "
            "added AS (INSERT INTO keyword (document_number, keyword, keyword_key) "
            "SELECT $1, k, f FROM unnest($3::text[], $4::text[]) WITH ORDINALITY AS t(k, f, o) ORDER BY o RETURNING 1) "
            "SELECT (SELECT count(*) FROM gone), (SELECT count(*) FROM added)",
            Params().number(documentNumber).textArray(remove).textArray(add).textArray(keys));
        return int(r.number(0, 0));
    });
}

// --- Holding an entry ----------------------------------------------------------------------

// The hold is a session-level advisory lock on the program's own connection: it outlives the
// edit session's transaction and its rollback, and the server frees it when the connection
// drops, so a program that dies or loses the server leaves nothing held.
void ServerDictionary::holdEntry(qint32 documentNumber)
{
    guarded([&] {
        if (m_held == documentNumber && holds(documentNumber))
            return;
        releaseEntry();
        const Result r = m_connection->exec("SELECT pg_try_advisory_lock($1::integer, $2::integer)",
                                            Params().number(server::entryLockSpace(m_schema)).number(documentNumber));
        if (r.text(0, 0) != QLatin1String("t"))
            throw Error(Error::Kind::InUse, m_shown);
        m_held = documentNumber;
    });
}

void ServerDictionary::releaseEntry()
{
    const std::optional<qint32> held = std::exchange(m_held, std::nullopt);
    if (!held || !m_connection || !m_connection->isOpen()
        || (m_connection->inTransaction() && !m_connection->transactionUsable()))
        return;
    try {
        m_connection->exec("SELECT pg_advisory_unlock($1::integer, $2::integer)",
                           Params().number(server::entryLockSpace(m_schema)).number(*held));
    } catch (const pg::Error &) {
        // The server frees it with the connection.
    }
}

// Whether this connection still holds the entry: a connection made anew holds nothing.
bool ServerDictionary::holds(qint32 documentNumber)
{
    return m_connection
               ->exec("SELECT 1 FROM pg_locks WHERE locktype = 'advisory' AND pid = pg_backend_pid() AND granted "
                      "AND classid = $1::bigint::oid AND objid = $2::bigint::oid AND objsubid = 2",
                      Params().number(server::entryLockSpace(m_schema)).number(documentNumber))
               .rows()
           > 0;
}

void ServerDictionary::upgradeTables(qint64 version)
{
    try {
        server::upgradeSchema(*m_connection, m_schema, m_dictionary);
    } catch (const pg::Error &error) {
        // insufficient_privilege: only the tables' owner may alter them.
        if (error.sqlState() == QLatin1String("42501"))
            throw Error(Error::Kind::ServerNeedsUpgrade, m_dictionary).withNumber(version);
        throw;
    }
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

} // namespace qm::store
