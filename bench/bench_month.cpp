// Month list benchmark: from a month selected in the calendar to the filled
// month list and summary, in the real main window on a large ride database.
// Every month of the calendar is selected once, in a shuffled order, each
// selection followed by another month read raw.
//
//   bench_month [rides]     (default 1,000,000)
//
// Runs off screen unless QT_QPA_PLATFORM is set. A missed goal is reported,
// not failed: the exit code is 0 whenever the measurement could be made and
// the list showed every ride once.

#include "app/StartupEnvironment.h"
#include "app/Unitmain.h"
#include "bench/BenchSupport.h"
#include "data/MonthRides.h"
#include "data/Sql.h"
#include "data/Statement.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTreeView>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

constexpr double GoalMs = 10.0;
constexpr double RatioGoal = 1.5;

struct Month
{
    int month;
    int year;
    bool operator==(const Month&) const = default;
};

// Every month from first to last once, in an order fixed by the seed, the first
// one never being `current` (selecting the month already shown does nothing).
std::vector<Month> ShuffledMonths(QDate first, QDate last, Month current)
{
    std::vector<Month> months;
    for (QDate d(first.year(), first.month(), 1); d <= last; d = d.addMonths(1))
        months.push_back({d.month(), d.year()});
    std::shuffle(months.begin(), months.end(), std::mt19937(20240607));
    if (months.size() > 1 && months.front() == current)
        std::swap(months.front(), months.back());
    return months;
}

}

int main(int argc, char* argv[])
{
    Bench::PrepareWindows();
    QApplication app(argc, argv);
    return Bench::Main(argc, argv, [&](qint64 rides, const QTemporaryDir& dir) {
        Bench::CreateDatabase(dir.filePath(QStringLiteral("kilovento.mdb")), rides);
        Bench::WriteSettingsFile(dir.filePath(QStringLiteral("kilovento.ini")));

        StartupEnvironment environment;
        environment.executablePath = dir.filePath(QStringLiteral("kilovento"));
        environment.arguments = {QStringLiteral("/NOPROMPTONCLOSE")};
        // The calendar then ends with the last month that has rides.
        environment.today = [] { return Bench::LastDay(); };
        // The window's own connection, for the data layer's share below.
        TZTConnection* connection = nullptr;
        environment.makeConnection = [&connection] {
            auto made = std::make_unique<TZTConnection>();
            connection = made.get();
            return made;
        };
        TFormMain form(environment);
        if (form.TerminateRequested())
            throw std::runtime_error("the main window could not open the database");
        form.show();
        QCoreApplication::processEvents();
        const auto* list = form.findChild<QTreeView*>(QStringLiteral("ListViewUsciteMensili"));
        if (!list)
            throw std::runtime_error("no month list in the main window");

        // The raw month query through the C API, every column of every row read:
        // the least any month list could cost.
        const Bench::Database db = Bench::OpenDatabase(dir.filePath(QStringLiteral("kilovento.mdb")));
        qint64 rawRows = 0;
        const auto rawMonth = [&](const Month& m) {
            const Statement statement = Bench::Prepare(db.get(), Sql::MonthRides(m.year, m.month));
            while (Bench::Step(statement.get())) {
                sqlite3_column_int64(statement.get(), 0);
                sqlite3_column_int(statement.get(), 1);
                Bench::RawDateTime(statement.get(), 2);
                Bench::RawString(statement.get(), 3);
                sqlite3_column_double(statement.get(), 4);
                Bench::RawDateTime(statement.get(), 5);
                Bench::RawString(statement.get(), 6);
                ++rawRows;
            }
        };

        // Alternating, month by month, so the machine's other work and clock
        // drift weigh on every path alike.
        std::vector<double> select, repaint, load, raw;
        qint64 listed = 0;
        const std::vector<Month> shown =
            ShuffledMonths(Bench::FirstDay(), Bench::LastDay(), {form.ShownMonth(), form.ShownYear()});
        const std::vector<Month> read = ShuffledMonths(Bench::FirstDay(), Bench::LastDay(), {0, 0});
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const Month& m = shown[i];
            select.push_back(Bench::TimeMs([&] { form.GoToMonth(m.month, m.year, false); }));
            if (form.ShownMonth() != m.month || form.ShownYear() != m.year)
                throw std::runtime_error("GoToMonth did not select the month asked for");
            listed += list->model()->rowCount();
            // The paint the selection asked for, outside the selection's time.
            repaint.push_back(Bench::TimeMs([] { QCoreApplication::processEvents(); }));
            // The data layer's share of a selection: a month read without the window.
            load.push_back(Bench::TimeMs([&] { MonthRides::Load(*connection, read[i].year, read[i].month); }));
            raw.push_back(Bench::TimeMs([&] { rawMonth(read[i]); }));
        }
        if (rawRows != rides)
            throw std::runtime_error("the raw month queries did not read every ride once");

        std::printf("%zu months selected, %lld rides listed in all (%s)\n", select.size(), listed,
                    listed == rides ? "every ride once" : "NOT every ride once");

        using Goal = Bench::Result::Goal;
        const int runs = int(select.size());
        Bench::PrintTable("Month list on " + std::to_string(rides) + " rides",
                          {{"GoToMonth(month, year, false): list + summary", runs, Bench::Median(select), {},
                            Goal::AtMost, GoalMs},
                           {"GoToMonth against the raw month query", runs, Bench::Median(select), Bench::Median(raw),
                            Goal::RatioAtMost, RatioGoal},
                           {"  of which MonthRides::Load (the rides read)", runs, Bench::Median(load)},
                           {"repaint after the selection", runs, Bench::Median(repaint)}});
        if (listed != rides)
            throw std::runtime_error("the month lists did not show every ride once");
    });
}
