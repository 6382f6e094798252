#include "data/Bikes.h"
#include "data/RideLog.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "data/Transaction.h"
#include "support/Failure.h"
#include "support/FreshDatabase.h"
#include "support/ItalianLocale.h"
#include "support/RideLogFile.h"

#include <QRandomGenerator>
#include <QtTest>

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace {

// Makes the k-th statement that any connection of this process starts fail
// as it begins, as a database refusing it would: SQLite interrupts it.
namespace StatementFault {
int countdown = 0;
bool fired = false;
int Started(unsigned, void* db, void*, void*)
{
    if (countdown > 0 && --countdown == 0) {
        fired = true;
        sqlite3_interrupt(static_cast<sqlite3*>(db));
    }
    return 0;
}
int Attach(sqlite3* db, const char**, const sqlite3_api_routines*)
{
    return sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &Started, db);
}
void Arm(int statement)
{
    countdown = statement;
    fired = false;
}
}

// Everything in the file: its schema and every row of every table.
QString State(const QString& path)
{
    const auto query = [&](const QString& sql) { return TestDatabase::Scalar(path, sql); };
    QString state = query(u"SELECT group_concat(type || ' ' || name || ' ' || ifnull(sql, ''), char(10)) FROM "
                          "(SELECT * FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY name)"_qs);
    const QString tables =
        query(u"SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name)"_qs);
    for (const QString& table : tables.split(u',')) {
        const QString columns = query(u"SELECT group_concat('quote(\"' || name || '\")', ' || ''|'' || ') "
                                      "FROM pragma_table_info('%1')"_qs.arg(table));
        const QString rows = u"SELECT group_concat(%1, char(10)) FROM (SELECT * FROM \"%2\" ORDER BY rowid)"_qs;
        state += u"\n%1:\n"_qs.arg(table) + query(rows.arg(columns, table));
    }
    return state;
}

// SQL as another program runs it, without the foreign keys' cascades.
QString OtherProgram(const QString& path, const QString& sql)
{
    return TestDatabase::Exec(path, u"PRAGMA foreign_keys = OFF; "_qs + sql);
}

Rides::Ride RideOn(const QDate& day, double km, TDateTime duration = {})
{
    return Rides::Ride::OnDay(TDateTime::FromQDate(day), {0, 0, km, duration, u"giro"_qs});
}

// A GPS ride of 30 km on `day`, of the ride type with key 1.
GpsImport::Candidate Imported(const QDate& day)
{
    return {.session = {.start = QDateTime(day, QTime(8, 0), QTimeZone::utc()), .timerSeconds = 3600,
                        .elapsedSeconds = 3600},
            .date = day, .km = 30.0, .seconds = 3600, .type = 1, .ticked = true};
}

// A generated log as the test knows it, apart from what the program stores.
struct Stay
{
    int bike = 0;
    QDate from, until; // until invalid: still on
    std::optional<double> atBikeKm;
};
struct ModelRide
{
    int key = 0;
    QDate day;
    double km = 0.0;
    int bike = 0;
    qint64 ms = 0;
};
struct Model
{
    std::map<int, double> startKm; // bike -> starting km
    std::vector<ModelRide> rides;
    std::map<int, std::vector<Stay>> stays; // part -> its stays, oldest first

    // The km of the bike's rides from `from` (invalid: the first) to the day before `until` (invalid: the last).
    double RidesKm(int bike, const QDate& from, const QDate& until) const
    {
        double km = 0.0;
        for (const ModelRide& ride : rides)
            if (ride.bike == bike && (!from.isValid() || ride.day >= from) && (!until.isValid() || ride.day < until))
                km += ride.km;
        return km;
    }
    double BikeKm(int bike, const QDate& until = QDate()) const { return startKm.at(bike) + RidesKm(bike, {}, until); }
    double PartKm(int part) const
    {
        double km = 0.0;
        for (const Stay& stay : stays.at(part))
            km += stay.atBikeKm ? std::max(BikeKm(stay.bike, stay.until) - *stay.atBikeKm, 0.0)
                                : RidesKm(stay.bike, stay.from, stay.until);
        return km;
    }
};

}

class TestBikes : public QObject, protected FreshDatabase
{
    Q_OBJECT

private:
    std::unique_ptr<RideLog> m_log;

    void Reopen()
    {
        m_connection.reset();
        m_log = OpenRideLog(m_path);
    }
    TZTConnection& Db() { return m_log->Connection(); }

    // A bike, a part on it and a ride linked to it; types 0 and 1 default to it.
    struct Base
    {
        int bike = 0, other = 0, part = 0, ride = 0;
    };
    Base MakeBase()
    {
        Base base;
        base.bike = Bikes::AddBike(Db(), {0, u"Bici da corsa"_qs, 1200.0, QDate(2020, 3, 1), false});
        base.other = Bikes::AddBike(Db(), {0, u"Città"_qs, 0.0, QDate(), false});
        base.part =
            Bikes::AddPart(Db(), {0, u"catena"_qs, 7000.0, 24, u"11 velocità"_qs}, {0, base.bike, QDate(2021, 1, 1)});
        Bikes::SetDefaultBike(Db(), 0, base.bike);
        Bikes::SetDefaultBike(Db(), 1, base.bike);
        m_log->Add(RideOn(QDate(2021, 2, 1), 55.5), base.bike);
        base.ride = Rides::ReadTotals(Db()).rides;
        return base;
    }

private Q_SLOTS:
    void initTestCase() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&StatementFault::Attach)); }

    void init()
    {
        QCOMPARE(RenewDatabase(), QString());
        Reopen();
    }

    void cleanup()
    {
        StatementFault::Arm(0);
        m_log.reset();
    }

    void usageAddsUpTheRidesOfEachStay_data()
    {
        QTest::addColumn<int>("moves");
        QTest::addColumn<int>("replaced");
        QTest::addColumn<bool>("atBikeKm");   // parts fitted when the bike had some km
        QTest::addColumn<int>("deleted");     // rides deleted, half of them by another program
        QTest::addColumn<int>("deleteBike"); // the first bike deleted at the end: 1 by the log, 2 by another program
        QTest::newRow("parts fitted, moved between bikes and off, replaced") << 12 << 6 << false << 0 << 0;
        QTest::newRow("fitted at the bike's km") << 6 << 3 << true << 0 << 0;
        QTest::newRow("rides deleted") << 6 << 3 << false << 40 << 0;
        QTest::newRow("a bike deleted") << 8 << 2 << true << 10 << 1;
        QTest::newRow("a bike deleted by another program") << 8 << 2 << true << 0 << 2;
    }

    void usageAddsUpTheRidesOfEachStay()
    {
        QFETCH(int, moves);
        QFETCH(int, replaced);
        QFETCH(bool, atBikeKm);
        QFETCH(int, deleted);
        QFETCH(int, deleteBike);
        QRandomGenerator random(qHash(QByteArrayView(QTest::currentDataTag())));
        const auto someDay = [&](const QDate& after = QDate(2020, 1, 1)) {
            return after.addDays(random.bounded(qMax<qint64>(after.daysTo(QDate(2023, 12, 31)), 1)));
        };
        const auto any = [&](const std::vector<int>& keys) { return keys[random.bounded(int(keys.size()))]; };
        Model model;
        std::vector<int> bikes;
        for (int i = 0; i < 5; ++i) {
            const double startKm = random.bounded(3) * 1000.0;
            // A retired bike keeps its km and its parts' km.
            bikes.push_back(Bikes::AddBike(Db(), {0, QStringLiteral("bici %1").arg(i), startKm, QDate(), i == 4}));
            model.startKm[bikes.back()] = startKm;
        }
        Bikes::SetDefaultBike(Db(), 3, bikes.front());
        {
            Transaction transaction(Db());
            Rides::Appender rides(Db());
            Bikes::Linker links(Db());
            for (int i = 0; i < 400; ++i) {
                const int seconds = random.bounded(3) == 0 ? 0 : 600 + random.bounded(20000);
                ModelRide ride{0, someDay(), 5 + random.bounded(1450) / 10.0, random.bounded(8) == 0 ? 0 : any(bikes),
                               seconds * qint64(1000)};
                rides.AppendRide(RideOn(ride.day, ride.km,
                                        TDateTime::EncodeTime(seconds / 3600, seconds / 60 % 60, seconds % 60)));
                ride.key = rides.AppendedKey();
                links.Link(ride.key, ride.bike);
                model.rides.push_back(ride);
            }
            transaction.Commit();
        }
        std::vector<int> parts;
        for (int i = 0; i < 12; ++i) {
            Stay stay{any(bikes), someDay(), QDate(), std::nullopt};
            if (atBikeKm && i % 2 == 0)
                stay.atBikeKm = random.bounded(int(model.BikeKm(stay.bike)) + 1);
            parts.push_back(
                Bikes::AddPart(Db(), {0, QStringLiteral("parte %1").arg(i)}, {0, stay.bike, stay.from, stay.atBikeKm}));
            model.stays[parts.back()].push_back(stay);
        }
        for (int i = 0; i < moves + replaced; ++i) {
            int part = any(parts);
            std::vector<Stay>& stays = model.stays[part];
            const bool on = !stays.empty() && !stays.back().until.isValid();
            const QDate day = on ? someDay(stays.back().from) : stays.empty() ? someDay() : someDay(stays.back().until);
            int to = on ? stays.back().bike : 0;
            if (on)
                stays.back().until = day;
            if (i < moves) { // to a bike, or off one to none
                to = on && random.bounded(4) == 0 ? 0 : any(bikes);
                Bikes::MovePart(Db(), part, to, day);
            } else {
                part = Bikes::ReplacePart(Db(), part, day);
                parts.push_back(part);
            }
            std::vector<Stay>& now = model.stays[part];
            if (to != 0)
                now.push_back({to, day, QDate(), std::nullopt});
        }
        for (int i = 0; i < deleted; ++i) {
            const auto at = model.rides.begin() + random.bounded(int(model.rides.size()));
            const QString sql = u"DELETE FROM Uscite WHERE IDUscita = %1"_qs.arg(at->key);
            if (i % 2 == 0)
                Rides::Delete(Db(), at->key);
            else
                QCOMPARE(OtherProgram(m_path, sql), QString());
            model.rides.erase(at);
        }
        if (deleteBike) {
            const int gone = bikes.front();
            if (deleteBike == 1)
                Bikes::DeleteBike(Db(), gone);
            else
                QCOMPARE(OtherProgram(m_path, u"DELETE FROM Bici WHERE IDBici = %1"_qs.arg(gone)), QString());
            for (ModelRide& ride : model.rides)
                if (ride.bike == gone)
                    ride.bike = 0;
            for (auto& [part, stays] : model.stays)
                std::erase_if(stays, [&](const Stay& stay) { return stay.bike == gone; });
            model.startKm.erase(gone);
            bikes.erase(bikes.begin());
        }

        const Bikes::Garage garage = m_log->Bikes().Garage();
        const Bikes::Usage usage = m_log->Bikes().Usage(garage, QDate(2024, 6, 1));
        QCOMPARE(garage.bikes.size(), qsizetype(bikes.size()));
        QCOMPARE(garage.defaultBikes.values(), deleteBike ? QList<int>() : QList<int>{bikes.front()});
        for (const int bike : bikes) {
            Bikes::BikeUsage expected;
            for (const ModelRide& ride : model.rides)
                if (ride.bike == bike) {
                    expected.durationMs += ride.ms;
                    ++expected.rides;
                    expected.lastRide = std::max(expected.lastRide, ride.day);
                }
            const Bikes::BikeUsage used = usage.bikes.value(bike);
            QVERIFY2(qAbs(used.km - model.BikeKm(bike)) < 1e-6, qPrintable(QString::number(bike)));
            QCOMPARE(used.rides, expected.rides);
            QCOMPARE(used.durationMs, expected.durationMs);
            QCOMPARE(used.lastRide, expected.lastRide);
        }
        QCOMPARE(usage.parts.size(), qsizetype(model.stays.size()));
        for (const auto& [part, stays] : model.stays)
            QVERIFY2(qAbs(usage.parts.value(part).km - model.PartKm(part)) < 1e-6, qPrintable(QString::number(part)));

        // What was deleted, by the log or by another program, took its links and stays with it.
        qsizetype stays = 0;
        for (const auto& [part, its] : model.stays)
            stays += qsizetype(its.size());
        const auto linked = std::ranges::count_if(model.rides, [](const ModelRide& ride) { return ride.bike != 0; });
        const QString counts = u"SELECT (SELECT count(*) FROM UsciteBici) || ' ' || count(*) FROM Montaggi"_qs;
        QCOMPARE(TestDatabase::Scalar(m_path, counts), u"%1 %2"_qs.arg(linked).arg(stays));
    }

    void wearWarnsFrom95PerCent_data()
    {
        QTest::addColumn<double>("limitKm");  // 0: none
        QTest::addColumn<int>("limitMonths"); // 0: none
        QTest::addColumn<double>("km");       // ridden from the day it was fitted
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("warning"); // empty: none
        const QDate fitted(2023, 1, 31);
        QTest::newRow("below 95 %") << 7000.0 << 0 << 6649.0 << fitted << QString();
        QTest::newRow("at 95 %") << 7000.0 << 0 << 6650.0 << fitted << u"6.650 / 7.000 km"_qs;
        QTest::newRow("months: a day short of the limit") << 0.0 << 12 << 0.0 << QDate(2024, 1, 30) << QString();
        QTest::newRow("months: at the limit") << 0.0 << 12 << 0.0 << QDate(2024, 1, 31) << u"12 / 12 mesi"_qs;
        QTest::newRow("months: at 95 %") << 0.0 << 20 << 0.0 << QDate(2024, 8, 31) << u"19 / 20 mesi"_qs;
        QTest::newRow("months: to a shorter month's end") << 0.0 << 1 << 0.0 << QDate(2023, 2, 28) << u"1 / 1 mesi"_qs;
        QTest::newRow("both: the km nearer") << 7000.0 << 24 << 6900.0 << QDate(2024, 1, 20) << u"6.900 / 7.000 km"_qs;
        QTest::newRow("both: the months nearer") << 7000.0 << 12 << 1000.0 << QDate(2024, 3, 1) << u"13 / 12 mesi"_qs;
        QTest::newRow("both, neither near") << 7000.0 << 12 << 6000.0 << QDate(2023, 12, 1) << QString();
    }

    void wearWarnsFrom95PerCent()
    {
        QFETCH(double, limitKm);
        QFETCH(int, limitMonths);
        QFETCH(double, km);
        QFETCH(QDate, today);
        QFETCH(QString, warning);
        const QDate fitted(2023, 1, 31);
        const int bike = Bikes::AddBike(Db(), {0, u"Bici da corsa"_qs, 500.0, QDate(), false});
        Bikes::Part part{0, u"catena"_qs};
        if (limitKm > 0)
            part.limitKm = limitKm;
        if (limitMonths > 0)
            part.limitMonths = limitMonths;
        Bikes::AddPart(Db(), part, {0, bike, fitted});
        // The day before the fitting does not count.
        m_log->Add(RideOn(fitted.addDays(-1), 300.0), bike);
        if (km > 0)
            m_log->Add(RideOn(fitted, km), bike);
        const QList<Bikes::Wear> due = m_log->DueParts(bike, today);
        QCOMPARE(due.isEmpty(), warning.isEmpty());
        if (!due.isEmpty())
            QCOMPARE(Bikes::DueText(due.front()), u"Da sostituire: catena (Bici da corsa, %1)"_qs.arg(warning));
    }

    void writesAreWholeOrNotAtAll_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("linked"); // the bike of the ride written, 1 and 2 of the base, 0 none; -1 no ride
        for (const char* operation : {"first bike", "change bike", "delete bike", "default bike", "ride bike",
                                      "add part", "change part", "move part", "replace part", "retire part",
                                      "delete part"})
            QTest::newRow(operation) << QString::fromUtf8(operation) << -1;
        QTest::newRow("add ride") << u"add ride"_qs << 2;
        QTest::newRow("change ride, the link left alone") << u"change ride"_qs << 1;
        QTest::newRow("change ride and bike") << u"change ride and bike"_qs << 2;
        QTest::newRow("GPS import: the type's bike") << u"GPS import"_qs << 1;
        // The type's bike retired first.
        QTest::newRow("GPS import: not a retired bike") << u"GPS import"_qs << 0;
    }

    void writesAreWholeOrNotAtAll()
    {
        QFETCH(QString, operation);
        QFETCH(int, linked);
        const Base base = operation == u"first bike" ? Base() : MakeBase();
        const QDate day(2022, 4, 1);
        const int to = linked == 2 ? base.other : 0;
        if (operation == u"GPS import" && linked == 0)
            Bikes::ChangeBike(Db(), {base.bike, u"Bici da corsa"_qs, 0.0, QDate(), true});
        const std::map<QString, std::function<void()>> writes = {
            {u"first bike"_qs, [&] { Bikes::AddBike(Db(), {0, u"Gravel"_qs, 10.0, QDate(2022, 1, 1), false}); }},
            {u"change bike"_qs, [&] { Bikes::ChangeBike(Db(), {base.bike, u"Corsa"_qs, 1300.0, QDate(), true}); }},
            {u"delete bike"_qs, [&] { Bikes::DeleteBike(Db(), base.bike); }},
            {u"default bike"_qs, [&] { Bikes::SetDefaultBike(Db(), 0, base.other); }},
            {u"ride bike"_qs, [&] { Bikes::SetRideBike(Db(), base.ride, base.other); }},
            {u"add part"_qs, [&] { Bikes::AddPart(Db(), {0, u"copertone"_qs, 4000.0}, {0, base.other, day, 250.0}); }},
            {u"change part"_qs, [&] { Bikes::ChangePart(Db(), {base.part, u"catena KMC"_qs, std::nullopt, 18}); }},
            {u"move part"_qs, [&] { Bikes::MovePart(Db(), base.part, base.other, day); }},
            {u"replace part"_qs, [&] { Bikes::ReplacePart(Db(), base.part, day); }},
            {u"retire part"_qs, [&] { Bikes::RetirePart(Db(), base.part, day); }},
            {u"delete part"_qs, [&] { Bikes::DeletePart(Db(), base.part); }},
            {u"add ride"_qs, [&] { m_log->Add(RideOn(day, 30.0), to); }},
            {u"change ride"_qs, [&] { m_log->Change(base.ride, RideOn(day, 30.0)); }},
            {u"change ride and bike"_qs, [&] { m_log->Change(base.ride, RideOn(day, 30.0), to); }},
            {u"GPS import"_qs, [&] { m_log->AddImported({Imported(day)}); }},
        };
        const std::function<void()>& write = writes.at(operation);
        // A clean run first, for the state it leaves; the file is put back after every run that wrote.
        const QString snapshot = m_dir.filePath(u"snapshot.mdb"_qs);
        QFile::remove(snapshot);
        QVERIFY(QFile::copy(m_path, snapshot));
        const auto restore = [&] {
            m_log.reset();
            QFile::remove(m_path);
            QVERIFY(QFile::copy(snapshot, m_path));
            Reopen();
        };
        const QString before = State(m_path);
        write();
        const QString after = State(m_path);
        QVERIFY(after != before);
        if (linked >= 0) {
            const int ride = operation.startsWith(u"change"_qs) ? base.ride : base.ride + 1;
            QCOMPARE(m_log->Read(ride).entry.chilometri, 30.0);
            QCOMPARE(m_log->BikeOf(ride), linked == 1 ? base.bike : to);
        }
        restore();
        int refusals = 0;
        for (int statement = 1;; ++statement) {
            StatementFault::Arm(statement);
            const std::optional<Failure> failure = FailureOf(write);
            const bool fired = StatementFault::fired;
            StatementFault::Arm(0);
            QVERIFY2(State(m_path) == (failure ? before : after),
                     qPrintable(u"refused at statement %1: %2"_qs.arg(statement)
                                    .arg(failure ? failure->message : u"done"_qs)));
            if (!fired)
                break;
            if (failure)
                ++refusals;
            else
                restore();
        }
        QVERIFY(refusals > 0);
    }

    void readsWithoutTheTables()
    {
        // A log no bike was ever added to, opened read-only: the reads find nothing and write nothing.
        m_log->Add(RideOn(QDate(2023, 3, 3), 12.5));
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path), TZTConnection::Access::ReadOnly);
        const Bikes::Garage garage = Bikes::Read(connection);
        QVERIFY(garage.bikes.isEmpty() && garage.parts.isEmpty() && garage.defaultBikes.isEmpty());
        QCOMPARE(Bikes::BikeOfRide(connection, 1), 0);
        QVERIFY(Bikes::RideBikeNames(connection).isEmpty());
        QVERIFY(Bikes::ReadPeriod(connection, TDateTime::FromQDate(QDate(2023, 1, 1)),
                                  TDateTime::FromQDate(QDate(2023, 12, 31))).isEmpty());
    }
};

QTEST_MAIN(TestBikes)
#include "test_bikes.moc"
