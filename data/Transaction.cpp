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
    if (!m_committed)
        m_connection.RollBack();
}

void Transaction::Commit()
{
    m_connection.Execute(Sql::CommitTransaction());
    m_committed = true;
}
