#include "data/RideLog.h"
#include "gps/GpsImport.h"
#include "support/Failure.h"
#include "support/ItalianLocale.h"
#include "support/KilledChild.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"
#include "tools/Backup.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>

using GpsImport::Candidate;
using GpsImport::State;

namespace {

const QString ChildSwitch = QStringLiteral("--gps-import-child");
const QString Template = QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");
const QDate Today(2024, 6, 30);
constexpr int NoOffset = INT_MIN;
// Rides, their spans, and whether the table of spans exists.
const QString Figures = QStringLiteral(
    "SELECT (SELECT count(*) || ' ' || total(KM) FROM Uscite) || ' ' || "
    "(SELECT count(*) FROM sqlite_master WHERE name = 'UsciteImportate')");
const QString SpanCount = QStringLiteral("SELECT count(*) FROM UsciteImportate");

QList<Rides::RideType> LogTypes()
{
    return {{0, u"Strada"_qs}, {1, u"MTB"_qs}, {2, u"Gravel"_qs}, {3, u"Città"_qs}, {4, u"Rulli"_qs}, {5, u"Gara"_qs}};
}

QDateTime Utc(const QString& text)
{
    return QDateTime::fromString(text, Qt::ISODate).toUTC();
}

DeviceSession Session(const QDateTime& start, double km, double minutes, const QString& sport = u"cycling"_qs)
{
    DeviceSession session;
    session.start = start;
    session.sport = sport;
    session.distanceMetres = km * 1000.0;
    session.timerSeconds = minutes * 60.0;
    session.elapsedSeconds = minutes * 60.0;
    return session;
}

// "08:00+120/50 running": on 1 May 2024 (UTC) at 08:00, 120 minutes, 50 km, the sport.
DeviceSession SessionOf(const QString& text)
{
    const QStringList parts = text.split(u' ');
    const QStringList time = parts[0].split(QRegularExpression(u"[+/]"_qs));
    return Session(Utc(u"2024-05-01T"_qs + time[0] + u":00Z"_qs), time[2].toDouble(), time[1].toDouble(),
                   parts.value(1, u"cycling"_qs));
}

// "N+" for a new ticked session, "A-" already present unticked... in the list's order.
QString Code(const std::vector<Candidate>& candidates)
{
    QStringList codes;
    for (const Candidate& c : candidates) {
        const char* letters = "NAMROU";
        codes.append(QChar(QLatin1Char(letters[int(c.state)])) + (c.ticked ? u'+' : u'-'));
    }
    return codes.join(u' ');
}

std::vector<DeviceFile> FilesOf(const QStringList& sessions)
{
    std::vector<DeviceFile> files;
    for (int i = 0; i < sessions.size(); ++i)
        files.push_back({QStringLiteral("/uscite/file%1.fit").arg(i), {SessionOf(sessions[i])}, {}});
    return files;
}

// One file's session as a row gives it; the defaults make an ordinary ride.
struct Given
{
    QString start = u"2024-05-01T10:00:00Z"_qs; // empty: unknown
    int offset = 7200;                          // the file's, seconds; NoOffset: none recorded
    QString zone = u"Europe/Rome"_qs;
    QString sport = u"cycling"_qs;
    QString subSport = {};
    double metres = 50000;
    double timer = 7200;
    QString file = u"/uscite/Giro del lago.fit"_qs;
    QStringList types = {}; // the log's, keys from 10 up; none: LogTypes()
};

}

Q_DECLARE_METATYPE(Given)

class TestGpsImport : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    QString Stored(const QString& sql) const { return TestDatabase::Scalar(m_path, sql); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(u"kilovento.mdb"_qs);
        QFile::remove(m_path);
        QCOMPARE(TestDatabase::Create(m_path), QString());
    }

    void sessionBecomesRide_data()
    {
        QTest::addColumn<Given>("given");
        QTest::addColumn<QString>("ride"); // day|km|seconds|type|Code|reason|description

        const QString la = u"America/Los_Angeles"_qs;
        const QString late = u"2024-05-01T22:30:00Z"_qs, may1 = u"2024-05-01|50|7200|0|N+|"_qs,
                      may2 = u"2024-05-02|50|7200|0|N+|"_qs;
        const QString range = u"|50|7200|0|R-|data fuori dall'intervallo consentito (1990 - oggi)"_qs;
        auto row = [](const char* name, const Given& given, const QString& ride,
                      const QString& description = u"Giro del lago"_qs) {
            QTest::newRow(name) << given << ride + u'|' + description;
        };

        // The day: the file's offset where it is sane, else the zone's at that instant.
        row("file offset +2 h past midnight", {.start = late, .zone = la}, may2);
        row("offset off the quarter hour: Rome's", {.start = late, .offset = -10801}, may2);
        row("offset over 14 h: Los Angeles'", {.offset = 15 * 3600, .zone = la}, may1);
        row("offset of 14 h exactly", {.start = u"2024-05-01T10:30:00Z"_qs, .offset = 14 * 3600}, may2);
        row("offset +12:45", {.start = u"2024-05-01T12:00:00Z"_qs, .offset = 12 * 3600 + 2700, .zone = la}, may2);
        row("offset -10 h before midnight UTC", {.start = u"2024-05-02T08:00:00Z"_qs, .offset = -36000}, may1);
        row("no offset: Los Angeles, evening", {.start = u"2024-05-02T05:00:00Z"_qs, .offset = NoOffset, .zone = la},
            may1);
        row("no offset: Rome in winter, +1 h then", {.start = u"2024-01-15T22:30:00Z"_qs, .offset = NoOffset},
            u"2024-01-15|50|7200|0|N+|"_qs);
        row("no offset: Rome in summer, +2 h then", {.start = u"2024-06-15T22:30:00Z"_qs, .offset = NoOffset},
            u"2024-06-16|50|7200|0|N+|"_qs);

        // Distance to 10 m, timer time (not elapsed) to the second.
        row("42195 m is 42.20 km", {.metres = 42195, .timer = 7200.4}, u"2024-05-01|42.2|7200|0|N+|"_qs);
        row("42194.9 m is 42.19 km", {.metres = 42194.9, .timer = 7199.5}, u"2024-05-01|42.19|7200|0|N+|"_qs);
        row("999004 m is 999 km", {.metres = 999004, .timer = 86399.4}, u"2024-05-01|999|86399|0|N+|"_qs);

        // The type by sub-sport, by name where the log has it, else the first.
        row("road", {.subSport = u"road"_qs}, may1);
        row("indoor", {.subSport = u"indoor_cycling"_qs}, u"2024-05-01|50|7200|4|N+|"_qs);
        row("trainer, e-bike", {.sport = u"e_biking"_qs, .subSport = u"trainer"_qs}, u"2024-05-01|50|7200|4|N+|"_qs);
        row("GPX: no sport, no sub-sport", {.sport = QString()}, may1);
        row("type name in another case", {.subSport = u"indoor_cycling"_qs, .types = {u"Gara"_qs, u"rulli"_qs}},
            u"2024-05-01|50|7200|11|N+|"_qs);
        row("no type of that name: the first", {.subSport = u"mountain"_qs, .types = {u"Gara"_qs, u"Strada"_qs}},
            u"2024-05-01|50|7200|10|N+|"_qs);
        row("unnamed sub-sport: the first", {.subSport = u"track_cycling"_qs, .types = {u"Gara"_qs, u"Strada"_qs}},
            u"2024-05-01|50|7200|10|N+|"_qs);

        // Other sports: listed by their Italian name, unticked.
        row("running", {.sport = u"running"_qs}, u"2024-05-01|50|7200|0|O-|corsa"_qs);
        row("generic", {.sport = u"generic"_qs}, u"2024-05-01|50|7200|0|O-|generico"_qs);
        row("a sport with no Italian name", {.sport = u"kitesurfing"_qs}, u"2024-05-01|50|7200|0|O-|kitesurfing"_qs);

        // The log's limits.
        row("start unknown", {.start = QString(), .offset = NoOffset}, u"|50|7200|0|R-|data sconosciuta"_qs);
        row("31 December 1989, local", {.start = u"1989-12-31T22:30:00Z"_qs, .offset = 0}, u"1989-12-31"_qs + range);
        row("1 January 1990, local", {.start = u"1989-12-31T23:30:00Z"_qs, .offset = 3600},
            u"1990-01-01|50|7200|0|N+|"_qs);
        row("today, local", {.start = u"2024-06-30T21:30:00Z"_qs, .offset = NoOffset}, u"2024-06-30|50|7200|0|N+|"_qs);
        row("tomorrow, local", {.start = u"2024-06-30T22:30:00Z"_qs, .offset = NoOffset}, u"2024-07-01"_qs + range);
        row("999.01 km", {.metres = 999005}, u"2024-05-01|999.01|7200|0|R-|più di 999 km"_qs);
        row("24 hours once rounded", {.metres = 1000, .timer = 86399.5},
            u"2024-05-01|1|86400|0|R-|durata di 24 ore o più"_qs);
        row("no distance and no time", {.metres = 4, .timer = 0.4},
            u"2024-05-01|0|0|0|R-|uscita vuota: 0 km in 0 secondi"_qs);

        // The description: the name without its extensions, as the log holds descriptions.
        row("compressed", {.file = u"/uscite/Giro del lago.FIT.gz"_qs}, may1);
        row("dots in the name", {.file = u"/uscite/2024.05.01 giro.gpx"_qs}, may1, u"2024.05.01 giro"_qs);
        row("no extension", {.file = u"/uscite/giro"_qs}, may1, u"giro"_qs);
        row("characters a description may not hold", {.file = u"/uscite/100% 'giro' *.tcx"_qs}, may1, u"100 giro"_qs);
        row("cut to 255", {.file = u"/uscite/"_qs + QString(300, u'x') + u".fit"_qs}, may1, QString(255, u'x'));
    }

    void sessionBecomesRide()
    {
        QFETCH(Given, given);
        QFETCH(QString, ride);
        DeviceSession session;
        session.start = given.start.isEmpty() ? QDateTime() : Utc(given.start);
        if (given.offset != NoOffset)
            session.utcOffsetSeconds = given.offset;
        session.sport = given.sport;
        session.subSport = given.subSport;
        session.distanceMetres = given.metres;
        session.timerSeconds = given.timer;
        session.elapsedSeconds = given.timer + 600;
        const QTimeZone zone(given.zone.toUtf8());
        QVERIFY(zone.isValid());
        QList<Rides::RideType> types = given.types.isEmpty() ? LogTypes() : QList<Rides::RideType>();
        for (int k = 0; k < given.types.size(); ++k)
            types.append({10 + k, given.types[k]});

        const auto candidates = GpsImport::Plan({{given.file, {session}, {}}}, types, {}, Today, zone);
        QCOMPARE(candidates.size(), size_t(1));
        const Candidate& c = candidates.front();
        QCOMPARE(QStringList({c.date.toString(Qt::ISODate), QString::number(c.km), QString::number(c.seconds),
                              QString::number(c.type), Code(candidates), c.reason, c.description})
                     .join(u'|'),
                 ride);
        QCOMPARE(c.Tickable(), c.state != State::OutsideRules);
    }

    void everySessionOfEveryFileInOrder()
    {
        const DeviceSession morning = SessionOf(u"08:00+60/30"_qs), evening = SessionOf(u"18:00+40/20"_qs);
        const std::vector<DeviceFile> files = {
            {u"/u/due.fit"_qs, {morning, evening}, {}},
            {u"/u/rotto.fit"_qs, {}, u"file danneggiato: CRC non valido"_qs},
            {u"/u/vuoto.gpx"_qs, {}, {}},
            {u"/u/sera.tcx"_qs, {evening}, {}},
        };
        const auto candidates = GpsImport::Plan(files, LogTypes(), {}, Today, QTimeZone::utc());
        QCOMPARE(Code(candidates), u"N+ N+ U- U- A-"_qs);
        QStringList seen;
        for (const Candidate& c : candidates)
            seen.append(QFileInfo(c.file).fileName() + u' ' + c.reason + u' ' + QString::number(c.km));
        QCOMPARE(seen, QStringList({u"due.fit  30"_qs, u"due.fit  20"_qs,
                                    u"rotto.fit file danneggiato: CRC non valido 0"_qs,
                                    u"vuoto.gpx nessuna uscita nel file 0"_qs, u"sera.tcx  20"_qs}));
        QCOMPARE(GpsImport::DaysSpanned(files), std::make_pair(QDate(2024, 4, 30), QDate(2024, 5, 2)));
        QCOMPARE(GpsImport::DaysSpanned({files[1], files[2]}), std::make_pair(QDate(), QDate()));
    }

    void duplicates_data()
    {
        QTest::addColumn<QStringList>("sessions"); // as SessionOf reads them, one file each
        QTest::addColumn<QStringList>("spans");    // "09:00+60", remembered on 1 May 2024 (UTC)
        QTest::addColumn<QStringList>("rides");    // "2024-05-01 97", " r" when remembered
        QTest::addColumn<QList<int>>("toggles");   // the rider's clicks, each followed by Reclassify
        QTest::addColumn<QString>("states");       // as Code gives them
        auto row = [](const char* name, const QStringList& sessions, const QStringList& spans,
                      const QStringList& rides, const QList<int>& toggles, const QString& states) {
            QTest::newRow(name) << sessions << spans << rides << toggles << states;
        };

        const QString ride = u"08:00+120/100"_qs;
        row("overlaps a remembered span", {ride}, {u"09:00+60"_qs}, {}, {}, u"A-"_qs);
        row("ends as a remembered span begins", {u"10:00+60/50"_qs}, {u"09:00+60"_qs}, {}, {}, u"N+"_qs);
        row("other sport over a remembered span", {u"08:00+60/10 running"_qs}, {u"08:30+60"_qs}, {}, {}, u"A-"_qs);
        row("second device, a minute apart", {ride, u"08:01+118/99.4"_qs}, {}, {}, {}, u"N+ A-"_qs);
        row("same day, apart", {u"08:00+60/30"_qs, u"15:00+60/30"_qs}, {}, {}, {}, u"N+ N+"_qs);
        row("ride that day 3 % shorter", {ride}, {}, {u"2024-05-01 97"_qs}, {}, u"M-"_qs);
        row("ride that day 3 % longer", {ride}, {}, {u"2024-05-01 103"_qs}, {}, u"M-"_qs);
        row("ride that day 3.1 % shorter", {ride}, {}, {u"2024-05-01 96.9"_qs}, {}, u"N+"_qs);
        row("ride that day 3.1 % longer", {ride}, {}, {u"2024-05-01 103.1"_qs}, {}, u"N+"_qs);
        row("same km the day before", {ride}, {}, {u"2024-04-30 100"_qs}, {}, u"N+"_qs);
        row("remembered ride that day, elsewhere in time", {ride}, {u"18:00+60"_qs}, {u"2024-05-01 100 r"_qs}, {},
            u"N+"_qs);
        row("an unticked session marks none, a ticked one marks it", {ride, u"08:30+60/40"_qs}, {},
            {u"2024-05-01 100"_qs}, {}, u"A- N+"_qs);
        row("overlaps one already present, not a ticked one", {u"08:00+60/30"_qs, u"08:50+60/30"_qs, u"09:55+60/30"_qs},
            {}, {}, {}, u"N+ A- N+"_qs);
        row("outside the rules stays so", {ride, u"08:10+60/1200"_qs}, {}, {}, {}, u"N+ R-"_qs);
        row("untick frees the other, unticked", {ride, ride}, {}, {}, {0}, u"N- N-"_qs);
        row("untick, tick the other: the first is present", {ride, ride}, {}, {}, {0, 1}, u"A- N+"_qs);
        row("tick the covered one: the first stands", {ride, ride}, {}, {}, {1}, u"N+ A-"_qs);
        row("tick a maybe: it covers another", {ride, ride}, {}, {u"2024-05-01 98"_qs}, {0}, u"M+ A-"_qs);
        row("other sport ticked by the rider", {u"08:00+60/10 running"_qs}, {}, {}, {0}, u"O+"_qs);
        row("tick an already present one", {ride}, {u"09:00+60"_qs}, {}, {0}, u"A+"_qs);
    }

    void duplicates()
    {
        QFETCH(QStringList, sessions);
        QFETCH(QStringList, spans);
        QFETCH(QStringList, rides);
        QFETCH(QList<int>, toggles);
        QFETCH(QString, states);

        GpsImport::KnownRides known;
        for (const QString& span : spans) {
            const DeviceSession s = SessionOf(span + u"/0"_qs);
            known.spans.push_back({s.start, s.End()});
        }
        for (const QString& ride : rides) {
            const QStringList parts = ride.split(u' ');
            known.rides.push_back({QDate::fromString(parts[0], Qt::ISODate), parts[1].toDouble(), parts.size() > 2});
        }
        std::vector<Candidate> candidates = GpsImport::Plan(FilesOf(sessions), LogTypes(), known, Today,
                                                            QTimeZone::utc());
        for (int i : toggles) {
            candidates[i].ticked = !candidates[i].ticked;
            GpsImport::Reclassify(candidates, known);
        }
        QCOMPARE(Code(candidates), states);
    }

    void storesTickedRidesWithTheirSpans()
    {
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2024-05-01"_qs, 99.0), QString());
        const auto log = OpenRideLog(m_path);
        // A log without the table: no spans, and the ride of the day not remembered.
        const std::vector<DeviceFile> files = {
            {u"/u/mattina.fit"_qs, {SessionOf(u"08:00+120/100"_qs)}, {}},
            {u"/u/sera.fit.gz"_qs, {SessionOf(u"18:00+62.05/40.004"_qs)}, {}},
            {u"/u/dopo.gpx"_qs, {Session(Utc(u"2024-05-02T07:00:00Z"_qs), 35, 90)}, {}},
            {u"/u/corsa.fit"_qs, {SessionOf(u"12:00+30/6 running"_qs)}, {}},
        };
        const auto [first, last] = GpsImport::DaysSpanned(files);
        std::vector<Candidate> candidates =
            GpsImport::Plan(files, LogTypes(), log->KnownRides(first, last), Today, QTimeZone::utc());
        QCOMPARE(Code(candidates), u"M- N+ N+ O-"_qs);
        candidates[0].ticked = true; // the rider knows better
        QCOMPARE(log->AddImported(candidates), QDate(2024, 5, 2));

        QCOMPARE(Stored(u"SELECT group_concat(r, ';') FROM (SELECT Data || '|' || IDTipoUscita || '|' || KM || '|' || "
                        "Durata || '|' || Descrizione AS r FROM Uscite WHERE IDUscita > 1 ORDER BY IDUscita)"_qs),
                 u"2024-05-01|0|100.0|02:00:00|mattina;2024-05-01|0|40.0|01:02:03|sera;"
                 "2024-05-02|0|35.0|01:30:00|dopo"_qs);
        QCOMPARE(Stored(u"SELECT group_concat(IDUscita || ' ' || Inizio || ' ' || Fine, ';') FROM UsciteImportate"_qs),
                 u"2 2024-05-01T08:00:00.000Z 2024-05-01T10:00:00.000Z;"
                 "3 2024-05-01T18:00:00.000Z 2024-05-01T19:02:03.000Z;"
                 "4 2024-05-02T07:00:00.000Z 2024-05-02T08:30:00.000Z"_qs);

        // The same files again: every ride already present, nothing stored.
        candidates = GpsImport::Plan(files, LogTypes(), log->KnownRides(first, last), Today, QTimeZone::utc());
        QCOMPARE(Code(candidates), u"A- A- A- O-"_qs);
        QCOMPARE(log->AddImported(candidates), QDate());
        QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"4"_qs);

        // A ride deleted by the log, or by any program, takes its span along.
        log->Delete(2);
        QCOMPARE(Stored(u"SELECT group_concat(IDUscita) FROM UsciteImportate"_qs), u"3,4"_qs);
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite WHERE IDUscita = 3"_qs), QString());
        QCOMPARE(Stored(u"SELECT group_concat(IDUscita) FROM UsciteImportate"_qs), u"4"_qs);
        candidates = GpsImport::Plan(files, LogTypes(), log->KnownRides(first, last), Today, QTimeZone::utc());
        QCOMPARE(Code(candidates), u"M- N+ A- O-"_qs);
    }

    void spansAroundTheDaysAsked_data()
    {
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::addColumn<int>("spans");
        QTest::addColumn<int>("rides");
        // Spans on 28 April 23:00-23:30, 1 May 10:00-11:00, 3 May 23:30 to 4 May 00:30 (UTC).
        QTest::newRow("the day itself") << QDate(2024, 5, 1) << QDate(2024, 5, 1) << 1 << 1;
        QTest::newRow("a span either side") << QDate(2024, 5, 2) << QDate(2024, 5, 2) << 2 << 0;
        QTest::newRow("a span late the day after") << QDate(2024, 4, 27) << QDate(2024, 4, 27) << 1 << 0;
        QTest::newRow("the day of the last span") << QDate(2024, 5, 3) << QDate(2024, 5, 3) << 1 << 1;
        QTest::newRow("a span ending early the day before") << QDate(2024, 5, 5) << QDate(2024, 5, 5) << 1 << 0;
        QTest::newRow("none near") << QDate(2024, 5, 6) << QDate(2024, 5, 9) << 0 << 0;
        QTest::newRow("all") << QDate(2024, 4, 29) << QDate(2024, 5, 4) << 3 << 3;
        QTest::newRow("no days") << QDate() << QDate() << 0 << 0;
    }

    void spansAroundTheDaysAsked()
    {
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        QFETCH(int, spans);
        QFETCH(int, rides);
        const auto log = OpenRideLog(m_path);
        std::vector<Candidate> stored;
        for (const auto& [start, minutes, day] : {std::tuple(u"2024-04-28T23:00:00Z"_qs, 30, QDate(2024, 4, 29)),
                                                  std::tuple(u"2024-05-01T10:00:00Z"_qs, 60, QDate(2024, 5, 1)),
                                                  std::tuple(u"2024-05-03T23:30:00Z"_qs, 60, QDate(2024, 5, 3))}) {
            stored.emplace_back().session = Session(Utc(start), 10, minutes);
            stored.back().date = day;
            stored.back().ticked = true;
        }
        log->AddImported(stored);
        const GpsImport::KnownRides known = log->KnownRides(first, last);
        QCOMPARE(int(known.spans.size()), spans);
        QCOMPARE(int(known.rides.size()), rides);
        for (const GpsImport::DayRide& ride : known.rides)
            QVERIFY(ride.remembered && ride.date >= first && ride.date <= last);
    }

    void storingIsOneTransaction()
    {
        // A ride whose type the log lacks fails after another was stored: neither stays, nor the table.
        const QString before = Stored(Figures);
        const auto log = OpenRideLog(m_path);
        std::vector<Candidate> candidates =
            GpsImport::Plan(FilesOf({u"08:00+60/30"_qs, u"12:00+60/30"_qs}), LogTypes(), {}, Today, QTimeZone::utc());
        candidates[1].type = 42;
        const std::optional<Failure> failure = FailureOf([&] { log->AddImported(candidates); });
        QVERIFY(failure);
        QVERIFY2(failure->message.startsWith(u"ZTADO exception: "_qs), qPrintable(failure->message));
        QCOMPARE(Stored(Figures), before);
        candidates[1].type = 5;
        QCOMPARE(log->AddImported(candidates), QDate(2024, 5, 1));
        QCOMPARE(Stored(SpanCount), u"2"_qs);
    }

    void restoreBringsBackTheSpans()
    {
        OpenRideLog(m_path)->AddImported(
            GpsImport::Plan(FilesOf({u"08:00+60/30"_qs, u"12:00+60/30"_qs}), LogTypes(), {}, Today, QTimeZone::utc()));
        const QString figures = Stored(Figures);
        const QDateTime noon(QDate(2024, 6, 30), QTime(12, 0));
        const QString backup = Backup::MakeBackup(Template, m_path, noon);
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs), QString());
        Backup::Restore(Template, m_path, backup, noon.addSecs(60));
        QVERIFY(QDir(Backup::Folder(m_path)).removeRecursively());
        QCOMPARE(Stored(Figures), figures);
        QCOMPARE(Stored(SpanCount), u"2"_qs);
        // The trigger came along.
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite WHERE IDUscita = 1"_qs), QString());
        QCOMPARE(Stored(SpanCount), u"1"_qs);
    }

    void killedImportStoresAllOrNothing()
    {
        // A log of one ride and no table of spans, as before the first import.
        QCOMPARE(TestDatabase::InsertRide(m_path, u"1995-01-01"_qs, 12.5), QString());
        const QString pristine = m_dir.filePath(u"pristine.mdb"_qs);
        QFile::remove(pristine);
        QVERIFY(QFile::copy(m_path, pristine));
        KilledChild::StoresAllOrNothing({ChildSwitch, m_path}, m_path, pristine, 20001);
    }
};

// The child of the fault test: 20000 rides, one every six hours from 1995, in 20000 files.
int ImportChild(const QString& path)
{
    std::vector<DeviceFile> files;
    const QDateTime from(QDate(1995, 1, 2), QTime(6, 0), Qt::UTC);
    for (int i = 0; i < 20000; ++i)
        files.push_back(
            {QStringLiteral("/uscite/%1.fit").arg(i), {Session(from.addSecs(i * 6 * 3600), 20 + i % 50, 60)}, {}});
    const auto log = OpenRideLog(path);
    const auto [first, last] = GpsImport::DaysSpanned(files);
    const auto candidates = GpsImport::Plan(files, log->Types(), log->KnownRides(first, last), QDate(2024, 6, 30),
                                            QTimeZone::utc());
    KilledChild::SayGo();
    log->AddImported(candidates);
    return 0;
}

int main(int argc, char* argv[])
{
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == ChildSwitch)
        return ImportChild(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestGpsImport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_gps_import.moc"
