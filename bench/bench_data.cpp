// Data layer benchmark: times TZTRecordset reading a large ride database and
// compares it with the same work done directly on the SQLite C API.
//
//   bench_data [rides]     (default 1,000,000)
//
// A missed goal is reported, not failed: the exit code is 0 whenever the
// measurement itself could be made and both paths read the same rows.

#include "bench/BenchSupport.h"
#include "data/Rides.h"
#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "util/TDateTime.h"

#include <QCoreApplication>
#include <QDate>
#include <QString>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

constexpr double MonthGoalMs = 2.0;
constexpr double RatioGoal = 1.5;
constexpr qint64 AllRows = std::numeric_limits<qint64>::max();

// Order-sensitive, so a path that skips or reorders rows shows up too.
struct Checksum
{
    quint64 value = 14695981039346656037ull;
    void Add(qint64 v) { value = (value ^ quint64(v)) * 1099511628211ull; }
    // Day counts and fractions to the second; one-decimal distances exactly.
    void Add(double v) { Add(std::llround(v * 86400.0)); }
    // Length and first character: enough to tell NULL, empty and different texts apart.
    void Add(const QString& s) { Add(qint64(s.size()) * 65536 + (s.isEmpty() ? 0 : s.front().unicode())); }
};

using WrapperRow = std::function<void(TZTRecordset&, Checksum&)>;
using RawRow = std::function<void(sqlite3_stmt*, Checksum&)>;

// One query read at most `maxRows` rows deep, through the recordset and raw.
struct Case
{
    const char* name;
    QString sql;
    int runs;
    qint64 maxRows;
    double goalMs; // for the wrapper's median; 0 when only the ratio counts
    WrapperRow wrapperRow;
    RawRow rawRow;
};

quint64 ReadWithRecordset(TZTConnection& connection, const Case& c)
{
    Checksum sum;
    TZTRecordset rs(&connection);
    rs.Open(c.sql);
    for (qint64 rows = 0; rows < c.maxRows && !rs.Eof(); ++rows) {
        c.wrapperRow(rs, sum);
        rs.MoveNext();
    }
    rs.Close();
    return sum.value;
}

quint64 ReadRaw(sqlite3* db, const Case& c)
{
    Checksum sum;
    const Statement statement = Bench::Prepare(db, c.sql);
    for (qint64 rows = 0; rows < c.maxRows && Bench::Step(statement.get()); ++rows)
        c.rawRow(statement.get(), sum);
    return sum.value;
}

struct Timing
{
    std::vector<double> ms;
    quint64 checksum = 0;
    bool stable = true; // every run gave the same checksum

    void Record(double elapsedMs, quint64 sum)
    {
        if (!ms.empty() && sum != checksum)
            stable = false;
        checksum = sum;
        ms.push_back(elapsedMs);
    }
    double Median() const { return Bench::Median(ms); }
};

void TimeOnce(Timing& timing, const std::function<quint64()>& work)
{
    quint64 sum = 0;
    const double ms = Bench::TimeMs([&] { sum = work(); });
    timing.Record(ms, sum);
}

// Runs alternate between the two paths, after one untimed warm-up each, so
// cache state and clock drift affect both alike. Returns whether both read the same.
bool Measure(TZTConnection& connection, sqlite3* db, const Case& c)
{
    const auto wrapper = [&] { return ReadWithRecordset(connection, c); };
    const auto raw = [&] { return ReadRaw(db, c); };
    wrapper();
    raw();
    Timing w, r;
    for (int i = 0; i < c.runs; ++i) {
        TimeOnce(w, wrapper);
        TimeOnce(r, raw);
    }
    const double wMs = w.Median(), rMs = r.Median(), ratio = wMs / rMs;
    const bool sameSum = w.stable && r.stable && w.checksum == r.checksum;
    const bool ratioMet = ratio <= RatioGoal;
    std::printf("%-8s %5d %12.3f %12.3f %8.2f  %016llx %016llx %s%s\n", c.name, c.runs, wMs, rMs, ratio,
                w.checksum, r.checksum, sameSum ? "" : "CHECKSUM MISMATCH ",
                ratioMet ? "" : "GOAL MISSED (ratio)");
    if (c.goalMs > 0 && wMs > c.goalMs)
        std::printf("%-8s wrapper median %.3f ms > %.1f ms: GOAL MISSED (time)\n", c.name, wMs, c.goalMs);
    return sameSum;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return Bench::Main(argc, argv, [&](qint64 rides, const QTemporaryDir& dir) {
        const QDate first = Bench::FirstDay(), last = Bench::LastDay();
        const QString path = dir.filePath(QStringLiteral("bench.mdb"));
        Bench::CreateDatabase(path, rides, first, last);

        TZTConnection connection;
        connection.Open(Bench::ConnectionString(path));
        const Bench::Database db = Bench::OpenDatabase(path);

        const TDateTime start = TDateTime::FromQDate(first), end = TDateTime::FromQDate(last);
        const int midYear = (first.year() + last.year()) / 2;
        const std::vector<Case> cases = {
            {"month", Sql::MonthRides(midYear, 7), 15, AllRows, MonthGoalMs,
             [](TZTRecordset& rs, Checksum& s) {
                 s.Add(qint64(rs.GetFieldAsInteger(RideColumn::IDUscita)));
                 s.Add(qint64(rs.GetFieldAsInteger(RideColumn::IDTipoUscita)));
                 s.Add(rs.GetFieldAsDateTime(RideColumn::Data).Val());
                 s.Add(rs.GetFieldAsDouble(RideColumn::KM));
                 s.Add(rs.GetFieldAsDateTime(RideColumn::Durata).Val());
                 s.Add(rs.GetFieldAsString(RideColumn::Descrizione));
                 s.Add(rs.GetFieldAsString(RideColumn::Note));
             },
             // SELECT *: IDUscita, IDTipoUscita, Data, Descrizione, KM, Durata, Note
             [](sqlite3_stmt* st, Checksum& s) {
                 s.Add(qint64(sqlite3_column_int(st, 0)));
                 s.Add(qint64(sqlite3_column_int(st, 1)));
                 s.Add(Bench::RawDateTime(st, 2).Val());
                 s.Add(sqlite3_column_double(st, 4));
                 s.Add(Bench::RawDateTime(st, 5).Val());
                 s.Add(Bench::RawString(st, 3));
                 s.Add(Bench::RawString(st, 6));
             }},
            {"period", Sql::RidesByDate(start, end), 5, AllRows, 0,
             [](TZTRecordset& rs, Checksum& s) {
                 s.Add(rs.GetFieldAsDateTime(RideColumn::Data).Val());
                 s.Add(qint64(rs.GetFieldAsInteger(RideColumn::IDTipoUscita)));
                 s.Add(rs.GetFieldAsDouble(RideColumn::KM));
                 s.Add(rs.GetFieldAsDateTime(RideColumn::Durata).Val());
                 s.Add(rs.GetFieldAsString(RideColumn::Descrizione));
                 s.Add(qint64(rs.GetFieldAsInteger(RideColumn::IDUscita)));
             },
             // Data, IDTipoUscita, KM, Durata, Descrizione, IDUscita
             [](sqlite3_stmt* st, Checksum& s) {
                 s.Add(Bench::RawDateTime(st, 0).Val());
                 s.Add(qint64(sqlite3_column_int(st, 1)));
                 s.Add(sqlite3_column_double(st, 2));
                 s.Add(Bench::RawDateTime(st, 3).Val());
                 s.Add(Bench::RawString(st, 4));
                 s.Add(qint64(sqlite3_column_int(st, 5)));
             }},
            {"top10", Sql::Top10(start, end), 5, 10, 0,
             [](TZTRecordset& rs, Checksum& s) {
                 s.Add(rs.GetFieldAsDateTime(RideColumn::Data).Val());
                 s.Add(rs.GetFieldAsDouble(RideColumn::KM));
                 s.Add(rs.GetFieldAsString(RideColumn::Descrizione));
             },
             // Data, IDTipoUscita, KM, Durata, Descrizione, IDUscita
             [](sqlite3_stmt* st, Checksum& s) {
                 s.Add(Bench::RawDateTime(st, 0).Val());
                 s.Add(sqlite3_column_double(st, 2));
                 s.Add(Bench::RawString(st, 4));
             }},
        };

        std::printf("\nGoals: month wrapper <= %.1f ms; wrapper/raw ratio <= %.1f for every case\n", MonthGoalMs,
                    RatioGoal);
        std::printf("%-8s %5s %12s %12s %8s  %-16s %-16s\n", "case", "runs", "wrapper ms", "raw ms", "ratio",
                    "wrapper sum", "raw sum");
        bool same = true;
        for (const Case& c : cases)
            same = Measure(connection, db.get(), c) && same;
        connection.Close();
        if (!same)
            throw std::runtime_error("the recordset and the raw reads disagree");
    });
}
