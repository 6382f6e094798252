#pragma once

#include "forms/ChartAxis.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <vector>

// The other charts of the years page: a bar for each year's kilometres, and
// the kilometres added up day by day through a year, against other years.
namespace YearCharts {

struct YearTotal
{
    int year = 0;
    double km = 0.0;
};

struct TotalsLayout
{
    std::vector<QRect> bars;   // one a year, empty for 0 km
    std::vector<QRect> labels; // empty where a year's label would crowd its neighbour's
    QRect plot;
    ChartAxis::Scale scale;
};

TotalsLayout LayOutTotals(const QSize& size, const QFontMetrics& metrics, const QList<YearTotal>& years);
QImage PaintTotals(const QSize& size, const QFont& font, const QList<YearTotal>& years, const QColor& background,
                   const QColor& text);
// "2019: 21.345,6 km" for the bar under `point`; empty off the bars.
QString TotalsToolTip(const TotalsLayout& layout, const QList<YearTotal>& years, const QPoint& point);

// A year's kilometres day by day (0 = 1 January), as far as it is drawn.
struct YearDays
{
    int year = 0;
    QList<double> km;
    QString note; // after the year in the key ("migliore")
    QColor colour;
};

struct CumulativeLayout
{
    QRect plot;
    ChartAxis::Scale scale;
    std::array<QRect, 12> initials; // under the first day of each month
    std::vector<QRect> swatches, keys;
    double dayWidth = 1.0;
};

CumulativeLayout LayOutCumulative(const QSize& size, const QFontMetrics& metrics, const QList<YearDays>& years);
QImage PaintCumulative(const QSize& size, const QFont& font, const QList<YearDays>& years, const QColor& background,
                       const QColor& text);
// "12/3: 2026 1.234 km · 2025 1.100 km" for the day under `point`; empty off the plot.
QString CumulativeToolTip(const CumulativeLayout& layout, const QList<YearDays>& years, const QPoint& point);

}
