#include "gps/GpsImport.h"

#include "data/RideEntry.h"
#include "data/Rides.h"

#include <QFileInfo>
#include <QHash>
#include <QMultiHash>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace {

using GpsImport::Candidate;
using GpsImport::State;

const QString NoSession = QStringLiteral("nessuna uscita nel file");
const QString UnknownStart = QStringLiteral("data sconosciuta");
const QString DateOutOfRange =
    QStringLiteral("data fuori dall'intervallo consentito (%1 - oggi)").arg(RideValidation::FirstYear);
const QString TooFar = QStringLiteral("più di %1 km").arg(RideValidation::MaxKm);
const QString TooLong = QStringLiteral("durata di 24 ore o più");
const QString NoDistance = QStringLiteral("distanza non valida");
const QString NoDuration = QStringLiteral("durata non valida");
const QString Empty = QStringLiteral("uscita vuota: 0 km in 0 secondi");

// The sports a ride is: the rest are listed by their Italian name.
bool IsCycling(const QString& sport)
{
    return sport.isEmpty() || sport == u"cycling" || sport == u"e_biking";
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
    // A device switched on and off again: no distance and no time is no ride.
    if (candidate.km == 0 && candidate.seconds == 0)
        return Empty;
    return {};
}

// [start, end) in milliseconds since the epoch; one that lasts no time still
// holds its instant.
struct Interval
{
    qint64 start = 0, end = 0;
};

Interval IntervalOf(const QDateTime& start, const QDateTime& end)
{
    const qint64 from = start.toMSecsSinceEpoch();
    return {from, std::max(end.toMSecsSinceEpoch(), from + 1)};
}

// Intervals, any of which may overlap another, asked whether one overlaps them.
class Intervals
{
public:
    void Add(Interval interval) { m_byStart.push_back(interval); }
    void Sort()
    {
        std::sort(m_byStart.begin(), m_byStart.end(), [](Interval a, Interval b) { return a.start < b.start; });
        m_latestEnd.resize(m_byStart.size());
        qint64 latest = std::numeric_limits<qint64>::min();
        for (size_t i = 0; i < m_byStart.size(); ++i)
            m_latestEnd[i] = latest = std::max(latest, m_byStart[i].end);
    }
    bool Overlaps(Interval interval) const
    {
        // Of those that begin before it ends, the one that ends last.
        const auto beginsBefore = std::lower_bound(m_byStart.begin(), m_byStart.end(), interval.end,
                                                   [](Interval a, qint64 end) { return a.start < end; });
        const size_t n = size_t(beginsBefore - m_byStart.begin());
        return n > 0 && m_latestEnd[n - 1] > interval.start;
    }

private:
    std::vector<Interval> m_byStart;
    std::vector<qint64> m_latestEnd;
};

// Ticks that stand never overlap one another: the one that begins last
// before an interval ends is the only one that may overlap it.
class StandingTicks
{
public:
    bool Overlaps(Interval interval) const
    {
        auto after = m_endByStart.lower_bound(interval.end);
        return after != m_endByStart.begin() && std::prev(after)->second > interval.start;
    }
    void Add(Interval interval) { m_endByStart.emplace(interval.start, interval.end); }

private:
    std::map<qint64, qint64> m_endByStart;
};

bool WithinThreePercent(double rideKm, double sessionKm)
{
    // Kilometres to two decimals: a hair's margin keeps 3 % exactly within.
    return std::abs(rideKm - sessionKm) <= 0.03 * sessionKm + 1e-9;
}

// What the log knows, arranged for the questions asked of every session.
class Known
{
public:
    explicit Known(const GpsImport::KnownRides& known)
    {
        for (const GpsImport::RememberedSpan& span : known.spans)
            if (span.start.isValid() && span.end.isValid())
                m_spans.Add(IntervalOf(span.start, span.end));
        m_spans.Sort();
        for (const GpsImport::DayRide& ride : known.rides)
            if (!ride.remembered)
                m_unremembered.insert(ride.date, ride.km);
    }

    // The state a session has against the log alone, before the list's ticks.
    State OwnState(const Candidate& candidate) const
    {
        if (m_spans.Overlaps(IntervalOf(candidate.session.start, candidate.session.End())))
            return State::AlreadyPresent;
        const auto [first, last] = m_unremembered.equal_range(candidate.date);
        for (auto ride = first; ride != last; ++ride)
            if (WithinThreePercent(*ride, candidate.km))
                return State::MaybePresent;
        return IsCycling(candidate.session.sport) ? State::New : State::OtherSport;
    }

private:
    Intervals m_spans;
    QMultiHash<QDate, double> m_unremembered;
};

bool Judged(const Candidate& candidate)
{
    return candidate.state != State::OutsideRules && candidate.state != State::Unreadable;
}

}

namespace GpsImport {

QString SportName(const QString& sport)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("cycling"), QStringLiteral("ciclismo")},
        {QStringLiteral("e_biking"), QStringLiteral("bici elettrica")},
        {QStringLiteral("running"), QStringLiteral("corsa")},
        {QStringLiteral("walking"), QStringLiteral("camminata")},
        {QStringLiteral("hiking"), QStringLiteral("escursionismo")},
        {QStringLiteral("swimming"), QStringLiteral("nuoto")},
        {QStringLiteral("transition"), QStringLiteral("transizione")},
        {QStringLiteral("generic"), QStringLiteral("generico")},
        {QStringLiteral("training"), QStringLiteral("allenamento")},
        {QStringLiteral("fitness_equipment"), QStringLiteral("attrezzi")},
        {QStringLiteral("rowing"), QStringLiteral("canottaggio")},
        {QStringLiteral("cross_country_skiing"), QStringLiteral("sci di fondo")},
        {QStringLiteral("alpine_skiing"), QStringLiteral("sci alpino")},
        {QStringLiteral("snowboarding"), QStringLiteral("snowboard")},
        {QStringLiteral("mountaineering"), QStringLiteral("alpinismo")},
        {QStringLiteral("inline_skating"), QStringLiteral("pattinaggio in linea")},
        {QStringLiteral("ice_skating"), QStringLiteral("pattinaggio su ghiaccio")},
        {QStringLiteral("rock_climbing"), QStringLiteral("arrampicata")},
        {QStringLiteral("paddling"), QStringLiteral("pagaiata")},
        {QStringLiteral("kayaking"), QStringLiteral("kayak")},
        {QStringLiteral("sailing"), QStringLiteral("vela")},
        {QStringLiteral("multisport"), QStringLiteral("multisport")},
        {QStringLiteral("other"), QStringLiteral("altro")},
    };
    if (sport.isEmpty())
        return QStringLiteral("non indicato");
    // A sport without an Italian name here is shown as the file names it.
    return names.value(sport, QString(sport).replace(u'_', u' '));
}

std::vector<Candidate> Plan(const std::vector<DeviceFile>& files, const QList<Rides::RideType>& types,
                            const KnownRides& known, const QDate& today, const QTimeZone& localZone)
{
    const Known log(known);
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
                candidate.state = log.OwnState(candidate);
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
    StandingTicks standing;
    for (Candidate& candidate : candidates) {
        if (!candidate.ticked)
            continue;
        const Interval interval = IntervalOf(candidate.session.start, candidate.session.End());
        if (!Judged(candidate) || standing.Overlaps(interval))
            candidate.ticked = false;
        else
            standing.Add(interval);
    }
    const Known log(known);
    for (Candidate& candidate : candidates) {
        if (!Judged(candidate))
            continue;
        const bool covered =
            !candidate.ticked && standing.Overlaps(IntervalOf(candidate.session.start, candidate.session.End()));
        candidate.state = covered ? State::AlreadyPresent : log.OwnState(candidate);
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
