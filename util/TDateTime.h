#pragma once

#include <QDate>
#include <compare>

// A point in time as a count of days since 30 December 1899; the fraction is the
// time of day. Ride dates are whole days, durations are fractions of one day.
// Before day 0 the whole part counts the days back and the time of day is the
// fraction's absolute value: -1.25 is 29 December 1899, 06:00. Times are kept
// to the millisecond; one that rounds up to 24:00 is midnight of the next day.
class TDateTime
{
public:
    static constexpr double SecsPerDay = 86400.0;
    static constexpr double MSecsPerDay = 86400000.0;

    constexpr TDateTime() = default;
    constexpr explicit TDateTime(double value) : m_value(value) {}

    constexpr double Val() const { return m_value; }
    // A finite value whose date lies in the years 1 to 9999. Others (NaN, the
    // infinities) have no date and no time: they decode to zeros.
    bool IsValid() const;

    // Throw EConvertError for a date or time that does not exist.
    static TDateTime EncodeDate(int year, int month, int day);
    static TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
    static bool TryEncodeDate(int year, int month, int day, TDateTime& result);
    // The day of `date` at the time of day of `time`.
    static TDateTime Combine(TDateTime date, TDateTime time);

    static TDateTime FromQDate(const QDate& date);
    // An invalid QDate for an invalid value.
    QDate ToQDate() const;

    void DecodeDate(int& year, int& month, int& day) const;
    // The time of day: whole days are left out.
    void DecodeTime(int& hour, int& minute, int& second, int& msec) const;

    // 1 = Sunday .. 7 = Saturday; 0 for an invalid value.
    int DayOfWeek() const;

    // The whole-day part, i.e. the date at midnight; an invalid value stays as it is.
    TDateTime DateOnly() const;

    constexpr auto operator<=>(const TDateTime&) const = default;

private:
    double m_value = 0.0;
};
