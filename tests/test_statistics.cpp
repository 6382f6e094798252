#include "data/Bikes.h"
#include "data/Statistics.h"
#include "data/TZTConnection.h"
#include "forms/PieChart.h"
#include "support/ItalianLocale.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"
#include "util/Exception.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <memory>
#include <numeric>

namespace {

using Ride = std::pair<QString, double>; // ISO date, km
struct TimedRide
{
    QString date; // ISO
    double km;
    QString duration; // as stored, empty for NULL
    QString bike = {}; // empty for none
};
// Which query of a computation failed.
enum class Query { Period, Top10 };
TDateTime Day(int y, int m, int d) { return TDateTime::EncodeDate(y, m, d); }

// A duration the rides list can show: a time of day of at least a second.
qint64 UsableMs(const QString& stored)
{
    QTime time = QTime::fromString(stored, u"HH:mm:ss.zzz"_qs);
    if (!time.isValid())
        time = QTime::fromString(stored, u"HH:mm:ss"_qs);
    return time.isValid() && time.msecsSinceStartOfDay() >= 1000 ? time.msecsSinceStartOfDay() : 0;
}

// The years page worked out ride by ride: every year from the start's to the
// end's, then the total, with the rides of the period only.
QList<QStringList> ExpectedYearRows(const QList<TimedRide>& rides, const QDate& start, const QDate& end)
{
    struct Sums
    {
        int rides = 0;
        double km = 0, kmTimed = 0;
        qint64 ms = 0;
    };
    QMap<int, Sums> years;
    for (int year = start.year(); year <= end.year(); ++year)
        years[year] = {};
    Sums total;
    for (const TimedRide& ride : rides) {
        const QDate day = QDate::fromString(ride.date, Qt::ISODate);
        if (day < start || day > end)
            continue;
        for (Sums* sums : {&years[day.year()], &total}) {
            sums->rides += 1;
            sums->km += ride.km;
            if (const qint64 ms = UsableMs(ride.duration)) {
                sums->ms += ms;
                sums->kmTimed += ride.km;
            }
        }
    }
    const auto decimals = [](double value, int n) { return QString::number(value, 'f', n).replace(u'.', u','); };
    const auto row = [&](const QString& name, const Sums& sums) {
        return QStringList{name, QString::number(sums.rides), decimals(sums.km, 1),
                           QStringLiteral("%1:%2").arg(sums.ms / 3600000).arg(sums.ms / 60000 % 60, 2, 10, QChar(u'0')),
                           sums.rides ? decimals(sums.km / sums.rides, 2) : u"n/d"_qs,
                           sums.ms ? decimals(sums.kmTimed / (sums.ms / 3600000.0), 1) : u"n/d"_qs};
    };
    QList<QStringList> rows;
    for (auto it = years.begin(); it != years.end(); ++it)
        rows.append(row(QString::number(it.key()), it.value()));
    rows.append(row(u"Totale"_qs, total));
    return rows;
}

// Kilometres per month of `year` within the period.
std::array<double, 12> ExpectedMonths(const QList<TimedRide>& rides, const QDate& start, const QDate& end, int year)
{
    std::array<double, 12> km{};
    for (const TimedRide& ride : rides) {
        const QDate day = QDate::fromString(ride.date, Qt::ISODate);
        if (day >= start && day <= end && day.year() == year)
            km[day.month() - 1] += ride.km;
    }
    return km;
}

}

class TestStatistics : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    // A new ride log holding `rides`; its path.
    QString Log(const QList<Ride>& rides)
    {
        const QString path = m_dir.filePath(QStringLiteral("%1.mdb").arg(++m_count));
        [&] { QCOMPARE(TestDatabase::Create(path), QString()); }();
        for (const Ride& ride : rides)
            [&] {
                const QString description = QStringLiteral("km %1").arg(ride.second);
                QCOMPARE(TestDatabase::InsertRide(path, ride.first, ride.second, 0, description), QString());
            }();
        return path;
    }

    // A new ride log holding `rides` with their durations; its path.
    QString TimedLog(const QList<TimedRide>& rides)
    {
        const QString path = m_dir.filePath(QStringLiteral("%1.mdb").arg(++m_count));
        [&] { QCOMPARE(TestDatabase::Create(path), QString()); }();
        for (const TimedRide& ride : rides)
            [&] { QCOMPARE(TestDatabase::InsertRide(path, ride.date, ride.km, 0, QString(), ride.duration), QString()); }();
        return path;
    }

    // The statistics of `rides` over a period, computed `runs` times on one connection.
    StatisticsResult Compute(const QList<Ride>& rides, TDateTime start, TDateTime end, int runs = 1)
    {
        return ComputeOn(Log(rides), start, end, runs);
    }

    StatisticsResult ComputeOn(const QString& path, TDateTime start, TDateTime end, int runs = 1)
    {
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(path));
        StatisticsResult result;
        result.DataInizio = start;
        result.DataTermine = end;
        for (int run = 0; run < runs; ++run)
            Statistics::Compute(connection, result);
        return result;
    }

private Q_SLOTS:
    void runningAveragesAndTheirBestDays_data()
    {
        QTest::addColumn<QList<Ride>>("rides");
        QTest::addColumn<QList<double>>("expected"); // KMTotali, Uscite, Giorni, MediaKMG, MaxKMG, MediaKMU, MaxKMU
        QTest::addColumn<QList<int>>("bestDays");    // day of January of the two maxima
        QTest::newRow("50 on the 1st, 30 on the 3rd")
            << QList<Ride>{{u"2005-01-01"_qs, 50}, {u"2005-01-03"_qs, 30}}
            << QList<double>{80, 2, 31, 80.0 / 31, 50, 40, 50} << QList<int>{1, 1};
        QTest::newRow("two rides on the first day")
            << QList<Ride>{{u"2005-01-01"_qs, 30}, {u"2005-01-01"_qs, 40}}
            << QList<double>{70, 2, 31, 70.0 / 31, 70, 35, 35} << QList<int>{1, 1};
        QTest::newRow("a later equal value keeps the first day")
            << QList<Ride>{{u"2005-01-02"_qs, 20}, {u"2005-01-04"_qs, 20}}
            << QList<double>{40, 2, 31, 40.0 / 31, 10, 20, 20} << QList<int>{2, 2};
        QTest::newRow("the best day comes later")
            << QList<Ride>{{u"2005-01-01"_qs, 10}, {u"2005-01-02"_qs, 90}}
            << QList<double>{100, 2, 31, 100.0 / 31, 50, 50, 50} << QList<int>{2, 2};
    }

    void runningAveragesAndTheirBestDays()
    {
        QFETCH(QList<Ride>, rides);
        QFETCH(QList<double>, expected);
        QFETCH(QList<int>, bestDays);
        const StatisticsResult r = Compute(rides, Day(2005, 1, 1), Day(2005, 1, 31));
        QCOMPARE((QList<double>{r.KMTotali, double(r.UsciteTotali), double(r.GiorniTotali), r.MediaKMG, r.MaxMediaKMG,
                                r.MediaKMU, r.MaxMediaKMU}),
                 expected);
        QCOMPARE(r.DataMaxMediaKMG, Day(2005, 1, bestDays[0]));
        QCOMPARE(r.DataMaxMediaKMU, Day(2005, 1, bestDays[1]));
    }

    void breakdowns_data()
    {
        QTest::addColumn<int>("runs"); // on one connection
        QTest::newRow("computed once") << 1;
        QTest::newRow("computed twice, nothing carried over") << 2;
    }

    void breakdowns()
    {
        QFETCH(int, runs);
        // Across a year end: December into the last month, January into the first.
        const StatisticsResult r = Compute({{u"2004-11-30"_qs, 99}, {u"2004-12-05"_qs, 10}, {u"2004-12-31"_qs, 20},
                                            {u"2005-01-31"_qs, 0}, {u"2005-02-01"_qs, 99}},
                                           Day(2004, 12, 1), Day(2005, 1, 31), runs);
        QCOMPARE(r.KMTotali, 30.0);
        QCOMPARE((QList<int>{r.UsciteTotali, r.GiorniTotali}), (QList<int>{3, 62}));
        QCOMPARE((QList<int>{r.Mesi[11].NumUscite, r.Mesi[0].NumUscite, r.Mesi[10].NumUscite}), (QList<int>{2, 1, 0}));
        QCOMPARE(r.Mesi[11].KM, 30.0);
        // 5 December 2004 was a Sunday, 31 December a Friday, 31 January a Monday.
        QCOMPARE((QList<double>{r.GiorniSettimanali[0].KM, r.GiorniSettimanali[5].KM, r.GiorniMensili[4].KM}),
                 (QList<double>{10, 20, 10}));
        QCOMPARE((QList<int>{r.GiorniSettimanali[1].NumUscite, r.GiorniMensili[30].NumUscite}), (QList<int>{1, 2}));
        QCOMPARE(r.DecineDiKM[0], 1); // the 0 km ride counts too

        const QList<QStringList> months = Statistics::MonthRows(r);
        QCOMPARE(months.size(), 12);
        QCOMPARE(months[11], (QStringList{u"Dicembre"_qs, u"30,0"_qs, u"2"_qs, u"15,00"_qs, QString()}));
        QCOMPARE(months[1], (QStringList{u"Febbraio"_qs, u"0,0"_qs, u"0"_qs, u"n/d"_qs, QString()}));
        QCOMPARE(Statistics::WeekdayRows(r).first().first(), u"Domenica"_qs);
        QCOMPARE(Statistics::DayOfMonthRows(r)[30], (QStringList{u"31"_qs, u"20,0"_qs, u"2"_qs}));
    }

    void tensOfKilometres()
    {
        const StatisticsResult r = Compute({{u"2005-03-01"_qs, 29.9}, {u"2005-03-01"_qs, 30}, {u"2005-03-01"_qs, 39.99},
                                            {u"2005-03-01"_qs, 40}, {u"2005-03-01"_qs, 149.9}, {u"2005-03-01"_qs, 150},
                                            {u"2005-03-01"_qs, 999}},
                                           Day(2005, 3, 1), Day(2005, 3, 1));
        QCOMPARE(r.GiorniTotali, 1);
        std::array<int, 16> expected{};
        expected[2] = 1, expected[3] = 2, expected[4] = 1, expected[14] = 1, expected[15] = 2;
        QCOMPARE(r.DecineDiKM, expected);
        const QList<QStringList> rows = Statistics::TensOfKmRows(r);
        QCOMPARE(rows.size(), 14);
        QCOMPARE((QList<QStringList>{rows[0], rows[1], rows[2], rows[12], rows[13]}),
                 (QList<QStringList>{{u"< 30"_qs, u"1"_qs}, {u"30 - 40"_qs, u"2"_qs}, {u"40 - 50"_qs, u"1"_qs},
                                     {u"140 - 150"_qs, u"1"_qs}, {u">= 150"_qs, u"2"_qs}}));
    }

    void top10_data()
    {
        QTest::addColumn<QList<double>>("distances"); // one a day from 1 March 2005
        QTest::addColumn<QList<double>>("expected");
        QTest::newRow("twelve rides") << QList<double>{5, 80, 12, 45, 90, 33, 7, 60, 21, 75, 18, 50}
                                      << QList<double>{90, 80, 75, 60, 50, 45, 33, 21, 18, 12};
        QTest::newRow("eight rides") << QList<double>{5, 80, 12, 45, 90, 33, 7, 60}
                                     << QList<double>{90, 80, 60, 45, 33, 12, 7, 5, -1, -1};
        QTest::newRow("ties at the tenth place") << QList<double>(12, 10.0) << QList<double>(10, 10.0);
        QTest::newRow("no rides in the period") << QList<double>{} << QList<double>(10, -1.0);
    }

    void top10()
    {
        QFETCH(QList<double>, distances);
        QFETCH(QList<double>, expected);
        QList<Ride> rides{{u"2005-02-28"_qs, 500}}; // outside the period
        for (qsizetype i = 0; i < distances.size(); ++i)
            rides.append({QDate(2005, 3, 1).addDays(i).toString(Qt::ISODate), distances[i]});
        const StatisticsResult r = Compute(rides, Day(2005, 3, 1), Day(2005, 3, 31));
        QList<double> found;
        for (const TZTUscita& ride : r.Top10)
            found.append(ride.KM);
        QCOMPARE(found, expected);
        // Equal distances by date; each slot carries its ride; empty slots make no rows.
        if (distances.count(10.0) == 12)
            QCOMPARE(r.Top10[9].Data, Day(2005, 3, 10));
        const QList<QStringList> rows = Statistics::Top10Rows(r);
        QCOMPARE(rows.size(), expected.size() - expected.count(-1.0));
        if (!rows.isEmpty()) {
            QCOMPARE(r.Top10[0].Descrizione, QStringLiteral("km %1").arg(expected[0]));
            QCOMPARE(rows.first().first(), u"1"_qs);
        }
    }

    void generalTexts_data()
    {
        QTest::addColumn<QList<Ride>>("rides");
        QTest::addColumn<QStringList>("expected"); // periodo, KM, giorni, uscite, KM/G, KM/U
        const QString period = u"Periodo dal giorno 1/3/2005 al giorno 10/3/2005"_qs;
        QTest::newRow("documented example")
            << QList<Ride>{{u"2005-03-01"_qs, 50}, {u"2005-03-05"_qs, 20}, {u"2005-03-06"_qs, 20}, {u"2005-03-09"_qs, 30}}
            << QStringList{period, u"120,0"_qs, u"10"_qs, u"4"_qs, u"12,00 (max. 50,00 il giorno 1/3/2005)"_qs,
                           u"30,00 (max. 50,00 il giorno 1/3/2005)"_qs};
        QTest::newRow("no rides") << QList<Ride>{}
                                  << QStringList{period, u"0,0"_qs, u"10"_qs, u"0"_qs, u"0,00"_qs, u"n/d"_qs};
        QTest::newRow("only rides of 0 km") << QList<Ride>{{u"2005-03-02"_qs, 0}}
                                            << QStringList{period, u"0,0"_qs, u"10"_qs, u"1"_qs, u"0,00"_qs, u"0,00"_qs};
    }

    void generalTexts()
    {
        QFETCH(QList<Ride>, rides);
        QFETCH(QStringList, expected);
        const Statistics::GeneralTexts t = Statistics::General(Compute(rides, Day(2005, 3, 1), Day(2005, 3, 10)));
        QCOMPARE((QStringList{t.periodo, t.kmTotali, t.giorniTotali, t.usciteTotali, t.kmg, t.kmu}), expected);
    }

    void yearsAndMonthPairs_data()
    {
        QTest::addColumn<QList<TimedRide>>("rides");
        QTest::addColumn<QDate>("start");
        QTest::addColumn<QDate>("end");
        const QString none;
        QTest::newRow("inside a year")
            << QList<TimedRide>{{u"2005-03-09"_qs, 11.1, u"01:00:00"_qs}, {u"2005-03-10"_qs, 40.2, u"01:30:00"_qs},
                                {u"2005-06-15"_qs, 25.6, none},           {u"2005-08-20"_qs, 60.4, u"02:10:30"_qs},
                                {u"2005-08-21"_qs, 99, u"03:00:00"_qs}}
            << QDate(2005, 3, 10) << QDate(2005, 8, 20);
        QTest::newRow("across a year boundary")
            << QList<TimedRide>{{u"2004-11-14"_qs, 70, u"02:00:00"_qs},     {u"2004-11-15"_qs, 30.3, u"01:00:00"_qs},
                                {u"2004-12-31"_qs, 45.7, u"01:45:10.250"_qs}, {u"2005-01-01"_qs, 20.1, u"00:50:00"_qs},
                                {u"2005-02-10"_qs, 33.3, none},             {u"2005-02-11"_qs, 80, u"03:00:00"_qs}}
            << QDate(2004, 11, 15) << QDate(2005, 2, 10);
        QTest::newRow("from a 29 February to the 28th")
            << QList<TimedRide>{{u"2004-02-28"_qs, 5, u"00:20:00"_qs}, {u"2004-02-29"_qs, 50.5, u"02:00:00"_qs},
                                {u"2005-02-28"_qs, 10.2, u"00:30:00"_qs}, {u"2005-03-01"_qs, 7, u"00:25:00"_qs}}
            << QDate(2004, 2, 29) << QDate(2005, 2, 28);
        QTest::newRow("years without rides")
            << QList<TimedRide>{{u"2000-06-01"_qs, 12.3, u"00:40:00"_qs}, {u"2004-05-31"_qs, 80.8, u"03:00:00"_qs},
                                {u"2004-06-01"_qs, 9, u"00:30:00"_qs}}
            << QDate(2000, 6, 1) << QDate(2004, 5, 31);
        // None, nothing, a day or more, under a second: no time ridden.
        QTest::newRow("rides without a duration")
            << QList<TimedRide>{{u"2005-01-03"_qs, 10.4, none},        {u"2005-02-03"_qs, 20.3, u"00:00:00"_qs},
                                {u"2005-03-03"_qs, 30.2, u"25:30:00"_qs}, {u"2005-04-03"_qs, 40.1, u"00:00:00.500"_qs},
                                {u"2005-05-03"_qs, 5.6, u"00:00:01"_qs},  {u"2005-06-03"_qs, 40.1, u"01:59:59"_qs}}
            << QDate(2005, 1, 1) << QDate(2005, 12, 31);
        QTest::newRow("no rides") << QList<TimedRide>{} << QDate(2005, 1, 1) << QDate(2005, 1, 1);
    }

    void yearsAndMonthPairs()
    {
        QFETCH(QList<TimedRide>, rides);
        QFETCH(QDate, start);
        QFETCH(QDate, end);
        const StatisticsResult r = ComputeOn(TimedLog(rides), TDateTime::FromQDate(start), TDateTime::FromQDate(end));
        QCOMPARE(Statistics::YearRows(r), ExpectedYearRows(rides, start, end));
        QCOMPARE(r.Anni.size(), end.year() - start.year() + 1);
        QCOMPARE(Statistics::ChartYear(r), end.year());
        QCOMPARE(r.KMMesiUltimoAnno, ExpectedMonths(rides, start, end, end.year()));
        QCOMPARE(r.KMMesiAnnoPrecedente, ExpectedMonths(rides, start, end, end.year() - 1));
    }

    // The period is March 2005; "Scorta" is never ridden. The speed from the rides with a duration only; the
    // rides without a bike last, however long.
    void bikeRows_data()
    {
        QTest::addColumn<QList<TimedRide>>("rides");
        QTest::addColumn<QStringList>("retired");
        QTest::addColumn<QStringList>("rows"); // cells apart by spaces
        const QString none;
        QTest::newRow("rides without a bike or a duration")
            << QList<TimedRide>{{u"2005-03-01"_qs, 50, u"01:40:00"_qs, u"Corsa"_qs}, {u"2005-03-02"_qs, 80, none},
                                {u"2005-03-03"_qs, 20, none, u"Corsa"_qs}, {u"2005-04-01"_qs, 99, none, u"Corsa"_qs}}
            << QStringList{}
            << QStringList{u"Corsa 2 70,0 1:40 35,00 30,0"_qs, u"nessuna 1 80,0 0:00 80,00 n/d"_qs,
                           u"Totale 3 150,0 1:40 50,00 30,0"_qs};
        QTest::newRow("a retired bike keeps its rides")
            << QList<TimedRide>{{u"2005-03-01"_qs, 40, u"02:00:00"_qs, u"Corsa"_qs},
                                {u"2005-03-02"_qs, 60, u"02:00:00"_qs, u"Gravel"_qs}}
            << QStringList{u"Corsa"_qs}
            << QStringList{u"Gravel 1 60,0 2:00 60,00 30,0"_qs, u"Corsa 1 40,0 2:00 40,00 20,0"_qs,
                           u"Totale 2 100,0 4:00 50,00 25,0"_qs};
        QTest::newRow("no rides in the period")
            << QList<TimedRide>{{u"2005-02-28"_qs, 40, none, u"Corsa"_qs}, {u"2005-04-01"_qs, 30, none}}
            << QStringList{} << QStringList{u"Totale 0 0,0 0:00 n/d n/d"_qs};
    }

    void bikeRows()
    {
        QFETCH(QList<TimedRide>, rides);
        QFETCH(QStringList, retired);
        QFETCH(QStringList, rows);
        const QString path = TimedLog(rides);
        const auto log = OpenRideLog(path);
        QHash<QString, int> bikes;
        for (const QString& name : {u"Corsa"_qs, u"Gravel"_qs, u"Scorta"_qs})
            bikes.insert(name, Bikes::AddBike(log->Connection(), {0, name, 1000.0, {}, retired.contains(name)}));
        for (qsizetype i = 0; i < rides.size(); ++i) // keys from 1, in the order stored
            if (!rides[i].bike.isEmpty())
                Bikes::SetRideBike(log->Connection(), int(i) + 1, bikes.value(rides[i].bike));
        StatisticsResult result;
        result.DataInizio = Day(2005, 3, 1);
        result.DataTermine = Day(2005, 3, 31);
        log->ComputeStatistics(result);
        QStringList shown;
        for (const QStringList& row : Statistics::BikeRows(result))
            shown.append(row.join(u' '));
        QCOMPARE(shown, rows);
    }

    void goalMarksItsYear_data()
    {
        QTest::addColumn<Statistics::YearGoal>("goal");
        QTest::addColumn<QStringList>("years"); // the first column of each row
        using Goal = Statistics::YearGoal;
        QTest::newRow("part of the goal") << Goal{2005, 200} << QStringList{u"2003"_qs, u"2004"_qs, u"2005 (60%)"_qs};
        QTest::newRow("not rounded up") << Goal{2005, 121} << QStringList{u"2003"_qs, u"2004"_qs, u"2005 (99%)"_qs};
        QTest::newRow("a year without rides") << Goal{2003, 40} << QStringList{u"2003 (0%)"_qs, u"2004"_qs, u"2005"_qs};
        QTest::newRow("a year outside the period") << Goal{2006, 200} << QStringList{u"2003"_qs, u"2004"_qs, u"2005"_qs};
        QTest::newRow("no goal") << Goal{2005, 0} << QStringList{u"2003"_qs, u"2004"_qs, u"2005"_qs};
    }

    void goalMarksItsYear()
    {
        QFETCH(Statistics::YearGoal, goal);
        QFETCH(QStringList, years);
        const StatisticsResult r = Compute({{u"2004-12-31"_qs, 50}, {u"2005-03-01"_qs, 70}, {u"2005-03-05"_qs, 50}},
                                           Day(2003, 12, 1), Day(2005, 3, 15));
        QStringList shown;
        for (const QStringList& row : Statistics::YearRows(r, goal))
            shown.append(row.first());
        QCOMPARE(shown, years << u"Totale"_qs);
    }

    void yearAgainstItsGoal_data()
    {
        QTest::addColumn<QList<Ride>>("rides");
        QTest::addColumn<int>("goal");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("texts"); // the panel, then the lines of its tooltip
        const QString linear = u" (lineare: servono almeno due anni completi nel registro)"_qs;
        const QString seasonal = u" (dal tuo andamento stagionale in 2 anni)"_qs;
        // The panel, the projection, last year by the same day (none without a past year), what is left.
        const auto row = [](const char* name, const QList<Ride>& rides, int goal, const QDate& today,
                            const QString& panel, const QString& projection, const QString& before, const QString& left) {
            QStringList texts{panel, u"Proiezione a fine anno: "_qs + projection};
            if (!before.isEmpty())
                texts.append(u"%1 alla stessa data: %2"_qs.arg(today.year() - 1).arg(before));
            QTest::newRow(name) << rides << goal << today << (texts << left);
        };
        // 31 March 2026 is day 90 of 365: 275 days, 39 weeks and 2 days, are left.
        row("one past season: linear, rides ahead of today left out",
            {{u"2025-01-05"_qs, 200}, {u"2025-06-01"_qs, 800}, {u"2026-01-10"_qs, 100}, {u"2026-04-01"_qs, 999}},
            2000, QDate(2026, 3, 31), u"2026: 100 / 2.000 km"_qs, u"406 km"_qs + linear, u"200 km, \u221250,0 %"_qs,
            u"Mancano 1.900 km: 48 km a settimana"_qs);
        // A quarter of 2024's km and half of 2025's were ridden by 31 March: 300 km are 37.5 % of a year.
        const QList<Ride> seasons{{u"2024-01-15"_qs, 100}, {u"2024-07-01"_qs, 300}, {u"2025-03-31"_qs, 150},
                                  {u"2025-09-01"_qs, 150}, {u"2026-03-01"_qs, 300}};
        row("two seasons: their mean share", seasons, 1000, QDate(2026, 3, 31), u"2026: 300 / 1.000 km"_qs,
            u"800 km"_qs + seasonal, u"150 km, +100,0 %"_qs, u"Mancano 700 km: 18 km a settimana"_qs);
        row("a first year begun after January is no season", QList<Ride>{{u"2024-02-01"_qs, 100}} + seasons.mid(1),
            1000, QDate(2026, 3, 31), u"2026: 300 / 1.000 km"_qs, u"1.217 km"_qs + linear, u"150 km, +100,0 %"_qs,
            u"Mancano 700 km: 18 km a settimana"_qs);
        // Up to 29 February is up to 28 February in 2022 and 2023: half of 2022, a sixth of 2023.
        row("reached on 29 February",
            {{u"2022-01-01"_qs, 10}, {u"2022-12-31"_qs, 10}, {u"2023-01-01"_qs, 10}, {u"2023-02-28"_qs, 10},
             {u"2023-03-01"_qs, 100}, {u"2024-02-29"_qs, 5000}},
            5000, QDate(2024, 2, 29), u"2024: 5.000 / 5.000 km \u2713"_qs, u"15.000 km"_qs + seasonal,
            u"20 km, +24.900,0 %"_qs, u"Obiettivo raggiunto"_qs);
        // By 5 January a tenth of 2024 and a fifth of 2025 were ridden; 360 days are left.
        row("early January",
            {{u"2024-01-03"_qs, 10}, {u"2024-06-01"_qs, 90}, {u"2025-01-02"_qs, 20}, {u"2025-07-01"_qs, 80},
             {u"2026-01-04"_qs, 15}},
            1000, QDate(2026, 1, 5), u"2026: 15 / 1.000 km"_qs, u"100 km"_qs + seasonal, u"20 km, \u221225,0 %"_qs,
            u"Mancano 985 km: 19 km a settimana"_qs);
        row("the last day, no past year", {{u"2026-06-01"_qs, 49.6}}, 100, QDate(2026, 12, 31), u"2026: 50 / 100 km"_qs,
            u"50 km"_qs + linear, QString(), u"Mancano 50 km"_qs);
        QTest::newRow("no goal") << QList<Ride>{{u"2026-06-01"_qs, 50}} << 0 << QDate(2026, 7, 2)
                                 << QStringList{QString()};
    }

    void yearAgainstItsGoal()
    {
        QFETCH(QList<Ride>, rides);
        QFETCH(int, goal);
        QFETCH(QDate, today);
        QFETCH(QStringList, texts);
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(Log(rides)));
        const Statistics::YearProgress progress = Statistics::ReadProgress(connection, goal, today);
        QCOMPARE(QStringList{Statistics::ProgressText(progress)}
                     + Statistics::OutlookLines(Statistics::ReadOutlook(connection, progress)),
                 texts);
        connection.Close();
        QVERIFY_THROWS_EXCEPTION(Exception, Statistics::ReadProgress(connection, goal, today));
        QVERIFY_THROWS_EXCEPTION(Exception, Statistics::ReadOutlook(connection, progress));
    }

    void failuresAreThrownByTheirQuery_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<int>("query");     // the one that failed; -1 for none
        QTest::addColumn<QString>("message"); // how its message starts
        QTest::addColumn<QList<int>>("expected"); // UsciteTotali, GiorniTotali, Top 10 slots filled
        QTest::newRow("none") << u"none"_qs << -1 << QString() << QList<int>{3, 31, 3};
        QTest::newRow("connection closed: the period is not read")
            << u"closed"_qs << int(Query::Period)
            << u"ZTADO exception: TZTRecordset::Open: Operation is not allowed when the object is closed"_qs
            << QList<int>{0, 0, 0};
        // What was read of the period stands complete, though no ride could be ranked.
        QTest::newRow("distances that cannot be ordered: only the Top 10 is missing")
            << u"order"_qs << int(Query::Top10)
            << u"ZTADO exception: TZTRecordset::Open: no such collation sequence: Forgotten"_qs
            << QList<int>{3, 31, 0};
    }

    void failuresAreThrownByTheirQuery()
    {
        QFETCH(QString, obstacle);
        QFETCH(int, query);
        QFETCH(QString, message);
        QFETCH(QList<int>, expected);
        const QString path = Log({{u"2005-03-01"_qs, 50}, {u"2005-03-05"_qs, 70}, {u"2005-03-09"_qs, 20}});
        if (obstacle == u"order")
            QCOMPARE(TestDatabase::ForgetOrderOf(path, u"KM"_qs), QString());
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(path));
        if (obstacle == u"closed")
            connection.Close();
        StatisticsResult result;
        result.DataInizio = Day(2005, 3, 1);
        result.DataTermine = Day(2005, 3, 31);

        // As the statistics window runs them: the Top 10 only after the period.
        int failed = -1;
        QString failure;
        try {
            Statistics::ComputePeriod(connection, result);
            failed = int(Query::Top10);
            Statistics::ReadTop10(connection, result);
            failed = -1;
        } catch (const Exception& e) {
            failed = failed < 0 ? int(Query::Period) : failed;
            failure = e.Message();
        }
        QCOMPARE(failed, query);
        QVERIFY2(failure.startsWith(message), qPrintable(failure));
        const auto filled = std::count_if(result.Top10.begin(), result.Top10.end(),
                                          [](const TZTUscita& ride) { return ride.KM >= 0.0; });
        QCOMPARE((QList<int>{result.UsciteTotali, result.GiorniTotali, int(filled)}), expected);
    }

    void pieSlices_data()
    {
        QTest::addColumn<QList<double>>("km");
        QTest::addColumn<QList<Statistics::PieSlice>>("expected");
        const auto c = [](int i) { return Statistics::ColoriGrafici(i); };
        QTest::newRow("one month only") << QList<double>{0, 0, 42.5, 0}
                                        << QList<Statistics::PieSlice>{{0, 360, QColor(0x80, 0, 0)}};
        QTest::newRow("two equal months") << QList<double>{10, 10} << QList<Statistics::PieSlice>{{0, 180, c(0)}, {180, 360, c(1)}};
        QTest::newRow("thirds") << QList<double>{0, 10, 10, 10}
                                << QList<Statistics::PieSlice>{{0, 120, c(1)}, {120, 240, c(2)}, {240, 360, c(3)}};
        QTest::newRow("a tiny share vanishes") << QList<double>{1000, 1, 1000}
                                               << QList<Statistics::PieSlice>{{0, 180, c(0)}, {180, 360, c(2)}};
        // Each end is rounded from the previous rounded end: the error carries on.
        QTest::newRow("rounding carries on") << QList<double>{1, 1, 1, 1, 1, 1, 1}
                                             << QList<Statistics::PieSlice>{{0, 51, c(0)},    {51, 102, c(1)},
                                                                            {102, 153, c(2)}, {153, 204, c(3)},
                                                                            {204, 255, c(4)}, {255, 306, c(5)},
                                                                            {306, 360, c(6)}};
        QTest::newRow("nothing ridden") << QList<double>{0, 0, 0} << QList<Statistics::PieSlice>{};
    }

    void pieSlices()
    {
        QFETCH(QList<double>, km);
        QFETCH(QList<Statistics::PieSlice>, expected);
        QCOMPARE(Statistics::PieSlices(km, std::accumulate(km.begin(), km.end(), 0.0)), expected);
    }

    void pieClosesTheDisc_data()
    {
        QTest::addColumn<QList<double>>("km");
        QTest::addColumn<double>("total"); // summed ride by ride, not entry by entry
        QTest::addColumn<int>("lastEnd");
        // 1.1 added seven times is 7.699999999999999.
        QTest::newRow("seven weekdays of 1.1") << QList<double>(7, 1.1) << 7.7 << 360;
        QTest::newRow("seven weekdays of 33.3") << QList<double>(7, 33.3) << 233.1 << 360;
        QTest::newRow("a day short of the total") << QList<double>(7, 1.1) << 8.8 << 315;
        QTest::newRow("half of the total") << QList<double>{10, 10} << 40.0 << 180;
    }

    void pieClosesTheDisc()
    {
        QFETCH(QList<double>, km);
        QFETCH(double, total);
        QFETCH(int, lastEnd);
        const QList<Statistics::PieSlice> slices = Statistics::PieSlices(km, total);
        QVERIFY(!slices.isEmpty());
        QCOMPARE(slices.first().start, 0);
        for (qsizetype i = 1; i < slices.size(); ++i)
            QCOMPARE(slices[i].start, slices[i - 1].end);
        QCOMPARE(slices.last().end, lastEnd);
    }

    void paintedChart()
    {
        const QColor none(Qt::transparent);
        const QImage half = PieChart(QSize(101, 101),
                                     {{0, 180, Statistics::ColoriGrafici(0)}, {180, 360, Statistics::ColoriGrafici(1)}});
        QCOMPARE(half.size(), QSize(101, 101));
        QCOMPARE(half.pixelColor(50, 20), QColor(Qt::red));          // the upper half: January
        QCOMPARE(half.pixelColor(50, 80), QColor(0, 0, 0x80));       // the lower half
        QCOMPARE(half.pixelColor(2, 2), none);                       // outside the disc, the panel shows
        const QImage quarter = PieChart(QSize(101, 101), {{0, 90, Statistics::ColoriGrafici(2)}});
        QCOMPARE(quarter.pixelColor(75, 25), QColor(0x80, 0, 0)); // counter-clockwise from three o'clock
        QCOMPARE(quarter.pixelColor(25, 25), none);
        QCOMPARE(quarter.pixelColor(75, 75), none);
        // The rim is smoothed: along a diagonal, pixels partly covered between outside and inside.
        int partly = 0;
        for (int i = 0; i < 30; ++i)
            partly += half.pixelColor(i, i).alpha() > 0 && half.pixelColor(i, i).alpha() < 255;
        QVERIFY(partly >= 1);
    }

    void shortcuts_data()
    {
        using Dates = QList<QDate>; // start, end
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<Dates>("given");
        QTest::addColumn<Dates>("wanted");
        const QDate any(2001, 7, 7);
        QTest::newRow("month, common February") << u"month"_qs << Dates{any, {2005, 2, 10}} << Dates{{2005, 2, 1}, {2005, 2, 28}};
        QTest::newRow("month, leap February") << u"month"_qs << Dates{any, {2004, 2, 10}} << Dates{{2004, 2, 1}, {2004, 2, 29}};
        QTest::newRow("year") << u"year"_qs << Dates{any, {2005, 2, 10}} << Dates{{2005, 1, 1}, {2005, 12, 31}};
        QTest::newRow("previous year") << u"previous"_qs << Dates{{2004, 6, 5}, {2005, 8, 20}} << Dates{{2003, 6, 5}, {2004, 8, 20}};
        QTest::newRow("previous year at the floor") << u"previous"_qs << Dates{{1990, 6, 5}, {1991, 8, 20}}
                                                    << Dates{{1990, 1, 1}, {1990, 8, 20}};
        QTest::newRow("previous year again") << u"previous"_qs << Dates{{1990, 1, 1}, {1990, 8, 20}}
                                             << Dates{{1990, 1, 1}, {1990, 1, 1}};
        QTest::newRow("29 February") << u"previous"_qs << Dates{{2004, 2, 29}, {2008, 2, 29}} << Dates{{2003, 2, 28}, {2007, 2, 28}};
    }

    void shortcuts()
    {
        QFETCH(QString, shortcut);
        QFETCH(QList<QDate>, given);
        QFETCH(QList<QDate>, wanted);
        const Statistics::Period period = shortcut == u"month" ? Statistics::WholeMonth(given[1])
                                          : shortcut == u"year" ? Statistics::WholeYear(given[1])
                                          : Statistics::Period{Statistics::PreviousYear(given[0], 1990),
                                                               Statistics::PreviousYear(given[1], 1990)};
        QCOMPARE((QList<QDate>{period.start, period.end}), wanted);
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "test_statistics.moc"
