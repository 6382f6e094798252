#pragma once

#include "util/TDateTime.h"

#include <QPoint>
#include <QSize>
#include <QString>

// Shared date helpers. Names come from the user's locale (QLocale()).

// 1 = January .. 12 = December; the first letter is capitalised when it is a to z.
QString MonthName(int month);
// 1 = Sunday .. 7 = Saturday.
QString WeekdayName(int day);
// Month first, then year: 28, 29, 30 or 31.
int DaysInMonth(int month, int year);
// part 0: year, 1: month, anything else: day.
int DatePart(TDateTime date, int part);
// The program's version from the build; always true.
bool GetExeVersion(quint16* major, quint16* minor, quint16* release, quint16* build);
// Top-left corner that centres a window of `size` on a screen of `screen`.
QPoint CenteredTopLeft(const QSize& screen, const QSize& size);
