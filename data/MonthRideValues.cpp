#include "data/MonthRideValues.h"

#include "data/MonthRowFormat.h"

MonthRideValues MonthRideValues::Read(TZTConnection& connection, int year, int month)
{
    MonthRideValues values;
    values.year = year;
    values.month = month;
    values.typeNames = Rides::TypeNames(connection);
    values.weekdays = MonthRowFormat::WeekdayNames();
    values.separators = Formats::Separators::Current();
    Rides::ForEachInMonth(connection, year, month, [&](const Rides::Row& ride) {
        values.km += ride.km;
        values.rides.append(ride);
    });
    return values;
}

MonthRides::Row MonthRideValues::RowTexts(qsizetype index) const
{
    const MonthRowFormat format(typeNames, weekdays, separators);
    const Rides::Row& ride = rides.at(index);
    return format.Texts(ride, index, format.Day(ride.date));
}

MonthRides::Summary MonthRideValues::SummaryTexts() const
{
    return MonthRowFormat(typeNames, weekdays, separators).Summary(km, rides.size(), year, month);
}
