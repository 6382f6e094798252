#include "data/ReportRows.h"

#include "data/MonthRides.h"
#include "data/Statistics.h"
#include "util/Formats.h"
#include "util/Unitutils.h"

namespace {

// The leading `count` columns of each row: the lists' colour keys are not printed.
QList<QStringList> Leading(const QList<QStringList>& rows, qsizetype count)
{
    QList<QStringList> printed;
    printed.reserve(rows.size());
    for (const QStringList& row : rows)
        printed.append(row.mid(0, count));
    return printed;
}

}

namespace ReportRows {

Month MonthReport(const MonthRides& rides, int year, int month)
{
    Month report;
    report.title = MonthName(month) + u' ' + QString::number(year);
    report.rides.reserve(rides.rows.size());
    for (qsizetype i = 0; i < rides.rows.size(); ++i) {
        MonthRides::RowTexts ride = rides.Texts(i);
        report.rides.append({std::move(ride.day), std::move(ride.type), std::move(ride.km), std::move(ride.duration),
                             std::move(ride.speed), std::move(ride.description)});
    }
    if (rides.summary) {
        report.km = rides.summary->km;
        report.uscite = rides.summary->rides;
        report.kmg = rides.summary->kmPerDay;
        report.kmu = rides.summary->kmPerRide;
    }
    return report;
}

Statistics StatisticsReport(const StatisticsResult& result, const ::Statistics::YearGoal& goal, bool withBikes)
{
    Statistics report;
    report.period = PeriodText(result.DataInizio, result.DataTermine);
    const ::Statistics::GeneralTexts general = ::Statistics::General(result);
    report.kmTotali = general.kmTotali;
    report.giorni = general.giorniTotali;
    report.uscite = general.usciteTotali;
    report.kmg = general.kmg;
    report.kmu = general.kmu;

    report.weekdays = Leading(::Statistics::WeekdayRows(result), 4);
    for (const QStringList& row : ::Statistics::TensOfKmRows(result))
        if (row.value(1).toInt() != 0)
            report.tensOfKm.append(row);
    report.daysOfMonth = Leading(::Statistics::DayOfMonthRows(result), 3);
    report.months = Leading(::Statistics::MonthRows(result), 4);
    // The date afresh from the ride, since the list's text carries the weekday.
    report.top10 = ::Statistics::Top10Rows(result);
    for (qsizetype i = 0; i < report.top10.size(); ++i)
        report.top10[i][1] = Formats::Date(result.Top10[std::size_t(i)].Data);
    report.years = ::Statistics::YearRows(result, goal);
    if (withBikes)
        report.bikes = ::Statistics::BikeRows(result);
    return report;
}

QString PeriodText(TDateTime start, TDateTime end)
{
    return QStringLiteral("(Periodo dal %1 al %2)").arg(Formats::Date(start), Formats::Date(end));
}

}
