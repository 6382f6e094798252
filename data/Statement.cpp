#include "data/Statement.h"

#include <sqlite3.h>

void StatementFinalizer::operator()(sqlite3_stmt* stmt) const noexcept
{
    sqlite3_finalize(stmt);
}
