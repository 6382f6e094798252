#pragma once

#include "util/TDateTime.h"

#include <QString>
#include <QStringList>

#include <optional>

// The monthly ".dat" files of the older ride log. A file's name begins with
// the month and year ("032004.dat" holds March 2004); each line is one ride:
// "DD KM.K Description^T", the day, any separator, the distance with a point
// and one decimal, the description up to the first "^" and the type code.
namespace DatFile {

struct Month
{
    int year = 0;
    int month = 0;
    auto operator<=>(const Month&) const = default;
};

// False unless the first six characters are a month 01..12 and a four-digit year.
bool ParseName(const QString& fileName, Month& month);

// Lines end at CR, LF or CR LF; a final line break adds no empty line.
QStringList SplitLines(const QString& text);

struct Ride
{
    TDateTime date;
    double km = 0.0;
    QString description;
    int typeCode = 0; // as written: 1 is the first ride type
};

// What is wrong, in words for the rider, with a line that is not a ride of
// `month`; nothing when `ride` holds the line's ride. Wrong are: a blank
// line, a day that is not two digits or does not exist in the month, a
// distance not written as digits, a point and one digit, no "^", or no type
// digit after it. The distance is read with the point as decimal
// separator whatever the locale.
std::optional<QString> ParseLine(const QString& line, Month month, Ride& ride);

}
