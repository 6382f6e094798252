#pragma once

#include "util/TDateTime.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class TZTConnection;
class TZTRecordset;

// The rider's bikes and their parts, kept in tables of their own beside the
// rides (the first bike makes them; a log without them has no bikes). A ride
// is linked to at most one bike; the link goes with the ride or the bike.
// Every failure of the database is the ZTADO exception of the statement it
// refused, and a write either happens whole or not at all.
namespace Bikes {

struct Bike
{
    int key = 0;
    QString name;
    double startKm = 0.0; // what the bike had ridden before its rides in the log
    QDate bought;         // invalid when not known
    bool retired = false; // still in the statistics, no longer offered for a ride

    bool operator==(const Bike&) const = default;
};

// One stay of a part on a bike.
struct Fitting
{
    int key = 0;
    int bike = 0;
    QDate from; // the day it was fitted: the bike's rides count from that day on
    // Fitted when the bike had this many km (starting km and rides): the part
    // then counts the bike's km from there instead of from `from`.
    std::optional<double> atBikeKm;
    QDate until; // the day it came off (its rides no longer count); invalid while fitted

    bool operator==(const Fitting&) const = default;
};

struct Part
{
    int key = 0;
    QString name; // "catena", "copertone anteriore", or any name
    std::optional<double> limitKm;
    std::optional<int> limitMonths;
    QString notes;
    QDate retired;           // invalid while in use; a replaced part is kept, retired
    QList<Fitting> fittings; // oldest first; only the last may be open

    // The bike it is on now; 0 when it is on none.
    int Bike() const;

    bool operator==(const Part&) const = default;
};

// Everything the rider told about the bikes.
struct Garage
{
    QList<Bike> bikes;             // by name
    QList<Part> parts;             // by name, then key
    QHash<int, int> defaultBikes;  // ride type key -> bike key

    const Bike* FindBike(int key) const;
    const Bike* FindBike(const QString& name) const; // names compared without case
};

// What the rides make of them.
struct BikeUsage
{
    double km = 0.0; // starting km and the km of its rides
    int rides = 0;
    qint64 durationMs = 0;
    QDate lastRide; // invalid without rides
};
struct PartUsage
{
    double km = 0.0;
    int months = 0; // whole months from its first fitting to today, or to its retirement
};
struct Usage
{
    QHash<int, BikeUsage> bikes; // every bike of the garage
    QHash<int, PartUsage> parts; // every part of the garage
};

// A part in use that has reached its limit, or is within WarningShare of it.
inline constexpr double WarningShare = 0.95;
struct Wear
{
    int part = 0;
    int bike = 0;
    QString partName, bikeName;
    double used = 0.0;  // km, or months
    double limit = 0.0; // the same unit
    bool inMonths = false;

    double Share() const { return used / limit; }
};
// The parts of `bike` (every bike for 0) that are due, most worn first; a
// part with both limits is told by the nearer one.
QList<Wear> Due(const Garage& garage, const Usage& usage, int bike = 0);
// "Da sostituire: catena (Bici da corsa, 7.120 / 7.000 km)"; months as "13 / 12 mesi".
QString DueText(const Wear& wear);

// Reads, empty where the tables are not there yet.
Garage Read(TZTConnection& connection);
Usage ReadUsage(TZTConnection& connection, const Garage& garage, const QDate& today);
// Due(garage, usage, bike) for the one bike, reading only the rides of the
// bikes its parts were ever on: what a ride just stored on it may have worn.
QList<Wear> DueOn(TZTConnection& connection, int bike, const QDate& today);
// The bike of ride `ride`; 0 for none.
int BikeOfRide(TZTConnection& connection, int ride);
// Ride key -> bike name, for every ride that has a bike.
QHash<int, QString> RideBikeNames(TZTConnection& connection);

// Of the rides of start..end (both days included), per bike key (0 for the
// rides without a bike); bikes without rides in the period are left out, and
// a log without bikes has no rows at all.
struct PeriodRow
{
    int bike = 0;
    QString name; // empty for 0
    int rides = 0;
    double km = 0.0;
    qint64 durationMs = 0;
    double kmWithDuration = 0.0;
};
QList<PeriodRow> ReadPeriod(TZTConnection& connection, TDateTime start, TDateTime end);

// For a caller that stores many rides in a transaction of its own (the CSV
// and GPS imports): makes the tables where they are missing, then links each
// ride as it comes, writing in the caller's transaction.
class Linker
{
public:
    explicit Linker(TZTConnection& connection);
    ~Linker();
    Linker(const Linker&) = delete;
    Linker& operator=(const Linker&) = delete;

    // The key of the bike of that name (without case), made when there is
    // none: in use, no starting km, no purchase date.
    int BikeNamed(const QString& name);
    // bike 0 links nothing.
    void Link(int ride, int bike);

private:
    TZTConnection& m_connection;
    std::unique_ptr<TZTRecordset> m_links;
    std::optional<Garage> m_garage; // read at the first name asked for, then kept with the bikes made

};

// In the caller's transaction: the ride's link set to `bike`, or cleared for 0.
void RelinkRide(TZTConnection& connection, int ride, int bike);

// Writes; each makes the tables where they are missing, in its own transaction.
int AddBike(TZTConnection& connection, const Bike& bike); // returns the new key
void ChangeBike(TZTConnection& connection, const Bike& bike);
// Its rides lose their link, its parts come off it on no bike (their history
// there goes), and no ride type has it as default any more.
void DeleteBike(TZTConnection& connection, int bike);
// bike 0: the type has no default bike.
void SetDefaultBike(TZTConnection& connection, int rideType, int bike);
// bike 0: the ride has no bike.
void SetRideBike(TZTConnection& connection, int ride, int bike);

// A part fitted on `fitting.bike` (0: kept on no bike); returns the new key.
int AddPart(TZTConnection& connection, const Part& part, const Fitting& fitting);
// Name, limits and notes; the fittings are left as they are.
void ChangePart(TZTConnection& connection, const Part& part);
// The open fitting ends on `day`, and one on `bike` opens that day (none for bike 0).
void MovePart(TZTConnection& connection, int part, int bike, const QDate& day);
// The part comes off on `day` and is retired; a new one of the same name,
// limits and notes is fitted in its place that day. Returns the new key.
int ReplacePart(TZTConnection& connection, int part, const QDate& day);
void RetirePart(TZTConnection& connection, int part, const QDate& day);
void DeletePart(TZTConnection& connection, int part);

}
