#pragma once

class TZTConnection;

// One write transaction on a connection: everything done inside it is stored
// by Commit, or not at all. Leaving the scope without Commit rolls back, on
// every path, failures included.
class Transaction
{
public:
    // Takes the write lock at once; throws the ZTADO exception when it cannot.
    explicit Transaction(TZTConnection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Throws when the database refuses (a full disk, say); the scope's end
    // then rolls back what is left of the transaction.
    void Commit();

private:
    TZTConnection& m_connection;
    bool m_committed = false;
};
