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

QByteArray SampleBytes(const QString& name)
{
    QFile file(QStringLiteral(KV_GPS_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

QDateTime Utc(const QString& iso) { return QDateTime::fromString(iso, Qt::ISODateWithMs).toUTC(); }

// A place on the ground, as metres east and north of a fixed origin, at seconds after the track's first moment.
struct Fix { double seconds, east, north; };
using Track = std::vector<std::vector<Fix>>; // segments

constexpr double OriginLatitude = 45.5;
constexpr double OriginLongitude = 11.25;
constexpr double MetresPerDegree = 6371008.8 * std::numbers::pi / 180.0;

// One fix every `step` seconds from `from` to `to`, where `where` says.
std::vector<Fix> Recorded(int from, int to, const std::function<Fix(double)>& where, int step = 1)
{
    std::vector<Fix> fixes;
    for (int t = from; t <= to; t += step)
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

// A GPX file of one track per segment; `prefix` names the GPX namespace's prefix ("" for the default).
QByteArray Gpx(const Track& track, const QDateTime& start, const QString& ns = GpxNamespace11,
               const QString& prefix = QString(), double originLongitude = OriginLongitude)
{
    const QString p = prefix.isEmpty() ? QString() : prefix + u':';
    const QString xmlns = prefix.isEmpty() ? u"xmlns"_qs : u"xmlns:"_qs + prefix;
    const double eastPerDegree = MetresPerDegree * std::cos(OriginLatitude * std::numbers::pi / 180);
    QString text = u"<?xml version=\"1.0\"?>\n<%1gpx version=\"1.1\" %2=\"%3\">\n<%1metadata><%1time>%4</%1time>"
                   "</%1metadata>\n"_qs.arg(p, xmlns, ns, start.addDays(-3).toString(Qt::ISODate));
    for (const auto& segment : track) {
        text += u"<%1trk><%1trkseg>\n"_qs.arg(p);
        for (const Fix& fix : segment)
            text += u"<%1trkpt lat=\"%2\" lon=\"%3\"><%1ele>100</%1ele><%1time>%4</%1time></%1trkpt>\n"_qs.arg(
                p, QString::number(OriginLatitude + fix.north / MetresPerDegree, 'f', 8),
                QString::number(std::remainder(originLongitude + fix.east / eastPerDegree, 360), 'f', 8),
                start.addMSecs(qint64(fix.seconds * 1000)).toString(Qt::ISODate));
        text += u"</%1trkseg></%1trk>\n"_qs.arg(p);
    }
    return (text + u"</%1gpx>"_qs.arg(p)).toUtf8();
}

// A GPX 1.1 file around the given track's body.
QByteArray GpxAround(const QString& body)
{
    return u"<?xml version=\"1.0\"?>\n<gpx xmlns=\"%1\" version=\"1.1\">\n%2\n</gpx>"_qs.arg(GpxNamespace11, body)
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
using Range = QPair<double, double>;

class TestGpsXml : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A zone with daylight saving, whose gap one of the times without a zone falls in.
        qputenv("TZ", "Europe/Rome");
    }

    // One session of each GPX: start and elapsed time exact from its points,
    // its length and moving time within a range: real files' within what the
    // jitter rule leaves out of the straight sum of every step, made tracks'
    // around what they truly are.
    void gpx_data()
    {
        QTest::addColumn<QByteArray>("gpx");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<Range>("metres");
        QTest::addColumn<Range>("moving");
        QTest::addColumn<std::optional<int>>("offset");
        QTest::addColumn<QString>("sport");
        const auto row = [](const char* name, const QByteArray& gpx, const QDateTime& start, double elapsed,
                            Range metres, Range moving, std::optional<int> offset = {}, const QString& sport = {}) {
            QTest::newRow(name) << gpx << start << elapsed << metres << moving << offset << sport;
        };
        // Up to every step summed, at most this share of it left out as jitter: a walk logged
        // every 10 to 70 s loses 1.6 %, a few metres of shuffling at the end of 78 m 9 %.
        row("eight tracks, one session, empty segment, metadata time", SampleBytes(u"cerknicko-jezero.gpx"_qs),
            Utc(u"2010-08-05T14:23:59Z"_qs), 7190, {4580.1 * 0.97, 4580.2}, {0, 7190});
        row("empty segment after the points", SampleBytes(u"track-with-empty-segment.gpx"_qs),
            Utc(u"2013-07-06T17:26:26Z"_qs), 76, {85.9 * 0.90, 86.0}, {0, 76});
        row("GPX 1.0, one point without a zone, routes and waypoints", SampleBytes(u"gpx1.0_with_all_fields.gpx"_qs),
            Utc(u"2013-01-01T12:00:04Z"_qs), 0, {0, 0.1}, {0, 0});

        // Made tracks whose true length and moving time are known. A few seconds after the last
        // counted point may go unmeasured at each end of a stop or segment.
        const QDateTime start = Utc(u"2025-06-01T07:00:00Z"_qs);
        const auto made = [&](const char* name, const Track& track, double distance, double tolerance, double moving,
                              double elapsed, double originLongitude = OriginLongitude) {
            row(name, Gpx(track, start, GpxNamespace11, QString(), originLongitude), start, elapsed,
                {distance - tolerance, distance + tolerance}, {moving - 10, moving + 10});
        };
        const auto east = [](double speed, double from = 0, double at = 0) {
            return [=](double t) { return Fix{t, from + (t - at) * speed, 0}; };
        };
        // Round a circle of 300 m radius.
        const auto loop = [](double v) {
            return [=](double t) { return Fix{t, 300 * std::sin(t * v / 300), 300 - 300 * std::cos(t * v / 300)}; };
        };
        made("standing still ten minutes, 5 m jitter",
             WithNoise({Recorded(0, 600, [](double t) { return Fix{t, 0, 0}; })}, 5), 0, 10, 0, 600);
        made("a loop at 8 m/s, 5 m jitter", WithNoise({Recorded(0, 1472, loop(8))}, 5), 8 * 1472, 0.01 * 8 * 1472, 1472,
             1472);
        made("a loop at 4 m/s, 5 m jitter", WithNoise({Recorded(0, 1472, loop(4))}, 5), 4 * 1472, 0.01 * 4 * 1472, 1472,
             1472);
        made("a loop at 8 m/s, one fix in ten seconds", {Recorded(0, 1470, loop(8), 10)}, 8 * 1470, 0.01 * 8 * 1470,
             1470, 1470);
        const auto stopping = [](double t) { return Fix{t, 8 * std::min(t, 300.0) + 8 * std::max(0.0, t - 600), 0}; };
        made("five minutes' stop in the middle, 5 m jitter", WithNoise({Recorded(0, 900, stopping)}, 5), 4800, 48, 600,
             900);
        // The second segment starts 600 m on: the way between is neither distance nor moving time.
        made("a pause between two segments, written last first",
             {Recorded(900, 1200, east(8, 3000, 900)), Recorded(0, 300, east(8))}, 4800, 48, 600, 1200);
        made("across the 180th meridian, 5 m jitter", WithNoise({Recorded(0, 300, east(8, -1200))}, 5), 2400, 24,
             300, 300, 180);

        // What a GPX names its times and elements by, across versions and writers.
        const Track track = {Recorded(0, 60, east(5))};
        const QDateTime late = Utc(u"2025-03-30T23:59:30Z"_qs);
        const Range some = {100, 1e6};
        row("prefixed namespace", Gpx(track, late, GpxNamespace11, u"g"_qs), late, 60, some, {0, 60});
        row("no namespace", Gpx(track, late, QString()), late, 60, some, {0, 60});
        // Two points 111 m apart at the times as the file spells them.
        const auto typed = [](const QString& type, const QString& from, const QString& to) {
            return GpxAround(u"<trk><type>"_qs + type + u"</type><trkseg>"_qs + Point(45, 11, from)
                             + Point(45.001, 11, to) + u"</trkseg></trk>"_qs);
        };
        row("offset east of UTC, past midnight locally",
            typed(u"road_biking"_qs, u"2025-05-01T00:10:00+02:00"_qs, u"2025-05-01T00:20:30.250+02:00"_qs),
            Utc(u"2025-04-30T22:10:00Z"_qs), 630.25, some, {0, 630.25}, 7200, u"cycling"_qs);
        row("offset west of UTC, before midnight locally",
            typed(u"Running"_qs, u"2025-04-30T23:50:00-05:00"_qs, u"2025-05-01T05:00:00Z"_qs),
            Utc(u"2025-05-01T04:50:00Z"_qs), 600, some, {0, 600}, -18000, u"running"_qs);
        row("no zone is UTC, fractions, a type naming no sport",
            typed(u"1"_qs, u" 2025-03-30T02:30:00.5 "_qs, u"2025-03-30T02:31:00.75"_qs),
            Utc(u"2025-03-30T02:30:00.500Z"_qs), 60.25, some, {0, 60.25});
        // A time in another namespace is an extension's, not the point's.
        row("untimed points and another namespace's time left out",
            GpxAround(u"<trk><trkseg><trkpt lat=\"44\" lon=\"10\">"
                      "<x:time xmlns:x=\"urn:x\">2025-01-01T00:00:00Z</x:time></trkpt>"_qs
                      + Point(45, 11, u"2025-05-01T10:00:00Z"_qs) + Point(45.001, 11, u"2025-05-01T10:05:00Z"_qs)
                      + u"<trkpt lat=\"46\" lon=\"12\"/></trkseg></trk>"_qs),
            Utc(u"2025-05-01T10:00:00Z"_qs), 300, some, {0, 300});
    }
    void gpx()
    {
        QFETCH(QByteArray, gpx);
        QFETCH(Range, metres);
        QFETCH(Range, moving);
        const DeviceFile read = DeviceFiles::ReadGpx(gpx);
        QCOMPARE(read.fault, QString());
        QCOMPARE(read.sessions.size(), size_t(1));
        const DeviceSession& session = read.sessions.front();
        QTEST(session.start, "start");
        QCOMPARE(session.start.timeSpec(), Qt::UTC);
        QTEST(session.elapsedSeconds, "elapsed");
        QTEST(session.utcOffsetSeconds, "offset");
        QTEST(session.sport, "sport");
        QVERIFY2(session.distanceMetres >= metres.first && session.distanceMetres <= metres.second,
                 qPrintable(QString::number(session.distanceMetres)));
        QVERIFY2(session.timerSeconds >= moving.first && session.timerSeconds <= moving.second,
                 qPrintable(QString::number(session.timerSeconds)));
    }

    // Activities wherever a TCX puts them, and what each of them sums. A
    // damaged file gives its place and reason and no session; one that holds
    // no ride no fault.
    void sessionsOrFault_data()
    {
        QTest::addColumn<bool>("tcx");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("sessions"); // sport|start|offset|distance|timer|elapsed
        QTest::addColumn<QString>("fault");
        const auto tcx = [](const char* name, const QByteArray& bytes, const QStringList& sessions) {
            QTest::newRow(name) << true << bytes << sessions << QString();
        };
        const auto noSession = [](const char* name, bool tcx, const QByteArray& bytes, const QString& fault = {}) {
            QTest::newRow(name) << tcx << bytes << QStringList() << fault;
        };

        // Totals are the file's own, so they come out exactly.
        tcx("other sport, two laps, milliseconds", SampleBytes(u"sup_activity_1.tcx"_qs),
            {u"other|2022-07-16T16:08:25Z|-|1157.51|1112.335|1112"_qs});
        tcx("two activities",
            Tcx(u"<Activities>"_qs
                + Activity(u"Biking"_qs, u"2025-05-01T08:00:00Z"_qs,
                           Lap(u"2025-05-01T08:00:00Z"_qs, 1800, 15000.5,
                               {u"2025-05-01T08:00:00Z"_qs, u"2025-05-01T08:31:00Z"_qs})
                               + Lap(u"2025-05-01T08:31:00Z"_qs, 1200.25, 10000,
                                     {u"2025-05-01T08:31:00Z"_qs, u"2025-05-01T09:02:30Z"_qs}))
                + Activity(u"Running"_qs, u"2025-05-01T17:00:00+02:00"_qs, Lap(u"2025-05-01T15:00:00Z"_qs, 600, 2000))
                + u"</Activities>"_qs),
            {u"cycling|2025-05-01T08:00:00Z|-|25000.5|3000.25|3750"_qs,
             u"running|2025-05-01T15:00:00Z|7200|2000|600|600"_qs});
        tcx("multisport session, transition, sports as written",
            Tcx(u"<Activities><MultiSportSession><Id>2025-06-01T06:00:00Z</Id><FirstSport>"_qs
                + Activity(u"Other"_qs, u"2025-06-01T06:00:00Z"_qs, Lap(u"2025-06-01T06:00:00Z"_qs, 900, 1500))
                + u"</FirstSport><NextSport><Transition><TotalTimeSeconds>60</TotalTimeSeconds>"
                  "<DistanceMeters>10</DistanceMeters></Transition>"_qs
                + Activity(u" BIKING"_qs, u"2025-06-01T06:16:00Z"_qs, QString())
                + Activity(u"Swimming"_qs, u"2025-06-01T06:16:00Z"_qs, Lap(u"2025-06-01T06:16:00Z"_qs, 1000, 3000))
                + u"</NextSport></MultiSportSession></Activities>"_qs),
            {u"other|2025-06-01T06:00:00Z|-|1500|900|900"_qs, u"cycling|2025-06-01T06:16:00Z|-|0|0|0"_qs,
             u"swimming|2025-06-01T06:16:00Z|-|3000|1000|1000"_qs});
        tcx("no Id: the first lap's start",
            Tcx(u"<Activities>"_qs
                + Activity(u"Biking"_qs, QString(),
                           Lap(u"2025-07-01T10:00:00Z"_qs, 100, 500, {u"2025-07-01T10:02:00Z"_qs})
                               + Lap(u"2025-07-01T10:05:00Z"_qs, 100, 500))
                + u"</Activities>"_qs),
            {u"cycling|2025-07-01T10:00:00Z|-|1000|200|120"_qs});

        noSession("waypoints only, byte-order mark", false, SampleBytes(u"unicode_with_bom.gpx"_qs));
        noSession("timed route points", false,
                  GpxAround(u"<rte><rtept lat=\"45\" lon=\"11\"><time>2025-05-01T10:00:00Z</time></rtept></rte>"_qs));
        noSession("untimed track points", false,
                  GpxAround(u"<trk><trkseg><trkpt lat=\"45\" lon=\"11\"/><trkpt lat=\"45.1\" lon=\"11\"/>"
                            "</trkseg></trk>"_qs));
        noSession("empty tracks and segments", false,
                  GpxAround(u"<trk/><trk><name>x</name><trkseg/><trkseg></trkseg></trk>"_qs));
        noSession("TCX courses and workouts are no activities", true,
                  Tcx(u"<Courses><Course><Name>c</Name>"_qs + Lap(u"2025-07-01T10:00:00Z"_qs, 100, 500)
                      + u"</Course></Courses>"_qs));
        noSession("GPX cut", false, "<gpx>\n<trk><trkseg>\n<trkpt lat=\"1\" lon=\"2\">",
                  u"file danneggiato: riga 3, file troncato"_qs);
        noSession("not a GPX", false, "<?xml version=\"1.0\"?>\n<kml></kml>",
                  u"file danneggiato: riga 2, non è un file GPX"_qs);
        noSession("GPX bad time", false,
                  GpxAround(u"<trk><trkseg>"_qs + Point(45, 11, u"2025-05-01T10:00:00Z"_qs) + u"\n"_qs
                            + Point(45, 11, u"1 maggio"_qs) + u"</trkseg></trk>"_qs),
                  u"file danneggiato: riga 4, ora non valida: «1 maggio»"_qs);
        noSession("GPX latitude out of range", false,
                  GpxAround(u"<trk><trkseg>"_qs + Point(91, 11, u"2025-05-01T10:00:00Z"_qs) + u"</trkseg></trk>"_qs),
                  u"file danneggiato: riga 3, coordinate non valide"_qs);
        noSession("GPX after the root", false, GpxAround(QString()) + "\n<gpx/>",
                  u"file danneggiato: riga 5, XML non valido"_qs);
        noSession("not a TCX", true, GpxAround(QString()), u"file danneggiato: riga 2, non è un file TCX"_qs);
        noSession("TCX bad distance", true,
                  Tcx(Activity(u"Biking"_qs, u"2025-05-01T08:00:00Z"_qs, Lap(u"2025-05-01T08:00:00Z"_qs, 10, -5))),
                  u"file danneggiato: riga 3, numero non valido: «-5»"_qs);
        noSession("TCX activity without a start", true,
                  Tcx(u"\n"_qs
                      + Activity(u"Biking"_qs, QString(), u"<Lap><TotalTimeSeconds>1</TotalTimeSeconds></Lap>"_qs)),
                  u"file danneggiato: riga 4, attività senza ora di inizio"_qs);
    }
    void sessionsOrFault()
    {
        QFETCH(bool, tcx);
        QFETCH(QByteArray, bytes);
        const DeviceFile read = tcx ? DeviceFiles::ReadTcx(bytes) : DeviceFiles::ReadGpx(bytes);
        QTEST(read.fault, "fault");
        QStringList got;
        for (const DeviceSession& session : read.sessions) {
            QCOMPARE(session.subSport, QString());
            got.append(u"%1|%2|%3|%4|%5|%6"_qs.arg(
                session.sport, session.start.toString(Qt::ISODate),
                session.utcOffsetSeconds ? QString::number(*session.utcOffsetSeconds) : u"-"_qs,
                QString::number(session.distanceMetres, 'g', 10), QString::number(session.timerSeconds, 'g', 10),
                QString::number(session.elapsedSeconds, 'g', 10)));
        }
        QTEST(got, "sessions");
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
        const auto read = tcx ? DeviceFiles::ReadTcx : DeviceFiles::ReadGpx;
        QCOMPARE(read(bytes).sessions.size(), size_t(1));
        for (qsizetype length = 0; length < bytes.size(); ++length) {
            const DeviceFile cut = read(QByteArrayView(bytes).first(length));
            QVERIFY2(cut.fault.startsWith(u"file danneggiato: riga "_qs) && cut.sessions.empty(),
                     qPrintable(QString::number(length)));
        }
    }
};

QTEST_GUILESS_MAIN(TestGpsXml)
#include "test_gps_xml.moc"
