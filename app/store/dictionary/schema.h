#pragma once

#include <QByteArray>

#include <vector>

namespace qm::sqlite {
class Database;
}

namespace qm::store::schema {

// The value of PRAGMA application_id in every dictionary ("QMDC").
constexpr int ApplicationId = 0x514D4443;

// Creates the tables, indexes and relations of an empty dictionary, search tables included.
void create(sqlite::Database &db);
// Adds the search tables (empty) to a dictionary of Layout::WithoutSearchTables or
// Layout::IncompleteSearchTables; those it has are made anew.
void createSearchTables(sqlite::Database &db);
// Replaces the trigram index of a dictionary of Layout::EarlierTrigramIndex by an empty one of
// the current layout, and adds the body index (searchtables::rebuild() fills both).
void replaceTrigramIndex(sqlite::Database &db);
// Adds the body index (empty) to a dictionary of Layout::WithoutBodyIndex.
void addBodyIndex(sqlite::Database &db);

// The schemas this program accepts: the one it writes, the same without the body index, the
// same with the trigram index of an earlier layout (either of two) and no body index, the same
// without the search tables, as files made by earlier
// versions have it, and the same with only some of them (another program dropped the others;
// they hold nothing that cannot be made again).
enum class Layout { Unknown, WithoutSearchTables, IncompleteSearchTables, EarlierTrigramIndex, WithoutBodyIndex, Current };
Layout layoutOf(sqlite::Database &db);

// True when every schema object of the file is one this program writes, with the same SQL
// (letter case and white space aside) and the same columns, and none is missing: an added
// trigger, view, table or index, a changed constraint or default, a partial index or a
// table made WITHOUT ROWID all fail. The statistics tables of ANALYZE are allowed, and any of the
// search tables may be missing, or have an earlier trigram index. Reads only the schema, never the
// rows.
bool isOurs(sqlite::Database &db);

// isOurs(), and the file carries the marker property.
bool isDictionary(sqlite::Database &db);

// The indexes of one table, dropped while a bulk write fills an empty dictionary and made again
// from all the rows at its end: made at once, the engine sorts the keys instead of putting each
// row on a random page of a B-tree larger than its cache. Used inside the write's transaction,
// so a write that fails gets them back with the rest of the file.
class DeferredIndexes final
{
public:
    DeferredIndexes(sqlite::Database &db, const char *table);
    // Makes the indexes again, with the SQL they had.
    void restore();

private:
    sqlite::Database &m_db;
    std::vector<QByteArray> m_sql;
};

// The format of RenewalDate as stored.
inline constexpr char DateFormat[] = "yyyy-MM-dd HH:mm:ss";

} // namespace qm::store::schema
