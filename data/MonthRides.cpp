#include "data/MonthRides.h"

#include "data/RideEntry.h"
#include "data/Rides.h"
#include "util/Formats.h"
#include "util/Unitutils.h"

QString MonthRides::DayText(int weekday, int day)
{
    return WeekdayName(weekday) + u' ' + QString::number(day);
}

namespace {

void FormatDurationAndSpeed(double km, double duration, const Formats::Separators& separators,
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

}

void MonthRides::DurationAndSpeed(double km, double duration, QString& durationText, QString& speedText)
{
    FormatDurationAndSpeed(km, duration, Formats::Separators::Current(), durationText, speedText);
}

MonthRides MonthRides::Load(TZTConnection& connection, int year, int month)
{
    MonthRides result;
    result.typeNames = Rides::TypeNames(connection);
    QStringList weekdays; // the locale's names, looked up once a month rather than once a ride
    for (int day = 1; day <= 7; ++day)
        weekdays.append(WeekdayName(day));
    const Formats::Separators separators = Formats::Separators::Current();
    const QStringList& typeNames = result.typeNames;

    double total = 0.0;
    double lastDate = 0.0;
    QString lastDay;
    Rides::ForEachInMonth(connection, year, month, [&](const Rides::Row& ride) {
        Row row;
        row.number = QString::number(result.rows.size() + 1);
        row.id = ride.key;
        // Rides come in date order, many a day: consecutive rows share one text.
        if (result.rows.isEmpty() || ride.date.Val() != lastDate) {
            lastDate = ride.date.Val();
            lastDay = weekdays.at(ride.date.DayOfWeek() - 1) + u' ' + QString::number(DayOf(ride.date));
        }
        row.day = lastDay;
        // A type without a name (possible only in files older than the
        // schema's foreign key) shows an empty text.
        row.type = typeNames.value(ride.type);
        total += ride.km;
        row.km = Formats::OneDecimal(ride.km, separators);
        FormatDurationAndSpeed(ride.km, ride.duration.Val(), separators, row.duration, row.speed);
        row.description = ride.description;
        result.rows.append(std::move(row));
    });

    const qsizetype count = result.rows.size();
    Summary summary;
    summary.km = Formats::OneDecimal(total, separators);
    summary.rides = QString::number(count);
    summary.kmPerRide = count == 0 ? Formats::NotAvailable : Formats::TwoDecimals(total / double(count), separators);
    summary.kmPerDay = Formats::TwoDecimals(total / DaysInMonth(month, year), separators);
    result.summary = summary;
    return result;
}
