#pragma once

#include "gps/GpsImport.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <vector>

class TZTConnection;

// The time spans of the rides stored from device files, kept beside the
// rides in a table of their own (Sql::ImportedSpansTable) that the first
// import makes: a database without it has no spans. A ride deleted by any
// program loses its span through the table's trigger.
namespace ImportedSpans {

// The form the table holds an instant in: UTC, milliseconds, one width.
QString UtcText(const QDateTime& instant);

// The spans that overlap first - 1 .. last + 1 (whole UTC days, wide enough
// for any time zone's day), and the rides of first..last, each marked by
// whether it has a span. Empty for invalid days.
GpsImport::KnownRides Known(TZTConnection& connection, const QDate& first, const QDate& last);

// Stores the ticked candidates that may be stored, each ride then its span,
// all in one transaction, making the table where it is missing. Returns the
// newest day stored, invalid when none was ticked. Throws the ZTADO
// exception of the write the database refused; nothing is stored then.
QDate Store(TZTConnection& connection, const std::vector<GpsImport::Candidate>& candidates);

}
