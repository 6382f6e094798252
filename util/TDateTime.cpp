#include "util/TDateTime.h"

#include "util/Exception.h"

#include <cmath>

namespace {

// Julian day number of day 0, 30 December 1899.
constexpr qint64 JulianDayOfEpoch = 2415019;

qint64 WholeDays(double value)
{
    return static_cast<qint64>(std::trunc(value));
}

}

TDateTime TDateTime::EncodeDate(int year, int month, int day)
{
    TDateTime result;
    if (!TryEncodeDate(year, month, day, result))
        throw EConvertError(QStringLiteral("Data non valida: %1-%2-%3").arg(year).arg(month).arg(day));
    return result;
}

bool TDateTime::TryEncodeDate(int year, int month, int day, TDateTime& result)
{
    if (year < 1 || year > 9999 || !QDate::isValid(year, month, day))
        return false;
    result = FromQDate(QDate(year, month, day));
    return true;
}

TDateTime TDateTime::EncodeTime(int hour, int minute, int second, int msec)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59
        || msec < 0 || msec > 999)
        throw EConvertError(QStringLiteral("Ora non valida: %1:%2:%3").arg(hour).arg(minute).arg(second));
    return TDateTime((hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / MSecsPerDay);
}

TDateTime TDateTime::FromQDate(const QDate& date)
{
    return TDateTime(static_cast<double>(date.toJulianDay() - JulianDayOfEpoch));
}

QDate TDateTime::ToQDate() const
{
    return QDate::fromJulianDay(WholeDays(m_value) + JulianDayOfEpoch);
}

void TDateTime::DecodeDate(int& year, int& month, int& day) const
{
    ToQDate().getDate(&year, &month, &day);
}

void TDateTime::DecodeTime(int& hour, int& minute, int& second, int& msec) const
{
    // Values before day 0 keep their time of day as a positive fraction.
    const double fraction = std::fabs(m_value - static_cast<double>(WholeDays(m_value)));
    qint64 ms = std::llround(fraction * MSecsPerDay);
    hour = static_cast<int>(ms / 3600000);
    ms %= 3600000;
    minute = static_cast<int>(ms / 60000);
    ms %= 60000;
    second = static_cast<int>(ms / 1000);
    msec = static_cast<int>(ms % 1000);
}

int TDateTime::DayOfWeek() const
{
    return ToQDate().dayOfWeek() % 7 + 1;
}

TDateTime TDateTime::DateOnly() const
{
    return TDateTime(static_cast<double>(WholeDays(m_value)));
}
