#include "util/TDateTime.h"

#include "util/Exception.h"

#include <cmath>

namespace {

// Julian day number of day 0, 30 December 1899.
constexpr qint64 JulianDayOfEpoch = 2415019;
constexpr qint64 MSecsInDay = 86400000;
// 1 January of year 1 and 31 December 9999.
constexpr qint64 FirstDay = -693593;
constexpr qint64 LastDay = 2958465;

// The day and the time of day in milliseconds, as the value reads. False when
// it has no date; the range is tested before any conversion to an integer.
bool Split(double value, qint64& day, qint64& msec)
{
    if (!(value > FirstDay - 1.0 && value < LastDay + 1.0))
        return false;
    const double whole = std::trunc(value);
    day = static_cast<qint64>(whole);
    msec = std::llround(std::fabs(value - whole) * TDateTime::MSecsPerDay);
    if (msec == MSecsInDay) {
        // Never 24:00: the next day begins, whichever way the days count.
        msec = 0;
        ++day;
    }
    return day >= FirstDay && day <= LastDay;
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

TDateTime TDateTime::Combine(TDateTime date, TDateTime time)
{
    const double day = date.DateOnly().Val();
    const double fraction = std::fabs(time.Val() - std::trunc(time.Val()));
    return TDateTime(day < 0.0 ? day - fraction : day + fraction);
}

bool TDateTime::IsValid() const
{
    qint64 day = 0, msec = 0;
    return Split(m_value, day, msec);
}

TDateTime TDateTime::FromQDate(const QDate& date)
{
    return TDateTime(static_cast<double>(date.toJulianDay() - JulianDayOfEpoch));
}

QDate TDateTime::ToQDate() const
{
    qint64 day = 0, msec = 0;
    return Split(m_value, day, msec) ? QDate::fromJulianDay(day + JulianDayOfEpoch) : QDate();
}

void TDateTime::DecodeDate(int& year, int& month, int& day) const
{
    year = month = day = 0;
    ToQDate().getDate(&year, &month, &day);
}

void TDateTime::DecodeTime(int& hour, int& minute, int& second, int& msec) const
{
    qint64 day = 0, ms = 0;
    if (!Split(m_value, day, ms))
        ms = 0;
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

int TDateTime::DayOfWeek() const
{
    const QDate date = ToQDate();
    return date.isValid() ? date.dayOfWeek() % 7 + 1 : 0;
}

TDateTime TDateTime::DateOnly() const
{
    qint64 day = 0, msec = 0;
    return Split(m_value, day, msec) ? TDateTime(static_cast<double>(day)) : *this;
}
