#include "util/Formats.h"

#include <QLocale>

#include <cmath>

namespace {

// The C form with the locale's decimal separator: never a group separator.
QString Fixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return Formats::NotAvailable;
    QString text = QString::number(value, 'f', decimals);
    if (const qsizetype point = text.indexOf(u'.'); point >= 0)
        text.replace(point, 1, QLocale().decimalPoint());
    return text;
}

// The first punctuation character of a locale pattern such as "dd/MM/yy".
QChar SeparatorOf(const QString& pattern, QChar fallback)
{
    bool quoted = false;
    for (const QChar c : pattern) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && !c.isLetterOrNumber() && !c.isSpace())
            return c;
    }
    return fallback;
}

QChar DateSeparator()
{
    return SeparatorOf(QLocale().dateFormat(QLocale::ShortFormat), u'/');
}

QChar TimeSeparator()
{
    return SeparatorOf(QLocale().timeFormat(QLocale::ShortFormat), u':');
}

QString TwoDigits(int value)
{
    return QString::number(value).rightJustified(2, u'0');
}

QString FourDigits(int value)
{
    return QString::number(value).rightJustified(4, u'0');
}

}

namespace Formats {

QString OneDecimal(double value)
{
    return Fixed(value, 1);
}

QString TwoDecimals(double value)
{
    return Fixed(value, 2);
}

QString Duration(TDateTime value)
{
    if (!value.IsValid())
        return NoDuration;
    int h = 0, m = 0, s = 0, ms = 0;
    value.DecodeTime(h, m, s, ms);
    const QChar sep = TimeSeparator();
    return QString::number(h) + sep + TwoDigits(m) + sep + TwoDigits(s);
}

QString Date(TDateTime value)
{
    if (!value.IsValid())
        return NotAvailable;
    int y = 0, m = 0, d = 0;
    value.DecodeDate(y, m, d);
    const QChar sep = DateSeparator();
    return QString::number(d) + sep + QString::number(m) + sep + FourDigits(y);
}

QString SqlDate(TDateTime value)
{
    if (!value.IsValid())
        return QString();
    int y = 0, m = 0, d = 0;
    value.DecodeDate(y, m, d);
    return FourDigits(y) + u'-' + TwoDigits(m) + u'-' + TwoDigits(d);
}

}
