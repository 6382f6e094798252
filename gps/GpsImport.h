#pragma once

#include "gps/DeviceFile.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <vector>

namespace Rides { struct RideType; }

// Sessions read from device files judged as rides of the log: which day,
// which type, whether the log already holds them. Values only; the log's
// reads and the one write are RideLog's.
namespace GpsImport {

enum class State {
    New,            // "nuova"
    AlreadyPresent, // "già presente": its time span overlaps a remembered or ticked one
    MaybePresent,   // "forse già presente": a ride that day within 3 % of its km
    OutsideRules,   // date, km or time the log refuses; `reason` says which
    OtherSport,     // not cycling; listed, unticked
    Unreadable,     // the file's fault, in `reason`; no session
};

// What the log already knows around the files' days.
struct RememberedSpan
{
    QDateTime start, end; // UTC
};
struct DayRide
{
    QDate date;
    double km = 0;
    bool remembered = false; // imported from a file, its span is among the spans
};
struct KnownRides
{
    std::vector<RememberedSpan> spans;
    std::vector<DayRide> rides;
};

struct Candidate
{
    QString file;           // path as given
    DeviceSession session;  // empty for an unreadable file
    QDate date;             // local day of the start
    double km = 0;          // distance rounded to 10 m
    double seconds = 0;     // timer time, whole seconds
    int type = 0;           // IDTipoUscita
    QString description;    // the file's name without extension
    State state = State::New;
    QString reason;         // why it is outside the rules, the sport, or the file's fault
    bool ticked = false;

    bool Tickable() const { return state != State::OutsideRules && state != State::Unreadable; }
};

// A sport as the rider reads it: "corsa", "nuoto", "non indicato" where the file names none.
QString SportName(const QString& sport);

// One candidate per session of every file (one per unreadable or empty file),
// in the files' order; cycling sessions that are new come ticked.
std::vector<Candidate> Plan(const std::vector<DeviceFile>& files, const QList<Rides::RideType>& types,
                            const KnownRides& known, const QDate& today, const QTimeZone& localZone);

// After the rider ticked or unticked a candidate: the states again, a ticked
// session making any other it overlaps "già presente".
void Reclassify(std::vector<Candidate>& candidates, const KnownRides& known);

// The days the candidates fall on, for the log's read of KnownRides.
std::pair<QDate, QDate> DaysSpanned(const std::vector<DeviceFile>& files);

} // namespace GpsImport
