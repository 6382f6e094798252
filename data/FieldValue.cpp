#include "data/FieldValue.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>

namespace {

bool InIntRange(double value)
{
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// Numbers typed by a user arrive in the locale's form; stored text is in C form.
bool ParseNumber(const QString& text, double& result)
{
    bool ok = false;
    result = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok)
        result = QLocale().toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(result);
}

// Reads exactly `count` digits at `pos`.
bool Digits(const char* text, qsizetype size, qsizetype& pos, int count, int& value)
{
    value = 0;
    for (int i = 0; i < count; ++i, ++pos) {
        if (pos >= size || text[pos] < '0' || text[pos] > '9')
            return false;
        value = value * 10 + (text[pos] - '0');
    }
    return true;
}

// "HH:MM[:SS[.fff]]" from `pos` to the end; hours may have more than two digits.
bool ParseTime(const char* text, qsizetype size, qsizetype pos, double& fraction)
{
    qint64 hours = 0;
    const qsizetype start = pos;
    while (pos < size && text[pos] >= '0' && text[pos] <= '9' && pos - start < 6)
        hours = hours * 10 + (text[pos++] - '0');
    int minutes = 0, seconds = 0;
    if (pos == start || pos >= size || text[pos++] != ':' || !Digits(text, size, pos, 2, minutes) || minutes > 59)
        return false;
    double msec = 0.0;
    if (pos < size) {
        if (text[pos++] != ':' || !Digits(text, size, pos, 2, seconds) || seconds > 59)
            return false;
        if (pos < size) {
            if (text[pos++] != '.' || pos >= size)
                return false;
            double scale = 100.0;
            for (; pos < size; ++pos, scale /= 10.0) {
                if (text[pos] < '0' || text[pos] > '9')
                    return false;
                msec += (text[pos] - '0') * scale;
            }
        }
    }
    fraction = ((hours * 60 + minutes) * 60 + seconds) * 1000.0 + msec;
    fraction /= TDateTime::MSecsPerDay;
    return true;
}

// The digits of `value`, with zeros before them up to `width`.
void AppendDigits(QByteArray& text, qint64 value, int width)
{
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (qsizetype pad = width - (end - digits); pad > 0; --pad)
        text += '0';
    text.append(digits, end - digits);
}

// A span a time column holds: its hours may pass 24 and have up to six digits.
constexpr double MaxTimeDays = 10000.0;

// "HH:MM:SS", with ".zzz" when there are milliseconds.
QByteArray ClockText(qint64 ms)
{
    // Built in place: an import writes one for every ride.
    QByteArray text;
    text.reserve(16);
    AppendDigits(text, ms / 3600000, 2);
    text += ':';
    AppendDigits(text, ms / 60000 % 60, 2);
    text += ':';
    AppendDigits(text, ms / 1000 % 60, 2);
    if (ms % 1000 != 0) {
        text += '.';
        AppendDigits(text, ms % 1000, 3);
    }
    return text;
}

}

namespace FieldValue {

FieldKind KindOfDeclaredType(const QString& declaredType)
{
    const QString type = declaredType.toUpper();
    if (type.contains(u"DATE"))
        return FieldKind::Date;
    if (type.contains(u"TIME"))
        return FieldKind::Time;
    if (type.contains(u"INT"))
        return FieldKind::Integer;
    if (type.contains(u"CHAR") || type.contains(u"CLOB") || type.contains(u"TEXT"))
        return FieldKind::Text;
    if (type.contains(u"REAL") || type.contains(u"FLOA") || type.contains(u"DOUB"))
        return FieldKind::Real;
    return FieldKind::Other;
}

int MaxLengthOfDeclaredType(const QString& declaredType)
{
    const qsizetype open = declaredType.indexOf(u'(');
    const qsizetype close = declaredType.indexOf(u')', open + 1);
    if (open < 0 || close < 0 || KindOfDeclaredType(declaredType) != FieldKind::Text)
        return 0;
    bool ok = false;
    const int length = declaredType.mid(open + 1, close - open - 1).trimmed().toInt(&ok);
    return ok && length > 0 ? length : 0;
}

QString ToString(const FieldCell& cell)
{
    switch (cell.type) {
    case FieldCell::Null:
        return QString();
    case FieldCell::Integer:
        return QString::number(cell.integer);
    case FieldCell::Real: {
        QLocale locale;
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
        return locale.toString(cell.real, 'g', QLocale::FloatingPointShortest);
    }
    case FieldCell::Text:
        return QString::fromUtf8(cell.text);
    }
    return QString();
}

int ToInteger(const FieldCell& cell)
{
    if (cell.type == FieldCell::Integer)
        return InIntRange(double(cell.integer)) ? int(cell.integer) : 0;
    // Halves round to even, as the classic variant conversion does.
    const double rounded = std::nearbyint(ToDouble(cell));
    return InIntRange(rounded) ? int(rounded) : 0;
}

double ToDouble(const FieldCell& cell)
{
    switch (cell.type) {
    case FieldCell::Null:
        return 0.0;
    case FieldCell::Integer:
        return double(cell.integer);
    case FieldCell::Real:
        return cell.real;
    case FieldCell::Text: {
        TDateTime date;
        if (ParseDateTimeText(cell.text.constData(), cell.text.size(), date))
            return date.Val();
        double value = 0.0;
        return ParseNumber(QString::fromUtf8(cell.text), value) ? value : 0.0;
    }
    }
    return 0.0;
}

TDateTime ToDateTime(const FieldCell& cell)
{
    switch (cell.type) {
    case FieldCell::Integer:
    case FieldCell::Real: {
        // A number with no date (NaN, an infinity) does not convert.
        const TDateTime value(ToDouble(cell));
        return value.IsValid() ? value : TDateTime();
    }
    case FieldCell::Text: {
        TDateTime date;
        return ParseDateTimeText(cell.text.constData(), cell.text.size(), date) ? date : TDateTime();
    }
    case FieldCell::Null:
        break;
    }
    return TDateTime();
}

bool FromString(const QString& value, FieldKind kind, FieldCell& cell)
{
    switch (kind) {
    case FieldKind::Text:
    case FieldKind::Other:
        cell.type = FieldCell::Text;
        cell.text = value.toUtf8();
        return true;
    case FieldKind::Integer: {
        bool ok = false;
        const qint64 number = value.trimmed().toLongLong(&ok);
        cell.type = FieldCell::Integer;
        cell.integer = number;
        return ok;
    }
    case FieldKind::Real:
        cell.type = FieldCell::Real;
        return ParseNumber(value, cell.real);
    case FieldKind::Date:
    case FieldKind::Time: {
        const QByteArray text = value.trimmed().toUtf8();
        TDateTime date;
        return ParseDateTimeText(text.constData(), text.size(), date) && FromDateTime(date, kind, cell);
    }
    }
    return false;
}

bool FromInteger(int value, FieldKind kind, FieldCell& cell)
{
    switch (kind) {
    case FieldKind::Text:
        cell.type = FieldCell::Text;
        cell.text = QByteArray::number(value);
        return true;
    case FieldKind::Date:
    case FieldKind::Time:
        return FromDateTime(TDateTime(value), kind, cell);
    default:
        cell.type = FieldCell::Integer;
        cell.integer = value;
        return true;
    }
}

bool FromDouble(double value, FieldKind kind, FieldCell& cell)
{
    if (!std::isfinite(value))
        return false;
    switch (kind) {
    case FieldKind::Text:
        cell.type = FieldCell::Text;
        cell.text = QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
        return true;
    case FieldKind::Integer:
        cell.type = FieldCell::Integer;
        cell.integer = qint64(std::nearbyint(value));
        return std::fabs(value) < 9.0e18;
    case FieldKind::Date:
    case FieldKind::Time:
        return FromDateTime(TDateTime(value), kind, cell);
    default:
        cell.type = FieldCell::Real;
        cell.real = value;
        return true;
    }
}

bool FromDateTime(TDateTime value, FieldKind kind, FieldCell& cell)
{
    if (!value.IsValid())
        return false;
    switch (kind) {
    case FieldKind::Date:
    case FieldKind::Text:
        cell.type = FieldCell::Text;
        cell.text = DateText(value);
        return true;
    case FieldKind::Time:
        cell.type = FieldCell::Text;
        cell.text = TimeText(value);
        return !cell.text.isEmpty();
    default:
        cell.type = FieldCell::Real;
        cell.real = value.Val();
        return true;
    }
}

bool ParseDateTimeText(const char* text, qsizetype size, TDateTime& result)
{
    qsizetype pos = 0;
    int year = 0, month = 0, day = 0;
    if (size >= 10 && text[4] == '-') {
        if (!Digits(text, size, pos, 4, year) || text[pos++] != '-' || !Digits(text, size, pos, 2, month)
            || pos >= size || text[pos++] != '-' || !Digits(text, size, pos, 2, day))
            return false;
        TDateTime date;
        if (!TDateTime::TryEncodeDate(year, month, day, date))
            return false;
        double fraction = 0.0;
        if (pos < size) {
            if ((text[pos] != ' ' && text[pos] != 'T') || !ParseTime(text, size, pos + 1, fraction)
                || fraction >= 1.0)
                return false;
        }
        result = TDateTime::Combine(date, TDateTime(fraction));
        return true;
    }
    double fraction = 0.0;
    if (!ParseTime(text, size, 0, fraction))
        return false;
    result = TDateTime(fraction);
    return true;
}

QByteArray DateText(TDateTime value)
{
    if (!value.IsValid())
        return QByteArray();
    // The same decoding as everywhere else, so that the text and the value agree.
    int y = 0, m = 0, d = 0, hour = 0, minute = 0, second = 0, msec = 0;
    value.DecodeDate(y, m, d);
    value.DecodeTime(hour, minute, second, msec);
    QByteArray text;
    text.reserve(32);
    AppendDigits(text, y, 4);
    text += '-';
    AppendDigits(text, m, 2);
    text += '-';
    AppendDigits(text, d, 2);
    if (hour != 0 || minute != 0 || second != 0 || msec != 0)
        text += ' ' + ClockText(((hour * 60 + minute) * 60 + second) * qint64(1000) + msec);
    return text;
}

QByteArray TimeText(TDateTime value)
{
    if (!(value.Val() >= 0.0 && value.Val() < MaxTimeDays))
        return QByteArray();
    return ClockText(std::llround(value.Val() * TDateTime::MSecsPerDay));
}

}
