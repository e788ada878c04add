#pragma once

namespace qm::pg {

class Connection;

// A transaction on a connection, rolled back unless committed (also when the scope is left by an
// exception). Inside another transaction it is a savepoint, which a failure rolls back to, so
// the outer transaction goes on.
class Transaction final
{
public:
    enum class Mode { ReadWrite, ReadOnly };

    explicit Transaction(Connection &connection, Mode mode = Mode::ReadWrite);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    Connection &m_connection;
    bool m_savepoint;
    bool m_done = false;
};

} // namespace qm::pg
