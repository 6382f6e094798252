#pragma once

// What the benchmarks share: the ride database they measure, the command line,
// raw SQLite reading, timing, and the table of results.

#include "data/Statement.h"
#include "util/TDateTime.h"

#include <QDate>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QTemporaryDir;
struct sqlite3;
struct sqlite3_stmt;

namespace Bench {

inline constexpr qint64 DefaultRides = 1000000;

// A fixed-seed generator, so every run makes the same data.
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

// One of the ride descriptions the benchmarks' data uses, in UTF-8.
const char* RandomDescription(Random& random);

// The period the rides are spread over.
QDate FirstDay();
QDate LastDay();

// Runs a benchmark: `body` gets the number of rides, the first argument
// (DefaultRides without one), and a temporary folder for its files. Returns
// the exit code: 0 when the measurement could be made, whatever times it
// found; 1, after printing why, when it could not or `body` threw because
// our path and the raw one gave different results.
int Main(int argc, char* argv[], const std::function<void(qint64 rides, const QTemporaryDir& dir)>& body);

// A new SQLite file at `path` with the program's schema and ride types and
// `rides` rides in date order, spread evenly over first..last, the same every
// run; no rides and no message about them when `rides` is 0.
void CreateDatabase(const QString& path, qint64 rides, QDate first = FirstDay(), QDate last = LastDay());

// The connection string of the settings file ("%DATASOURCE%" for the
// database), and the one it makes for the database at `path`.
QString ConnectionTemplate();
QString ConnectionString(const QString& path);

// The settings file of a program folder, naming the database beside it.
void WriteSettingsFile(const QString& path);

// Windows are made off screen unless QT_QPA_PLATFORM says otherwise, and
// format in Italian as the program's users see them; call before the
// QApplication is made.
void PrepareWindows();

// Throws with SQLite's message unless `rc` is OK, ROW or DONE.
void Check(sqlite3* db, int rc, const char* what);

// A raw SQLite connection, closed when it goes out of scope. Opened as the
// program opens its own, without SQLite's per-call mutex: one thread uses it.
using Database = std::unique_ptr<sqlite3, int (*)(sqlite3*)>;
enum class OpenMode { ReadOnly, ReadWrite, Create };
Database OpenDatabase(const QString& path, OpenMode mode = OpenMode::ReadWrite);

// Runs every statement of `sql` to its end; throws on an error.
void Exec(sqlite3* db, const char* sql);

// A statement prepared on `db`; throws with SQLite's message when it cannot be.
Statement Prepare(sqlite3* db, const QString& sql);
// True while `stmt` has a row; throws on an error.
bool Step(sqlite3_stmt* stmt);

// Column readers that convert exactly as TZTRecordset does: NULL reads as
// empty or zero, text is UTF-8, dates and times are parsed from their text.
QString RawString(sqlite3_stmt* stmt, int column);
TDateTime RawDateTime(sqlite3_stmt* stmt, int column);

// Figures over the rides of the database at `path` (count, distances, types,
// description lengths, last day), the same for every path that stored or
// copied the same rows, so a path that loses or changes rows shows up.
QString Fingerprint(const QString& path);

double Median(std::vector<double> values);
double TimeMs(const std::function<void()>& work);

// One line of the results table. A goal applies to our median, or to the
// ratio of our median to the raw one; without a goal the line is information.
// A note ("same rows") ends the line.
struct Result
{
    enum class Goal { None, AtMost, RatioAtMost };

    Result(std::string name, int runs, double ours, std::optional<double> raw = {}, Goal goal = Goal::None,
           double limit = 0.0, std::string unit = "ms", std::string note = {})
        : name(std::move(name)), runs(runs), ours(ours), raw(raw), goal(goal), limit(limit), unit(std::move(unit)),
          note(std::move(note))
    {
    }

    std::string name;
    int runs;
    double ours;
    std::optional<double> raw;
    Goal goal;
    double limit;
    std::string unit;
    std::string note;

    bool Missed() const;
};

void PrintTable(const std::string& title, const std::vector<Result>& results);

}
