#pragma once

#include "data/RideEntry.h"
#include "util/TDateTime.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TZTConnection;
class TZTRecordset;

// The columns of Uscite: outside the SQL, only these name them.
namespace RideColumn {
inline const QString IDUscita = QStringLiteral("IDUscita");
inline const QString IDTipoUscita = QStringLiteral("IDTipoUscita");
inline const QString Data = QStringLiteral("Data");
inline const QString KM = QStringLiteral("KM");
inline const QString Durata = QStringLiteral("Durata");
inline const QString Descrizione = QStringLiteral("Descrizione");
inline const QString Note = QStringLiteral("Note");
// The longest description the table takes.
inline constexpr int DescriptionMaxLength = 255;
}

// The columns of TipiUscita.
namespace RideTypeColumn {
inline const QString IDTipoUscita = QStringLiteral("IDTipoUscita");
inline const QString Descrizione = QStringLiteral("Descrizione");
}

// Every read and write of the rides and their types. Every failure of the
// database is the ZTADO exception of the operation it refused; a day the
// month does not have is an EConvertError, raised before anything is written.
namespace Rides {

// The table of the rides, whose columns RideColumn names.
inline const QString Table = QStringLiteral("Uscite");

// A ride as stored: its month, and what the ride dialog edits, whose day is
// the day of that month.
struct Ride
{
    int anno = 0;
    int mese = 0;
    RideEntry entry;

    TDateTime Data() const;
    // The ride of `entry` on the day of `date`, whose day replaces the entry's.
    static Ride OnDay(TDateTime date, RideEntry entry);

    bool operator==(const Ride&) const = default;
};

// Writes the date, type, distance, description and duration, in that order,
// through one INSERT, reading nothing first; the database gives the ride its key.
void Add(TZTConnection& connection, const Ride& ride);
// The same fields, in the same order, of the ride with key `id`; a ride that
// is not there fails at the first of them.
void Change(TZTConnection& connection, int id, const Ride& ride);
// A ride that is not there is no failure: nothing is deleted.
void Delete(TZTConnection& connection, int id);
// Fails at its date when there is no ride with key `id`.
Ride Read(TZTConnection& connection, int id);

// A ride type as the table holds it.
struct RideType
{
    int key = 0;
    QString name;
};
// Every ride type, by key: the one read of the table.
QList<RideType> Types(TZTConnection& connection);
// Their names, position k being the type whose key is k (empty for a key no
// type has).
QStringList TypeNames(TZTConnection& connection);

// How many rides the log holds, and their distance.
struct Totals
{
    int rides = 0;
    double km = 0.0;
};
Totals ReadTotals(TZTConnection& connection);

// The distance of the rides of a calendar year.
double YearKm(TZTConnection& connection, int year);

// A ride as the lists read it: its key and its fields as stored, the date
// with any time of day another program wrote into it.
struct Row
{
    int key = 0;
    TDateTime date;
    int type = 0;
    double km = 0.0;
    TDateTime duration;
    QString description;
};
using RowVisitor = std::function<void(const Row&)>;

// The rides of one month by date and, within a day, in the order they were
// added, each handed to `visit` as it is read; none is kept.
void ForEachInMonth(TZTConnection& connection, int year, int month, const RowVisitor& visit);
// The same for the rides of start..end, both days included.
void ForEachInPeriod(TZTConnection& connection, TDateTime start, TDateTime end, const RowVisitor& visit);
// The ten longest rides of start..end, longest first; equal distances by
// date, then in the order they were added.
void ForEachLongest(TZTConnection& connection, TDateTime start, TDateTime end, const RowVisitor& visit);

// Every ride by date and, within a day, in the order they were added, each
// handed to `visit` as it is read; none is kept.
void ForEach(TZTConnection& connection, const std::function<void(const Ride&)>& visit);
// The same for the rides of start..end, both days included.
void ForEach(TZTConnection& connection, TDateTime start, TDateTime end, const std::function<void(const Ride&)>& visit);

// A ride with its key, for a reader that must tell a value that read as zero
// because it does not convert (a day the calendar lacks, a duration that is
// no time: only another program stores one) from a real zero.
struct StoredRide
{
    int key = 0;
    Ride ride;
    // The stored text of a date or a duration that read as zero; empty for
    // one that read as another value, and for NULL.
    QString zeroDate;
    QString zeroDuration;
};
// Every ride as ForEach gives them.
void ForEachStored(TZTConnection& connection, const std::function<void(const StoredRide&)>& visit);

// Appends rides one after another through one prepared INSERT, as an import
// of thousands does, reading none; each is stored as it comes.
class Appender
{
public:
    explicit Appender(TZTConnection& connection);
    ~Appender();
    Appender(const Appender&) = delete;
    Appender& operator=(const Appender&) = delete;

    // A ride of the older log: type, date, description and distance, in that
    // order, and an empty note. It has no duration: the entry's is not written.
    void AppendOlderLogRide(const Ride& ride);
    // A ride as Add writes it, duration included.
    void AppendRide(const Ride& ride);
    // The key the database gave the ride appended last.
    int AppendedKey();

private:
    std::unique_ptr<TZTRecordset> m_rides;
};

}

// Rows are moved about in lists as they are read: their string moves with its bytes.
Q_DECLARE_TYPEINFO(Rides::Row, Q_RELOCATABLE_TYPE);
