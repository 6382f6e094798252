#include "util/Unitutils.h"

#include "Version.h"

#include <QLocale>

namespace {

QString CapitaliseAscii(QString name)
{
    if (!name.isEmpty() && name.at(0) >= u'a' && name.at(0) <= u'z')
        name[0] = name.at(0).toUpper();
    return name;
}

}

QString MonthName(int month)
{
    const TDateTime date = TDateTime::EncodeDate(2000, month, 1);
    return CapitaliseAscii(QLocale().monthName(date.ToQDate().month(), QLocale::LongFormat));
}

QString WeekdayName(int day)
{
    // 6 February 2005 was a Sunday.
    const TDateTime date = TDateTime::EncodeDate(2005, 2, day + 5);
    return CapitaliseAscii(QLocale().dayName(date.ToQDate().dayOfWeek(), QLocale::LongFormat));
}

int DaysInMonth(int month, int year)
{
    TDateTime unused;
    for (int day = 31; day > 28; --day)
        if (TDateTime::TryEncodeDate(year, month, day, unused))
            return day;
    return 28;
}

// QDate gives 0 for each part of a value with no date, as DecodeDate does.
int YearOf(TDateTime date)
{
    return date.ToQDate().year();
}

int MonthOf(TDateTime date)
{
    return date.ToQDate().month();
}

int DayOf(TDateTime date)
{
    return date.ToQDate().day();
}

QVersionNumber ExeVersion()
{
    return QVersionNumber({KILOVENTO_VERSION_MAJOR, KILOVENTO_VERSION_MINOR, KILOVENTO_VERSION_RELEASE,
                           KILOVENTO_VERSION_BUILD});
}

QPoint CenteredTopLeft(const QSize& screen, const QSize& size)
{
    // Integer division truncating toward zero, so a window larger than the
    // screen gets a negative position.
    return QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2);
}
