#pragma once

namespace qm::sqlite {
class Database;
}

namespace qm::store::schema {

// The value of PRAGMA application_id in every dictionary ("QMDC").
constexpr int ApplicationId = 0x514D4443;

// Creates the tables, indexes and relations of an empty dictionary.
void create(sqlite::Database &db);

// True when every schema object of the file is one this program writes, with the same SQL
// (letter case and white space aside) and the same columns, and none is missing: an added
// trigger, view, table or index, a changed constraint or default, a partial index or a
// WITHOUT ROWID table all fail. The statistics tables of ANALYZE are allowed. Reads only the
// schema, never the rows.
bool isOurs(sqlite::Database &db);

// isOurs(), and the file carries the marker property.
bool isDictionary(sqlite::Database &db);

// The format of RenewalDate as stored.
inline constexpr char DateFormat[] = "yyyy-MM-dd HH:mm:ss";

} // namespace qm::store::schema
