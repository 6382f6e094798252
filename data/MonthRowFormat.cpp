#include "data/MonthRowFormat.h"

#include "data/RideEntry.h"
#include "util/Unitutils.h"

MonthRowFormat::MonthRowFormat(const QStringList& typeNames, const QStringList& weekdays,
                               const Formats::Separators& separators)
    : m_typeNames(typeNames), m_weekdays(weekdays), m_separators(separators)
{
}

QStringList MonthRowFormat::WeekdayNames()
{
    QStringList names;
    for (int day = 1; day <= 7; ++day)
        names.append(WeekdayName(day));
    return names;
}

void MonthRowFormat::DurationAndSpeed(double km, double duration, const Formats::Separators& separators,
                                      QString& durationText, QString& speedText)
{
    if (!RideValidation::IsCountedDuration(TDateTime(duration))) {
        durationText = speedText = Formats::NoDuration;
        return;
    }
    int h = 0, m = 0, s = 0, ms = 0;
    TDateTime(duration).DecodeTime(h, m, s, ms);
    const double hours = h + m * (1.0 / 60.0) + s * (1.0 / 3600.0);
    const double speed = km / hours;
    durationText = Formats::Duration(TDateTime(duration), separators);
    speedText = speed < 0.1 || speed > 100.0 ? Formats::NotAvailable : Formats::OneDecimal(speed, separators);
}

QString MonthRowFormat::Day(TDateTime date) const
{
    return m_weekdays.at(date.DayOfWeek() - 1) + u' ' + QString::number(DayOf(date));
}

MonthRides::Row MonthRowFormat::Texts(const Rides::Row& ride, qsizetype index, QString day) const
{
    MonthRides::Row row;
    row.number = QString::number(index + 1);
    row.id = ride.key;
    row.day = std::move(day);
    // A type without a name (possible only in files older than the schema's
    // foreign key) shows an empty text.
    row.type = m_typeNames.value(ride.type);
    row.km = Formats::OneDecimal(ride.km, m_separators);
    DurationAndSpeed(ride.km, ride.duration.Val(), m_separators, row.duration, row.speed);
    row.description = ride.description;
    return row;
}

MonthRides::Summary MonthRowFormat::Summary(double km, qsizetype rides, int year, int month) const
{
    MonthRides::Summary summary;
    summary.km = Formats::OneDecimal(km, m_separators);
    summary.rides = QString::number(rides);
    summary.kmPerRide = rides == 0 ? Formats::NotAvailable : Formats::TwoDecimals(km / double(rides), m_separators);
    summary.kmPerDay = Formats::TwoDecimals(km / DaysInMonth(month, year), m_separators);
    return summary;
}
