#pragma once

#include "data/MonthRides.h"
#include "data/Rides.h"
#include "util/Formats.h"

#include <QStringList>

// How the month list writes a ride and the summary, with the names and
// separators looked up once a month rather than once a ride: the one maker
// of the texts MonthRides holds.
class MonthRowFormat
{
public:
    // Each is kept by reference: it outlives the format.
    MonthRowFormat(const QStringList& typeNames, const QStringList& weekdays, const Formats::Separators& separators);

    // The locale's weekday names, 1 = Sunday at 0.
    static QStringList WeekdayNames();
    static void DurationAndSpeed(double km, double duration, const Formats::Separators& separators,
                                 QString& durationText, QString& speedText);

    // The "Giorno" text of a date.
    QString Day(TDateTime date) const;
    // The row of the ride at `index` of its month, whose "Giorno" text is `day`.
    MonthRides::Row Texts(const Rides::Row& ride, qsizetype index, QString day) const;
    MonthRides::Summary Summary(double km, qsizetype rides, int year, int month) const;

private:
    const QStringList& m_typeNames;
    const QStringList& m_weekdays;
    const Formats::Separators& m_separators;
};
