#pragma once

#include "util/TDateTime.h"

#include <QString>
#include <QStringList>

// Every SQL statement of the program. Only numbers and dates that the program
// formats itself are put into a statement's text; anything a user typed or a
// file supplied is bound as a parameter by TZTRecordset.
namespace Sql {

inline constexpr char EnableForeignKeys[] = "PRAGMA foreign_keys = ON";
// One row per column of the ride tables: "table.column".
inline constexpr char RideTableColumns[] =
    "SELECT m.name || '.' || c.name FROM sqlite_master AS m, pragma_table_info(m.name) AS c "
    "WHERE m.type = 'table' AND m.name COLLATE NOCASE IN ('Uscite', 'TipiUscita')";

// The rides of one month, every column, by date and, within a day, in the
// order they were added.
QString MonthRides(int year, int month);
QString RideById(int id);
QString DeleteRide(int id);
// All rides in key order.
QString AllRidesByKey();
// Every ride with the fields of a ride and its key, by date and, within a
// day, in the order they were added; and those of a period, both days included.
QString RidesByDate();
QString RidesByDate(TDateTime start, TDateTime end);
// One row, column "KM": the distance of the rides of `first`..`last`, both days included.
QString KmOfDays(const QDate& first, const QDate& last);
// For every year before `day`'s, by year (columns "Anno", "Primo" its first
// ride's date, "KM"), and "KMAllaData", the distance ridden by `day`'s month
// and day.
QString YearsByDay(const QDate& day);
// Rides of a period at least as long as its tenth-longest ride, with the
// columns of RidesByDate, longest first; equal distances by date, then in the
// order they were added.
QString Top10(TDateTime start, TDateTime end);

// The keys and names of the ride types, by key.
QString RideTypes();

// The statements of a recordset that writes rows of `table`; the names of the
// table and its columns are quoted here.
// One row per column of the table: its declared type, and whether it is (part
// of) the primary key.
QString TableColumns(const QString& table);
// The row of `table` whose rowid is bound to the one parameter.
QString RowByRowid(const QString& table);
// A new row with `columns` bound to the parameters in that order; with no
// columns, a row of the defaults.
QString InsertRow(const QString& table, const QStringList& columns);
// `columns` of the row whose rowid is bound to the last parameter, set to the
// parameters before it in that order.
QString UpdateRow(const QString& table, const QStringList& columns);

// A write transaction that takes the write lock at once, so a locked database
// fails before any work is done.
QString BeginTransaction();
QString CommitTransaction();
QString RollbackTransaction();

// The write lock taken at once, and then the whole file: other connections
// can neither read nor write until the transaction ends.
QString BeginExclusiveTransaction();
// Every lock this connection takes is kept until it closes, not released
// when a transaction ends.
QString KeepLocksUntilClosed();
// One row, column "journal_mode": "wal" for a write-ahead log.
QString JournalMode();
// Leaves WAL mode, folding the log into the file; fails while another
// connection has the database open.
QString UseRollbackJournal();
QString UseWriteAheadLog();

// A compacted copy of the open database written to a new file at `path`.
QString VacuumInto(const QString& path);
// Files this connection writes are not flushed to disk by SQLite; for a copy
// whose writer flushes it at a time of its own choosing.
QString UnflushedWrites();
// One row "ok" for a sound database; otherwise one row per problem found.
QString IntegrityCheck();
// One row, columns "Uscite" and "KM": the number of rides and their distance.
QString RideTotals();

// The time spans of the rides imported from device files, one row per ride,
// in their own table so that Uscite keeps its columns. UTC ISO text with
// milliseconds, of one width, so text order is time order.
inline const QString ImportedSpansTable = QStringLiteral("UsciteImportate");
// The table and the trigger that clears a ride's span when any program
// deletes the ride; both left alone where they exist.
QString CreateImportedSpans();
QString CreateImportedSpansTrigger();
// One row, column "n": 1 when the table exists, else 0.
QString ImportedSpansExist();
// Columns "Inizio" and "Fine" of the spans that overlap [from, to).
QString ImportedSpansOverlapping(const QString& fromUtc, const QString& toUtc);
// Columns "Data", "KM" and "Ricordata" (1 for a ride with a span) of the rides
// of first..last, both days included; `withSpans` false where the table does
// not exist, every ride then read as without a span.
QString RidesOfDays(TDateTime first, TDateTime last, bool withSpans);

// The rider's bikes and their parts, in tables of their own beside the rides:
// a ride is linked to a bike through UsciteBici, so Uscite keeps its columns.
inline const QString BikesTable = QStringLiteral("Bici");
inline const QString RideBikesTable = QStringLiteral("UsciteBici");
inline const QString PartsTable = QStringLiteral("Componenti");
inline const QString FittingsTable = QStringLiteral("Montaggi");
// The tables, the index and the triggers that clear the links of a ride, a
// bike or a part that any program deletes; each left alone where it exists.
QStringList CreateBikeTables();
// One row, column "n": how many of what CreateBikeTables makes exist.
QString BikeTablesPresent();
// One row, column "n": 1 when the bikes' tables exist, else 0.
QString BikeTablesExist();
// Columns "IDBici", "Nome", "KmIniziali", "DataAcquisto", "Ritirata", by name.
QString Bikes();
// A bike's row, every column, to change through the recordset.
QString BikeById(int bike);
// Columns "IDComponente", "Nome", "LimiteKm", "LimiteMesi", "Note", "DataRitiro", by name then key.
QString Parts();
QString PartById(int part);
// Columns "IDMontaggio", "IDComponente", "IDBici", "Dal", "KmBici", "Al", by part, oldest first.
QString Fittings();
// Columns "IDTipoUscita", "IDBici".
QString DefaultBikes();
// Column "IDBici" of the ride's link; no row for a ride without a bike.
QString BikeOfRide(int ride);
// Columns "IDUscita", "Nome": every linked ride and its bike's name.
QString RideBikeNames();
// Columns "IDBici", "Data", "KM", "Durata" of every linked ride, in the
// order the rides are stored, so the file is read once from start to end.
QString BikeRides();
// The same columns for the rides of `bikes` only, found through the links' index.
QString BikeRidesOf(const QList<int>& bikes);
// Columns "IDBici" (NULL without a bike), "KM", "Durata" of the rides of a
// period as RidesByDate(start, end) selects them.
QString RidesOfPeriodWithBike(TDateTime start, TDateTime end);
QString DeleteBike(int bike);
QString DeletePart(int part);
// Setting NULL, which a recordset's fields cannot.
QString ClearBikePurchase(int bike);
QString ClearPartLimits(int part, bool km, bool months);
// The default bike of a ride type, and the bike of a ride: set, or cleared.
QString SetDefaultBike(int rideType, int bike);
QString ClearDefaultBike(int rideType);
QString SetRideBike(int ride, int bike);
QString ClearRideBike(int ride);
// The part's open fitting ends on `day`; and its retirement.
QString CloseFitting(int part, const QDate& day);
QString RetirePart(int part, const QDate& day);

}
