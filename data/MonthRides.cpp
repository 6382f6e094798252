#include "data/MonthRides.h"

#include "data/MonthRowFormat.h"
#include "data/Rides.h"
#include "util/Formats.h"
#include "util/Unitutils.h"

QString MonthRides::DayText(int weekday, int day)
{
    return WeekdayName(weekday) + u' ' + QString::number(day);
}

void MonthRides::DurationAndSpeed(double km, double duration, QString& durationText, QString& speedText)
{
    MonthRowFormat::DurationAndSpeed(km, duration, Formats::Separators::Current(), durationText, speedText);
}

MonthRides MonthRides::Load(TZTConnection& connection, int year, int month)
{
    MonthRides result;
    result.typeNames = Rides::TypeNames(connection);
    const QStringList weekdays = MonthRowFormat::WeekdayNames();
    const Formats::Separators separators = Formats::Separators::Current();
    const MonthRowFormat format(result.typeNames, weekdays, separators);
    double total = 0.0;
    double lastDate = 0.0;
    QString lastDay;
    Rides::ForEachInMonth(connection, year, month, [&](const Rides::Row& ride) {
        // Rides come in date order, many a day: consecutive rows share one text.
        if (result.rows.isEmpty() || ride.date.Val() != lastDate) {
            lastDate = ride.date.Val();
            lastDay = format.Day(ride.date);
        }
        total += ride.km;
        result.rows.append(format.Texts(ride, result.rows.size(), lastDay));
    });
    result.summary = format.Summary(total, result.rows.size(), year, month);
    return result;
}
