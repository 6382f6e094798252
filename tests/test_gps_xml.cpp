#include "gps/DeviceFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <functional>
#include <numbers>

// The GPX and TCX readers against files real programs wrote and files made
// here where a case is missing.

namespace {

const QString DataFolder = QStringLiteral(KV_GPS_DATA);

QByteArray SampleBytes(const QString& name)
{
    QFile file(DataFolder + u'/' + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

QDateTime Utc(const QString& iso)
{
    return QDateTime::fromString(iso, Qt::ISODateWithMs).toUTC();
}

// A place on the ground near a fixed origin, as metres east and north of it.
struct Fix
{
    double seconds = 0; // after the track's first moment
    double east = 0;
    double north = 0;
};
using Track = std::vector<std::vector<Fix>>; // segments

constexpr double OriginLatitude = 45.5;
constexpr double OriginLongitude = 11.25;
constexpr double MetresPerDegree = 6371008.8 * std::numbers::pi / 180.0;

// Where a ride at `speed` stands after `seconds` on a closed loop: 2 km east,
// half a circle of 300 m radius to the north, 2 km west, half a circle back.
Fix OnLoop(double seconds, double speed)
{
    constexpr double Straight = 2000, Radius = 300, Half = std::numbers::pi * Radius;
    double s = std::fmod(seconds * speed, 2 * (Straight + Half));
    if (s < Straight)
        return {seconds, s, 0};
    s -= Straight;
    if (s < Half)
        return {seconds, Straight + Radius * std::sin(s / Radius), Radius - Radius * std::cos(s / Radius)};
    s -= Half;
    if (s < Straight)
        return {seconds, Straight - s, 2 * Radius};
    s -= Straight;
    return {seconds, -Radius * std::sin(s / Radius), Radius + Radius * std::cos(s / Radius)};
}
constexpr double LoopMetres = 2 * (2000 + std::numbers::pi * 300);

// One fix a second from `from` to `to` seconds, where `where` says.
std::vector<Fix> Recorded(int from, int to, const std::function<Fix(double)>& where)
{
    std::vector<Fix> fixes;
    for (int t = from; t <= to; ++t)
        fixes.push_back(where(t));
    return fixes;
}

// A receiver's error: up to `metres` either way east and north, the same every run.
Track WithNoise(Track track, double metres)
{
    QRandomGenerator random(20260611);
    for (auto& segment : track)
        for (Fix& fix : segment) {
            fix.east += (random.generateDouble() * 2 - 1) * metres;
            fix.north += (random.generateDouble() * 2 - 1) * metres;
        }
    return track;
}

const QString GpxNamespace11 = QStringLiteral("http://www.topografix.com/GPX/1/1");
const QString GpxNamespace10 = QStringLiteral("http://www.topografix.com/GPX/1/0");

// A GPX file of one track per segment; `prefix` names the GPX namespace's prefix ("" for the default).
QByteArray Gpx(const Track& track, const QDateTime& start, const QString& ns = GpxNamespace11,
               const QString& prefix = QString(), double originLongitude = OriginLongitude)
{
    const QString p = prefix.isEmpty() ? QString() : prefix + u':';
    const QString xmlns = prefix.isEmpty() ? u"xmlns"_qs : u"xmlns:"_qs + prefix;
    QString text =
        u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<%1gpx version=\"1.1\" creator=\"t\" %2=\"%3\">\n"_qs.arg(p, xmlns, ns);
    text += u"<%1metadata><%1time>%2</%1time></%1metadata>\n"_qs.arg(p, start.addDays(-3).toString(Qt::ISODate));
    for (const auto& segment : track) {
        text += u"<%1trk><%1trkseg>\n"_qs.arg(p);
        for (const Fix& fix : segment) {
            const double latitude = OriginLatitude + fix.north / MetresPerDegree;
            const double eastPerDegree = MetresPerDegree * std::cos(OriginLatitude * std::numbers::pi / 180);
            const double longitude = std::remainder(originLongitude + fix.east / eastPerDegree, 360);
            text += u"<%1trkpt lat=\"%2\" lon=\"%3\"><%1ele>100</%1ele><%1time>%4</%1time></%1trkpt>\n"_qs.arg(
                p, QString::number(latitude, 'f', 8), QString::number(longitude, 'f', 8),
                start.addMSecs(qint64(fix.seconds * 1000)).toString(Qt::ISODate));
        }
        text += u"</%1trkseg></%1trk>\n"_qs.arg(p);
    }
    text += u"</%1gpx>"_qs.arg(p);
    return text.toUtf8();
}

// A GPX 1.1 file around the given track's body.
QByteArray GpxAround(const QString& body)
{
    return (u"<?xml version=\"1.0\"?>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/1\" version=\"1.1\">\n"_qs + body
            + u"\n</gpx>"_qs)
        .toUtf8();
}

// A point of a GPX body: `time` as the file spells it.
QString Point(double latitude, double longitude, const QString& time)
{
    return u"<trkpt lat=\"%1\" lon=\"%2\"><time>%3</time></trkpt>"_qs.arg(latitude).arg(longitude).arg(time);
}

// A TCX file around the given activities.
QByteArray Tcx(const QString& activities)
{
    return (u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<TrainingCenterDatabase "
            "xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\" "
            "xmlns:ax=\"http://www.garmin.com/xmlschemas/ActivityExtension/v2\">\n"_qs
            + activities + u"\n</TrainingCenterDatabase>"_qs)
        .toUtf8();
}

// A lap of a TCX activity, with track points at the given times.
QString Lap(const QString& start, double seconds, double metres, const QStringList& pointTimes = {})
{
    QString lap = u"<Lap StartTime=\"%1\"><TotalTimeSeconds>%2</TotalTimeSeconds><DistanceMeters>%3</DistanceMeters>"
                  "<Intensity>Active</Intensity><Track>"_qs.arg(start).arg(seconds).arg(metres);
    for (const QString& time : pointTimes)
        lap += u"<Trackpoint><Time>%1</Time><DistanceMeters>999999</DistanceMeters></Trackpoint>"_qs.arg(time);
    return lap + u"</Track><Extensions><ax:LX><ax:DistanceMeters>5</ax:DistanceMeters></ax:LX></Extensions></Lap>"_qs;
}

QString Activity(const QString& sport, const QString& id, const QString& laps)
{
    const QString idElement = id.isEmpty() ? QString() : u"<Id>%1</Id>"_qs.arg(id);
    return u"<Activity Sport=\"%1\">%2<Notes>x</Notes>%3</Activity>"_qs.arg(sport, idElement, laps);
}

} // namespace

Q_DECLARE_METATYPE(std::optional<int>)

class TestGpsXml : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A zone with daylight saving, whose gap one of the times without a zone falls in.
        qputenv("TZ", "Europe/Rome");
    }

    // TCX totals are the file's own, so they come out exactly.
    void tcxSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sport");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<double>("distance");
        QTest::addColumn<double>("timer");
        QTest::addColumn<double>("elapsed"); // to the last track point

        QTest::newRow("other sport, two laps, milliseconds")
            << u"sup_activity_1.tcx"_qs << u"other"_qs << Utc(u"2022-07-16T16:08:25Z"_qs) << 1157.51 << 1112.335
            << 1112.0;
    }
    void tcxSamples()
    {
        QFETCH(QString, file);
        const DeviceFile read = DeviceFiles::ReadTcx(SampleBytes(file));
        QCOMPARE(read.fault, QString());
        QCOMPARE(read.sessions.size(), size_t(1));
        const DeviceSession& session = read.sessions.front();
        QTEST(session.sport, "sport");
        QTEST(session.start, "start");
        QCOMPARE(session.start.timeSpec(), Qt::UTC);
        QCOMPARE(session.utcOffsetSeconds, std::optional<int>());
        QCOMPARE(session.subSport, QString());
        QFETCH(double, distance);
        QFETCH(double, timer);
        QFETCH(double, elapsed);
        QCOMPARE(std::round(session.distanceMetres * 100) / 100, distance);
        QCOMPARE(std::round(session.timerSeconds * 1000) / 1000, timer);
        QCOMPARE(session.elapsedSeconds, elapsed);
    }

    // A GPX has no totals: start and elapsed time come exactly from its
    // points, its length within what the jitter rule leaves out of the
    // straight sum of every step.
    void gpxSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("sessions");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<double>("length2d"); // every step summed
        // At most this share of it left out as jitter: a walk logged every
        // 10 to 70 s loses 1.6 %, a few metres of shuffling at the end of 78 m 9 %.
        QTest::addColumn<double>("shorterBy");

        QTest::newRow("eight tracks, one session, empty segment, metadata time")
            << u"cerknicko-jezero.gpx"_qs << 1 << Utc(u"2010-08-05T14:23:59Z"_qs) << 7190.0 << 4580.1 << 0.03;
        QTest::newRow("empty segment after the points")
            << u"track-with-empty-segment.gpx"_qs << 1 << Utc(u"2013-07-06T17:26:26Z"_qs) << 76.0 << 85.9 << 0.10;
        QTest::newRow("GPX 1.0, one point without a zone, routes and waypoints")
            << u"gpx1.0_with_all_fields.gpx"_qs << 1 << Utc(u"2013-01-01T12:00:04Z"_qs) << 0.0 << 0.0 << 0.0;
        QTest::newRow("waypoints only, byte-order mark")
            << u"unicode_with_bom.gpx"_qs << 0 << QDateTime() << 0.0 << 0.0 << 0.0;
    }
    void gpxSamples()
    {
        QFETCH(QString, file);
        QFETCH(int, sessions);
        const DeviceFile read = DeviceFiles::ReadGpx(SampleBytes(file));
        QCOMPARE(read.fault, QString());
        QCOMPARE(int(read.sessions.size()), sessions);
        if (sessions == 0)
            return;
        const DeviceSession& session = read.sessions.front();
        QTEST(session.start, "start");
        QCOMPARE(session.start.timeSpec(), Qt::UTC);
        QTEST(session.elapsedSeconds, "elapsed");
        QCOMPARE(session.sport, QString());
        QFETCH(double, length2d);
        QFETCH(double, shorterBy);
        QVERIFY2(session.distanceMetres <= length2d + 0.1 && session.distanceMetres >= length2d * (1 - shorterBy),
                 qPrintable(QString::number(session.distanceMetres)));
        QVERIFY(session.timerSeconds >= 0 && session.timerSeconds <= session.elapsedSeconds);
    }

    // Made tracks whose true length and moving time are known.
    void madeTracks_data()
    {
        QTest::addColumn<QByteArray>("gpx");
        QTest::addColumn<double>("distance");
        QTest::addColumn<double>("distanceTolerance");
        QTest::addColumn<double>("moving");
        QTest::addColumn<double>("elapsed");

        const QDateTime start = Utc(u"2025-06-01T07:00:00Z"_qs);
        const auto east = [](double speed, double from = 0, double at = 0) {
            return [=](double t) { return Fix{t, from + (t - at) * speed, 0}; };
        };
        const auto standing = [](double t) { return Fix{t, 0, 0}; };

        QTest::newRow("standing still ten minutes, 5 m jitter")
            << Gpx(WithNoise({Recorded(0, 600, standing)}, 5), start) << 0.0 << 10.0 << 0.0 << 600.0;
        QTest::newRow("a loop at 8 m/s, 5 m jitter")
            << Gpx(WithNoise({Recorded(0, 1472, [](double t) { return OnLoop(t, 8); })}, 5), start)
            << 2 * LoopMetres << 0.01 * 2 * LoopMetres << 1472.0 << 1472.0;
        QTest::newRow("a loop at 4 m/s, 5 m jitter")
            << Gpx(WithNoise({Recorded(0, 1472, [](double t) { return OnLoop(t, 4); })}, 5), start) << LoopMetres
            << 0.01 * LoopMetres << 1472.0 << 1472.0;
        QTest::newRow("a loop at 8 m/s, one fix in ten seconds")
            << Gpx({[] {
                   std::vector<Fix> fixes;
                   for (int t = 0; t <= 1470; t += 10)
                       fixes.push_back(OnLoop(t, 8));
                   return fixes;
               }()},
                   start)
            << 8 * 1470.0 << 0.01 * 8 * 1470 << 1470.0 << 1470.0;
        {
            std::vector<Fix> fixes = Recorded(0, 300, east(8));
            const auto stop = Recorded(301, 600, [](double t) { return Fix{t, 2400, 0}; });
            const auto on = Recorded(601, 900, east(8, 2400, 600));
            fixes.insert(fixes.end(), stop.begin(), stop.end());
            fixes.insert(fixes.end(), on.begin(), on.end());
            QTest::newRow("five minutes' stop in the middle, 5 m jitter")
                << Gpx(WithNoise({fixes}, 5), start) << 4800.0 << 48.0 << 600.0 << 900.0;
        }
        // The second segment starts 600 m on: the way between is neither distance nor moving time.
        QTest::newRow("pause between two segments")
            << Gpx({Recorded(0, 300, east(8)), Recorded(900, 1200, east(8, 3000, 900))}, start) << 4800.0 << 48.0
            << 600.0 << 1200.0;
        QTest::newRow("across the 180th meridian, 5 m jitter")
            << Gpx(WithNoise({Recorded(0, 300, east(8, -1200))}, 5), start, GpxNamespace11, QString(), 180)
            << 2400.0 << 24.0 << 300.0 << 300.0;
        QTest::newRow("segments written last first")
            << Gpx({Recorded(900, 1200, east(8, 3000, 900)), Recorded(0, 300, east(8))}, start) << 4800.0 << 48.0
            << 600.0 << 1200.0;
    }
    void madeTracks()
    {
        QFETCH(QByteArray, gpx);
        QFETCH(double, distance);
        QFETCH(double, distanceTolerance);
        QFETCH(double, moving);
        QFETCH(double, elapsed);
        const DeviceFile read = DeviceFiles::ReadGpx(gpx);
        QCOMPARE(read.fault, QString());
        QCOMPARE(read.sessions.size(), size_t(1));
        const DeviceSession& session = read.sessions.front();
        QCOMPARE(session.start, Utc(u"2025-06-01T07:00:00Z"_qs));
        QCOMPARE(session.elapsedSeconds, elapsed);
        QVERIFY2(std::abs(session.distanceMetres - distance) <= distanceTolerance,
                 qPrintable(QString::number(session.distanceMetres)));
        // A few seconds after the last counted point may go unmeasured at each end of a stop or segment.
        QVERIFY2(std::abs(session.timerSeconds - moving) <= 10, qPrintable(QString::number(session.timerSeconds)));
    }

    // What a GPX names its times and elements by, across versions and writers.
    void gpxSpellings_data()
    {
        QTest::addColumn<QByteArray>("gpx");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<std::optional<int>>("offset");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<QString>("sport");

        const Track track = {Recorded(0, 60, [](double t) { return Fix{t, t * 5, 0}; })};
        const QDateTime start = Utc(u"2025-03-30T23:59:30Z"_qs);
        QTest::newRow("GPX 1.1") << Gpx(track, start) << start << std::optional<int>() << 60.0 << QString();
        QTest::newRow("GPX 1.0") << Gpx(track, start, GpxNamespace10) << start << std::optional<int>() << 60.0
                                 << QString();
        QTest::newRow("prefixed namespace") << Gpx(track, start, GpxNamespace11, u"g"_qs) << start
                                            << std::optional<int>() << 60.0 << QString();
        QTest::newRow("no namespace") << Gpx(track, start, QString()) << start << std::optional<int>() << 60.0
                                      << QString();

        const QString ride =
            Point(45, 11, u"2025-05-01T00:10:00+02:00"_qs) + Point(45.001, 11, u"2025-05-01T00:20:30.250+02:00"_qs);
        QTest::newRow("offset east of UTC, past midnight locally")
            << GpxAround(u"<trk><type>road_biking</type><trkseg>"_qs + ride + u"</trkseg></trk>"_qs)
            << Utc(u"2025-04-30T22:10:00Z"_qs) << std::optional<int>(7200) << 630.25 << u"cycling"_qs;
        QTest::newRow("offset west of UTC, before midnight locally")
            << GpxAround(u"<trk><type>Running</type><trkseg>"_qs + Point(45, 11, u"2025-04-30T23:50:00-05:00"_qs)
                         + Point(45.001, 11, u"2025-05-01T05:00:00Z"_qs) + u"</trkseg></trk>"_qs)
            << Utc(u"2025-05-01T04:50:00Z"_qs) << std::optional<int>(-18000) << 600.0 << u"running"_qs;
        QTest::newRow("no zone is UTC, fractions, a type naming no sport")
            << GpxAround(u"<trk><type>1</type><trkseg>"_qs + Point(45, 11, u" 2025-03-30T02:30:00.5 "_qs)
                         + Point(45.001, 11, u"2025-03-30T02:31:00.75"_qs) + u"</trkseg></trk>"_qs)
            << Utc(u"2025-03-30T02:30:00.500Z"_qs) << std::optional<int>() << 60.25 << QString();
        // A time in another namespace is an extension's, not the point's.
        QTest::newRow("untimed points and another namespace's time left out")
            << GpxAround(u"<trk><trkseg><trkpt lat=\"44\" lon=\"10\">"
                         "<x:time xmlns:x=\"urn:x\">2025-01-01T00:00:00Z</x:time></trkpt>"_qs
                         + Point(45, 11, u"2025-05-01T10:00:00Z"_qs) + Point(45.001, 11, u"2025-05-01T10:05:00Z"_qs)
                         + u"<trkpt lat=\"46\" lon=\"12\"/></trkseg></trk>"_qs)
            << Utc(u"2025-05-01T10:00:00Z"_qs) << std::optional<int>() << 300.0 << QString();
    }
    void gpxSpellings()
    {
        QFETCH(QByteArray, gpx);
        const DeviceFile read = DeviceFiles::ReadGpx(gpx);
        QCOMPARE(read.fault, QString());
        QCOMPARE(read.sessions.size(), size_t(1));
        const DeviceSession& session = read.sessions.front();
        QTEST(session.start, "start");
        QTEST(session.utcOffsetSeconds, "offset");
        QTEST(session.elapsedSeconds, "elapsed");
        QTEST(session.sport, "sport");
        QVERIFY(session.distanceMetres > 100);
    }

    // Files that hold no ride are no fault.
    void noSession_data()
    {
        QTest::addColumn<QByteArray>("gpx");

        QTest::newRow("timed route points") << GpxAround(
            u"<rte><rtept lat=\"45\" lon=\"11\"><time>2025-05-01T10:00:00Z</time></rtept></rte>"_qs);
        QTest::newRow("untimed track points") << GpxAround(
            u"<trk><trkseg><trkpt lat=\"45\" lon=\"11\"/><trkpt lat=\"45.1\" lon=\"11\"/></trkseg></trk>"_qs);
        QTest::newRow("empty tracks and segments")
            << GpxAround(u"<trk/><trk><name>x</name><trkseg/><trkseg></trkseg></trk>"_qs);
    }
    void noSession()
    {
        QFETCH(QByteArray, gpx);
        const DeviceFile read = DeviceFiles::ReadGpx(gpx);
        QCOMPARE(read.fault, QString());
        QCOMPARE(read.sessions.size(), size_t(0));
    }

    // Activities wherever a TCX puts them, and what each of them sums.
    void tcxActivities_data()
    {
        QTest::addColumn<QByteArray>("tcx");
        QTest::addColumn<QStringList>("sessions"); // sport|start|offset|distance|timer|elapsed

        QTest::newRow("two activities")
            << Tcx(u"<Activities>"_qs
                   + Activity(u"Biking"_qs, u"2025-05-01T08:00:00Z"_qs,
                              Lap(u"2025-05-01T08:00:00Z"_qs, 1800, 15000.5,
                                  {u"2025-05-01T08:00:00Z"_qs, u"2025-05-01T08:31:00Z"_qs})
                                  + Lap(u"2025-05-01T08:31:00Z"_qs, 1200.25, 10000,
                                        {u"2025-05-01T08:31:00Z"_qs, u"2025-05-01T09:02:30Z"_qs}))
                   + Activity(u"Running"_qs, u"2025-05-01T17:00:00+02:00"_qs,
                              Lap(u"2025-05-01T15:00:00Z"_qs, 600, 2000))
                   + u"</Activities>"_qs)
            << QStringList{u"cycling|2025-05-01T08:00:00Z|-|25000.5|3000.25|3750"_qs,
                           u"running|2025-05-01T15:00:00Z|7200|2000|600|600"_qs};
        QTest::newRow("multisport session, transition, sports as written")
            << Tcx(u"<Activities><MultiSportSession><Id>2025-06-01T06:00:00Z</Id><FirstSport>"_qs
                   + Activity(u"Other"_qs, u"2025-06-01T06:00:00Z"_qs, Lap(u"2025-06-01T06:00:00Z"_qs, 900, 1500))
                   + u"</FirstSport><NextSport><Transition><TotalTimeSeconds>60</TotalTimeSeconds>"
                     "<DistanceMeters>10</DistanceMeters></Transition>"_qs
                   + Activity(u" BIKING"_qs, u"2025-06-01T06:16:00Z"_qs, QString())
                   + Activity(u"Swimming"_qs, u"2025-06-01T06:16:00Z"_qs, Lap(u"2025-06-01T06:16:00Z"_qs, 1000, 3000))
                   + u"</NextSport></MultiSportSession></Activities>"_qs)
            << QStringList{u"other|2025-06-01T06:00:00Z|-|1500|900|900"_qs, u"cycling|2025-06-01T06:16:00Z|-|0|0|0"_qs,
                           u"swimming|2025-06-01T06:16:00Z|-|3000|1000|1000"_qs};
        QTest::newRow("no Id: the first lap's start")
            << Tcx(u"<Activities>"_qs
                   + Activity(u"Biking"_qs, QString(),
                              Lap(u"2025-07-01T10:00:00Z"_qs, 100, 500, {u"2025-07-01T10:02:00Z"_qs})
                                  + Lap(u"2025-07-01T10:05:00Z"_qs, 100, 500))
                   + u"</Activities>"_qs)
            << QStringList{u"cycling|2025-07-01T10:00:00Z|-|1000|200|120"_qs};
        QTest::newRow("courses and workouts are no activities")
            << Tcx(u"<Courses><Course><Name>c</Name>"_qs + Lap(u"2025-07-01T10:00:00Z"_qs, 100, 500)
                   + u"</Course></Courses>"_qs)
            << QStringList{};
    }
    void tcxActivities()
    {
        QFETCH(QByteArray, tcx);
        QFETCH(QStringList, sessions);
        const DeviceFile read = DeviceFiles::ReadTcx(tcx);
        QCOMPARE(read.fault, QString());
        QStringList got;
        for (const DeviceSession& session : read.sessions)
            got.append(u"%1|%2|%3|%4|%5|%6"_qs.arg(
                session.sport, session.start.toString(Qt::ISODate),
                session.utcOffsetSeconds ? QString::number(*session.utcOffsetSeconds) : u"-"_qs,
                QString::number(session.distanceMetres), QString::number(session.timerSeconds),
                QString::number(session.elapsedSeconds)));
        QCOMPARE(got, sessions);
    }

    // A damaged file gives its place and reason and no session.
    void faults_data()
    {
        QTest::addColumn<bool>("tcx");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fault");

        QTest::newRow("GPX cut") << false << QByteArray("<gpx>\n<trk><trkseg>\n<trkpt lat=\"1\" lon=\"2\">")
                                 << u"file danneggiato: riga 3, file troncato"_qs;
        QTest::newRow("not a GPX") << false << QByteArray("<?xml version=\"1.0\"?>\n<kml></kml>")
                                   << u"file danneggiato: riga 2, non è un file GPX"_qs;
        QTest::newRow("GPX bad time")
            << false
            << GpxAround(u"<trk><trkseg>"_qs + Point(45, 11, u"2025-05-01T10:00:00Z"_qs) + u"\n"_qs
                         + Point(45, 11, u"1 maggio"_qs) + u"</trkseg></trk>"_qs)
            << u"file danneggiato: riga 4, ora non valida: «1 maggio»"_qs;
        QTest::newRow("GPX latitude out of range")
            << false << GpxAround(u"<trk><trkseg>"_qs + Point(91, 11, u"2025-05-01T10:00:00Z"_qs) + u"</trkseg></trk>"_qs)
            << u"file danneggiato: riga 3, coordinate non valide"_qs;
        QTest::newRow("GPX after the root") << false << GpxAround(QString()) + "\n<gpx/>"
                                            << u"file danneggiato: riga 5, XML non valido"_qs;
        QTest::newRow("not a TCX") << true << GpxAround(QString())
                                   << u"file danneggiato: riga 2, non è un file TCX"_qs;
        QTest::newRow("TCX bad distance")
            << true << Tcx(Activity(u"Biking"_qs, u"2025-05-01T08:00:00Z"_qs, Lap(u"2025-05-01T08:00:00Z"_qs, 10, -5)))
            << u"file danneggiato: riga 3, numero non valido: «-5»"_qs;
        QTest::newRow("TCX activity without a start")
            << true
            << Tcx(u"\n"_qs
                   + Activity(u"Biking"_qs, QString(), u"<Lap><TotalTimeSeconds>1</TotalTimeSeconds></Lap>"_qs))
            << u"file danneggiato: riga 4, attività senza ora di inizio"_qs;
    }
    void faults()
    {
        QFETCH(bool, tcx);
        QFETCH(QByteArray, bytes);
        const DeviceFile read = tcx ? DeviceFiles::ReadTcx(bytes) : DeviceFiles::ReadGpx(bytes);
        QTEST(read.fault, "fault");
        QVERIFY(read.sessions.empty());
    }

    // Wherever a file is cut, it is damaged and nothing of it is read.
    void everyCutIsAFault_data()
    {
        QTest::addColumn<bool>("tcx");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("GPX") << false
                             << Gpx({Recorded(0, 3, [](double t) { return Fix{t, t * 20, 0}; })},
                                    Utc(u"2025-05-01T08:00:00Z"_qs));
        QTest::newRow("TCX") << true
                             << Tcx(Activity(u"Biking"_qs, u"2025-05-01T08:00:00Z"_qs,
                                             Lap(u"2025-05-01T08:00:00Z"_qs, 10, 50, {u"2025-05-01T08:00:10Z"_qs})));
    }
    void everyCutIsAFault()
    {
        QFETCH(bool, tcx);
        QFETCH(QByteArray, bytes);
        const auto read = [tcx](QByteArrayView bytes) {
            return tcx ? DeviceFiles::ReadTcx(bytes) : DeviceFiles::ReadGpx(bytes);
        };
        QCOMPARE(read(bytes).fault, QString());
        QCOMPARE(read(bytes).sessions.size(), size_t(1));
        for (qsizetype length = 0; length < bytes.size(); ++length) {
            const DeviceFile cut = read(QByteArrayView(bytes).first(length));
            QVERIFY2(cut.fault.startsWith(u"file danneggiato: riga "_qs), qPrintable(QString::number(length)));
            QVERIFY(cut.sessions.empty());
        }
    }
};

QTEST_GUILESS_MAIN(TestGpsXml)
#include "test_gps_xml.moc"
