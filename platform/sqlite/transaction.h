#pragma once

namespace qm::sqlite {

class Database;

// BEGIN IMMEDIATE on construction; rolls back on destruction unless commit() succeeded, so
// every early return and every exception leaves the file as it was. Inside a transaction that
// is already open (an edit session), it is a savepoint instead: its writes join the outer
// transaction when committed and are undone alone when not.
class Transaction final
{
public:
    explicit Transaction(Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();

private:
    Database &m_db;
    bool m_nested = false;
    bool m_done = false;
};

} // namespace qm::sqlite
