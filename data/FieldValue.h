#pragma once

#include "util/TDateTime.h"

#include <QByteArray>
#include <QString>

// How a column's values are stored, from its declared type. Dates are ISO
// text ("2005-02-06", with " 10:30:00" when there is a time of day); times
// are "HH:MM:SS" with ".zzz" when there are milliseconds.
enum class FieldKind { Other, Integer, Real, Text, Date, Time };

// One value as SQLite holds it; text is UTF-8.
struct FieldCell
{
    enum Type { Null, Integer, Real, Text };
    Type type = Null;
    qint64 integer = 0;
    double real = 0.0;
    QByteArray text;
};

namespace FieldValue {

FieldKind KindOfDeclaredType(const QString& declaredType);
// The n of "VARCHAR(n)"; 0 when the type sets no length.
int MaxLengthOfDeclaredType(const QString& declaredType);

// Reading: NULL, or a value that does not convert, gives the zero of the type;
// ToDateTime converts no number that TDateTime::IsValid refuses.
QString ToString(const FieldCell& cell);
int ToInteger(const FieldCell& cell);
double ToDouble(const FieldCell& cell);
TDateTime ToDateTime(const FieldCell& cell);

// Writing: false when the value does not fit a column of that kind; NaN, the
// infinities and date-times TDateTime::IsValid refuses fit none.
bool FromString(const QString& value, FieldKind kind, FieldCell& cell);
bool FromInteger(int value, FieldKind kind, FieldCell& cell);
bool FromDouble(double value, FieldKind kind, FieldCell& cell);
bool FromDateTime(TDateTime value, FieldKind kind, FieldCell& cell);

// The stored text forms of dates and times; false when the text is neither.
// A date and its time of day follow TDateTime's reading of values before day 0.
bool ParseDateTimeText(const char* text, qsizetype size, TDateTime& result);
// Empty for a value with no date.
QByteArray DateText(TDateTime value);
// A span from 0 up to 10000 days, so the hours may pass 24; empty otherwise.
QByteArray TimeText(TDateTime value);

}
