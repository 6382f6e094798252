// Bikes benchmark: the km of every bike and every part (Bikes::Read and
// Bikes::ReadUsage, as the bikes window asks for them) on a large ride
// database with 20 bikes of 8 parts each, some moved, some replaced, some
// fitted at a bike's km, against one raw aggregate of the km per bike on the
// SQLite C API.
//
//   bench_bikes [rides]     (default 1,000,000)
//
// A missed goal is reported, not failed: the exit code is 0 whenever the
// measurement could be made and both paths gave the same km per bike.

#include "bench/BenchSupport.h"
#include "data/Bikes.h"
#include "data/Sql.h"
#include "data/Statistics.h"
#include "data/TZTConnection.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cmath>
#include <map>
#include <stdexcept>
#include <vector>

namespace {

constexpr int BikeCount = 20;
constexpr int PartsPerBike = 8;
constexpr int Runs = 7;
constexpr double RatioGoal = 1.5;

constexpr char RawKmPerBike[] = "SELECT IDBici, SUM(KM) FROM UsciteBici JOIN Uscite USING (IDUscita) GROUP BY IDBici";

// The bikes and parts through the program's own writes; the links of nearly
// every ride (one in 25 has none) straight into the file, in key order, as an
// import leaves them.
void AddBikes(const QString& path)
{
    TZTConnection connection;
    connection.Open(Bench::ConnectionString(path));
    Bench::Random random;
    const QDate first = Bench::FirstDay();
    const qint64 days = first.daysTo(Bench::LastDay());
    std::vector<int> keys;
    for (int b = 0; b < BikeCount; ++b)
        keys.push_back(Bikes::AddBike(connection, {0, QStringLiteral("Bici %1").arg(b + 1), 100.0 * b,
                                                   first.addDays(b), b % 7 == 6}));
    for (int b = 0; b < BikeCount; ++b) {
        for (int p = 0; p < PartsPerBike; ++p) {
            Bikes::Part part;
            part.name = QStringLiteral("parte %1").arg(p + 1);
            part.limitKm = 3000.0 + 1000.0 * p;
            const QDate fitted = first.addDays(random.Below(int(days / 2)));
            std::optional<double> atKm;
            if (p % 4 == 3)
                atKm = 1000.0 * random.Below(50);
            const int key = Bikes::AddPart(connection, part, {0, keys[b], fitted, atKm, QDate()});
            const QDate later = fitted.addDays(1 + random.Below(int(days / 4)));
            if (p % 3 == 1)
                Bikes::MovePart(connection, key, keys[(b + 1) % BikeCount], later);
            else if (p % 3 == 2)
                Bikes::ReplacePart(connection, key, later);
        }
    }
    connection.Close();

    const Bench::Database db = Bench::OpenDatabase(path);
    Bench::Exec(db.get(), "BEGIN");
    Bench::Exec(db.get(), QStringLiteral("INSERT INTO UsciteBici (IDUscita, IDBici) SELECT IDUscita, "
                                         "(SELECT min(IDBici) FROM Bici) + (IDUscita * 7919) % %1 FROM Uscite "
                                         "WHERE IDUscita % 25 <> 0 ORDER BY IDUscita")
                              .arg(BikeCount)
                              .toUtf8()
                              .constData());
    Bench::Exec(db.get(), "COMMIT");
}

std::map<int, double> RawKm(sqlite3* db)
{
    std::map<int, double> km;
    const Statement statement = Bench::Prepare(db, QString::fromLatin1(RawKmPerBike));
    while (Bench::Step(statement.get()))
        km[sqlite3_column_int(statement.get(), 0)] = sqlite3_column_double(statement.get(), 1);
    return km;
}

Bikes::Usage Usage(TZTConnection& connection)
{
    const Bikes::Garage garage = Bikes::Read(connection);
    return Bikes::ReadUsage(connection, garage, Bench::LastDay());
}

// The same km per bike (the starting km taken off), to the rounding of a different order of addition.
void CheckSame(TZTConnection& connection, const Bikes::Usage& ours, const std::map<int, double>& raw)
{
    const Bikes::Garage garage = Bikes::Read(connection);
    double parts = 0.0;
    for (const Bikes::Bike& bike : garage.bikes) {
        const double rides = ours.bikes.value(bike.key).km - bike.startKm;
        const auto found = raw.find(bike.key);
        const double expected = found == raw.end() ? 0.0 : found->second;
        if (std::abs(rides - expected) > 1e-9 * std::max(1.0, std::abs(expected)))
            throw std::runtime_error("Bikes::ReadUsage and the raw aggregate disagree on a bike's km");
    }
    for (const Bikes::Part& part : garage.parts)
        parts += ours.parts.value(part.key).km;
    if (garage.bikes.size() != BikeCount || garage.parts.size() < BikeCount * PartsPerBike
        || (raw.size() > 1 && parts <= 0.0))
        throw std::runtime_error("the bikes and parts were not all read");
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return Bench::Main(argc, argv, [&](qint64 rides, const QTemporaryDir& dir) {
        const QString path = dir.filePath(QStringLiteral("kilovento.mdb"));
        Bench::CreateDatabase(path, rides);
        AddBikes(path);
        TZTConnection connection;
        connection.Open(Bench::ConnectionString(path));
        const Bench::Database db = Bench::OpenDatabase(path);

        // The first runs of both are the warm-up, and the check that they agree.
        Bikes::Usage ours = Usage(connection);
        std::map<int, double> raw = RawKm(db.get());
        CheckSame(connection, ours, raw);

        // Alternating, so cache state and clock drift affect both paths alike.
        std::vector<double> oursMs, rawMs;
        for (int i = 0; i < Runs; ++i) {
            oursMs.push_back(Bench::TimeMs([&] { ours = Usage(connection); }));
            rawMs.push_back(Bench::TimeMs([&] { raw = RawKm(db.get()); }));
        }
        // What the statistics' page of the bikes adds to the statistics of the whole period.
        const TDateTime start = TDateTime::FromQDate(Bench::FirstDay()), end = TDateTime::FromQDate(Bench::LastDay());
        std::vector<double> periodMs, statisticsMs;
        for (int i = 0; i < Runs; ++i) {
            periodMs.push_back(Bench::TimeMs([&] { Bikes::ReadPeriod(connection, start, end); }));
            statisticsMs.push_back(Bench::TimeMs([&] {
                StatisticsResult result = Statistics::EmptyResult(start, end);
                Statistics::ComputePeriod(connection, result);
            }));
        }
        connection.Close();

        using Goal = Bench::Result::Goal;
        Bench::PrintTable("Km of " + std::to_string(BikeCount) + " bikes and their parts on " + std::to_string(rides)
                              + " rides",
                          {{"Bikes::Read + ReadUsage vs raw km per bike", Runs, Bench::Median(oursMs),
                            Bench::Median(rawMs), Goal::RatioAtMost, RatioGoal},
                           {"Bikes::ReadPeriod vs Statistics::ComputePeriod, whole period", Runs,
                            Bench::Median(periodMs), Bench::Median(statisticsMs)}});
    });
}
