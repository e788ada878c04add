#pragma once

#include "app/store/dictionary/dictionaryinfo.h"

#include <QString>

#include <vector>

namespace qm::pg {
class Connection;
}

namespace qm::store::server {

// The version of the tables below. A dictionary of an older version is read as it is and
// upgraded in place when opened for writing; one of another version is refused.
// 2: who changed each entry last and when, and the entries deleted.
constexpr qint64 SchemaVersion = 2;

// Each dictionary has a schema of its own in the database, named from a hash of its name: the
// tables of several dictionaries stay apart without a dictionary column in every row and every
// index, a dictionary is dropped or granted as one object, and a name of any length or script
// makes a valid identifier. The full name is kept in the schema's properties and checked.
QString schemaName(const QString &dictionary);

// Makes the connection's statements name the dictionary's tables (and pg_trgm's operators).
void useSchema(pg::Connection &connection, const QString &schema);

// A number for the server's advisory locks that belong to this dictionary.
qint64 lockKey(const QString &schema);
// The first half of the two-number advisory lock that holds one entry of this dictionary while
// a program edits it (the entry's number is the second).
qint32 entryLockSpace(const QString &schema);

enum class SchemaState { Missing, Ours, Foreign, OtherVersion };

struct SchemaCheck {
    SchemaState state = SchemaState::Missing;
    qint64 version = 0; // of OtherVersion
};

// Whether the schema holds our tables for this dictionary, at our version.
SchemaCheck checkSchema(pg::Connection &connection, const QString &schema, const QString &dictionary);

// True when a dictionary of this older version can be brought to SchemaVersion.
bool isUpgradable(qint64 version);

// Brings the tables of an older version to SchemaVersion in one transaction; another program
// doing the same waits, then finds it done. Throws pg::Error (insufficient_privilege when the
// role does not own the tables).
void upgradeSchema(pg::Connection &connection, const QString &schema, const QString &dictionary);

// Makes the schema with its tables and properties, in one transaction; another program making it
// at the same time waits and then finds it made. Throws pg::Error.
void createSchema(pg::Connection &connection, const QString &schema, const QString &dictionary,
                  const DictionaryDescription &description);

// One of the tables' own indexes: its name, its table and the statement that makes it when it
// is missing (on a connection whose search path starts with the dictionary's schema).
struct IndexDefinition {
    const char *name;
    const char *table;
    const char *sql;
};

// Those of them the dictionary lacks (an import cut off before it built them again).
std::vector<IndexDefinition> missingIndexes(pg::Connection &connection);

} // namespace qm::store::server
