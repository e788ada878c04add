#pragma once

#include <QtGlobal>

#include <span>

struct sqlite3;

namespace qm::sqlite {

// qm_rows(?): a table of the numbers of a list the program binds to the parameter
// (Statement::bindRows), in their order, each row numbered by its place from 0:
//     SELECT m.rowid, t.x FROM qm_rows(?1) AS m CROSS JOIN t ON t.rowid = m.value
// A list goes to the engine as it is, where a JSON array of the same numbers would be written
// out and read back for every statement. Returns the engine's result code.
int registerRowList(sqlite3 *db);

// The pointer type a list is bound under.
inline constexpr char RowListType[] = "qm_rows";
using RowList = std::span<const qint64>;

} // namespace qm::sqlite
