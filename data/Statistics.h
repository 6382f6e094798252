#pragma once

#include "data/Bikes.h"
#include "util/TDateTime.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class TZTConnection;
namespace Rides { struct YearByDay; }

// One of the ten longest rides; an empty slot has KM -1.
struct TZTUscita
{
    double KM = 0.0;
    TDateTime Data;
    QString Descrizione;
};

// Distance and rides of one calendar month, weekday or day of the month.
struct TZTMese
{
    double KM = 0.0;
    int NumUscite = 0;
};
using TZTGiornoSettimanale = TZTMese;
using TZTGiornoMensile = TZTMese;

// One calendar year, counting only the days of the period.
struct TZTAnno
{
    int Anno = 0;
    double KM = 0.0;
    int NumUscite = 0;
    qint64 DurataMs = 0;      // the rides' durations added up, in milliseconds
    double KMConDurata = 0.0; // the distance of the rides that have a duration
};

// The statistics of a period, as the statistics window shows and prints them.
struct StatisticsResult
{
    TDateTime DataInizio;
    TDateTime DataTermine;
    double KMTotali = 0.0;
    int UsciteTotali = 0;
    int GiorniTotali = 0;
    double MediaKMU = 0.0;
    double MediaKMG = 0.0;
    double MaxMediaKMU = 0.0;
    TDateTime DataMaxMediaKMU;
    double MaxMediaKMG = 0.0;
    TDateTime DataMaxMediaKMG;
    std::array<TZTUscita, 10> Top10;
    std::array<TZTMese, 12> Mesi;                              // 0 = January
    std::array<TZTGiornoSettimanale, 7> GiorniSettimanali;     // 0 = Sunday
    std::array<TZTGiornoMensile, 31> GiorniMensili;            // 0 = day 1
    std::array<int, 16> DecineDiKM{};                          // k: 10k <= KM < 10k+10; 15: KM >= 150
    QList<TZTAnno> Anni;                                       // every year the period touches, in order
    // Kilometres per month (0 = January) of the period's last year and of the
    // year before, within the period.
    std::array<double, 12> KMMesiUltimoAnno{};
    std::array<double, 12> KMMesiAnnoPrecedente{};
    // Per bike: by km, most first, then by name; the rides without a bike last.
    QList<Bikes::PeriodRow> Bici;
};

namespace Statistics {

// Scans the rides of result.DataInizio..result.DataTermine in date order, as
// the rides module reads them, and fills every member but the ten longest
// rides, whose slots stay empty (KM -1). Throws Exception when the rides
// cannot be read; the members then hold what was computed up to the failure.
void ComputePeriod(TZTConnection& connection, StatisticsResult& result);
// The ten longest rides of the period into result.Top10. Throws Exception
// when they cannot be read; the slots filled before the failure keep their
// rides, the others KM -1.
void ReadTop10(TZTConnection& connection, StatisticsResult& result);
// Both, for a caller that wants all or nothing.
void Compute(TZTConnection& connection, StatisticsResult& result);

// The steps of Compute, for whoever reads the period's rides another way:
// - EmptyResult: start..end with every year of the period listed and nothing
//   ridden, the ten longest rides' slots empty (KM -1);
// - AddRide: one ride of the period, taken in date order, added to every
//   total, running average and breakdown; a duration no ride may last is not
//   counted;
// - CompletePeriod: the whole period's days and daily average, once every
//   ride is in.
StatisticsResult EmptyResult(TDateTime start, TDateTime end);
void AddRide(StatisticsResult& result, TDateTime date, double km, TDateTime duration);
void CompletePeriod(StatisticsResult& result);

// The texts of the page "Dati generali".
struct GeneralTexts
{
    QString periodo, kmTotali, giorniTotali, usciteTotali, kmg, kmu;
};
GeneralTexts General(const StatisticsResult& result);
QString PeriodText(TDateTime start, TDateTime end);

// The rows of the five lists, column by column, as shown and printed.
QList<QStringList> Top10Rows(const StatisticsResult& result);
QList<QStringList> MonthRows(const StatisticsResult& result);
QList<QStringList> WeekdayRows(const StatisticsResult& result);
QList<QStringList> DayOfMonthRows(const StatisticsResult& result);
QList<QStringList> TensOfKmRows(const StatisticsResult& result);

// A yearly goal in kilometres, for the year it applies to; 0 km for none.
struct YearGoal
{
    int year = 0;
    int km = 0;
};
// Anno, Uscite, KM, Tempo (h:mm), KM/U, KM/h for every year, then "Totale";
// the goal's year carries how much of the goal it reached.
QList<QStringList> YearRows(const StatisticsResult& result, const YearGoal& goal = {});
// The year the chart shows beside the year before: the period's last one.
int ChartYear(const StatisticsResult& result);
// The colours of the bars of the last year (0) and of the year before (1).
QColor YearColour(int yearsBack);

// The current year's kilometres against the goal, as the status bar shows them.
struct YearProgress
{
    QDate today;
    double km = 0.0; // the year's rides up to today
    int goal = 0;

    bool Reached() const { return goal > 0 && km >= goal; }
};
// Reads the kilometres of `today`'s year up to today; throws Exception when
// the query cannot be read.
YearProgress ReadProgress(TZTConnection& connection, int goal, const QDate& today);
// "2026: 20.893 / 24.000 km", marked once the goal is reached; empty without a goal.
QString ProgressText(const YearProgress& progress);

// The year against the past ones: the same day of last year, what the goal
// still needs, and where the year is heading.
struct YearOutlook
{
    YearProgress progress;
    std::optional<double> lastYearKm; // by the same day; none when last year has no rides
    double projection = 0.0;
    // How many past years' seasons the projection comes from; 0 when there
    // were too few and it is linear in the days of the year.
    int seasons = 0;
};
YearOutlook Outlook(const YearProgress& progress, const QList<Rides::YearByDay>& pastYears);
// Reads every past year; throws Exception when the query cannot be read.
YearOutlook ReadOutlook(TZTConnection& connection, const YearProgress& progress);
// The goal panel's tooltip, a line per figure; empty without a goal.
QStringList OutlookLines(const YearOutlook& outlook);

// The twelve chart colours: month i and weekday i use entry i.
QColor ColoriGrafici(int index);

// One slice of a pie chart, in whole degrees counter-clockwise from three o'clock.
struct PieSlice
{
    int start = 0;
    int end = 0;
    QColor colour;
    bool operator==(const PieSlice&) const = default;
};
// Entries of 0 km leave no slice; each end is rounded half up from the previous
// rounded end plus the share; the last entry closes the circle when the entries
// make up the total (to the last bits, however they were summed).
QList<PieSlice> PieSlices(const QList<double>& km, double total);

// Period shortcuts of the statistics window.
struct Period
{
    QDate start, end;
};
Period WholeMonth(const QDate& end);
Period WholeYear(const QDate& end);
// One year back, but not before 1 January of `firstYear`; 29 February goes to 28 February.
QDate PreviousYear(const QDate& date, int firstYear);

}
