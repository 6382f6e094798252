#pragma once

#include <QString>

// A connection string of "key=value;" pairs. Keys match without regard to
// case; a value may be quoted with " or ' to hold a ';', and the quote that
// encloses a value stands twice for itself inside it. The provider must be
// SQLite and a data source is required; anything else is refused, so a
// string meant for another database engine never opens the wrong file.
struct ConnectionString
{
    QString dataSource;

    // Throws Exception with a description naming what was not understood.
    static ConnectionString Parse(const QString& text);
};
