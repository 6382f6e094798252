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
    double total = 0.0;
    Rides::ForEachInMonth(connection, year, month, [&](const Rides::Row& ride) {
        total += ride.km;
        result.rows.append({ride.key, ride.date, ride.type, ride.km, ride.duration, ride.description});
    });

    const Formats::Separators separators = Formats::Separators::Current();
    const qsizetype count = result.rows.size();
    Summary summary;
    summary.km = Formats::OneDecimal(total, separators);
    summary.rides = QString::number(count);
    summary.kmPerRide = count == 0 ? Formats::NotAvailable : Formats::TwoDecimals(total / double(count), separators);
    summary.kmPerDay = Formats::TwoDecimals(total / DaysInMonth(month, year), separators);
    result.summary = summary;
    return result;
}

MonthRides::RowTexts MonthRides::Texts(qsizetype index) const
{
    const Row& row = rows.at(index);
    const Formats::Separators separators = Formats::Separators::Current();
    RowTexts texts;
    texts.number = QString::number(index + 1);
    texts.day = DayText(row.date.DayOfWeek(), DayOf(row.date));
    texts.type = typeNames.value(row.type);
    texts.km = Formats::OneDecimal(row.km, separators);
    FormatDurationAndSpeed(row.km, row.duration.Val(), separators, texts.duration, texts.speed);
    texts.description = row.description;
    return texts;
}
