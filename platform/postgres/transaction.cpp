#include "platform/postgres/transaction.h"

#include "platform/postgres/connection.h"
#include "platform/postgres/error.h"

namespace qm::pg {

Transaction::Transaction(Connection &connection, Mode mode)
    : m_connection(connection)
    , m_savepoint(connection.inTransaction())
{
    if (m_savepoint)
        m_connection.run("SAVEPOINT qm_write");
    else
        m_connection.run(mode == Mode::ReadOnly ? "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY" : "BEGIN");
}

Transaction::~Transaction()
{
    if (m_done || !m_connection.isOpen())
        return;
    try {
        m_connection.run(m_savepoint ? "ROLLBACK TO SAVEPOINT qm_write; RELEASE SAVEPOINT qm_write" : "ROLLBACK");
    } catch (const Error &) {
        // The server drops the transaction with the connection anyway.
    }
}

void Transaction::commit()
{
    if (m_savepoint) {
        m_connection.run("RELEASE SAVEPOINT qm_write");
    } else {
        // The server answers COMMIT of a transaction an error aborted with ROLLBACK, and no
        // error: that is a lost write, never a stored one.
        if (m_connection.exec("COMMIT").command() != "COMMIT") {
            m_done = true;
            throw Error(Error::Kind::Server, QStringLiteral("the transaction was rolled back"), QStringLiteral("40000"));
        }
    }
    m_done = true;
}

} // namespace qm::pg
