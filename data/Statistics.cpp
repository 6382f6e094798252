#include "data/Statistics.h"

#include "data/RideEntry.h"
#include "data/Rides.h"
#include "util/Exception.h"
#include "util/Formats.h"
#include "util/Unitutils.h"

#include <algorithm>
#include <cmath>

namespace {

int WholeDays(double days)
{
    return int(std::trunc(days));
}

// Every year from `first` to `last`, with nothing ridden yet.
QList<TZTAnno> EmptyYears(int first, int last)
{
    QList<TZTAnno> years;
    for (int year = first; year <= last; ++year)
        years.append(TZTAnno{year});
    return years;
}

// "h:mm", whole minutes; the hours run on past a day.
QString HoursAndMinutes(qint64 ms)
{
    const qint64 minutes = ms / 60000;
    return QStringLiteral("%1%2%3")
        .arg(minutes / 60)
        .arg(Formats::Separators::Current().time)
        .arg(minutes % 60, 2, 10, QChar(u'0'));
}

QStringList YearRow(const QString& name, const TZTAnno& year)
{
    return {name,
            QString::number(year.NumUscite),
            Formats::OneDecimal(year.KM),
            HoursAndMinutes(year.DurataMs),
            year.NumUscite == 0 ? Formats::NotAvailable : Formats::TwoDecimals(year.KM / year.NumUscite),
            year.DurataMs == 0 ? Formats::NotAvailable
                               : Formats::OneDecimal(year.KMConDurata / (year.DurataMs / 3600000.0))};
}

// A bike's figures in the shape of a year's, so that both lists read alike.
// Named lines in the years' columns, then "Totale": their rides and times,
// and the period's own distance, as "Dati generali" shows it.
QList<QStringList> RowsWithTotal(const QList<std::pair<QString, TZTAnno>>& lines, double periodKm)
{
    QList<QStringList> rows;
    TZTAnno total;
    for (const auto& [name, figures] : lines) {
        rows.append(YearRow(name, figures));
        total.NumUscite += figures.NumUscite;
        total.DurataMs += figures.DurataMs;
        total.KMConDurata += figures.KMConDurata;
    }
    total.KM = periodKm;
    rows.append(YearRow(QStringLiteral("Totale"), total));
    return rows;
}

QString Average(const TZTMese& entry)
{
    return entry.NumUscite == 0 ? Formats::NotAvailable : Formats::TwoDecimals(entry.KM / entry.NumUscite);
}

// An average with its best running value, or only the average when it never rose above 0.
QString AverageWithMaximum(double average, double maximum, TDateTime date)
{
    if (date.Val() == 0.0)
        return Formats::TwoDecimals(average);
    return QStringLiteral("%1 (max. %2 il giorno %3)")
        .arg(Formats::TwoDecimals(average), Formats::TwoDecimals(maximum), Formats::Date(date));
}

}

namespace Statistics {

StatisticsResult EmptyResult(TDateTime start, TDateTime end)
{
    StatisticsResult result;
    result.DataInizio = start;
    result.DataTermine = end;
    for (TZTUscita& slot : result.Top10)
        slot.KM = -1.0;
    const int firstYear = YearOf(start);
    result.Anni = EmptyYears(firstYear, std::max(YearOf(end), firstYear));
    return result;
}

void AddRide(StatisticsResult& result, TDateTime date, double km, TDateTime duration)
{
    const qint64 durationMs = RideValidation::CountedMs(duration);
    const int firstYear = result.Anni.front().Anno, lastYear = result.Anni.back().Anno;
    // Decoded once: every breakdown below reads the same day.
    const QDate calendarDay = date.ToQDate();
    const int year = calendarDay.year(), month = calendarDay.month(), day = calendarDay.day();
    result.UsciteTotali += 1;
    result.GiorniTotali = WholeDays(date.Val() - result.DataInizio.Val() + 1);
    result.KMTotali += km;
    result.MediaKMU = result.KMTotali / result.UsciteTotali;
    if (result.MediaKMU > result.MaxMediaKMU) {
        result.MaxMediaKMU = result.MediaKMU;
        result.DataMaxMediaKMU = date;
    }
    result.MediaKMG = result.KMTotali / result.GiorniTotali;
    if (result.MediaKMG > result.MaxMediaKMG) {
        result.MaxMediaKMG = result.MediaKMG;
        result.DataMaxMediaKMG = date;
    }
    for (TZTMese* entry : {&result.Mesi[month - 1], &result.GiorniSettimanali[calendarDay.dayOfWeek() % 7],
                           &result.GiorniMensili[day - 1]}) {
        entry->KM += km;
        entry->NumUscite += 1;
    }
    result.DecineDiKM[km >= 150.0 ? 15 : int(std::trunc(km)) / 10] += 1;
    // The query keeps to the period, so its years are the period's.
    TZTAnno& anno = result.Anni[std::clamp(year, firstYear, lastYear) - firstYear];
    anno.KM += km;
    anno.NumUscite += 1;
    if (durationMs > 0) {
        anno.DurataMs += durationMs;
        anno.KMConDurata += km;
    }
    if (year == lastYear)
        result.KMMesiUltimoAnno[month - 1] += km;
    else if (year == lastYear - 1)
        result.KMMesiAnnoPrecedente[month - 1] += km;
}

void CompletePeriod(StatisticsResult& result)
{
    result.GiorniTotali = WholeDays(result.DataTermine.Val() - result.DataInizio.Val() + 1);
    result.MediaKMG = result.KMTotali / result.GiorniTotali;
}

void ComputePeriod(TZTConnection& connection, StatisticsResult& result)
{
    result = EmptyResult(result.DataInizio, result.DataTermine);
    Rides::ForEachInPeriod(connection, result.DataInizio, result.DataTermine,
                           [&](const Rides::Row& ride) { AddRide(result, ride.date, ride.km, ride.duration); });
    CompletePeriod(result);
}

void ReadTop10(TZTConnection& connection, StatisticsResult& result)
{
    std::size_t n = 0;
    Rides::ForEachLongest(connection, result.DataInizio, result.DataTermine, [&](const Rides::Row& row) {
        // A slot is filled whole or not at all: a failure leaves the rest empty.
        if (n < result.Top10.size())
            result.Top10[n++] = {row.km, row.date, row.description};
    });
}

void Compute(TZTConnection& connection, StatisticsResult& result)
{
    ComputePeriod(connection, result);
    ReadTop10(connection, result);
}

QString PeriodText(TDateTime start, TDateTime end)
{
    return QStringLiteral("Periodo dal giorno %1 al giorno %2").arg(Formats::Date(start), Formats::Date(end));
}

GeneralTexts General(const StatisticsResult& result)
{
    GeneralTexts texts;
    texts.periodo = PeriodText(result.DataInizio, result.DataTermine);
    texts.kmTotali = Formats::OneDecimal(result.KMTotali);
    texts.giorniTotali = QString::number(result.GiorniTotali);
    texts.usciteTotali = QString::number(result.UsciteTotali);
    texts.kmg = result.KMTotali == 0.0
                    ? Formats::TwoDecimals(0.0)
                    : AverageWithMaximum(result.MediaKMG, result.MaxMediaKMG, result.DataMaxMediaKMG);
    texts.kmu = result.UsciteTotali == 0
                    ? Formats::NotAvailable
                    : AverageWithMaximum(result.MediaKMU, result.MaxMediaKMU, result.DataMaxMediaKMU);
    return texts;
}

QList<QStringList> Top10Rows(const StatisticsResult& result)
{
    QList<QStringList> rows;
    for (std::size_t i = 0; i < result.Top10.size() && result.Top10[i].KM >= 0.0; ++i) {
        const TZTUscita& ride = result.Top10[i];
        rows.append({QString::number(i + 1), WeekdayName(ride.Data.DayOfWeek()) + u' ' + Formats::Date(ride.Data),
                     Formats::OneDecimal(ride.KM), ride.Descrizione});
    }
    return rows;
}

QList<QStringList> MonthRows(const StatisticsResult& result)
{
    QList<QStringList> rows;
    for (int i = 0; i < 12; ++i) {
        const TZTMese& month = result.Mesi[i];
        rows.append({MonthName(i + 1), Formats::OneDecimal(month.KM), QString::number(month.NumUscite), Average(month),
                     QString()});
    }
    return rows;
}

QList<QStringList> WeekdayRows(const StatisticsResult& result)
{
    QList<QStringList> rows;
    for (int i = 0; i < 7; ++i) {
        const TZTGiornoSettimanale& day = result.GiorniSettimanali[i];
        rows.append({WeekdayName(i + 1), Formats::OneDecimal(day.KM), QString::number(day.NumUscite), Average(day),
                     QString()});
    }
    return rows;
}

QList<QStringList> DayOfMonthRows(const StatisticsResult& result)
{
    QList<QStringList> rows;
    for (int i = 0; i < 31; ++i)
        rows.append({QString::number(i + 1), Formats::OneDecimal(result.GiorniMensili[i].KM),
                     QString::number(result.GiorniMensili[i].NumUscite)});
    return rows;
}

QList<QStringList> TensOfKmRows(const StatisticsResult& result)
{
    const std::array<int, 16>& counts = result.DecineDiKM;
    QList<QStringList> rows;
    rows.append({QStringLiteral("< 30"), QString::number(counts[0] + counts[1] + counts[2])});
    for (int k = 3; k <= 14; ++k)
        rows.append({QStringLiteral("%1 - %2").arg(k * 10).arg(k * 10 + 10), QString::number(counts[k])});
    rows.append({QStringLiteral(">= 150"), QString::number(counts[15])});
    return rows;
}

QList<QStringList> YearRows(const StatisticsResult& result, const YearGoal& goal)
{
    QList<std::pair<QString, TZTAnno>> lines;
    for (const TZTAnno& year : result.Anni) {
        QString name = QString::number(year.Anno);
        // Whole percent, never rounded up to a goal not yet reached.
        if (goal.km > 0 && year.Anno == goal.year)
            name += QStringLiteral(" (%1%)").arg(qint64(std::floor(year.KM * 100.0 / goal.km)));
        lines.append({name, year});
    }
    return RowsWithTotal(lines, result.KMTotali);
}

QList<QStringList> BikeRows(const StatisticsResult& result)
{
    QList<std::pair<QString, TZTAnno>> lines;
    for (const Bikes::PeriodRow& bike : result.Bici)
        lines.append({bike.bike == 0 ? QStringLiteral("nessuna") : bike.name,
                      TZTAnno{0, bike.km, bike.rides, bike.durationMs, bike.kmWithDuration}});
    return RowsWithTotal(lines, result.KMTotali);
}

int ChartYear(const StatisticsResult& result)
{
    return YearOf(result.DataTermine);
}

QColor YearColour(int yearsBack)
{
    return ColoriGrafici(yearsBack == 0 ? 6 : 3);
}

YearProgress ReadProgress(TZTConnection& connection, int goal, const QDate& today)
{
    // Rides entered ahead of their day are not ridden yet.
    return {today, Rides::KmOfDays(connection, QDate(today.year(), 1, 1), today), goal};
}

QString ProgressText(const YearProgress& progress)
{
    if (progress.goal <= 0)
        return QString();
    return QStringLiteral("%1: %2 / %3 km%4")
        .arg(progress.today.year())
        .arg(Formats::Grouped(progress.km), Formats::Grouped(progress.goal),
             progress.Reached() ? QStringLiteral(" \u2713") : QString());
}

YearOutlook Outlook(const YearProgress& progress, const QList<Rides::YearByDay>& pastYears)
{
    const QDate& today = progress.today;
    YearOutlook outlook;
    outlook.progress = progress;
    // A season is a whole past year: the log's first year counts only when it
    // begins in January, since a rider who started later had no spring in it.
    double shares = 0.0;
    for (const Rides::YearByDay& year : pastYears) {
        if (year.year == today.year() - 1)
            outlook.lastYearKm = year.kmByDay;
        const bool whole = &year != &pastYears.first() || year.firstRide.month() == 1;
        if (whole && year.km > 0.0) {
            shares += year.kmByDay / year.km;
            ++outlook.seasons;
        }
    }
    if (outlook.seasons >= 2 && shares > 0.0) {
        outlook.projection = progress.km / (shares / outlook.seasons);
    } else {
        outlook.seasons = 0;
        outlook.projection = progress.km / today.dayOfYear() * today.daysInYear();
    }
    return outlook;
}

YearOutlook ReadOutlook(TZTConnection& connection, const YearProgress& progress)
{
    return Outlook(progress, Rides::YearsByDay(connection, progress.today));
}

QStringList OutlookLines(const YearOutlook& outlook)
{
    const YearProgress& progress = outlook.progress;
    if (progress.goal <= 0)
        return {};
    const QLocale locale;
    QStringList lines;
    lines.append(QStringLiteral("Proiezione a fine anno: %1 km (%2)")
                     .arg(Formats::Grouped(outlook.projection),
                          outlook.seasons > 0
                              ? QStringLiteral("dal tuo andamento stagionale in %1 anni").arg(outlook.seasons)
                              : QStringLiteral("lineare: servono almeno due anni completi nel registro")));
    if (outlook.lastYearKm) {
        QString line = QStringLiteral("%1 alla stessa data: %2 km")
                           .arg(progress.today.year() - 1)
                           .arg(Formats::Grouped(*outlook.lastYearKm));
        if (*outlook.lastYearKm > 0.0) {
            const double change = (progress.km - *outlook.lastYearKm) / *outlook.lastYearKm * 100.0;
            // A real minus sign, as the percentages of a printed table have it.
            line += QStringLiteral(", %1%2 %").arg(change < 0 ? QStringLiteral("\u2212") : QStringLiteral("+"),
                                                   locale.toString(std::abs(change), 'f', 1));
        }
        lines.append(line);
    }
    if (progress.Reached()) {
        lines.append(QStringLiteral("Obiettivo raggiunto"));
    } else {
        const double missing = progress.goal - progress.km;
        QString line = QStringLiteral("Mancano %1 km").arg(Formats::Grouped(missing));
        if (const int daysLeft = progress.today.daysInYear() - progress.today.dayOfYear(); daysLeft > 0)
            line += QStringLiteral(": %1 km a settimana").arg(Formats::Grouped(missing / (daysLeft / 7.0)));
        lines.append(line);
    }
    return lines;
}

QColor ColoriGrafici(int index)
{
    static constexpr QRgb colours[12] = {0xFF0000, 0x000080, 0x800000, 0x00FFFF, 0x800080, 0xFFFF00,
                                         0x0000FF, 0x008000, 0x000000, 0xFF00FF, 0x00FF00, 0x808000};
    return QColor(colours[index % 12]);
}

QList<PieSlice> PieSlices(const QList<double>& km, double total)
{
    QList<PieSlice> slices;
    const auto last = std::find_if(km.crbegin(), km.crend(), [](double entry) { return entry != 0.0; });
    const qsizetype lastEntry = km.crend() - last - 1;
    int start = 0;
    double accumulated = 0.0;
    for (qsizetype i = 0; i < km.size(); ++i) {
        if (km[i] == 0.0)
            continue;
        const double x = start + km[i] / total * 360.0;
        accumulated += km[i];
        int end = int(std::trunc(x));
        if (x - end >= 0.5)
            ++end;
        end = std::min(end, 360);
        // The total was summed ride by ride, the entries month by month: in
        // floating point the two differ in the last bits, and the rounding
        // carried from slice to slice would leave a wedge of a few degrees.
        if (i == lastEntry && std::abs(accumulated - total) <= 1e-9 * std::abs(total))
            end = 360;
        if (end != start)
            slices.append({start, end, ColoriGrafici(int(i))});
        start = end;
    }
    return slices;
}

QList<PieSlice> BikeSlices(const StatisticsResult& result)
{
    QList<double> km;
    for (const Bikes::PeriodRow& bike : result.Bici)
        km.append(bike.km);
    return PieSlices(km, result.KMTotali);
}

Period WholeMonth(const QDate& end)
{
    return {QDate(end.year(), end.month(), 1), QDate(end.year(), end.month(), DaysInMonth(end.month(), end.year()))};
}

Period WholeYear(const QDate& end)
{
    return {QDate(end.year(), 1, 1), QDate(end.year(), 12, 31)};
}

QDate PreviousYear(const QDate& date, int firstYear)
{
    if (date.year() <= firstYear)
        return QDate(date.year(), 1, 1);
    // QDate::addYears turns 29 February into 28 February.
    return date.addYears(-1);
}

}

