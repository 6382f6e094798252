#include "forms/BarChart.h"

#include "data/Statistics.h"
#include "util/Unitutils.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Margin = 4;

QString Initial(int month)
{
    return MonthName(month).left(1);
}

QString KeyText(int year, int yearsBack)
{
    return QString::number(year - yearsBack);
}

}

namespace BarChart {

Layout LayOut(const QSize& size, const QFontMetrics& metrics, int year, const Months& km, const Months& before)
{
    Layout layout;
    const int line = metrics.height();
    const int square = std::max(metrics.ascent() - 2, 4);
    const int gap = metrics.horizontalAdvance(u' ');

    // The key at the top right: the year, then the year before.
    int right = size.width() - Margin;
    for (int back = 1; back >= 0; --back) {
        const int width = metrics.horizontalAdvance(KeyText(year, back));
        layout.keys[back] = QRect(right - width, Margin, width, line);
        layout.swatches[back] = QRect(right - width - gap - square, Margin + (line - square) / 2, square, square);
        right = layout.swatches[back].left() - 2 * gap;
    }

    const int top = Margin + line + Margin;
    layout.baseline = size.height() - Margin - line - 2;
    const int height = std::max(layout.baseline - top, 1);
    const double group = (size.width() - 2.0 * Margin) / 12.0;
    const int bar = std::max(int(group * 0.35), 1);
    double longest = 0.0;
    for (int m = 0; m < 12; ++m)
        longest = std::max({longest, km[m], before[m]});

    for (int m = 0; m < 12; ++m) {
        const int centre = Margin + int(std::lround(group * (m + 0.5)));
        const int width = metrics.horizontalAdvance(Initial(m + 1));
        layout.initials[m] = QRect(centre - width / 2, layout.baseline + 2, width, line);
        for (int back = 0; back < 2; ++back) {
            const double value = back == 0 ? km[m] : before[m];
            if (!(value > 0.0))
                continue;
            // Every month ridden shows, however short beside the longest.
            const int barHeight = std::max(int(std::lround(value / longest * height)), 1);
            const int left = back == 0 ? centre - bar : centre;
            layout.bars[m][back] = QRect(left, layout.baseline - barHeight, bar, barHeight);
        }
    }
    return layout;
}

QImage Paint(const QSize& size, const QFont& font, int year, const Months& km, const Months& before,
             const QColor& background, const QColor& text)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setFont(font);
    const Layout layout = LayOut(size, QFontMetrics(font, &image), year, km, before);
    painter.setPen(Qt::NoPen);
    for (int back = 0; back < 2; ++back) {
        painter.setBrush(Statistics::YearColour(back));
        painter.drawRect(layout.swatches[back]);
        for (const auto& pair : layout.bars)
            if (!pair[back].isEmpty())
                painter.drawRect(pair[back]);
    }
    painter.setPen(text);
    painter.drawLine(Margin, layout.baseline, size.width() - Margin - 1, layout.baseline);
    for (int back = 0; back < 2; ++back)
        painter.drawText(layout.keys[back], Qt::AlignLeft | Qt::AlignVCenter, KeyText(year, back));
    for (int m = 0; m < 12; ++m)
        painter.drawText(layout.initials[m], Qt::AlignCenter, Initial(m + 1));
    return image;
}

}
