// Statistics benchmark: "Elabora" over the whole period of a large ride
// database, the years page included. Statistics::Compute through the rides module is timed against the same
// queries read on the SQLite C API and added up by the same steps in this process, its peak memory is
// measured, and the full button press in the statistics window is timed.
//
//   bench_statistics [rides]     (default 1,000,000)
//
// Runs off screen unless QT_QPA_PLATFORM is set. A missed goal is reported,
// not failed: the exit code is 0 whenever the measurement could be made and
// both paths gave the same statistics.

#include "bench/BenchSupport.h"
#include "data/RideLog.h"
#include "data/Sql.h"
#include "data/Statistics.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "forms/Unitelaborazionedati.h"

#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

constexpr int Runs = 5;
constexpr int WindowRuns = 3;
constexpr double RatioGoal = 1.3;
constexpr double MemoryGoalMb = 50.0;

// Statistics::Compute with the period read directly on the C API: the same two
// queries, the same columns, the date and duration texts parsed as the
// recordset parses them, and each ride added to the result by the same steps,
// so that the ratio is what reading through the recordset costs.
StatisticsResult RawCompute(sqlite3* db, TDateTime start, TDateTime end)
{
    StatisticsResult r = Statistics::EmptyResult(start, end);
    const Statement period = Bench::Prepare(db, Sql::RidesByDate(start, end));
    sqlite3_stmt* row = period.get(); // Data, IDTipoUscita, KM, Durata, Descrizione, IDUscita
    while (Bench::Step(row))
        Statistics::AddRide(r, Bench::RawDateTime(row, 0), sqlite3_column_double(row, 2), Bench::RawDateTime(row, 3));

    const Statement top10 = Bench::Prepare(db, Sql::Top10(start, end));
    row = top10.get(); // the same columns
    for (TZTUscita& ride : r.Top10) {
        if (!Bench::Step(row))
            break;
        ride.Data = Bench::RawDateTime(row, 0);
        ride.KM = sqlite3_column_double(row, 2);
        ride.Descrizione = Bench::RawString(row, 4);
    }
    Statistics::CompletePeriod(r);
    return r;
}

StatisticsResult Compute(TZTConnection& connection, TDateTime start, TDateTime end)
{
    StatisticsResult result;
    result.DataInizio = start;
    result.DataTermine = end;
    Statistics::Compute(connection, result);
    return result;
}

template <typename Entries>
bool SameEntries(const Entries& a, const Entries& b)
{
    return std::equal(a.begin(), a.end(), b.begin(),
                      [](const TZTMese& x, const TZTMese& y) { return x.KM == y.KM && x.NumUscite == y.NumUscite; });
}

// Every figure equal to the last bit: the raw path did the same work.
bool SameResult(const StatisticsResult& a, const StatisticsResult& b)
{
    const auto sameRide = [](const TZTUscita& x, const TZTUscita& y) {
        return x.KM == y.KM && x.Data == y.Data && x.Descrizione == y.Descrizione;
    };
    const auto sameYear = [](const TZTAnno& x, const TZTAnno& y) {
        return x.Anno == y.Anno && x.KM == y.KM && x.NumUscite == y.NumUscite && x.DurataMs == y.DurataMs
               && x.KMConDurata == y.KMConDurata;
    };
    return a.KMTotali == b.KMTotali && a.UsciteTotali == b.UsciteTotali && a.GiorniTotali == b.GiorniTotali
           && a.MediaKMU == b.MediaKMU && a.MediaKMG == b.MediaKMG && a.MaxMediaKMU == b.MaxMediaKMU
           && a.DataMaxMediaKMU == b.DataMaxMediaKMU && a.MaxMediaKMG == b.MaxMediaKMG
           && a.DataMaxMediaKMG == b.DataMaxMediaKMG
           && std::equal(a.Top10.begin(), a.Top10.end(), b.Top10.begin(), sameRide) && SameEntries(a.Mesi, b.Mesi)
           && SameEntries(a.GiorniSettimanali, b.GiorniSettimanali) && SameEntries(a.GiorniMensili, b.GiorniMensili)
           && a.DecineDiKM == b.DecineDiKM
           && std::equal(a.Anni.begin(), a.Anni.end(), b.Anni.begin(), b.Anni.end(), sameYear)
           && a.KMMesiUltimoAnno == b.KMMesiUltimoAnno && a.KMMesiAnnoPrecedente == b.KMMesiAnnoPrecedente;
}

// The peak resident memory (VmHWM) of this process from construction on. The
// kernel resets the peak through clear_refs where it allows it; elsewhere the
// growth counts only what rises above the peak reached before. Free heap is
// handed back first, so memory the work reuses from earlier work is counted.
class PeakMemory
{
public:
    PeakMemory()
    {
        malloc_trim(0);
        m_reset = ResetPeak();
        m_startKb = PeakKb();
    }
    // The kernel counts resident pages per thread in batches, so a growth below
    // a fraction of a megabyte can read as a small negative one: it is none.
    double GrowthMb() const { return std::max<qint64>(PeakKb() - m_startKb, 0) / 1024.0; }
    bool WasReset() const { return m_reset; }

private:
    static bool ResetPeak()
    {
        // Unbuffered: the reset must happen here, not when the file is closed.
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        return clear.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && clear.write("5") == 1;
    }

    static qint64 PeakKb()
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read /proc/self/status");
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLongLong();
        throw std::runtime_error("no VmHWM in /proc/self/status");
    }

    bool m_reset = false;
    qint64 m_startKb = 0;
};

double PeakGrowthMb(const std::function<void()>& work)
{
    const PeakMemory peak;
    work();
    if (!peak.WasReset())
        std::printf("(peak memory could not be reset: growth above the earlier peak only)\n");
    return peak.GrowthMb();
}

template <typename T>
T* Child(QWidget* parent, const char* name)
{
    T* child = parent->findChild<T*>(QString::fromUtf8(name));
    if (!child)
        throw std::runtime_error(std::string("no control ") + name);
    return child;
}

// The button press as the user makes it: the window open on the whole period.
std::vector<double> PressElabora(RideLog& log, qint64 rides)
{
    TFormElaborazioneDati dialog(nullptr, Bench::FirstDay().year(), log, [] { return Bench::LastDay(); });
    Child<QDateEdit>(&dialog, "DTPInizio")->setDate(Bench::FirstDay());
    Child<QDateEdit>(&dialog, "DTPTermine")->setDate(Bench::LastDay());
    dialog.show();
    QCoreApplication::processEvents();
    auto* button = Child<QPushButton>(&dialog, "BitBtnElabora");
    std::vector<double> ms;
    for (int i = 0; i < WindowRuns; ++i) {
        ms.push_back(Bench::TimeMs([&] { button->click(); }));
        QCoreApplication::processEvents();
        if (dialog.Risultati().UsciteTotali != rides)
            throw std::runtime_error("the window did not count every ride");
    }
    return ms;
}

}

int main(int argc, char* argv[])
{
    Bench::PrepareWindows();
    QApplication app(argc, argv);
    return Bench::Main(argc, argv, [&](qint64 rides, const QTemporaryDir& dir) {
        const QString path = dir.filePath(QStringLiteral("kilovento.mdb"));
        Bench::CreateDatabase(path, rides);
        TZTConnection connection;
        connection.Open(Bench::ConnectionString(path));
        const Bench::Database db = Bench::OpenDatabase(path);
        const TDateTime start = TDateTime::FromQDate(Bench::FirstDay()), end = TDateTime::FromQDate(Bench::LastDay());

        // Memory first, while neither path has raised the peak yet; these runs
        // are also the warm-up of the timed ones.
        StatisticsResult ours, raw;
        const double oursMb = PeakGrowthMb([&] { ours = Compute(connection, start, end); });
        const double rawMb = PeakGrowthMb([&] { raw = RawCompute(db.get(), start, end); });
        if (!SameResult(ours, raw))
            throw std::runtime_error("Statistics::Compute and the raw aggregation disagree");
        if (ours.UsciteTotali != rides)
            throw std::runtime_error("not every ride was counted");
        // Some rides have a duration: the time and speed columns are worked out.
        const auto timed = [](const TZTAnno& year) { return year.DurataMs > 0; };
        if (rides >= 1000 && std::none_of(ours.Anni.begin(), ours.Anni.end(), timed))
            throw std::runtime_error("no ride with a duration");

        // Alternating, so cache state and clock drift affect both paths alike.
        std::vector<double> oursMs, rawMs;
        for (int i = 0; i < Runs; ++i) {
            oursMs.push_back(Bench::TimeMs([&] { ours = Compute(connection, start, end); }));
            rawMs.push_back(Bench::TimeMs([&] { raw = RawCompute(db.get(), start, end); }));
        }
        RideLog log(path, Bench::ConnectionTemplate());
        log.Open();
        const std::vector<double> windowMs = PressElabora(log, rides);
        connection.Close();

        using Goal = Bench::Result::Goal;
        Bench::PrintTable("Statistics over 1990-01-01 .. 2026-12-31 on " + std::to_string(rides) + " rides",
                          {{"Statistics::Compute vs raw C API", Runs, Bench::Median(oursMs), Bench::Median(rawMs),
                            Goal::RatioAtMost, RatioGoal},
                           {"peak memory growth during Compute", 1, oursMb, {}, Goal::AtMost, MemoryGoalMb, "MB"},
                           {"peak memory growth during the raw aggregation", 1, rawMb, {}, Goal::None, 0.0, "MB"},
                           {"\"Elabora\" pressed in the window", WindowRuns, Bench::Median(windowMs)}});
    });
}
