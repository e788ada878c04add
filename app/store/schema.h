#pragma once

namespace qm::sqlite {
class Database;
}

namespace qm::store::schema {

// The value of PRAGMA application_id in every dictionary ("QMDC").
constexpr int ApplicationId = 0x514D4443;

// Creates the tables, indexes and relations of an empty dictionary.
void create(sqlite::Database &db);

// True when the file holds our tables with their columns and nothing else: no other tables,
// no views, no triggers. Reads only the schema, never the rows.
bool isOurs(sqlite::Database &db);

// The format of RenewalDate as stored.
inline constexpr char DateFormat[] = "yyyy-MM-dd HH:mm:ss";

} // namespace qm::store::schema
