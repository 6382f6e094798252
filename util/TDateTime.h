#pragma once

#include <QDate>
#include <compare>

// A point in time as a count of days since 30 December 1899; the fraction is the
// time of day. Ride dates are whole days, durations are fractions of one day.
class TDateTime
{
public:
    static constexpr double SecsPerDay = 86400.0;
    static constexpr double MSecsPerDay = 86400000.0;

    constexpr TDateTime() = default;
    constexpr explicit TDateTime(double value) : m_value(value) {}

    constexpr double Val() const { return m_value; }

    // Throw EConvertError for a date or time that does not exist.
    static TDateTime EncodeDate(int year, int month, int day);
    static TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
    static bool TryEncodeDate(int year, int month, int day, TDateTime& result);

    static TDateTime FromQDate(const QDate& date);
    QDate ToQDate() const;

    void DecodeDate(int& year, int& month, int& day) const;
    // The time of day: whole days are left out.
    void DecodeTime(int& hour, int& minute, int& second, int& msec) const;

    // 1 = Sunday .. 7 = Saturday.
    int DayOfWeek() const;

    // The whole-day part, i.e. the date at midnight.
    TDateTime DateOnly() const;

    constexpr auto operator<=>(const TDateTime&) const = default;

private:
    double m_value = 0.0;
};
