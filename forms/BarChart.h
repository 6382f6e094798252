#pragma once

#include "forms/ChartAxis.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <array>

class QFontMetrics;

// The month chart of the years page: the kilometres of each month of a year
// beside those of the year before, twelve pairs of bars over the months'
// initials, a kilometre scale on the left and a key of the years above.
namespace BarChart {

using Months = std::array<double, 12>; // 0 = January

struct MonthPairs
{
    int year = 0; // the later of the two
    Months km{}, before{};
    int partialMonth = -1; // the month of `year` the period ends inside of, 0 = January; -1 for none
};

struct Layout
{
    // bars[m][0]: month m of the year, bars[m][1]: of the year before; empty for 0 km.
    std::array<std::array<QRect, 2>, 12> bars;
    std::array<QRect, 12> initials;
    // The key, the year first: a square of each colour and the year beside it;
    // empty for a year without a bar.
    std::array<QRect, 2> swatches, keys;
    QRect plot; // where the bars stand, the scale's lines across it
    ChartAxis::Scale scale;
    int baseline = 0; // the row the bars stand on
};

Layout LayOut(const QSize& size, const QFontMetrics& metrics, const MonthPairs& months);

// Drawn on `background`, in the years' colours, the texts in `text`; the
// month the period ends inside of is hatched, being not yet whole.
QImage Paint(const QSize& size, const QFont& font, const MonthPairs& months, const QColor& background,
             const QColor& text);

// What the bar under `point` stands for ("Marzo 2026: 1.643,3 km"); empty off the bars.
QString ToolTip(const Layout& layout, const MonthPairs& months, const QPoint& point);

}
