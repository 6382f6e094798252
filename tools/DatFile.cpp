#include "tools/DatFile.h"

#include <QLocale>

#include <algorithm>

namespace {

bool IsDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int Digits(QStringView text)
{
    int value = 0;
    for (const QChar c : text)
        value = value * 10 + (c.unicode() - u'0');
    return value;
}

bool AllDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// Blanks and control characters, as the older log's own trimming removed them.
QString TrimmedOfControls(QStringView text)
{
    qsizetype first = 0, last = text.size();
    while (first < last && text[first] <= u' ')
        ++first;
    while (last > first && text[last - 1] <= u' ')
        --last;
    return text.sliced(first, last - first).toString();
}

// Digits, a point and one digit, with blanks around allowed; read with the
// point as decimal separator whatever the user's locale.
bool ParseDistance(QStringView text, double& km)
{
    const QStringView number = text.trimmed();
    const qsizetype point = number.indexOf(u'.');
    if (point < 1 || point != number.size() - 2 || !AllDigits(number.first(point)) || !IsDigit(number.back()))
        return false;
    bool ok = false;
    km = QLocale::c().toDouble(number, &ok);
    return ok;
}

// A field of the line between quotes, cut short: a message must stay readable
// whatever the file holds.
QString Quoted(QStringView field)
{
    constexpr qsizetype Longest = 40;
    if (field.size() <= Longest)
        return u'"' + field.toString() + u'"';
    return u'"' + field.first(Longest).toString() + QStringLiteral("…\" (%1 caratteri)").arg(field.size());
}

}

namespace DatFile {

bool ParseName(const QString& fileName, Month& month)
{
    if (fileName.size() < 6 || !AllDigits(QStringView(fileName).first(6)))
        return false;
    month.month = Digits(QStringView(fileName).first(2));
    month.year = Digits(QStringView(fileName).sliced(2, 4));
    return month.month >= 1 && month.month <= 12 && month.year >= 1;
}

QStringList SplitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.append(text.sliced(start));
    return lines;
}

std::optional<QString> ParseLine(const QString& line, Month month, Ride& ride)
{
    if (TrimmedOfControls(line).isEmpty())
        return QStringLiteral("riga vuota");
    if (line.size() < 3 || !AllDigits(QStringView(line).first(2)))
        return QStringLiteral("il giorno non è di due cifre");
    const int day = Digits(QStringView(line).first(2));
    if (!TDateTime::TryEncodeDate(month.year, month.month, day, ride.date))
        return QStringLiteral("il giorno %1 non esiste nel mese %2/%3")
            .arg(day)
            .arg(month.month, 2, 10, QChar(u'0'))
            .arg(month.year);
    const qsizetype caret = line.indexOf(u'^');
    if (caret < 0)
        return QStringLiteral("manca il carattere \"^\" prima del tipo di uscita");
    // The distance runs from the fourth character to the one after the
    // line's first point, so a point in the description does no harm.
    const qsizetype point = line.indexOf(u'.');
    if (point < 3)
        return QStringLiteral("manca il punto decimale della distanza");
    const QStringView distance = QStringView(line).sliced(3, std::min(point - 1, line.size() - 3));
    if (caret <= point + 1 || !ParseDistance(distance, ride.km))
        return QStringLiteral("distanza non valida: ") + Quoted(distance);
    if (caret + 1 >= line.size() || !IsDigit(line[caret + 1]))
        return QStringLiteral("manca la cifra del tipo di uscita dopo \"^\"");
    ride.description = TrimmedOfControls(QStringView(line).sliced(point + 2, caret - point - 2));
    ride.typeCode = line[caret + 1].unicode() - u'0';
    return std::nullopt;
}

}
