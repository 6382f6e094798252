#pragma once

#include <memory>

struct sqlite3_stmt;

// The one owner of a prepared SQLite statement: it finalises the statement
// when it goes, on every path, and does nothing else.
struct StatementFinalizer
{
    void operator()(sqlite3_stmt* stmt) const noexcept;
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;
