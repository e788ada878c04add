#include "app/store/server/serverschema.h"

#include "platform/postgres/connection.h"
#include "platform/postgres/transaction.h"
#include "platform/text/fold.h"

#include <QCryptographicHash>
#include <QSet>

namespace qm::store::server {
namespace {

// Our tables. Every folded key is compared in byte order (COLLATE "C"), the order the file's
// binary collation gives, so rows come out in the file's order.
constexpr char Tables[] = R"sql(
CREATE TABLE properties (
    name text COLLATE "C" PRIMARY KEY,
    value text NOT NULL);
CREATE SEQUENCE document_numbers AS integer MINVALUE 1 MAXVALUE 2147483647 NO CYCLE;
CREATE TABLE document (
    document_number integer PRIMARY KEY CHECK (document_number > 0),
    viewer smallint NOT NULL CHECK (viewer BETWEEN 1 AND 5),
    heading text NOT NULL,
    heading_key text COLLATE "C" NOT NULL,
    body bytea NOT NULL,
    renewal_date text COLLATE "C",
    text_key text COLLATE "C",
    version bigint NOT NULL DEFAULT 1,
    changed_by text,
    changed_at timestamptz);
CREATE TABLE keyword (
    id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    document_number integer NOT NULL REFERENCES document ON DELETE CASCADE,
    keyword text COLLATE "C" NOT NULL,
    keyword_key text COLLATE "C" NOT NULL);
)sql";

// The tables' own indexes (those of their keys aside), by table. An import into an empty
// dictionary drops them and builds them again; one that was cut off before they were built gets
// the missing ones back from here.
constexpr IndexDefinition Indexes[] = {
    {"document_heading", "document", "CREATE INDEX IF NOT EXISTS document_heading ON document (heading_key, document_number)"},
    {"document_viewer", "document", "CREATE INDEX IF NOT EXISTS document_viewer ON document (viewer, document_number)"},
    {"document_date", "document", "CREATE INDEX IF NOT EXISTS document_date ON document (renewal_date, document_number)"},
    {"document_exact_heading", "document", "CREATE INDEX IF NOT EXISTS document_exact_heading ON document USING hash (heading)"},
    {"document_text", "document", "CREATE INDEX IF NOT EXISTS document_text ON document USING gin (text_key gin_trgm_ops)"},
    {"document_shown", "document",
     "CREATE INDEX IF NOT EXISTS document_shown ON document (document_number) INCLUDE (heading, viewer)"},
    {"keyword_order", "keyword", "CREATE INDEX IF NOT EXISTS keyword_order ON keyword (keyword_key, document_number, keyword, id)"},
    {"keyword_entry", "keyword", "CREATE INDEX IF NOT EXISTS keyword_entry ON keyword (document_number, id)"},
    {"keyword_trigram", "keyword", "CREATE INDEX IF NOT EXISTS keyword_trigram ON keyword USING gin (keyword_key gin_trgm_ops)"},
};

// What version 2 adds to version 1: who changed an entry last and when, and who deleted which
// entry and when, so a write refused for another program's change can say whose it was (and
// the index document_shown above, which gives a keyword lookup each row's heading and type
// without reading the entry).
constexpr char WriterColumns[] = R"sql(
ALTER TABLE document ADD COLUMN IF NOT EXISTS changed_by text, ADD COLUMN IF NOT EXISTS changed_at timestamptz;
CREATE TABLE IF NOT EXISTS removed (
    document_number integer PRIMARY KEY,
    changed_by text,
    changed_at timestamptz NOT NULL);
)sql";

// The tables of every version, and those only the current one has.
const QSet<QString> FirstTables{QStringLiteral("properties"), QStringLiteral("document"), QStringLiteral("keyword")};
const QSet<QString> LaterTables{QStringLiteral("removed")};
const QString Marker = QStringLiteral("Quillmere dictionary");

void setProperty(pg::Connection &c, const QString &name, const QString &value)
{
    c.exec("INSERT INTO properties (name, value) VALUES ($1, $2)", pg::Params().text(name).text(value));
}

QString stored(const QString &shown)
{
    return shown.isEmpty() ? QStringLiteral(" ") : shown;
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

QString schemaName(const QString &dictionary)
{
    const QByteArray hash = QCryptographicHash::hash(dictionary.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("qm_") + QString::fromLatin1(hash.left(32));
}

qint64 lockKey(const QString &schema)
{
    return QCryptographicHash::hash(schema.toUtf8(), QCryptographicHash::Sha256).left(8).toHex().toLongLong(nullptr, 16) & 0x7fffffffffffffffLL;
}

SchemaCheck checkSchema(pg::Connection &c, const QString &schema, const QString &dictionary)
{
    const pg::Result tables = c.exec("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                     "WHERE n.nspname = $1 AND c.relkind IN ('r', 'v', 'm', 'p', 'f')",
                                     pg::Params().text(schema));
    QSet<QString> found;
    for (int i = 0; i < tables.rows(); ++i)
        found.insert(tables.text(i, 0));
    if (found.isEmpty())
        return {SchemaState::Missing, 0};
    if (!found.contains(FirstTables) || !(found - FirstTables - LaterTables).isEmpty())
        return {SchemaState::Foreign, 0};
    const pg::Result props = c.exec(qPrintable(QStringLiteral("SELECT name, value FROM %1.properties "
                                                              "WHERE name IN ('Marker', 'Dictionary', 'SchemaVersion')")
                                                   .arg(schema)));
    QHash<QString, QString> values;
    for (int i = 0; i < props.rows(); ++i)
        values.insert(props.text(i, 0), props.text(i, 1));
    if (values.value(QStringLiteral("Marker")) != Marker || values.value(QStringLiteral("Dictionary")) != dictionary)
        return {SchemaState::Foreign, 0};
    const qint64 version = values.value(QStringLiteral("SchemaVersion")).toLongLong();
    if (version != SchemaVersion)
        return {SchemaState::OtherVersion, version};
    if (!found.contains(LaterTables))
        return {SchemaState::Foreign, 0};
    return {SchemaState::Ours, 0};
}

bool isUpgradable(qint64 version)
{
    return version >= 1 && version < SchemaVersion;
}

void upgradeSchema(pg::Connection &c, const QString &schema, const QString &dictionary)
{
    pg::Transaction tx(c);
    c.exec("SELECT pg_advisory_xact_lock($1)", pg::Params().number(lockKey(schema)));
    const SchemaCheck check = checkSchema(c, schema, dictionary);
    if (check.state != SchemaState::OtherVersion || !isUpgradable(check.version))
        return; // upgraded meanwhile by another program; the caller checks it again
    c.run(qPrintable(QStringLiteral("SET LOCAL search_path = %1, public").arg(schema)));
    c.run(WriterColumns);
    for (const IndexDefinition &index : missingIndexes(c))
        c.run(index.sql);
    c.exec("UPDATE properties SET value = $1 WHERE name = 'SchemaVersion'", pg::Params().text(QString::number(SchemaVersion)));
    tx.commit();
}

void useSchema(pg::Connection &c, const QString &schema)
{
    c.exec("SELECT set_config('search_path', $1, false)", pg::Params().text(schema + QStringLiteral(", public")));
}

std::vector<IndexDefinition> missingIndexes(pg::Connection &c)
{
    const pg::Result r = c.exec("SELECT i.indexrelid::regclass::text FROM pg_index i "
                                "WHERE i.indrelid IN ('document'::regclass, 'keyword'::regclass)");
    QSet<QString> present;
    for (int i = 0; i < r.rows(); ++i)
        present.insert(r.text(i, 0));
    std::vector<IndexDefinition> missing;
    for (const IndexDefinition &index : Indexes)
        if (!present.contains(QLatin1String(index.name)))
            missing.push_back(index);
    return missing;
}

qint32 entryLockSpace(const QString &schema)
{
    return qint32(lockKey(schema) & 0x7fffffff);
}

void createSchema(pg::Connection &c, const QString &schema, const QString &dictionary,
                  const DictionaryDescription &description)
{
    pg::Transaction tx(c);
    c.exec("SELECT pg_advisory_xact_lock($1)", pg::Params().number(lockKey(schema)));
    if (checkSchema(c, schema, dictionary).state != SchemaState::Missing)
        return; // made meanwhile by another program; the caller checks it again
    c.run("CREATE EXTENSION IF NOT EXISTS pg_trgm");
    c.run(qPrintable(QStringLiteral("CREATE SCHEMA IF NOT EXISTS %1; SET LOCAL search_path = %1, public").arg(schema)));
    c.run(Tables);
    for (const IndexDefinition &index : Indexes)
        c.run(index.sql);
    c.run(WriterColumns);
    setProperty(c, QStringLiteral("Marker"), Marker);
    setProperty(c, QStringLiteral("Dictionary"), dictionary);
    setProperty(c, QStringLiteral("SchemaVersion"), QString::number(SchemaVersion));
    setProperty(c, QStringLiteral("FoldVersion"), text::foldVersion());
    setProperty(c, QStringLiteral("DictionaryName"), description.name);
    setProperty(c, QStringLiteral("DictionaryNameLock"), flag(description.locks[0]));
    setProperty(c, QStringLiteral("Author"), stored(description.author));
    setProperty(c, QStringLiteral("AuthorLock"), flag(description.locks[1]));
    setProperty(c, QStringLiteral("Comment"), stored(description.comment));
    setProperty(c, QStringLiteral("CommentLock"), flag(description.locks[2]));
    tx.commit();
}

} // namespace qm::store::server
