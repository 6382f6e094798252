#pragma once

#include "util/TDateTime.h"

#include <QString>

// Display formats shared by the month list, the statistics and the reports.
// Numbers use the locale's decimal separator and never a group separator.
namespace Formats {

inline const QString NotAvailable = QStringLiteral("n/d");
inline const QString NoDuration = QStringLiteral("---");

// The current locale's separators, for callers that format many values at once.
struct Separators
{
    QString decimalPoint;
    QChar time;
    static Separators Current();
};

// "%.1f": distances and speeds; NotAvailable for NaN and the infinities.
QString OneDecimal(double value);
QString OneDecimal(double value, const Separators& separators);
// "%.2f": averages; NotAvailable for NaN and the infinities.
QString TwoDecimals(double value);
QString TwoDecimals(double value, const Separators& separators);
// Whole units with the locale's thousands separator: "20.893" in Italian.
QString Grouped(double value);
// "h:nn:ss" with the locale's time separator; NoDuration for an invalid value.
QString Duration(TDateTime value);
QString Duration(TDateTime value, const Separators& separators);
// "d/m/yyyy" with the locale's date separator, the year always in four
// digits; NotAvailable for an invalid value.
QString Date(TDateTime value);
// "yyyy-mm-dd", the form dates take inside SQL texts; empty for an invalid value.
QString SqlDate(TDateTime value);

}
