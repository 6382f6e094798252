#pragma once

#include "util/TDateTime.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// A ride as the ride dialog returns it.
struct RideEntry
{
    int giorno = 1;        // day of the month
    int tipo = 0;          // ride type key; -1 when none is chosen
    double chilometri = 0; // 0 to 999
    TDateTime tempo;       // duration; 0 when there is none
    QString testoDescrizione;

    bool operator==(const RideEntry&) const = default;
};

// The ride dialog's rules, kept apart from the widgets so every rule can be
// checked without a window.
namespace RideValidation {

// The texts of the dialog's fields as typed.
struct Fields
{
    int dayIndex = 0;  // position in the day list
    int typeIndex = 0; // position in the type list, -1 for none
    QString km, hours, minutes, seconds, description;
    // The stored values of the fields the user left alone when modifying: they
    // are written back as they are, not as their texts read back.
    std::optional<double> keptKm;
    std::optional<TDateTime> keptDuration;
};

// A field the rider must correct. Like a bad row of a file, it is part of
// what the check returns, not a failure of the program.
struct Fault
{
    enum class Field { Distance, Duration };
    Field field;
    QString message; // the text to show
};

struct Result
{
    RideEntry entry;            // valid only without a fault
    std::optional<Fault> fault; // the first field found wrong
};

inline constexpr double MaxKm = 999.0;
// The calendar's first year: the log holds no ride before it.
inline constexpr int FirstYear = 1990;
inline const QString DistanceMessage = QStringLiteral("Campo KM non valido o fuori range (0-999).");
inline const QString DurationMessage = QStringLiteral("Campo durata non valido.");

// The distance first, then the duration: one message at a time.
Result Validate(const Fields& fields, const QLocale& locale = QLocale());

// "1" .. the number of days of the month.
QStringList DayList(int month, int year);
// The description as stored: no '%', '*' or ''', no control characters, trimmed.
QString CleanDescription(const QString& text);
// The characters a description may never hold, typed or pasted: % * and the quote.
bool IsForbiddenCharacter(QChar c);
// The text without the characters a description may not hold, control characters too.
QString RemoveForbidden(const QString& text);
// Hours, minutes and seconds of a stored duration as the dialog shows them:
// empty for none; a duration of a day or more, which only another program
// can store, shows its whole count of hours so that it is seen as it is.
QStringList DurationTexts(TDateTime duration);
// A stored duration the dialog can edit as hours, minutes and seconds:
// finite, not negative and below 24 hours once rounded to the millisecond.
// Any other (25:30:00, NaN, an infinity: only another program stores one)
// is to be kept as it is.
bool IsUsableDuration(TDateTime value);
// A duration the month list shows and the statistics add up: usable and at
// least a second long. Anything shorter or unusable is a ride without one.
bool IsCountedDuration(TDateTime value);
// A counted duration in milliseconds, 0 for any other.
qint64 CountedMs(TDateTime value);
// The shortest text of a distance, with the locale's decimal separator.
QString DistanceText(double km, const QLocale& locale = QLocale());

}
