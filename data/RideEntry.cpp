#include "data/RideEntry.h"

#include "util/Unitutils.h"

namespace {

// An empty or unreadable part of the duration counts as 0.
int DurationPart(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

}

namespace RideValidation {

Result Validate(const Fields& fields, const QLocale& locale)
{
    Result result;
    if (fields.keptKm) {
        result.entry.chilometri = *fields.keptKm;
    } else {
        QLocale strict = locale;
        strict.setNumberOptions(QLocale::RejectGroupSeparator);
        bool ok = false;
        const double km = strict.toDouble(fields.km.trimmed(), &ok);
        if (!ok || km < 0.0 || km > MaxKm) {
            result.fault = Fault{Fault::Field::Distance, DistanceMessage};
            return result;
        }
        result.entry.chilometri = km;
    }
    if (fields.keptDuration) {
        result.entry.tempo = *fields.keptDuration;
    } else {
        const int hours = DurationPart(fields.hours);
        const int minutes = DurationPart(fields.minutes);
        const int seconds = DurationPart(fields.seconds);
        if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59) {
            result.fault = Fault{Fault::Field::Duration, DurationMessage};
            return result;
        }
        result.entry.tempo = TDateTime::EncodeTime(hours, minutes, seconds, 0);
    }
    result.entry.giorno = fields.dayIndex + 1;
    result.entry.tipo = fields.typeIndex;
    result.entry.testoDescrizione = CleanDescription(fields.description);
    return result;
}

QStringList DayList(int month, int year)
{
    QStringList days;
    for (int day = 1; day <= DaysInMonth(month, year); ++day)
        days.append(QString::number(day));
    return days;
}

bool IsForbiddenCharacter(QChar c)
{
    return c == u'%' || c == u'*' || c == u'\'';
}

QString RemoveForbidden(const QString& text)
{
    QString kept = text;
    kept.removeIf([](QChar c) { return IsForbiddenCharacter(c) || c.category() == QChar::Other_Control; });
    return kept;
}

QString CleanDescription(const QString& text)
{
    return RemoveForbidden(text).trimmed();
}

QStringList DurationTexts(TDateTime duration)
{
    const double days = duration.Val();
    // Negative, not a number, or too long to count: nothing to show.
    if (!(days > 0.0 && days < 1e6))
        return {QString(), QString(), QString()};
    int hours = 0, minutes = 0, seconds = 0;
    if (IsUsableDuration(duration)) {
        int msec = 0;
        duration.DecodeTime(hours, minutes, seconds, msec);
    } else {
        const qint64 total = qRound64(days * TDateTime::SecsPerDay);
        hours = int(total / 3600);
        minutes = int(total / 60 % 60);
        seconds = int(total % 60);
    }
    return {QString::number(hours), QString::number(minutes), QString::number(seconds)};
}

bool IsUsableDuration(TDateTime value)
{
    // A time that rounds up to 24:00 reads as the next day's midnight.
    return value.Val() >= 0.0 && value.Val() < 1.0 && value.DateOnly().Val() == 0.0;
}

bool IsCountedDuration(TDateTime value)
{
    return value.Val() >= 1.0 / TDateTime::SecsPerDay && IsUsableDuration(value);
}

qint64 CountedMs(TDateTime value)
{
    if (!IsCountedDuration(value))
        return 0;
    int h = 0, m = 0, s = 0, ms = 0;
    value.DecodeTime(h, m, s, ms);
    return ((h * 60 + m) * 60 + s) * qint64(1000) + ms;
}

QString DistanceText(double km, const QLocale& locale)
{
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return plain.toString(km, 'g', QLocale::FloatingPointShortest);
}

}
