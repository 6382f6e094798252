#pragma once

#include "util/Settings.h"
#include "util/TDateTime.h"

#include <QList>
#include <QString>
#include <QStringList>

class QPrinter;

// The two printed reports. Each takes the texts as the window shows them and
// prints them on `printer` with the rider's font and margins; each throws
// Exception when the printer fails, and then leaves no job behind.
namespace Reports {

struct Month
{
    QString title;            // month name and year
    QList<QStringList> rides; // per ride: Giorno, Tipo, KM, Durata, KM/h, Descrizione
    QString km, uscite, kmg, kmu;
};

// Rides that do not fit continue on further pages, each with the column
// headings and the footer; the totals follow the last ride. A column is
// widened where its texts would not fit it, and a description too long for
// the page is cut at the right margin.
void PrintMonth(QPrinter& printer, const Month& month, const Options& options);

struct Statistics
{
    QString description;
    QString period; // "(Periodo dal ... al ...)"
    QString kmTotali, giorni, uscite, kmg, kmu;
    // The lists as shown: first column, then the others.
    QList<QStringList> weekdays, tensOfKm, daysOfMonth, months, top10;
    QList<TDateTime> top10Dates;
};

QString PeriodText(TDateTime start, TDateTime end);
// What does not fit continues on further pages, each with the footer; a table
// continued there repeats its headings. A column is widened, and the columns
// and tables beside it moved right, where its texts would not fit it; a table
// with no room beside another follows below it.
void PrintStatistics(QPrinter& printer, const Statistics& statistics, const Options& options);

// The footer line: the application title and the credit line.
QString FooterText();

}
