#pragma once

#include "data/Rides.h"

#include <QByteArrayView>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class TZTConnection;

// Where a CSV file stopped being read, and why: the rider's file at fault,
// not the program.
struct CsvFault
{
    int line = 0;   // 1-based; 0 when the fault is the whole file's
    int column = 0; // 1-based; 0 when it is the line's rather than a field's
    QString reason;

    // "Riga 3, colonna 2: " followed by the reason; a fault of the whole file
    // is its reason alone, with a capital.
    QString Message() const;
};

// Rides from a CSV file as spreadsheets write them, all or none, each at most
// once: the file is read whole and checked first, the rides the log holds
// already are set apart, and the others are stored in one transaction.
namespace CsvImport {

// How far a long step has come: `done` of `total`. Returning false stops the
// step, and nothing of it counts.
using Progress = std::function<bool(qint64 done, qint64 total)>;

using RideType = Rides::RideType;

// Which part of a date written d/m/y or m/d/y (or with dots) is the day.
enum class DayOrder
{
    FromFile,   // decided from the file's own dates; the file may leave it open
    DayFirst,   // 01/02/1990 is 1 February
    MonthFirst, // 01/02/1990 is 2 January
};

// What a ride of the file must fit.
struct Log
{
    QList<RideType> types; // by key; the first is the type of a ride that names none
    QDate firstDay;        // the first and last day a ride may have
    QDate lastDay;
    DayOrder order = DayOrder::FromFile;
};


struct ReadResult
{
    QList<Rides::Ride> rides; // in the file's order
    // The bike each ride names, trimmed, empty for none: one a ride when the
    // file has a Bici column, none at all when it has not.
    QStringList bikes;
    std::optional<CsvFault> fault; // the first bad line; then there are no rides
    bool cancelled = false;
    // With DayOrder::FromFile, a date of the file as written ("01/02/1990",
    // "1.2.90"; a time after it left out) when no date tells whether the day
    // or the month comes first; then there are no rides, and the caller asks
    // the rider and reads again. It is the first date whose two parts differ,
    // both 12 or less, and that one reading or the other lets in; a file
    // whose such dates all read alike (05/05/1990) leaves nothing to ask.
    // A bad row is told rather than this.
    QString ambiguousDate;
    QDate ambiguousDayFirst;   // that date read day first (1 February 1990)
    QDate ambiguousMonthFirst; // and month first (2 January 1990)
};

// The rides of a file's bytes. The header names the columns in any order and
// case: Data and KM are required, Tipo, Durata, Descrizione and Bici (the
// ride's bike by name) optional, any other is ignored. Fields are separated by
// commas, semicolons or tabs, as the header has them, and may be quoted; a row
// with more fields than the header is refused, even when the extra ones are
// empty, since a separator left unquoted in a value has split it. Text is
// UTF-16 with a byte-order mark, or else, line by line, UTF-8 (a byte-order
// mark is skipped) or, where a line is not valid UTF-8, Windows-1252. Dates
// are yyyy-mm-dd, or d/m/y or m/d/y between slashes or dots, the year of four
// digits or of two (in the one century that puts it between the log's first
// and last day), with the order of day and month the same for the whole file:
// the first date with a part over 12 decides it and a date that reads the
// other way is refused (see DayOrder and ReadResult::ambiguousDate); a time
// " hh:mm[:ss]" (or "Thh:mm[:ss]" after an ISO date) may follow and is ignored.
// Distances take a point, or a comma when the fields are not separated by
// commas or the field is quoted; a type is a name (in any case) or a key;
// durations are hh:mm:ss, h:mm or empty. `progress` hears of the lines read. A
// file that cannot be read throws Exception.
ReadResult Parse(QByteArrayView bytes, const Log& log, const Progress& progress = {});
ReadResult ReadFile(const QString& path, const Log& log, const Progress& progress = {});

struct Sorted
{
    QList<Rides::Ride> fresh; // not in the log yet, in the file's order
    QStringList freshBikes;   // their bikes, when the rides read came with theirs
    qsizetype present = 0;    // those the log holds already
};

// A ride is in the log when one there has the same day, type, distance,
// duration (to the second) and description; each ride of the log answers
// for one of the file, so a ride the file has twice needs two in the log.
// Throws the ZTADO exception when the log cannot be read.
// `bikes`, empty or one a ride, goes with the rides into Sorted::freshBikes.
Sorted SortOut(TZTConnection& connection, const QList<Rides::Ride>& rides, const QStringList& bikes = {});

// The names of `bikes` the log has no bike of (names compared without case),
// each once, as the file first writes it, in the file's order. Throws the
// ZTADO exception when the bikes cannot be read.
QStringList NewBikes(TZTConnection& connection, const QStringList& bikes);

struct StoreResult
{
    qsizetype stored = 0;
    bool cancelled = false; // then nothing was stored
};

// Every ride of `rides`, in one transaction. `progress` hears of the rides
// stored. `bikes`, empty or one a ride, links each ride to the bike of that
// name (without case), made in the same transaction when the log has none.
// The database's refusal throws its ZTADO exception, and nothing is stored.
StoreResult Store(TZTConnection& connection, const QList<Rides::Ride>& rides, const Progress& progress = {},
                  const QStringList& bikes = {});

}
