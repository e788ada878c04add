#pragma once

namespace qm::sqlite {

class Database;

// BEGIN IMMEDIATE on construction; rolls back on destruction unless commit() succeeded, so
// every early return and every exception leaves the file as it was.
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
    bool m_done = false;
};

} // namespace qm::sqlite
