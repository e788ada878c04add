#pragma once

#include "app/store/server/serverdictionary.h"

#include <QString>

namespace qm::store {

// What the compaction of a server dictionary did: the room its tables took before and after.
struct ServerCompaction {
    qint64 bytesBefore = 0;
    qint64 bytesAfter = 0;
};

// Compacts a dictionary on a server: the server's own VACUUM (ANALYZE) of its tables, which
// makes the room of deleted and replaced rows usable again and brings the planner's statistics
// up to date. Runs outside any transaction on a connection of its own, and may take a while
// (call it off the window thread); other programs go on reading and writing meanwhile. Throws
// sqlite::Error (a store::Error naming the server or the dictionary) when the server cannot be
// reached, lacks the dictionary, or refuses the work.
ServerCompaction compactServerDictionary(const QString &location, const ServerOptions &options);

// A text that changes whenever the dictionary's rows are changed (the server's counts of rows
// written to its tables), read without reading the rows: what a backup of it was made from.
// A change can take the server some seconds to count. Throws sqlite::Error as above.
QString serverChangeStamp(const QString &location, const ServerOptions &options);

} // namespace qm::store
