#include "gps/GpsImport.h"

#include "data/RideEntry.h"
#include "data/Rides.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

using GpsImport::Candidate;
using GpsImport::State;

const QString NoSession = QStringLiteral("nessuna uscita nel file");
const QString UnknownStart = QStringLiteral("data sconosciuta");
const QString DateOutOfRange = QStringLiteral("data fuori dall'intervallo consentito (1990 - oggi)");
const QString TooFar = QStringLiteral("più di 999 km");
const QString TooLong = QStringLiteral("durata di 24 ore o più");
const QString NoDistance = QStringLiteral("distanza non valida");
const QString NoDuration = QStringLiteral("durata non valida");

// The sports a ride is: the rest are listed by their Italian name.
bool IsCycling(const QString& sport)
{
    return sport.isEmpty() || sport == u"cycling" || sport == u"e_biking";
}

QString SportName(const QString& sport)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("running"), QStringLiteral("corsa")},
        {QStringLiteral("walking"), QStringLiteral("camminata")},
        {QStringLiteral("swimming"), QStringLiteral("nuoto")},
        {QStringLiteral("transition"), QStringLiteral("transizione")},
        {QStringLiteral("hiking"), QStringLiteral("escursionismo")},
        {QStringLiteral("generic"), QStringLiteral("generico")},
        {QStringLiteral("other"), QStringLiteral("altro")},
        {QStringLiteral("training"), QStringLiteral("allenamento")},
        {QStringLiteral("fitness_equipment"), QStringLiteral("attrezzi")},
        {QStringLiteral("rowing"), QStringLiteral("canottaggio")},
        {QStringLiteral("mountaineering"), QStringLiteral("alpinismo")},
        {QStringLiteral("cross_country_skiing"), QStringLiteral("sci di fondo")},
        {QStringLiteral("alpine_skiing"), QStringLiteral("sci alpino")},
        {QStringLiteral("snowboarding"), QStringLiteral("snowboard")},
        {QStringLiteral("inline_skating"), QStringLiteral("pattinaggio in linea")},
        {QStringLiteral("ice_skating"), QStringLiteral("pattinaggio su ghiaccio")},
        {QStringLiteral("rock_climbing"), QStringLiteral("arrampicata")},
        {QStringLiteral("paddling"), QStringLiteral("pagaiata")},
        {QStringLiteral("kayaking"), QStringLiteral("kayak")},
        {QStringLiteral("sailing"), QStringLiteral("vela")},
        {QStringLiteral("multisport"), QStringLiteral("multisport")},
    };
    return names.value(sport, sport);
}

// The log's type a sub-sport names, where the log has a type of that name.
QString TypeNameOf(const QString& subSport)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("road"), QStringLiteral("Strada")},
        {QStringLiteral("mountain"), QStringLiteral("MTB")},
        {QStringLiteral("e_bike_mountain"), QStringLiteral("MTB")},
        {QStringLiteral("downhill"), QStringLiteral("MTB")},
        {QStringLiteral("gravel_cycling"), QStringLiteral("Gravel")},
        {QStringLiteral("commuting"), QStringLiteral("Città")},
        {QStringLiteral("indoor_cycling"), QStringLiteral("Rulli")},
        {QStringLiteral("virtual_activity"), QStringLiteral("Rulli")},
        {QStringLiteral("spin"), QStringLiteral("Rulli")},
        {QStringLiteral("trainer"), QStringLiteral("Rulli")},
    };
    return names.value(subSport);
}

int TypeOf(const QString& subSport, const QList<Rides::RideType>& types)
{
    const QString name = TypeNameOf(subSport);
    if (!name.isEmpty())
        for (const Rides::RideType& type : types)
            if (type.name.compare(name, Qt::CaseInsensitive) == 0)
                return type.key;
    return types.isEmpty() ? 0 : types.first().key;
}

// Where the device recorded where it was: offsets that no zone has are noise.
bool IsSaneOffset(int seconds)
{
    return std::abs(seconds) <= 14 * 3600 && seconds % (15 * 60) == 0;
}

QDate LocalDay(const DeviceSession& session, const QTimeZone& localZone)
{
    if (!session.start.isValid())
        return {};
    if (session.utcOffsetSeconds && IsSaneOffset(*session.utcOffsetSeconds))
        return session.start.toUTC().addSecs(*session.utcOffsetSeconds).date();
    return session.start.toTimeZone(localZone).date();
}

// The file's name less ".fit", ".gpx.gz" and the like, as a description may hold it.
QString DescriptionOf(const QString& path)
{
    QString name = QFileInfo(path).fileName();
    if (name.endsWith(u".gz", Qt::CaseInsensitive))
        name.chop(3);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0)
        name.truncate(dot);
    return RideValidation::CleanDescription(name).left(RideColumn::DescriptionMaxLength).trimmed();
}

// Why the log cannot hold the session as a ride; empty when it can.
QString OutsideRules(const Candidate& candidate, const QDate& today)
{
    if (!candidate.date.isValid())
        return UnknownStart;
    if (candidate.date < QDate(RideValidation::FirstYear, 1, 1) || candidate.date > today)
        return DateOutOfRange;
    if (!std::isfinite(candidate.km) || candidate.km < 0)
        return NoDistance;
    if (candidate.km > RideValidation::MaxKm)
        return TooFar;
    if (!std::isfinite(candidate.seconds) || candidate.seconds < 0)
        return NoDuration;
    if (candidate.seconds >= TDateTime::SecsPerDay)
        return TooLong;
    return {};
}

// [start, end) of a session; one that lasts no time still holds its instant.
bool Overlap(const QDateTime& startA, const QDateTime& endA, const QDateTime& startB, const QDateTime& endB)
{
    const QDateTime lastA = std::max(endA, startA.addMSecs(1));
    const QDateTime lastB = std::max(endB, startB.addMSecs(1));
    return startA < lastB && startB < lastA;
}

bool Overlap(const Candidate& a, const Candidate& b)
{
    return a.session.start.isValid() && b.session.start.isValid()
           && Overlap(a.session.start, a.session.End(), b.session.start, b.session.End());
}

bool WithinThreePercent(double rideKm, double sessionKm)
{
    // Kilometres to two decimals: a hair's margin keeps 3 % exactly within.
    return std::abs(rideKm - sessionKm) <= 0.03 * sessionKm + 1e-9;
}

// The state a session has against the log alone, before the list's ticks.
State OwnState(const Candidate& candidate, const GpsImport::KnownRides& known)
{
    for (const GpsImport::RememberedSpan& span : known.spans)
        if (Overlap(candidate.session.start, candidate.session.End(), span.start, span.end))
            return State::AlreadyPresent;
    for (const GpsImport::DayRide& ride : known.rides)
        if (!ride.remembered && ride.date == candidate.date && WithinThreePercent(ride.km, candidate.km))
            return State::MaybePresent;
    return IsCycling(candidate.session.sport) ? State::New : State::OtherSport;
}

bool Judged(const Candidate& candidate)
{
    return candidate.state != State::OutsideRules && candidate.state != State::Unreadable;
}

}

namespace GpsImport {

std::vector<Candidate> Plan(const std::vector<DeviceFile>& files, const QList<Rides::RideType>& types,
                            const KnownRides& known, const QDate& today, const QTimeZone& localZone)
{
    std::vector<Candidate> candidates;
    for (const DeviceFile& file : files) {
        Candidate unreadable;
        unreadable.file = file.path;
        unreadable.description = DescriptionOf(file.path);
        unreadable.state = State::Unreadable;
        if (!file.fault.isEmpty()) {
            unreadable.reason = file.fault;
            candidates.push_back(unreadable);
            continue;
        }
        if (file.sessions.empty()) {
            unreadable.reason = NoSession;
            candidates.push_back(unreadable);
            continue;
        }
        for (const DeviceSession& session : file.sessions) {
            Candidate candidate;
            candidate.file = file.path;
            candidate.session = session;
            candidate.date = LocalDay(session, localZone);
            candidate.km = std::round(session.distanceMetres / 10.0) / 100.0;
            candidate.seconds = std::round(session.timerSeconds);
            candidate.type = TypeOf(session.subSport, types);
            candidate.description = unreadable.description;
            candidate.reason = OutsideRules(candidate, today);
            if (!candidate.reason.isEmpty()) {
                candidate.state = State::OutsideRules;
            } else {
                if (!IsCycling(session.sport))
                    candidate.reason = SportName(session.sport);
                candidate.state = OwnState(candidate, known);
                candidate.ticked = candidate.state == State::New;
            }
            candidates.push_back(candidate);
        }
    }
    Reclassify(candidates, known);
    return candidates;
}

void Reclassify(std::vector<Candidate>& candidates, const KnownRides& known)
{
    // The ticks that stand: in the list's order, a ticked session that
    // overlaps one standing before it is the same ride again.
    std::vector<const Candidate*> standing;
    for (Candidate& candidate : candidates) {
        if (!candidate.ticked)
            continue;
        const bool again = std::any_of(standing.begin(), standing.end(),
                                       [&](const Candidate* kept) { return Overlap(candidate, *kept); });
        if (again || !candidate.Tickable())
            candidate.ticked = false;
        else
            standing.push_back(&candidate);
    }
    for (Candidate& candidate : candidates) {
        if (!Judged(candidate))
            continue;
        const bool covered = !candidate.ticked
                             && std::any_of(standing.begin(), standing.end(),
                                            [&](const Candidate* kept) { return Overlap(candidate, *kept); });
        candidate.state = covered ? State::AlreadyPresent : OwnState(candidate, known);
    }
}

std::pair<QDate, QDate> DaysSpanned(const std::vector<DeviceFile>& files)
{
    // A day in UTC is a day either side of the local one, wherever the rider is.
    QDate first, last;
    for (const DeviceFile& file : files)
        for (const DeviceSession& session : file.sessions) {
            if (!session.start.isValid())
                continue;
            const QDate day = session.start.toUTC().date();
            if (!first.isValid() || day < first)
                first = day;
            if (!last.isValid() || day > last)
                last = day;
        }
    if (!first.isValid())
        return {};
    return {first.addDays(-1), last.addDays(1)};
}

} // namespace GpsImport
