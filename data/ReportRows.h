#pragma once

#include "data/Statistics.h"
#include "util/TDateTime.h"

#include <QList>
#include <QString>
#include <QStringList>

struct MonthRides;

// The texts of the two printed reports, made from the same values and by the
// same builders as the windows' lists and labels, so that a printout shows
// what the screen shows. A row holds the cells of its printed columns only.
namespace ReportRows {

struct Month
{
    QString title;            // month name and year
    QList<QStringList> rides; // per ride: Giorno, Tipo, KM, Durata, KM/h, Descrizione
    QString km, uscite, kmg, kmu; // empty, like the window's figures, when a month has no summary
};
Month MonthReport(const MonthRides& rides, int year, int month);

struct Statistics
{
    QString period; // "(Periodo dal ... al ...)"
    QString kmTotali, giorni, uscite, kmg, kmu;
    // The tens of kilometres only where there are rides; the Top 10 dates
    // without their weekday.
    QList<QStringList> weekdays, tensOfKm, daysOfMonth, months, top10;
    QList<QStringList> years; // every year, then the total
    QList<QStringList> bikes; // every bike, the rides without one, then the total; none when the log has no bikes
};
Statistics StatisticsReport(const StatisticsResult& result, const ::Statistics::YearGoal& goal = {},
                            bool withBikes = false);

QString PeriodText(TDateTime start, TDateTime end);

}
