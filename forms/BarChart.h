#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>

#include <array>

class QFontMetrics;

// The chart of the years page: the kilometres of each month of a year beside
// those of the year before, twelve pairs of bars over the months' initials,
// with a key of the two years above them.
namespace BarChart {

using Months = std::array<double, 12>; // 0 = January

struct Layout
{
    // bars[m][0]: month m of the year, bars[m][1]: of the year before; empty for 0 km.
    std::array<std::array<QRect, 2>, 12> bars;
    std::array<QRect, 12> initials;
    // The key, the year first: a square of each colour and the year beside it.
    std::array<QRect, 2> swatches, keys;
    int baseline = 0; // the row the bars stand on
};

// The bars share one scale, the longest of them reaching the key.
Layout LayOut(const QSize& size, const QFontMetrics& metrics, int year, const Months& km, const Months& before);

// Drawn on `background` as the pies are, in the years' colours, the texts in `text`.
QImage Paint(const QSize& size, const QFont& font, int year, const Months& km, const Months& before,
             const QColor& background, const QColor& text);

}
