#include "util/Formats.h"

#include <QLocale>

#include <algorithm>
#include <iterator>
#include <cmath>

namespace {

// Writes the digits of `n` ending just before `end`; returns where they start.
QChar* DigitsBefore(QChar* end, quint64 n, int atLeast)
{
    for (int i = 0; i < atLeast || n != 0; ++i, n /= 10)
        *--end = QChar(u'0' + int(n % 10));
    return end;
}

// The C form with the locale's decimal separator: never a group separator.
// Lists format thousands of values, so the common case skips Qt's general
// number formatting.
QString Fixed(double value, int decimals, const QString& point)
{
    static constexpr double Scales[] = {1.0, 10.0, 100.0};
    if (!std::isfinite(value))
        return Formats::NotAvailable;
    const double scaled = std::abs(value) * Scales[decimals];
    const double whole = std::floor(scaled);
    // Below 1e9 the product is off by far less than the margin kept around a
    // half, so rounding it rounds the value exactly as QString::number does;
    // values near a half, and larger ones, take the general path.
    if (point.size() == 1 && scaled < 1e9 && std::abs(scaled - whole - 0.5) > 1e-6) {
        const quint64 n = quint64(whole) + (scaled - whole > 0.5 ? 1 : 0);
        QChar buffer[24];
        QChar* const end = std::end(buffer);
        QChar* first = DigitsBefore(end, n, decimals + 1);
        if (decimals > 0) {
            std::move(first, end - decimals, first - 1);
            --first;
            *(end - decimals - 1) = point.front();
        }
        if (value < 0)
            *--first = u'-';
        return QString(first, end - first);
    }
    QString text = QString::number(value, 'f', decimals);
    if (const qsizetype at = text.indexOf(u'.'); at >= 0)
        text.replace(at, 1, point);
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

Separators Separators::Current()
{
    return {QLocale().decimalPoint(), TimeSeparator()};
}

QString Grouped(double value)
{
    return QLocale().toString(qRound64(value));
}

QString OneDecimal(double value)
{
    return Fixed(value, 1, QLocale().decimalPoint());
}

QString OneDecimal(double value, const Separators& separators)
{
    return Fixed(value, 1, separators.decimalPoint);
}

QString TwoDecimals(double value)
{
    return Fixed(value, 2, QLocale().decimalPoint());
}

QString TwoDecimals(double value, const Separators& separators)
{
    return Fixed(value, 2, separators.decimalPoint);
}

QString Duration(TDateTime value)
{
    return Duration(value, {QString(), TimeSeparator()});
}

QString Duration(TDateTime value, const Separators& separators)
{
    if (!value.IsValid())
        return NoDuration;
    int h = 0, m = 0, s = 0, ms = 0;
    value.DecodeTime(h, m, s, ms);
    // Filled in place: a month list formats one per ride.
    QString text(h >= 10 ? 8 : 7, Qt::Uninitialized);
    QChar* out = text.data();
    if (h >= 10)
        *out++ = QChar(u'0' + h / 10);
    const auto twoDigits = [&out](int n) {
        *out++ = QChar(u'0' + n / 10);
        *out++ = QChar(u'0' + n % 10);
    };
    *out++ = QChar(u'0' + h % 10);
    *out++ = separators.time;
    twoDigits(m);
    *out++ = separators.time;
    twoDigits(s);
    return text;
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
