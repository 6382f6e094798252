#include "data/RideLog.h"
#include "data/TZTConnection.h"
#include "gps/GpsImport.h"
#include "support/Failure.h"
#include "support/ItalianLocale.h"
#include "support/KilledChild.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"
#include "tools/Backup.h"
#include "tools/Compaction.h"
#include "tools/CsvExport.h"

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

}

Q_DECLARE_METATYPE(GpsImport::State)

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
        QTest::addColumn<QString>("start"); // ISO; empty for unknown
        QTest::addColumn<int>("offset");    // the file's, seconds; NoOffset when it records none
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("sport");
        QTest::addColumn<QString>("subSport");
        QTest::addColumn<double>("metres");
        QTest::addColumn<double>("timer");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("date");
        QTest::addColumn<double>("km");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("type");
        QTest::addColumn<GpsImport::State>("state");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("description");

        const QString rome = u"Europe/Rome"_qs, la = u"America/Los_Angeles"_qs, auckland = u"Pacific/Auckland"_qs;
        const QString fit = u"/uscite/Giro del lago.fit"_qs;
        const QString cycling = u"cycling"_qs;
        auto row = [&](const char* name, const QString& start, int offset, const QString& zone,
                       const QString& date) -> QTestData& {
            return QTest::newRow(name) << start << offset << zone << cycling << QString() << 50000.0 << 7200.0 << fit
                                       << date;
        };
        auto ok = [](QTestData& data, double km = 50.0, double seconds = 7200.0, int type = 0) {
            data << km << seconds << type << State::New << QString() << u"Giro del lago"_qs;
        };

        // The day: the file's offset where it is sane, else the zone's at that instant.
        ok(row("file offset +2 h past midnight", u"2024-05-01T22:30:00Z"_qs, 7200, la, u"2024-05-02"_qs));
        ok(row("offset off the quarter hour: Rome's", u"2024-05-01T22:30:00Z"_qs, -10801, rome, u"2024-05-02"_qs));
        ok(row("offset over 14 h: Los Angeles'", u"2024-05-01T10:00:00Z"_qs, 15 * 3600, la, u"2024-05-01"_qs));
        ok(row("offset of 14 h exactly", u"2024-05-01T10:30:00Z"_qs, 14 * 3600, rome, u"2024-05-02"_qs));
        ok(row("offset +12:45", u"2024-05-01T12:00:00Z"_qs, 12 * 3600 + 45 * 60, la, u"2024-05-02"_qs));
        ok(row("offset -10 h before midnight UTC", u"2024-05-02T08:00:00Z"_qs, -10 * 3600, auckland,
               u"2024-05-01"_qs));
        ok(row("no offset: Los Angeles, evening", u"2024-05-02T05:00:00Z"_qs, NoOffset, la, u"2024-05-01"_qs));
        ok(row("no offset: Auckland, past midnight", u"2024-05-01T12:30:00Z"_qs, NoOffset, auckland,
               u"2024-05-02"_qs));
        ok(row("no offset: Rome in winter, +1 h then", u"2024-01-15T22:30:00Z"_qs, NoOffset, rome, u"2024-01-15"_qs));
        ok(row("no offset: Rome in summer, +2 h then", u"2024-06-15T22:30:00Z"_qs, NoOffset, rome, u"2024-06-16"_qs));

        // Distance to 10 m, time to the second.
        const QString noon = u"2024-05-01T10:00:00Z"_qs;
        auto measured = [&](const char* name, double metres, double timer) -> QTestData& {
            return QTest::newRow(name) << noon << 7200 << rome << cycling << QString() << metres << timer << fit
                                       << u"2024-05-01"_qs;
        };
        ok(measured("42195 m is 42.20 km", 42195.0, 7200.4), 42.2, 7200.0);
        ok(measured("42194.9 m is 42.19 km", 42194.9, 7199.5), 42.19, 7200.0);
        ok(measured("999004 m is 999 km", 999004.0, 86399.4), 999.0, 86399.0);

        // The type by sub-sport; an indoor session keeps what the trainer measured.
        auto typed = [&](const char* name, const QString& sport, const QString& subSport) -> QTestData& {
            return QTest::newRow(name) << noon << 7200 << rome << sport << subSport << 31234.0 << 3600.0 << fit
                                       << u"2024-05-01"_qs;
        };
        ok(typed("road", cycling, u"road"_qs), 31.23, 3600.0, 0);
        ok(typed("indoor", cycling, u"indoor_cycling"_qs), 31.23, 3600.0, 4);
        ok(typed("trainer, e-bike", u"e_biking"_qs, u"trainer"_qs), 31.23, 3600.0, 4);
        ok(typed("unnamed sub-sport: the first type", cycling, u"track_cycling"_qs), 31.23, 3600.0, 0);
        ok(typed("GPX: no sport, no sub-sport", QString(), QString()), 31.23, 3600.0, 0);

        // Other sports: listed by their Italian name, unticked.
        auto other = [&](const char* name, const QString& sport, const QString& italian) {
            typed(name, sport, QString()) << 31.23 << 3600.0 << 0 << State::OtherSport << italian
                                          << u"Giro del lago"_qs;
        };
        other("running", u"running"_qs, u"corsa"_qs);
        other("transition", u"transition"_qs, u"transizione"_qs);
        other("generic", u"generic"_qs, u"generico"_qs);
        other("a sport with no Italian name", u"kitesurfing"_qs, u"kitesurfing"_qs);

        // The log's limits.
        auto refused = [&](QTestData& data, const QString& reason) {
            data << 0.0 << 0.0 << 0 << State::OutsideRules << reason << u"Giro del lago"_qs;
        };
        auto limit = [&](const char* name, const QString& start, int offset, double metres, double timer,
                         const QString& date) -> QTestData& {
            return QTest::newRow(name) << start << offset << rome << cycling << QString() << metres << timer << fit
                                       << date;
        };
        refused(row("start unknown", QString(), NoOffset, rome, QString()), u"data sconosciuta"_qs);
        refused(row("31 December 1989, local", u"1989-12-31T22:30:00Z"_qs, 0, rome, u"1989-12-31"_qs),
                u"data fuori dall'intervallo consentito (1990 - oggi)"_qs);
        ok(row("1 January 1990, local", u"1989-12-31T23:30:00Z"_qs, 3600, rome, u"1990-01-01"_qs));
        ok(row("today, local", u"2024-06-30T21:30:00Z"_qs, NoOffset, rome, u"2024-06-30"_qs));
        refused(row("tomorrow, local", u"2024-06-30T22:30:00Z"_qs, NoOffset, rome, u"2024-07-01"_qs),
                u"data fuori dall'intervallo consentito (1990 - oggi)"_qs);
        refused(limit("999.01 km", noon, 0, 999005.0, 7200.0, u"2024-05-01"_qs), u"più di 999 km"_qs);
        refused(limit("24 hours once rounded", noon, 0, 1000.0, 86399.5, u"2024-05-01"_qs),
                u"durata di 24 ore o più"_qs);
        refused(limit("no distance and no time", noon, 0, 4.0, 0.4, u"2024-05-01"_qs), u"uscita vuota: 0 km in 0 secondi"_qs);

        // The description: the name without its extensions, as the log holds descriptions.
        auto named = [&](const char* name, const QString& file) -> QTestData& {
            return QTest::newRow(name) << noon << 0 << rome << cycling << QString() << 50000.0 << 7200.0 << file
                                       << u"2024-05-01"_qs << 50.0 << 7200.0 << 0 << State::New << QString();
        };
        named("compressed", u"/uscite/Giro del lago.FIT.gz"_qs) << u"Giro del lago"_qs;
        named("dots in the name", u"/uscite/2024.05.01 giro.gpx"_qs) << u"2024.05.01 giro"_qs;
        named("no extension", u"/uscite/giro"_qs) << u"giro"_qs;
        named("characters a description may not hold", u"/uscite/100% 'giro' *.tcx"_qs) << u"100 giro"_qs;
        named("cut to 255", u"/uscite/"_qs + QString(300, u'x') + u".fit"_qs) << QString(255, u'x');
    }

    void sessionBecomesRide()
    {
        QFETCH(QString, start);
        QFETCH(int, offset);
        QFETCH(QString, zone);
        QFETCH(QString, sport);
        QFETCH(QString, subSport);
        QFETCH(double, metres);
        QFETCH(double, timer);
        QFETCH(QString, file);
        QFETCH(QString, date);
        QFETCH(double, km);
        QFETCH(double, seconds);
        QFETCH(int, type);
        QFETCH(GpsImport::State, state);
        QFETCH(QString, reason);
        QFETCH(QString, description);

        DeviceSession session;
        session.start = start.isEmpty() ? QDateTime() : Utc(start);
        if (offset != NoOffset)
            session.utcOffsetSeconds = offset;
        session.sport = sport;
        session.subSport = subSport;
        session.distanceMetres = metres;
        session.timerSeconds = timer;
        session.elapsedSeconds = timer + 600;
        const QTimeZone localZone(zone.toUtf8());
        QVERIFY(localZone.isValid());

        const std::vector<Candidate> candidates =
            GpsImport::Plan({{file, {session}, {}}}, LogTypes(), {}, Today, localZone);
        QCOMPARE(candidates.size(), size_t(1));
        const Candidate& c = candidates.front();
        QCOMPARE(c.file, file);
        QCOMPARE(c.session, session);
        QCOMPARE(c.date, QDate::fromString(date, Qt::ISODate));
        QCOMPARE(c.state, state);
        QCOMPARE(c.reason, reason);
        QCOMPARE(c.ticked, state == State::New);
        QCOMPARE(c.Tickable(), state != State::OutsideRules);
        QCOMPARE(c.description, description);
        if (state == State::OutsideRules)
            return;
        QCOMPARE(c.km, km);
        QCOMPARE(c.seconds, seconds);
        QCOMPARE(c.type, type);
    }

    void typesByNameWhereTheLogHasThem_data()
    {
        QTest::addColumn<QStringList>("names"); // keys from 10 up
        QTest::addColumn<QString>("subSport");
        QTest::addColumn<int>("type");
        QTest::newRow("name in another case") << QStringList{u"Gara"_qs, u"rulli"_qs} << u"indoor_cycling"_qs << 11;
        QTest::newRow("no such type: the first") << QStringList{u"Gara"_qs, u"Strada"_qs} << u"mountain"_qs << 10;
        QTest::newRow("no type of that name at all") << QStringList{u"Gara"_qs} << u"road"_qs << 10;
    }

    void typesByNameWhereTheLogHasThem()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, subSport);
        QFETCH(int, type);
        QList<Rides::RideType> types;
        for (int k = 0; k < names.size(); ++k)
            types.append({10 + k, names[k]});
        DeviceSession session = Session(Utc(u"2024-05-01T10:00:00Z"_qs), 30, 60);
        session.subSport = subSport;
        const auto candidates = GpsImport::Plan({{u"a.fit"_qs, {session}, {}}}, types, {}, Today, QTimeZone::utc());
        QCOMPARE(candidates.front().type, type);
    }

    void everySessionOfEveryFileInOrder()
    {
        const DeviceSession morning = Session(Utc(u"2024-05-01T08:00:00Z"_qs), 30, 60);
        const DeviceSession evening = Session(Utc(u"2024-05-01T18:00:00Z"_qs), 20, 40);
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
        QVERIFY(!candidates[2].Tickable() && !candidates[3].Tickable());
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

        const QStringList none;
        const QString ride = u"08:00+120/100"_qs;
        QTest::newRow("overlaps a remembered span") << QStringList{ride} << QStringList{u"09:00+60"_qs} << none
                                                    << QList<int>() << u"A-"_qs;
        QTest::newRow("ends as a remembered span begins")
            << QStringList{u"10:00+60/50"_qs} << QStringList{u"09:00+60"_qs} << none << QList<int>() << u"N+"_qs;
        QTest::newRow("other sport over a remembered span")
            << QStringList{u"08:00+60/10 running"_qs} << QStringList{u"08:30+60"_qs} << none << QList<int>()
            << u"A-"_qs;
        QTest::newRow("second device, a minute apart") << QStringList{ride, u"08:01+118/99.4"_qs} << none << none
                                                        << QList<int>() << u"N+ A-"_qs;
        QTest::newRow("GPX of a FIT ride") << QStringList{ride, ride} << none << none << QList<int>() << u"N+ A-"_qs;
        QTest::newRow("same day, apart") << QStringList{u"08:00+60/30"_qs, u"15:00+60/30"_qs} << none << none
                                         << QList<int>() << u"N+ N+"_qs;
        QTest::newRow("ride that day 3 % shorter") << QStringList{ride} << none << QStringList{u"2024-05-01 97"_qs}
                                                   << QList<int>() << u"M-"_qs;
        QTest::newRow("ride that day 3 % longer") << QStringList{ride} << none << QStringList{u"2024-05-01 103"_qs}
                                                  << QList<int>() << u"M-"_qs;
        QTest::newRow("ride that day 3.1 % shorter")
            << QStringList{ride} << none << QStringList{u"2024-05-01 96.9"_qs} << QList<int>() << u"N+"_qs;
        QTest::newRow("ride that day 3.1 % longer")
            << QStringList{ride} << none << QStringList{u"2024-05-01 103.1"_qs} << QList<int>() << u"N+"_qs;
        QTest::newRow("same km the day before") << QStringList{ride} << none << QStringList{u"2024-04-30 100"_qs}
                                                << QList<int>() << u"N+"_qs;
        QTest::newRow("remembered ride that day, elsewhere in time")
            << QStringList{ride} << QStringList{u"18:00+60"_qs} << QStringList{u"2024-05-01 100 r"_qs}
            << QList<int>() << u"N+"_qs;
        QTest::newRow("an unticked session marks none, a ticked one marks it")
            << QStringList{ride, u"08:30+60/40"_qs} << none << QStringList{u"2024-05-01 100"_qs} << QList<int>()
            << u"A- N+"_qs;
        QTest::newRow("overlaps one already present, not a ticked one")
            << QStringList{u"08:00+60/30"_qs, u"08:50+60/30"_qs, u"09:55+60/30"_qs} << none << none << QList<int>()
            << u"N+ A- N+"_qs;
        QTest::newRow("outside the rules stays so")
            << QStringList{ride, u"08:10+60/1200"_qs} << none << none << QList<int>() << u"N+ R-"_qs;
        QTest::newRow("untick frees the other, unticked") << QStringList{ride, ride} << none << none << QList<int>{0}
                                                          << u"N- N-"_qs;
        QTest::newRow("untick, tick the other: the first is present")
            << QStringList{ride, ride} << none << none << QList<int>{0, 1} << u"A- N+"_qs;
        QTest::newRow("tick the covered one: the first stands")
            << QStringList{ride, ride} << none << none << QList<int>{1} << u"N+ A-"_qs;
        QTest::newRow("tick a maybe: it covers another")
            << QStringList{ride, ride} << none << QStringList{u"2024-05-01 98"_qs} << QList<int>{0} << u"M+ A-"_qs;
        QTest::newRow("other sport ticked by the rider")
            << QStringList{u"08:00+60/10 running"_qs} << none << none << QList<int>{0} << u"O+"_qs;
        QTest::newRow("tick an already present one") << QStringList{ride} << QStringList{u"09:00+60"_qs} << none
                                                     << QList<int>{0} << u"A+"_qs;
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
        GpsImport::KnownRides known = log->KnownRides(first, last);
        QCOMPARE(known.spans.size(), size_t(0));
        QCOMPARE(known.rides.size(), size_t(1));
        QCOMPARE(known.rides[0].date, QDate(2024, 5, 1));
        QVERIFY(!known.rides[0].remembered);
        std::vector<Candidate> candidates = GpsImport::Plan(files, LogTypes(), known, Today, QTimeZone::utc());
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

        // The same files again: every ride already present, the old one remembered apart.
        known = log->KnownRides(first, last);
        QCOMPARE(known.spans.size(), size_t(3));
        QCOMPARE(known.rides.size(), size_t(4));
        QCOMPARE(int(std::count_if(known.rides.begin(), known.rides.end(), [](auto& r) { return r.remembered; })), 3);
        candidates = GpsImport::Plan(files, LogTypes(), known, Today, QTimeZone::utc());
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
        std::vector<Candidate> stored(3);
        stored[0].session = Session(Utc(u"2024-04-28T23:00:00Z"_qs), 10, 30);
        stored[0].date = QDate(2024, 4, 29);
        stored[1].session = Session(Utc(u"2024-05-01T10:00:00Z"_qs), 10, 60);
        stored[1].date = QDate(2024, 5, 1);
        stored[2].session = Session(Utc(u"2024-05-03T23:30:00Z"_qs), 10, 60);
        stored[2].date = QDate(2024, 5, 3);
        for (Candidate& c : stored)
            c.ticked = true;
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

    void toolsKeepTheSpans_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::newRow("compaction") << u"compaction"_qs;
        QTest::newRow("backup and restore") << u"restore"_qs;
        QTest::newRow("CSV export") << u"export"_qs;
    }

    void toolsKeepTheSpans()
    {
        QFETCH(QString, tool);
        {
            const auto log = OpenRideLog(m_path);
            log->AddImported(GpsImport::Plan(FilesOf({u"08:00+60/30"_qs, u"12:00+60/30"_qs}), LogTypes(), {}, Today,
                                             QTimeZone::utc()));
        }
        const QString figures = Stored(Figures);
        if (tool == u"compaction") {
            Compaction::CompactDatabase(Template, m_path);
        } else if (tool == u"restore") {
            const QDateTime noon(QDate(2024, 6, 30), QTime(12, 0));
            const QString backup = Backup::MakeBackup(Template, m_path, noon);
            QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs), QString());
            QCOMPARE(Stored(SpanCount), u"0"_qs);
            Backup::Restore(Template, m_path, backup, noon.addSecs(60));
            QVERIFY(QDir(Backup::Folder(m_path)).removeRecursively());
        } else {
            TZTConnection connection;
            connection.Open(TestDatabase::ConnectionStringFor(m_path));
            const QString csv = m_dir.filePath(u"uscite.csv"_qs);
            QCOMPARE(CsvExport::ExportLog(connection, csv, CsvExport::CsvFormat::Standard), 2);
        }
        QCOMPARE(Stored(Figures), figures);
        QCOMPARE(Stored(SpanCount), u"2"_qs);
        QCOMPARE(Stored(u"PRAGMA integrity_check"_qs), u"ok"_qs);
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
        const QString none = Stored(Figures);
        QString all;
        int sawNone = 0;

        KilledChild::Runs runs;
        runs.arguments = {ChildSwitch, m_path};
        runs.prepare = [&] {
            QVERIFY(QFile::remove(m_path));
            QFile::remove(m_path + u"-journal"_qs);
            QVERIFY(QFile::copy(pristine, m_path));
        };
        runs.wholeRuns = 2;
        runs.kills = 14;
        runs.moment = [kills = runs.kills](int k) {
            return k <= kills - 3 ? k / double(kills - 2) : 0.94 + 0.03 * (k - kills + 3);
        };
        runs.finished = [&] {
            all = Stored(Figures);
            QCOMPARE(all.section(u' ', 0, 0), u"20001"_qs);
            QCOMPARE(Stored(SpanCount), u"20000"_qs);
        };
        runs.killed = [&](int k) {
            // Opening rolls back whatever the killed run left half done.
            TZTConnection().Open(TestDatabase::ConnectionStringFor(m_path));
            const QByteArray at = "kill " + QByteArray::number(k);
            QVERIFY2(Stored(u"PRAGMA integrity_check"_qs) == u"ok", at);
            const QString found = Stored(Figures);
            QVERIFY2(found == none || found == all, at + ": " + qPrintable(found));
            if (found == all)
                QVERIFY2(Stored(SpanCount) == u"20000", at);
            sawNone += found == none;
        };
        KilledChild::Run(runs);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(sawNone >= runs.kills / 3,
                 qPrintable(QStringLiteral("%1 of %2 kills found no rides").arg(sawNone).arg(runs.kills)));
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
