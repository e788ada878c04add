#include "app/store/dictionary/schema.h"

#include "app/store/dictionary/properties.h"

#include "platform/sqlite/database.h"
#include "platform/sqlite/statement.h"

#include <QHash>
#include <QScopeGuard>
#include <QStringList>

#include <vector>

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

// What the search windows read besides the tables above, added later: files made before lack
// them and are still dictionaries (see Layout). DocumentText holds the folded visible text of
// each rich-text body (NULL while it has not been read), KeyTrigram a trigram index of the
// folded keywords (see trigramindex.h). The index keeps no text of its own: the rowids it lists
// name the keyword rows and carry the order of their keys (see searchtables.h), so a lookup
// reads the keyword rows in keyword order and stops at its limit. Triggers are off on every
// connection, so the store writes both itself with every change. The heading grid lists entries by renewal date through
// Index_RenewalDate.
constexpr char SearchTablesSql[] = R"sql(
CREATE INDEX Index_RenewalDate ON Document (RenewalDate);
CREATE TABLE DocumentText (
    DocumentNumber INTEGER PRIMARY KEY
        REFERENCES Document (DocumentNumber) ON UPDATE CASCADE ON DELETE CASCADE,
    TextKey TEXT
);
)sql";

constexpr char TrigramIndexSql[] = R"sql(
CREATE TABLE KeyTrigram (
    Trigram INTEGER NOT NULL,
    FirstRow INTEGER NOT NULL,
    Rows BLOB NOT NULL,
    PRIMARY KEY (Trigram, FirstRow)
) WITHOUT ROWID;
)sql";

// The trigram index of the entries' bodies (see trigramindex.h): for each trigram of a body's
// folded search text, the entries whose body has it. Rich-text bodies whose text has not been
// read (TextKey NULL) are not in it; Index_UnreadText names them, so a search reads those
// bodies themselves. Files made before have the rest of the search tables without it (see
// Layout::WithoutBodyIndex).
constexpr char BodyIndexSql[] = R"sql(
CREATE TABLE BodyTrigram (
    Trigram INTEGER NOT NULL,
    FirstRow INTEGER NOT NULL,
    Rows BLOB NOT NULL,
    PRIMARY KEY (Trigram, FirstRow)
) WITHOUT ROWID;
CREATE INDEX Index_UnreadText ON DocumentText (DocumentNumber) WHERE TextKey IS NULL;
)sql";

// The trigram index as files of earlier layouts have it: a full-text table over the folded
// keys, with no content of its own or with the Index table as its content. Such files are
// accepted and get the index above when they are written (see Layout::EarlierTrigramIndex).
constexpr const char *EarlierTrigramIndexSql[] = {
    R"sql(
CREATE VIRTUAL TABLE IndexKeyTrigram USING fts5 (
    IndexKey, content='', tokenize='trigram case_sensitive 1', detail='none', columnsize=0
);
)sql",
    R"sql(
CREATE VIRTUAL TABLE IndexKeyTrigram USING fts5 (
    IndexKey, content='Index', tokenize='trigram case_sensitive 1', detail='none', columnsize=0
);
)sql",
};

// The SQL text of a schema object with the differences that do not change its meaning taken
// out: letter case outside string literals, and white space (runs become one space, none next
// to punctuation).
QString normaliseSql(QStringView sql)
{
    QString out;
    out.reserve(sql.size());
    bool inLiteral = false;
    bool pendingSpace = false;
    const auto isPunct = [](QChar c) { return QStringView(u"(),;=").contains(c); };
    for (QChar c : sql) {
        if (!inLiteral && c.isSpace()) {
            pendingSpace = true;
            continue;
        }
        if (pendingSpace && !out.isEmpty() && !isPunct(out.back()) && !isPunct(c))
            out.append(QLatin1Char(' '));
        pendingSpace = false;
        if (c == QLatin1Char('\''))
            inLiteral = !inLiteral;
        out.append(inLiteral ? c : c.toLower());
    }
    return out;
}

struct SchemaObject {
    QString type;
    QString table;
    QString sql; // normalised; empty for the engine's own indexes of a constraint
    QString columns; // table_xinfo of a table, one line per column
    bool operator==(const SchemaObject &) const = default;
};

QString columnInfo(sqlite::Database &db, const QString &table)
{
    sqlite::Statement st(db, "SELECT cid, name, type, \"notnull\", dflt_value, pk, hidden "
                             "FROM pragma_table_xinfo(?1)");
    st.bind(1, table);
    QString out;
    while (st.step()) {
        for (int c = 0; c < 7; ++c)
            out += (st.isNull(c) ? QStringLiteral("<null>") : st.toText(c)) + QLatin1Char('|');
        out += QLatin1Char('\n');
    }
    return out;
}

// Every schema object by name. Tables carry their columns as the engine reads them, so a
// generated or hidden column counts even where the SQL text would look alike.
QHash<QString, SchemaObject> readSchema(sqlite::Database &db)
{
    QHash<QString, SchemaObject> objects;
    sqlite::Statement st(db, "SELECT type, name, tbl_name, sql FROM sqlite_schema");
    while (st.step())
        objects.insert(st.toText(1), {st.toText(0), st.toText(2), normaliseSql(st.toText(3)), {}});
    for (auto it = objects.begin(); it != objects.end(); ++it)
        if (it->type == QLatin1String("table"))
            it->columns = columnInfo(db, it.key());
    return objects;
}

// Tables the engine adds itself when statistics are gathered (ANALYZE, PRAGMA optimize).
bool isStatisticsTable(const QString &name, const SchemaObject &object)
{
    return object.type == QLatin1String("table")
           && (name == QLatin1String("sqlite_stat1") || name == QLatin1String("sqlite_stat4"));
}

// The schemas this program accepts, read back from databases made in memory: without the
// search tables, with them, and with them but a trigram index of an earlier layout.
const std::vector<QHash<QString, SchemaObject>> &expectedSchemas(Layout layout)
{
    static const auto make = [](const char *trigramIndex, const char *bodyIndex = nullptr) {
        sqlite::Database db(QStringLiteral(":memory:"), sqlite::Database::OpenMode::Memory);
        db.exec(CreateSql);
        if (trigramIndex) {
            db.exec(SearchTablesSql);
            db.exec(trigramIndex);
        }
        if (bodyIndex)
            db.exec(bodyIndex);
        return readSchema(db);
    };
    static const std::vector<QHash<QString, SchemaObject>> base{make(nullptr)};
    static const std::vector<QHash<QString, SchemaObject>> full{make(TrigramIndexSql, BodyIndexSql)};
    static const std::vector<QHash<QString, SchemaObject>> withoutBodies{make(TrigramIndexSql)};
    static const std::vector<QHash<QString, SchemaObject>> earlier{make(EarlierTrigramIndexSql[0]),
                                                                   make(EarlierTrigramIndexSql[1])};
    switch (layout) {
    case Layout::Current: return full;
    case Layout::WithoutBodyIndex: return withoutBodies;
    case Layout::EarlierTrigramIndex: return earlier;
    default: return base;
    }
}

// The objects of `actual` (statistics tables aside) that are in `expected` as they are; -1 when
// one is not.
qsizetype matching(const QHash<QString, SchemaObject> &expected, const QHash<QString, SchemaObject> &actual)
{
    qsizetype matched = 0;
    for (auto it = actual.cbegin(); it != actual.cend(); ++it) {
        if (isStatisticsTable(it.key(), *it))
            continue;
        const auto want = expected.constFind(it.key());
        if (want == expected.cend() || !(*want == *it))
            return -1;
        ++matched;
    }
    return matched;
}

bool matches(const QHash<QString, SchemaObject> &expected, const QHash<QString, SchemaObject> &actual)
{
    return matching(expected, actual) == expected.size();
}

// Every object of the file is one of the current layout, and those of a file without the search
// tables are all there: some of the search tables are missing.
bool lacksSomeSearchTables(const QHash<QString, SchemaObject> &actual)
{
    const QHash<QString, SchemaObject> &base = expectedSchemas(Layout::WithoutSearchTables).front();
    return matching(expectedSchemas(Layout::Current).front(), actual) >= 0 && matching(actual, base) == base.size();
}

} // namespace

void create(sqlite::Database &db)
{
    db.exec(CreateSql);
    createSearchTables(db);
    db.exec(QByteArray("PRAGMA application_id=" + QByteArray::number(ApplicationId)).constData());
}

void createSearchTables(sqlite::Database &db)
{
    db.exec("DROP TABLE IF EXISTS BodyTrigram; DROP TABLE IF EXISTS KeyTrigram; DROP TABLE IF EXISTS DocumentText; "
            "DROP INDEX IF EXISTS Index_RenewalDate;");
    db.exec(SearchTablesSql);
    db.exec(TrigramIndexSql);
    db.exec(BodyIndexSql);
}

void addBodyIndex(sqlite::Database &db)
{
    db.exec("DROP TABLE IF EXISTS BodyTrigram; DROP INDEX IF EXISTS Index_UnreadText;");
    db.exec(BodyIndexSql);
}

void replaceTrigramIndex(sqlite::Database &db)
{
    db.exec("DROP TABLE IndexKeyTrigram");
    db.exec(TrigramIndexSql);
    addBodyIndex(db);
}

Layout layoutOf(sqlite::Database &db)
{
    QHash<QString, SchemaObject> actual;
    try {
        actual = readSchema(db);
    } catch (const sqlite::Error &) {
        // A table the engine cannot describe (a damaged virtual table, say) is not ours.
        return Layout::Unknown;
    }
    for (const Layout layout :
         {Layout::Current, Layout::WithoutBodyIndex, Layout::EarlierTrigramIndex, Layout::WithoutSearchTables})
        for (const QHash<QString, SchemaObject> &expected : expectedSchemas(layout))
            if (matches(expected, actual))
                return layout;
    return lacksSomeSearchTables(actual) ? Layout::IncompleteSearchTables : Layout::Unknown;
}

bool isOurs(sqlite::Database &db)
{
    return layoutOf(db) != Layout::Unknown;
}

bool isDictionary(sqlite::Database &db)
{
    return isOurs(db) && findProperty(db, property::Marker).has_value();
}

DeferredIndexes::DeferredIndexes(sqlite::Database &db, const char *table)
    : m_db(db)
{
    std::vector<QByteArray> names;
    {
        // Indexes the engine makes for constraints have no SQL and cannot be dropped.
        sqlite::Statement st(db, "SELECT name, sql FROM sqlite_schema WHERE type = 'index' AND tbl_name = ?1 AND sql IS NOT NULL");
        st.bind(1, QString::fromUtf8(table));
        while (st.step()) {
            names.push_back(st.toText(0).toUtf8());
            m_sql.push_back(st.toText(1).toUtf8());
        }
    }
    for (const QByteArray &name : names)
        db.exec(QByteArray("DROP INDEX \"" + QByteArray(name).replace('"', "\"\"") + '"').constData());
}

void DeferredIndexes::restore()
{
    // The engine sorts the rows in runs it writes to a temporary file: kept in memory, as the
    // connection keeps its temporary data otherwise, the runs would hold all the keys at once.
    m_db.exec("PRAGMA temp_store=FILE");
    const auto inMemory = qScopeGuard([this] { m_db.exec("PRAGMA temp_store=MEMORY"); });
    for (const QByteArray &sql : m_sql)
        m_db.exec(sql.constData());
    m_sql.clear();
}

} // namespace qm::store::schema
