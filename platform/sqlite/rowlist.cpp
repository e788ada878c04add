#include "rowlist.h"

#include <sqlite3.h>

#include <cstring>

namespace qm::sqlite {
namespace {

// The engine allocates and frees both objects through these functions (the module's C
// interface has no other owner); both are plain structs, so zeroed memory is a valid value.
template<class T>
T *allocateZeroed()
{
    void *p = sqlite3_malloc64(sizeof(T));
    if (p)
        std::memset(p, 0, sizeof(T));
    return static_cast<T *>(p);
}

struct Cursor {
    sqlite3_vtab_cursor base;
    const qint64 *values;
    sqlite3_int64 size;
    sqlite3_int64 at;
};

enum Column { Value, List };

int connectTable(sqlite3 *db, void *, int, const char *const *, sqlite3_vtab **table, char **)
{
    int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(value INTEGER, list HIDDEN)");
    if (rc != SQLITE_OK)
        return rc;
    // Only for statements of the program: schemas, views and triggers cannot name it.
    sqlite3_vtab_config(db, SQLITE_VTAB_DIRECTONLY);
    *table = allocateZeroed<sqlite3_vtab>();
    return *table ? SQLITE_OK : SQLITE_NOMEM;
}

int disconnectTable(sqlite3_vtab *table)
{
    sqlite3_free(table);
    return SQLITE_OK;
}

// The list parameter is required: without it there is nothing to list.
int planScan(sqlite3_vtab *, sqlite3_index_info *info)
{
    for (int i = 0; i < info->nConstraint; ++i) {
        const auto &c = info->aConstraint[i];
        if (c.iColumn == List && c.op == SQLITE_INDEX_CONSTRAINT_EQ && c.usable) {
            info->aConstraintUsage[i].argvIndex = 1;
            info->aConstraintUsage[i].omit = 1;
            info->estimatedCost = 10;
            info->estimatedRows = 100;
            return SQLITE_OK;
        }
    }
    return SQLITE_CONSTRAINT;
}

int openCursor(sqlite3_vtab *, sqlite3_vtab_cursor **cursor)
{
    auto *c = allocateZeroed<Cursor>();
    if (!c)
        return SQLITE_NOMEM;
    *cursor = &c->base;
    return SQLITE_OK;
}

int closeCursor(sqlite3_vtab_cursor *cursor)
{
    sqlite3_free(cursor);
    return SQLITE_OK;
}

int startScan(sqlite3_vtab_cursor *cursor, int, const char *, int argc, sqlite3_value **argv)
{
    auto *c = reinterpret_cast<Cursor *>(cursor);
    // Anything but a bound list (NULL, a number, a text) lists nothing.
    const auto *list = argc == 1 ? static_cast<const RowList *>(sqlite3_value_pointer(argv[0], RowListType)) : nullptr;
    c->values = list ? list->data() : nullptr;
    c->size = list ? sqlite3_int64(list->size()) : 0;
    c->at = 0;
    return SQLITE_OK;
}

int nextRow(sqlite3_vtab_cursor *cursor)
{
    ++reinterpret_cast<Cursor *>(cursor)->at;
    return SQLITE_OK;
}

int atEnd(sqlite3_vtab_cursor *cursor)
{
    const auto *c = reinterpret_cast<const Cursor *>(cursor);
    return c->at >= c->size;
}

int columnValue(sqlite3_vtab_cursor *cursor, sqlite3_context *ctx, int column)
{
    const auto *c = reinterpret_cast<const Cursor *>(cursor);
    if (column == Value)
        sqlite3_result_int64(ctx, c->values[c->at]);
    return SQLITE_OK;
}

int rowNumber(sqlite3_vtab_cursor *cursor, sqlite3_int64 *rowid)
{
    *rowid = reinterpret_cast<const Cursor *>(cursor)->at;
    return SQLITE_OK;
}

sqlite3_module makeModule()
{
    sqlite3_module m{};
    m.xConnect = connectTable; // no xCreate: the table exists only as the function qm_rows(?)
    m.xBestIndex = planScan;
    m.xDisconnect = disconnectTable;
    m.xOpen = openCursor;
    m.xClose = closeCursor;
    m.xFilter = startScan;
    m.xNext = nextRow;
    m.xEof = atEnd;
    m.xColumn = columnValue;
    m.xRowid = rowNumber;
    return m;
}

const sqlite3_module Module = makeModule();

} // namespace

int registerRowList(sqlite3 *db)
{
    return sqlite3_create_module_v2(db, RowListType, &Module, nullptr, nullptr);
}

} // namespace qm::sqlite
