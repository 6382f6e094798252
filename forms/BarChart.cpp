#include "forms/BarChart.h"

#include "data/Statistics.h"
#include "util/Unitutils.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Margin = 4;

QString Initial(int month)
{
    return MonthName(month).left(1);
}

double Value(const BarChart::MonthPairs& months, int month, int back)
{
    return back == 0 ? months.km[month] : months.before[month];
}

bool HasBars(const BarChart::Months& km)
{
    return std::any_of(km.begin(), km.end(), [](double value) { return value > 0.0; });
}

}

namespace BarChart {

Layout LayOut(const QSize& size, const QFontMetrics& metrics, const MonthPairs& months)
{
    Layout layout;
    const int line = metrics.height();
    const int square = std::max(metrics.ascent() - 2, 4);
    const int gap = metrics.horizontalAdvance(u' ');

    // The key at the top right: the year, then the year before, each only with bars of its own.
    int right = size.width() - Margin;
    for (int back = 1; back >= 0; --back) {
        if (!HasBars(back == 0 ? months.km : months.before))
            continue;
        const QString year = QString::number(months.year - back);
        const int width = metrics.horizontalAdvance(year);
        layout.keys[back] = QRect(right - width, Margin, width, line);
        layout.swatches[back] = QRect(right - width - gap - square, Margin + (line - square) / 2, square, square);
        right = layout.swatches[back].left() - 2 * gap;
    }

    double longest = 0.0;
    for (int m = 0; m < 12; ++m)
        longest = std::max({longest, months.km[m], months.before[m]});
    layout.scale = ChartAxis::ScaleFor(longest, 3);
    const int top = Margin + line + Margin;
    layout.baseline = size.height() - Margin - line - 2;
    const int left = Margin + ChartAxis::LabelWidth(metrics, layout.scale);
    layout.plot = QRect(QPoint(left, top), QPoint(size.width() - Margin - 1, layout.baseline));
    const double group = layout.plot.width() / 12.0;
    const int bar = std::max(int(group * 0.35), 1);

    for (int m = 0; m < 12; ++m) {
        const int centre = left + int(std::lround(group * (m + 0.5)));
        const int width = metrics.horizontalAdvance(Initial(m + 1));
        layout.initials[m] = QRect(centre - width / 2, layout.baseline + 2, width, line);
        for (int back = 0; back < 2; ++back) {
            const double value = Value(months, m, back);
            if (!(value > 0.0))
                continue;
            // Every month ridden shows, however short beside the longest.
            const int height = std::max(layout.scale.Height(value, layout.plot.height()), 1);
            layout.bars[m][back] = QRect(back == 0 ? centre - bar : centre, layout.baseline - height, bar, height);
        }
    }
    return layout;
}

QImage Paint(const QSize& size, const QFont& font, const MonthPairs& months, const QColor& background,
             const QColor& text)
{
    ChartAxis::Canvas canvas(size, font, background);
    QPainter& painter = canvas.Painter();
    const Layout layout = LayOut(size, canvas.Metrics(), months);
    QColor line = text;
    line.setAlpha(40);
    ChartAxis::Draw(painter, layout.plot, layout.scale, text, line);
    painter.setPen(Qt::NoPen);
    for (int back = 0; back < 2; ++back) {
        painter.setBrush(Statistics::YearColour(back));
        if (!layout.swatches[back].isEmpty())
            painter.drawRect(layout.swatches[back]);
        for (const auto& pair : layout.bars)
            if (!pair[back].isEmpty())
                painter.drawRect(pair[back]);
    }
    if (months.partialMonth >= 0 && !layout.bars[months.partialMonth][0].isEmpty()) {
        painter.setBrush(QBrush(background, Qt::BDiagPattern));
        painter.drawRect(layout.bars[months.partialMonth][0]);
    }
    painter.setPen(text);
    painter.drawLine(layout.plot.left(), layout.baseline, layout.plot.right(), layout.baseline);
    for (int back = 0; back < 2; ++back)
        if (!layout.keys[back].isEmpty())
            painter.drawText(layout.keys[back], Qt::AlignLeft | Qt::AlignVCenter, QString::number(months.year - back));
    for (int m = 0; m < 12; ++m)
        painter.drawText(layout.initials[m], Qt::AlignCenter, Initial(m + 1));
    return canvas.Finish();
}

QString ToolTip(const Layout& layout, const MonthPairs& months, const QPoint& point)
{
    for (int m = 0; m < 12; ++m) {
        for (int back = 0; back < 2; ++back) {
            // A short bar is hard to point at: its column up to the plot's top counts.
            const QRect bar = layout.bars[m][back];
            if (bar.isEmpty() || point.x() < bar.left() || point.x() > bar.right() || point.y() < layout.plot.top()
                || point.y() > layout.baseline)
                continue;
            QString text = QStringLiteral("%1 %2: %3 km")
                               .arg(MonthName(m + 1))
                               .arg(months.year - back)
                               .arg(QLocale().toString(Value(months, m, back), 'f', 1));
            if (back == 0 && m == months.partialMonth)
                text += QStringLiteral(" (mese non completo)");
            return text;
        }
    }
    return QString();
}

}
