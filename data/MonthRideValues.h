#pragma once

#include "data/MonthRides.h"
#include "data/Rides.h"
#include "util/Formats.h"

#include <QList>
#include <QStringList>

class TZTConnection;

// One month of the log as read, before any text is made: for a list that
// makes the texts of the rows it shows only. RowTexts(i) and SummaryTexts()
// are MonthRides::Load's rows[i] and summary.
struct MonthRideValues
{
    int year = 0;
    int month = 0;
    QList<Rides::Row> rides; // by date and, within a day, in the order they were added
    QStringList typeNames;   // by type key
    double km = 0.0;         // the rides' distance, added up in their order
    // The locale's names and separators, looked up once by Read.
    QStringList weekdays; // 1 = Sunday at 0
    Formats::Separators separators;

    // Throws Exception as MonthRides::Load does.
    static MonthRideValues Read(TZTConnection& connection, int year, int month);

    MonthRides::Row RowTexts(qsizetype index) const;
    MonthRides::Summary SummaryTexts() const;
};
