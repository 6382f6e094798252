#include "data/Transaction.h"

#include "data/Sql.h"
#include "data/TZTConnection.h"

Transaction::Transaction(TZTConnection& connection)
    : m_connection(connection)
{
    m_connection.Execute(Sql::BeginTransaction());
}

Transaction::~Transaction()
{
    // SQLite may have rolled back by itself already (after an I/O error, say);
    // a second ROLLBACK would only fail.
    if (m_committed || !m_connection.InTransaction())
        return;
    try {
        m_connection.Execute(Sql::RollbackTransaction());
    } catch (...) {
        // Nothing more can be done here; an unfinished transaction is rolled
        // back by SQLite when the connection closes.
    }
}

void Transaction::Commit()
{
    m_connection.Execute(Sql::CommitTransaction());
    m_committed = true;
}
