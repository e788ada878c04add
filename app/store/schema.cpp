#include "schema.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"

#include <QSet>
#include <QStringList>

namespace qm::store::schema {
namespace {

// Keywords and headings carry a folded shadow key (IndexKey, HeadingKey) that the store keeps
// in step on every write; the indexes are on those keys, so matching and ordering ignore case,
// width and kana while the engine still scans an ordinary binary index.
//
// A keyword lookup reads only two indexes: Index_Index holds every column of a keyword row, and
// Index_DocumentHeading the columns of an entry that a result row shows. Neither lookup touches
// the tables, whose pages are mostly entry bodies.
constexpr char CreateSql[] = R"sql(
CREATE TABLE Document (
    DocumentNumber INTEGER PRIMARY KEY AUTOINCREMENT
        CHECK (DocumentNumber BETWEEN 1 AND 2147483647),
    Viewer INTEGER NOT NULL REFERENCES ViewerType (ViewerNumber),
    Heading TEXT NOT NULL DEFAULT '',
    Document BLOB NOT NULL DEFAULT x'',
    RenewalDate TEXT,
    HeadingKey TEXT NOT NULL DEFAULT ''
);
CREATE INDEX Index_Heading ON Document (HeadingKey);
CREATE INDEX Index_Viewer ON Document (Viewer);
CREATE INDEX Index_DocumentHeading ON Document (DocumentNumber, Viewer, Heading);
CREATE TABLE "Index" (
    "Index" TEXT NOT NULL DEFAULT '',
    DocumentNumber INTEGER NOT NULL
        REFERENCES Document (DocumentNumber) ON UPDATE CASCADE ON DELETE CASCADE,
    IndexKey TEXT NOT NULL DEFAULT ''
);
CREATE INDEX Index_Index ON "Index" (IndexKey, DocumentNumber, "Index");
CREATE INDEX Index_DocumentNumber ON "Index" (DocumentNumber);
CREATE TABLE ViewerType (
    ViewerNumber INTEGER PRIMARY KEY CHECK (ViewerNumber BETWEEN 0 AND 255),
    ViewerType TEXT NOT NULL
);
CREATE TABLE Properties (
    Name TEXT PRIMARY KEY NOT NULL,
    Type TEXT NOT NULL,
    Value
);
)sql";

struct TableColumns {
    const char *table;
    QStringList columns;
};

QStringList columnsOf(sqlite::Database &db, const QString &table)
{
    sqlite::Statement st(db, "SELECT name FROM pragma_table_info(?1)");
    st.bind(1, table);
    QStringList out;
    while (st.step())
        out.append(st.toText(0));
    return out;
}

} // namespace

void create(sqlite::Database &db)
{
    db.exec(CreateSql);
    db.exec(QByteArray("PRAGMA application_id=" + QByteArray::number(ApplicationId)).constData());
}

bool isOurs(sqlite::Database &db)
{
    static const QSet<QString> tables = {QStringLiteral("Document"), QStringLiteral("Index"),
                                         QStringLiteral("ViewerType"), QStringLiteral("Properties"),
                                         QStringLiteral("sqlite_sequence")};
    static const QSet<QString> indexes = {
        QStringLiteral("Index_Heading"), QStringLiteral("Index_Viewer"), QStringLiteral("Index_DocumentHeading"),
        QStringLiteral("Index_Index"),
        QStringLiteral("Index_DocumentNumber"), QStringLiteral("sqlite_autoindex_Properties_1")};

    sqlite::Statement st(db, "SELECT type, name FROM sqlite_schema");
    while (st.step()) {
        const QString type = st.toText(0);
        const QString name = st.toText(1);
        const bool known = (type == QLatin1String("table") && tables.contains(name))
                           || (type == QLatin1String("index") && indexes.contains(name));
        if (!known)
            return false;
    }
    // A missing table has no columns, so this also checks that every table is there.

    const TableColumns expected[] = {
        {"Document", {QStringLiteral("DocumentNumber"), QStringLiteral("Viewer"), QStringLiteral("Heading"),
                      QStringLiteral("Document"), QStringLiteral("RenewalDate"), QStringLiteral("HeadingKey")}},
        {"Index", {QStringLiteral("Index"), QStringLiteral("DocumentNumber"), QStringLiteral("IndexKey")}},
        {"ViewerType", {QStringLiteral("ViewerNumber"), QStringLiteral("ViewerType")}},
        {"Properties", {QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Value")}},
    };
    for (const TableColumns &t : expected)
        if (columnsOf(db, QString::fromLatin1(t.table)) != t.columns)
            return false;
    return true;
}

} // namespace qm::store::schema
