#include "data/Bikes.h"
#include "data/RideLog.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "data/Transaction.h"
#include "support/Failure.h"
#include "support/FreshDatabase.h"
#include "support/ItalianLocale.h"
#include "support/RideLogFile.h"
#include "tools/Compaction.h"

#include <QRandomGenerator>
#include <QtTest>

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace {

const QString Template = QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");

// Makes the k-th statement that any connection of this process starts fail
// as it begins, as a database refusing it would: SQLite interrupts it.
class StatementFault
{
public:
    static void Install() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&Attach)); }
    static void Arm(int statement)
    {
        s_countdown = statement;
        s_fired = false;
    }
    static bool Fired() { return s_fired; }

private:
    static int Attach(sqlite3* db, const char**, const sqlite3_api_routines*)
    {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &Started, db);
        return SQLITE_OK;
    }
    static int Started(unsigned, void* db, void*, void*)
    {
        if (s_countdown > 0 && --s_countdown == 0) {
            s_fired = true;
            sqlite3_interrupt(static_cast<sqlite3*>(db));
        }
        return 0;
    }
    static inline int s_countdown = 0;
    static inline bool s_fired = false;
};

// Everything in the file: its schema and every row of every table.
QString State(const QString& path)
{
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close_v2);
    const auto rows = [&](const QString& sql) {
        QStringList lines;
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db.get(), sql.toUtf8().constData(), -1, &stmt, nullptr) != SQLITE_OK)
            return QStringList{QString::fromUtf8(sqlite3_errmsg(db.get()))};
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QStringList cells;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                cells.append(sqlite3_column_type(stmt, i) == SQLITE_NULL
                                 ? u"NULL"_qs
                                 : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i))));
            lines.append(cells.join(u'|'));
        }
        sqlite3_finalize(stmt);
        return lines;
    };
    QStringList state =
        rows(u"SELECT type, name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY name"_qs);
    for (const QString& table : rows(u"SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"_qs))
        state += rows(QStringLiteral("SELECT '%1', * FROM \"%1\" ORDER BY rowid").arg(table));
    return state.join(u'\n');
}

// Plain SQL on a connection of its own, foreign keys off as in SQLite's shell.
QString PlainSql(const QString& path, const QString& sql)
{
    sqlite3* raw = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close_v2);
    char* error = nullptr;
    sqlite3_exec(db.get(), sql.toUtf8().constData(), nullptr, nullptr, &error);
    const QString message = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    return message;
}

Rides::Ride RideOn(const QDate& day, double km, int type = 0, TDateTime duration = {})
{
    return Rides::Ride::OnDay(TDateTime::FromQDate(day), {0, type, km, duration, u"giro"_qs});
}

GpsImport::Candidate Imported(const QDate& day, int type)
{
    GpsImport::Candidate candidate;
    candidate.session.start = QDateTime(day, QTime(8, 0), QTimeZone::utc());
    candidate.session.elapsedSeconds = candidate.session.timerSeconds = candidate.seconds = 3600;
    candidate.date = day;
    candidate.km = 30.0;
    candidate.type = type;
    candidate.ticked = true;
    return candidate;
}

// A generated log as the test knows it, apart from what the program stores.
struct Stay
{
    int bike = 0;
    QDate from, until;
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

    double BikeKm(int bike, const QDate& before = QDate()) const
    {
        double km = startKm.at(bike);
        for (const ModelRide& ride : rides)
            if (ride.bike == bike && (!before.isValid() || ride.day < before))
                km += ride.km;
        return km;
    }
    double PartKm(int part) const
    {
        double km = 0.0;
        for (const Stay& stay : stays.at(part)) {
            if (stay.atBikeKm) {
                km += std::max(BikeKm(stay.bike, stay.until) - *stay.atBikeKm, 0.0);
                continue;
            }
            for (const ModelRide& ride : rides)
                if (ride.bike == stay.bike && ride.day >= stay.from && (!stay.until.isValid() || ride.day < stay.until))
                    km += ride.km;
        }
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
    void initTestCase() { StatementFault::Install(); }

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
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("moves");
        QTest::addColumn<int>("replaced");
        QTest::addColumn<bool>("atBikeKm");   // parts fitted when the bike had some km
        QTest::addColumn<int>("deleted");     // rides deleted, half of them by another program
        QTest::addColumn<int>("deleteBike"); // the first bike deleted at the end: 1 by the log, 2 by another program
        QTest::newRow("parts fitted by date") << 1u << 0 << 0 << false << 0 << 0;
        QTest::newRow("parts moved between bikes and off") << 2u << 12 << 0 << false << 0 << 0;
        QTest::newRow("parts replaced") << 3u << 0 << 6 << false << 0 << 0;
        QTest::newRow("fitted at the bike's km") << 4u << 6 << 3 << true << 0 << 0;
        QTest::newRow("rides deleted") << 5u << 6 << 3 << false << 40 << 0;
        QTest::newRow("a bike deleted") << 6u << 8 << 2 << true << 10 << 1;
        QTest::newRow("a bike deleted by another program") << 7u << 8 << 2 << true << 0 << 2;
    }

    void usageAddsUpTheRidesOfEachStay()
    {
        QFETCH(quint32, seed);
        QFETCH(int, moves);
        QFETCH(int, replaced);
        QFETCH(bool, atBikeKm);
        QFETCH(int, deleted);
        QFETCH(int, deleteBike);
        QRandomGenerator random(seed);
        const auto someDay = [&](const QDate& after = QDate(2020, 1, 1)) {
            return after.addDays(random.bounded(qMax<qint64>(after.daysTo(QDate(2023, 12, 31)), 1)));
        };
        Model model;
        std::vector<int> bikes;
        for (int i = 0; i < 5; ++i) {
            const double startKm = random.bounded(3) * 1000.0;
            // A retired bike keeps its km and its parts' km.
            const int bike = Bikes::AddBike(Db(), {0, QStringLiteral("bici %1").arg(i), startKm, QDate(), i == 4});
            bikes.push_back(bike);
            model.startKm[bike] = startKm;
        }
        Bikes::SetDefaultBike(Db(), 3, bikes.front());
        {
            Transaction transaction(Db());
            Rides::Appender rides(Db());
            Bikes::Linker links(Db());
            for (int i = 0; i < 400; ++i) {
                ModelRide ride;
                ride.day = someDay();
                ride.km = 5 + random.bounded(1450) / 10.0;
                ride.bike = random.bounded(8) == 0 ? 0 : bikes[random.bounded(int(bikes.size()))];
                const int seconds = random.bounded(3) == 0 ? 0 : 600 + random.bounded(20000);
                ride.ms = seconds * qint64(1000);
                rides.AppendRide(RideOn(ride.day, ride.km, 0, TDateTime::EncodeTime(seconds / 3600, seconds / 60 % 60,
                                                                                    seconds % 60)));
                ride.key = rides.AppendedKey();
                links.Link(ride.key, ride.bike);
                model.rides.push_back(ride);
            }
            transaction.Commit();
        }
        std::vector<int> parts;
        const auto open = [&](int part) -> Stay* {
            std::vector<Stay>& stays = model.stays[part];
            return stays.empty() || stays.back().until.isValid() ? nullptr : &stays.back();
        };
        for (int i = 0; i < 12; ++i) {
            Stay stay{bikes[random.bounded(int(bikes.size()))], someDay(), QDate(), std::nullopt};
            if (atBikeKm && i % 2 == 0)
                stay.atBikeKm = random.bounded(int(model.BikeKm(stay.bike)) + 1);
            const int key =
                Bikes::AddPart(Db(), {0, QStringLiteral("parte %1").arg(i)}, {0, stay.bike, stay.from, stay.atBikeKm});
            parts.push_back(key);
            model.stays[key].push_back(stay);
        }
        for (int i = 0; i < moves; ++i) {
            const int part = parts[random.bounded(int(parts.size()))];
            Stay* stay = open(part);
            const std::vector<Stay>& stays = model.stays[part];
            // Off a bike, or from off one (a replacement kept aside, a part taken off) onto one.
            const QDate day = stay ? someDay(stay->from) : stays.empty() ? someDay() : someDay(stays.back().until);
            const int to = stay && random.bounded(4) == 0 ? 0 : bikes[random.bounded(int(bikes.size()))];
            Bikes::MovePart(Db(), part, to, day);
            if (stay)
                stay->until = day;
            if (to != 0)
                model.stays[part].push_back({to, day, QDate(), std::nullopt});
        }
        for (int i = 0; i < replaced; ++i) {
            const int part = parts[random.bounded(int(parts.size()))];
            Stay* stay = open(part);
            const QDate day = stay ? someDay(stay->from) : someDay();
            const int replacement = Bikes::ReplacePart(Db(), part, day);
            parts.push_back(replacement);
            model.stays[replacement];
            if (stay) {
                stay->until = day;
                model.stays[replacement].push_back({stay->bike, day, QDate(), std::nullopt});
            }
        }
        for (int i = 0; i < deleted; ++i) {
            const auto at = model.rides.begin() + random.bounded(int(model.rides.size()));
            if (i % 2 == 0)
                Rides::Delete(Db(), at->key);
            else
                QCOMPARE(PlainSql(m_path, QStringLiteral("DELETE FROM Uscite WHERE IDUscita = %1").arg(at->key)),
                         QString());
            model.rides.erase(at);
        }
        if (deleteBike) {
            const int gone = bikes.front();
            if (deleteBike == 1)
                Bikes::DeleteBike(Db(), gone);
            else
                QCOMPARE(PlainSql(m_path, QStringLiteral("DELETE FROM Bici WHERE IDBici = %1").arg(gone)), QString());
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
            qint64 ms = 0;
            int count = 0;
            QDate last;
            for (const ModelRide& ride : model.rides)
                if (ride.bike == bike) {
                    ms += ride.ms;
                    ++count;
                    last = std::max(last, ride.day);
                }
            const Bikes::BikeUsage used = usage.bikes.value(bike);
            QVERIFY2(qAbs(used.km - model.BikeKm(bike)) < 1e-6, qPrintable(QString::number(bike)));
            QCOMPARE(used.rides, count);
            QCOMPARE(used.durationMs, ms);
            QCOMPARE(used.lastRide, last);
        }
        QCOMPARE(usage.parts.size(), qsizetype(model.stays.size()));
        for (const auto& [part, stays] : model.stays)
            QVERIFY2(qAbs(usage.parts.value(part).km - model.PartKm(part)) < 1e-6, qPrintable(QString::number(part)));

        // The statistics' rows of a period, both days included.
        StatisticsResult result;
        result.DataInizio = TDateTime::FromQDate(QDate(2021, 3, 1));
        result.DataTermine = TDateTime::FromQDate(QDate(2022, 10, 31));
        m_log->ComputeStatistics(result);
        std::map<int, std::pair<int, double>> expected;
        for (const ModelRide& ride : model.rides)
            if (ride.day >= QDate(2021, 3, 1) && ride.day <= QDate(2022, 10, 31)) {
                expected[ride.bike].first += 1;
                expected[ride.bike].second += ride.km;
            }
        QCOMPARE(result.Bici.size(), qsizetype(expected.size()));
        for (qsizetype i = 0; i < result.Bici.size(); ++i) {
            const Bikes::PeriodRow& row = result.Bici[i];
            QCOMPARE(row.rides, expected[row.bike].first);
            QVERIFY(qAbs(row.km - expected[row.bike].second) < 1e-6);
            QCOMPARE(row.name, row.bike == 0 ? QString() : garage.FindBike(row.bike)->name);
            if (i > 0)
                QVERIFY2(row.bike == 0 || result.Bici[i - 1].km >= row.km, "not by km, most first");
            QVERIFY2(row.bike != 0 || i == result.Bici.size() - 1, "the rides without a bike are not last");
        }
    }

    void wearWarnsFrom95PerCent_data()
    {
        QTest::addColumn<double>("limitKm");  // 0: none
        QTest::addColumn<int>("limitMonths"); // 0: none
        QTest::addColumn<double>("km");       // ridden from the day it was fitted
        QTest::addColumn<QDate>("fitted");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("warning"); // empty: none
        const QDate day(2023, 1, 15);
        QTest::newRow("below 95 %") << 7000.0 << 0 << 6649.0 << day << day << QString();
        QTest::newRow("at 95 %") << 7000.0 << 0 << 6650.0 << day << day
                                 << u"Da sostituire: catena (Bici da corsa, 6.650 / 7.000 km)"_qs;
        QTest::newRow("at the limit") << 7000.0 << 0 << 7000.0 << day << day
                                      << u"Da sostituire: catena (Bici da corsa, 7.000 / 7.000 km)"_qs;
        QTest::newRow("over the limit") << 7000.0 << 0 << 7120.0 << day << day
                                        << u"Da sostituire: catena (Bici da corsa, 7.120 / 7.000 km)"_qs;
        QTest::newRow("months: a day short of the limit") << 0.0 << 12 << 0.0 << day << QDate(2024, 1, 14) << QString();
        QTest::newRow("months: at the limit") << 0.0 << 12 << 0.0 << day << QDate(2024, 1, 15)
                                              << u"Da sostituire: catena (Bici da corsa, 12 / 12 mesi)"_qs;
        QTest::newRow("months: at 95 %") << 0.0 << 20 << 0.0 << day << QDate(2024, 8, 15)
                                         << u"Da sostituire: catena (Bici da corsa, 19 / 20 mesi)"_qs;
        QTest::newRow("months: to the end of a shorter month")
            << 0.0 << 1 << 0.0 << QDate(2024, 1, 31) << QDate(2024, 2, 29)
            << u"Da sostituire: catena (Bici da corsa, 1 / 1 mesi)"_qs;
        QTest::newRow("both limits: the km nearer") << 7000.0 << 24 << 6900.0 << day << QDate(2024, 1, 20)
                                                    << u"Da sostituire: catena (Bici da corsa, 6.900 / 7.000 km)"_qs;
        QTest::newRow("both limits: the months nearer") << 7000.0 << 12 << 1000.0 << day << QDate(2024, 2, 20)
                                                        << u"Da sostituire: catena (Bici da corsa, 13 / 12 mesi)"_qs;
        QTest::newRow("both limits, neither near") << 7000.0 << 12 << 6000.0 << day << QDate(2023, 12, 1) << QString();
    }

    void wearWarnsFrom95PerCent()
    {
        QFETCH(double, limitKm);
        QFETCH(int, limitMonths);
        QFETCH(double, km);
        QFETCH(QDate, fitted);
        QFETCH(QDate, today);
        QFETCH(QString, warning);
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
            QCOMPARE(Bikes::DueText(due.front()), warning);
        QCOMPARE(m_log->DueParts(bike + 1, today).size(), 0);
    }

    void writesAreWholeOrNotAtAll_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("linked"); // the bike of the ride written, 1 and 2 of the base, 0 none; -1 no ride
        for (const char* operation : {"first bike", "change bike", "delete bike", "default bike", "ride bike",
                                      "add part", "change part", "move part", "replace part", "retire part",
                                      "delete part"})
            QTest::newRow(operation) << QString::fromUtf8(operation) << -1;
        QTest::newRow("add ride") << u"add ride 2"_qs << 2;
        QTest::newRow("add ride without bike") << u"add ride 0"_qs << 0;
        QTest::newRow("change ride, the link left alone") << u"change ride"_qs << 1;
        QTest::newRow("change ride and bike") << u"change ride 2"_qs << 2;
        QTest::newRow("change ride to no bike") << u"change ride 0"_qs << 0;
        QTest::newRow("GPS import: the type's bike") << u"GPS import"_qs << 1;
        QTest::newRow("GPS import: not a retired bike") << u"GPS import retired"_qs << 0;
    }

    void writesAreWholeOrNotAtAll()
    {
        QFETCH(QString, operation);
        QFETCH(int, linked);
        const Base base = operation == u"first bike" ? Base() : MakeBase();
        const QDate day(2022, 4, 1);
        const int to = operation.endsWith(u" 0"_qs) ? 0 : base.other;
        if (operation.endsWith(u"retired"_qs))
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
            {u"add ride 2"_qs, [&] { m_log->Add(RideOn(day, 30.0), to); }},
            {u"add ride 0"_qs, [&] { m_log->Add(RideOn(day, 30.0), to); }},
            {u"change ride"_qs, [&] { m_log->Change(base.ride, RideOn(day, 30.0)); }},
            {u"change ride 2"_qs, [&] { m_log->Change(base.ride, RideOn(day, 30.0), to); }},
            {u"change ride 0"_qs, [&] { m_log->Change(base.ride, RideOn(day, 30.0), to); }},
            {u"GPS import"_qs, [&] { m_log->AddImported({Imported(day, 1)}); }},
            {u"GPS import retired"_qs, [&] { m_log->AddImported({Imported(day, 1)}); }},
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
            QCOMPARE(m_log->BikeOf(ride), linked == 1 ? base.bike : linked == 2 ? base.other : 0);
        }
        restore();
        int refusals = 0;
        int statement = 1;
        for (;; ++statement) {
            StatementFault::Arm(statement);
            const std::optional<Failure> failure = FailureOf(write);
            const bool fired = StatementFault::Fired();
            StatementFault::Arm(0);
            const QString where = QStringLiteral("refused at statement %1: %2")
                                      .arg(statement)
                                      .arg(failure ? failure->message : u"done"_qs);
            QVERIFY2(State(m_path) == (failure ? before : after), qPrintable(where));
            if (!fired)
                break;
            if (failure)
                ++refusals;
            else
                restore();
        }
        qInfo("%d statements, %d refused", statement - 1, refusals);
        QVERIFY(refusals > 0);
    }

    void readsWithoutTheTables()
    {
        // A log no bike was ever added to, opened read-only: the reads find nothing and make nothing.
        m_log->Add(RideOn(QDate(2023, 3, 3), 12.5));
        m_log.reset();
        const QString before = State(m_path);
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path), TZTConnection::Access::ReadOnly);
        const Bikes::Garage garage = Bikes::Read(connection);
        QVERIFY(garage.bikes.isEmpty() && garage.parts.isEmpty() && garage.defaultBikes.isEmpty());
        QVERIFY(Bikes::ReadUsage(connection, garage, QDate(2024, 1, 1)).bikes.isEmpty());
        QCOMPARE(Bikes::BikeOfRide(connection, 1), 0);
        QVERIFY(Bikes::RideBikeNames(connection).isEmpty());
        const QList<Bikes::PeriodRow> rows = Bikes::ReadPeriod(
            connection, TDateTime::FromQDate(QDate(2023, 1, 1)), TDateTime::FromQDate(QDate(2023, 12, 31)));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.front().bike, 0);
        QCOMPARE(rows.front().km, 12.5);
        QVERIFY(FailureOf([&] { Bikes::AddBike(connection, {0, u"Gravel"_qs, 0.0, QDate(), false}); }));
        connection.Close();
        QCOMPARE(State(m_path), before);
    }

    void compactionKeepsTheBikes()
    {
        const Base base = MakeBase();
        m_log.reset();
        const QString before = State(m_path);
        Compaction::CompactDatabase(Template, m_path);
        QCOMPARE(State(m_path), before);
        // The triggers came along.
        QCOMPARE(PlainSql(m_path, QStringLiteral("DELETE FROM Uscite WHERE IDUscita = %1").arg(base.ride)), QString());
        QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT count(*) FROM UsciteBici"_qs), u"0"_qs);
    }
};

QTEST_MAIN(TestBikes)
#include "test_bikes.moc"
