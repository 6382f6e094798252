#pragma once

#include <QString>

// Ride databases for tests, made from the same schema the build uses.
namespace TestDatabase {

// Creates an empty ride database (with the ride types) at `path`; QFAIL-style
// failures are reported through the returned text, empty on success.
QString Create(const QString& path);
// Runs SQL on a database file outside the code under test; returns the error, if any.
QString Exec(const QString& path, const QString& sql);
// Appends a ride straight into the file, its values bound as parameters, as
// any program could store it; returns the error, if any. A null description
// or duration is stored as NULL, as the older log's rides have them.
QString InsertRide(const QString& path, const QString& date, double km, int type = 0,
                   const QString& description = QString(), const QString& duration = QString());
// Appends `count` rides of every type over the years from 1995, some without a
// duration, some with a note; then deletes every `deletedEvery`-th key (none
// for 0), so that compaction has holes to close. Returns the error, if any.
QString FillRides(const QString& path, int count, int deletedEvery = 0);
// The first column of the first row of a query, as text; empty when there is none.
QString Scalar(const QString& path, const QString& sql);
// A query summing over every column of every ride: two databases with the same
// rides give the same text.
extern const QString RideFigures;
// A program folder as an installation leaves it: "kilovento.mdb" (new and
// empty) and "kilovento.ini" naming it. Returns the error, if any.
QString CreateProgramFolder(const QString& folder);
// Redefines the date index over another column, so that its entries no longer
// match the table and PRAGMA integrity_check fails. Returns the error, if any.
QString DamageDateIndex(const QString& path);
// Gives `column` of the rides the order of a collation that only this
// function's connection knows: later connections open the log and read the
// column as before, but cannot prepare a query that compares or sorts it.
// Returns the error, if any.
QString ForgetOrderOf(const QString& path, const QString& column);
// "Provider=SQLite;Data Source=" + path.
QString ConnectionStringFor(const QString& path);

}
