#pragma once

#include "util/TDateTime.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <QVersionNumber>

// Shared date helpers. Names come from the user's locale (QLocale()).

// 1 = January .. 12 = December; the first letter is capitalised when it is a to z.
QString MonthName(int month);
// 1 = Sunday .. 7 = Saturday.
QString WeekdayName(int day);
// Month first, then year: 28, 29, 30 or 31.
int DaysInMonth(int month, int year);
// The year, month (1 = January) and day of the month of a date.
int YearOf(TDateTime date);
int MonthOf(TDateTime date);
int DayOf(TDateTime date);
// The program's version as the build set it: major, minor, release, build.
QVersionNumber ExeVersion();
// Top-left corner that centres a window of `size` on a screen of `screen`.
QPoint CenteredTopLeft(const QSize& screen, const QSize& size);
