// Data layer benchmark: times TZTRecordset reading a large ride database and
// compares it with the same work done directly on the SQLite C API.
//
//   bench_data [rides]     (default 1,000,000)
//
// A missed goal is reported, not failed: the exit code is 0 whenever the
// measurement itself could be made.

#include "data/FieldValue.h"
#include "data/Sql.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "util/TDateTime.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr qint64 DefaultRides = 1000000;
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

// A fixed-seed generator, so every run fills the same database.
struct Random
{
    quint64 state = 0x9E3779B97F4A7C15ull;
    quint64 Next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    int Below(int n) { return int(Next() % quint64(n)); }
};

void Check(sqlite3* db, int rc, const char* what)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

void ExecFile(sqlite3* db, const char* path)
{
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(std::string("cannot read ") + path);
    Check(db, sqlite3_exec(db, file.readAll().constData(), nullptr, nullptr, nullptr), path);
}

// Rides are logged in date order, spread evenly over the period; everything
// else about them is pseudo-random.
void FillRides(sqlite3* db, qint64 rides, QDate first, QDate last)
{
    static const char* const descriptions[] = {
        "Giro del lago", "Salita al passo", "Uscita con il gruppo", "Allenamento", "Recupero",
        "Gran fondo", "Giro in città", "Rulli", "Colline", "Lungo della domenica",
    };
    const qint64 days = first.daysTo(last) + 1;
    Random random;
    sqlite3_stmt* insert = nullptr;
    Check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), "BEGIN");
    Check(db, sqlite3_prepare_v2(db, "INSERT INTO Uscite (IDTipoUscita, Data, Descrizione, KM, Durata, Note) "
                                     "VALUES (?, ?, ?, ?, ?, ?)", -1, &insert, nullptr), "prepare INSERT");
    char date[16] = {};
    char duration[16] = {};
    qint64 shownDay = -1;
    for (qint64 i = 0; i < rides; ++i) {
        const qint64 day = i * days / rides;
        if (day != shownDay) {
            const QDate d = first.addDays(day);
            std::snprintf(date, sizeof date, "%04d-%02d-%02d", d.year(), d.month(), d.day());
            shownDay = day;
        }
        const double km = random.Below(2001) / 10.0;
        sqlite3_bind_int(insert, 1, random.Below(6));
        sqlite3_bind_text(insert, 2, date, 10, SQLITE_STATIC);
        sqlite3_bind_text(insert, 3, descriptions[random.Below(int(std::size(descriptions)))], -1, SQLITE_STATIC);
        sqlite3_bind_double(insert, 4, km);
        if (random.Below(8) == 0) {
            sqlite3_bind_null(insert, 5);
        } else {
            const int seconds = int(km * 3600.0 / (15 + random.Below(21)));
            std::snprintf(duration, sizeof duration, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                          seconds % 60);
            sqlite3_bind_text(insert, 5, duration, -1, SQLITE_STATIC);
        }
        if (random.Below(10) == 0)
            sqlite3_bind_text(insert, 6, "Vento contrario", -1, SQLITE_STATIC);
        else
            sqlite3_bind_null(insert, 6);
        Check(db, sqlite3_step(insert), "INSERT");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), "COMMIT");
}

QString CreateDatabase(const QTemporaryDir& dir, qint64 rides, QDate first, QDate last)
{
    const QString path = dir.filePath(QStringLiteral("bench.mdb"));
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                   nullptr);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> guard(db, &sqlite3_close);
    Check(db, rc, "open");
    ExecFile(db, KV_SCHEMA_SQL);
    ExecFile(db, KV_TYPES_SQL);
    QElapsedTimer timer;
    timer.start();
    FillRides(db, rides, first, last);
    std::printf("Filled %lld rides (%s .. %s) in %.0f ms\n", rides, qPrintable(first.toString(Qt::ISODate)),
                qPrintable(last.toString(Qt::ISODate)), timer.nsecsElapsed() / 1e6);
    return path;
}

// The raw path converts exactly as the recordset does: NULL reads as zero,
// text is UTF-8, dates and times are parsed from their stored text.
QString RawString(sqlite3_stmt* stmt, int i)
{
    if (sqlite3_column_type(stmt, i) == SQLITE_NULL)
        return QString();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, i));
}

TDateTime RawDateTime(sqlite3_stmt* stmt, int i)
{
    TDateTime result;
    if (sqlite3_column_type(stmt, i) != SQLITE_TEXT)
        return result;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
    return FieldValue::ParseDateTimeText(text, sqlite3_column_bytes(stmt, i), result) ? result : TDateTime();
}

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
    const QByteArray text = c.sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    Check(db, sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr), c.name);
    int rc = SQLITE_ROW;
    for (qint64 rows = 0; rows < c.maxRows && (rc = sqlite3_step(stmt)) == SQLITE_ROW; ++rows)
        c.rawRow(stmt, sum);
    sqlite3_finalize(stmt);
    Check(db, rc, c.name);
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
    double Median()
    {
        std::sort(ms.begin(), ms.end());
        const size_t n = ms.size();
        return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2.0;
    }
};

void TimeOnce(Timing& timing, const std::function<quint64()>& work)
{
    QElapsedTimer timer;
    timer.start();
    const quint64 sum = work();
    timing.Record(timer.nsecsElapsed() / 1e6, sum);
}

// Runs alternate between the two paths, after one untimed warm-up each, so
// cache state and clock drift affect both alike.
void Measure(TZTConnection& connection, const Case& c)
{
    const auto wrapper = [&] { return ReadWithRecordset(connection, c); };
    const auto raw = [&] { return ReadRaw(connection.Handle(), c); };
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
}

qint64 RidesFromArguments(int argc, char* argv[])
{
    if (argc < 2)
        return DefaultRides;
    bool ok = false;
    const qint64 rides = QByteArray(argv[1]).toLongLong(&ok);
    if (!ok || rides < 1)
        throw std::runtime_error("usage: bench_data [number of rides > 0]");
    return rides;
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    try {
        const qint64 rides = RidesFromArguments(argc, argv);
        const QDate first(1990, 1, 1), last(2026, 12, 31);
        QTemporaryDir dir;
        if (!dir.isValid())
            throw std::runtime_error("cannot make a temporary folder");
        const QString path = CreateDatabase(dir, rides, first, last);

        TZTConnection connection;
        connection.Open(QStringLiteral("Provider=SQLite;Data Source=%1").arg(path));

        const TDateTime start = TDateTime::FromQDate(first), end = TDateTime::FromQDate(last);
        const int midYear = (first.year() + last.year()) / 2;
        const std::vector<Case> cases = {
            {"month", Sql::MonthRides(midYear, 7), 15, AllRows, MonthGoalMs,
             [](TZTRecordset& rs, Checksum& s) {
                 s.Add(qint64(rs.GetFieldAsInteger(QStringLiteral("IDUscita"))));
                 s.Add(qint64(rs.GetFieldAsInteger(QStringLiteral("IDTipoUscita"))));
                 s.Add(rs.GetFieldAsDateTime(QStringLiteral("Data")).Val());
                 s.Add(rs.GetFieldAsDouble(QStringLiteral("KM")));
                 s.Add(rs.GetFieldAsDateTime(QStringLiteral("Durata")).Val());
                 s.Add(rs.GetFieldAsString(QStringLiteral("Descrizione")));
                 s.Add(rs.GetFieldAsString(QStringLiteral("Note")));
             },
             // SELECT *: IDUscita, IDTipoUscita, Data, Descrizione, KM, Durata, Note
             [](sqlite3_stmt* st, Checksum& s) {
                 s.Add(qint64(sqlite3_column_int(st, 0)));
                 s.Add(qint64(sqlite3_column_int(st, 1)));
                 s.Add(RawDateTime(st, 2).Val());
                 s.Add(sqlite3_column_double(st, 4));
                 s.Add(RawDateTime(st, 5).Val());
                 s.Add(RawString(st, 3));
                 s.Add(RawString(st, 6));
             }},
            {"period", Sql::PeriodRides(start, end), 5, AllRows, 0,
             [](TZTRecordset& rs, Checksum& s) {
                 s.Add(qint64(rs.GetFieldAsInteger(QStringLiteral("IDUscita"))));
                 s.Add(qint64(rs.GetFieldAsInteger(QStringLiteral("IDTipoUscita"))));
                 s.Add(rs.GetFieldAsDateTime(QStringLiteral("Data")).Val());
                 s.Add(rs.GetFieldAsString(QStringLiteral("Descrizione")));
                 s.Add(rs.GetFieldAsDouble(QStringLiteral("KM")));
             },
             // IDUscita, IDTipoUscita, Data, Descrizione, KM
             [](sqlite3_stmt* st, Checksum& s) {
                 s.Add(qint64(sqlite3_column_int(st, 0)));
                 s.Add(qint64(sqlite3_column_int(st, 1)));
                 s.Add(RawDateTime(st, 2).Val());
                 s.Add(RawString(st, 3));
                 s.Add(sqlite3_column_double(st, 4));
             }},
            {"top10", Sql::Top10(start, end), 5, 10, 0,
             [](TZTRecordset& rs, Checksum& s) {
                 s.Add(rs.GetFieldAsDateTime(QStringLiteral("Data")).Val());
                 s.Add(rs.GetFieldAsDouble(QStringLiteral("KM")));
                 s.Add(rs.GetFieldAsString(QStringLiteral("Descrizione")));
             },
             // Data, KM, Descrizione
             [](sqlite3_stmt* st, Checksum& s) {
                 s.Add(RawDateTime(st, 0).Val());
                 s.Add(sqlite3_column_double(st, 1));
                 s.Add(RawString(st, 2));
             }},
        };

        std::printf("\nGoals: month wrapper <= %.1f ms; wrapper/raw ratio <= %.1f for every case\n", MonthGoalMs,
                    RatioGoal);
        std::printf("%-8s %5s %12s %12s %8s  %-16s %-16s\n", "case", "runs", "wrapper ms", "raw ms", "ratio",
                    "wrapper sum", "raw sum");
        for (const Case& c : cases)
            Measure(connection, c);
        connection.Close();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_data: %s\n", e.what());
        return 1;
    }
}
