#include "data/Statistics.h"

#include "data/Rides.h"
#include "data/Sql.h"
#include "data/TZTRecordset.h"
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

void ReadTop10(TZTRecordset& recordset, StatisticsResult& result)
{
    const RecordsetCloser closer(recordset);
    recordset.Open(Sql::Top10(result.DataInizio, result.DataTermine));
    for (std::size_t n = 0; n < result.Top10.size() && !recordset.Eof(); ++n) {
        TZTUscita& ride = result.Top10[n];
        ride.KM = recordset.GetFieldAsDouble(RideColumn::KM);
        ride.Data = recordset.GetFieldAsDateTime(RideColumn::Data);
        ride.Descrizione = recordset.GetFieldAsString(RideColumn::Descrizione);
        recordset.MoveNext();
    }
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

std::optional<ComputeFailure> Compute(TZTRecordset& recordset, StatisticsResult& result)
{
    const TDateTime start = result.DataInizio;
    const TDateTime end = result.DataTermine;
    result = StatisticsResult();
    result.DataInizio = start;
    result.DataTermine = end;
    for (TZTUscita& slot : result.Top10)
        slot.KM = -1.0;

    try {
        const RecordsetCloser closer(recordset);
        recordset.Open(Sql::PeriodRides(start, end));
        for (; !recordset.Eof(); recordset.MoveNext()) {
            const TDateTime date = recordset.GetFieldAsDateTime(RideColumn::Data);
            const double km = recordset.GetFieldAsDouble(RideColumn::KM);
            result.UsciteTotali += 1;
            result.GiorniTotali = WholeDays(date.Val() - start.Val() + 1);
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
            for (TZTMese* entry : {&result.Mesi[DatePart(date, 1) - 1], &result.GiorniSettimanali[date.DayOfWeek() - 1],
                                   &result.GiorniMensili[DatePart(date, 2) - 1]}) {
                entry->KM += km;
                entry->NumUscite += 1;
            }
            result.DecineDiKM[km >= 150.0 ? 15 : int(std::trunc(km)) / 10] += 1;
        }
    } catch (const Exception& e) {
        return ComputeFailure{ComputeFailure::Query::Period, e.Message()};
    }

    std::optional<ComputeFailure> failure;
    try {
        ReadTop10(recordset, result);
    } catch (const Exception& e) {
        failure = ComputeFailure{ComputeFailure::Query::Top10, e.Message()};
    }
    result.GiorniTotali = WholeDays(end.Val() - start.Val() + 1);
    result.MediaKMG = result.KMTotali / result.GiorniTotali;
    return failure;
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
