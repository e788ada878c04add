#include "transaction.h"

#include "database.h"

#include <sqlite3.h>

namespace qm::sqlite {

Transaction::Transaction(Database &db)
    : m_db(db)
    , m_nested(db.inTransaction())
{
    m_db.exec(m_nested ? "SAVEPOINT qm_nested" : "BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (m_done)
        return;
    if (!m_nested) {
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        return;
    }
    // Some failures (a full disk, an I/O error) roll back the whole outer transaction; then
    // there is no savepoint left to return to.
    if (m_db.inTransaction())
        sqlite3_exec(m_db.handle(), "ROLLBACK TO qm_nested; RELEASE qm_nested", nullptr, nullptr,
                     nullptr);
}

void Transaction::commit()
{
    m_db.exec(m_nested ? "RELEASE qm_nested" : "COMMIT");
    m_done = true;
}

} // namespace qm::sqlite
