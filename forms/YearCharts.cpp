#include "forms/YearCharts.h"

#include "data/Statistics.h"
#include "util/Formats.h"
#include "util/Unitutils.h"

#include <QDate>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

constexpr int Margin = 4;
constexpr int DaysDrawn = 366;

QColor Faint(QColor colour)
{
    colour.setAlpha(40);
    return colour;
}

// The plot between the scale on the left and a row of labels below.
QRect Plot(const QSize& size, const QFontMetrics& metrics, const ChartAxis::Scale& scale, int top)
{
    const int left = Margin + ChartAxis::LabelWidth(metrics, scale);
    return QRect(QPoint(left, top), QPoint(size.width() - Margin - 1, size.height() - Margin - metrics.height() - 3));
}

QList<double> RunningTotals(const QList<double>& km)
{
    QList<double> totals(km.size());
    std::partial_sum(km.begin(), km.end(), totals.begin());
    return totals;
}

QString KeyText(const YearCharts::YearDays& year)
{
    return year.note.isEmpty() ? QString::number(year.year) : QStringLiteral("%1 (%2)").arg(year.year).arg(year.note);
}

}

namespace YearCharts {

TotalsLayout LayOutTotals(const QSize& size, const QFontMetrics& metrics, const QList<YearTotal>& years)
{
    TotalsLayout layout;
    double longest = 0.0;
    for (const YearTotal& year : years)
        longest = std::max(longest, year.km);
    layout.scale = ChartAxis::ScaleFor(longest, 3);
    layout.plot = Plot(size, metrics, layout.scale, Margin + metrics.height() / 2);
    const double slot = years.isEmpty() ? 0.0 : double(layout.plot.width()) / years.size();
    const int bar = std::max(int(slot * 0.6), 1);
    int lastLabelRight = std::numeric_limits<int>::min();
    for (int i = 0; i < years.size(); ++i) {
        const int centre = layout.plot.left() + int(std::lround(slot * (i + 0.5)));
        const int height = years[i].km > 0.0 ? std::max(layout.scale.Height(years[i].km, layout.plot.height()), 1) : 0;
        layout.bars.push_back(height > 0 ? QRect(centre - bar / 2, layout.plot.bottom() - height, bar, height) : QRect());
        const QString text = QString::number(years[i].year);
        const int width = metrics.horizontalAdvance(text);
        const QRect label(centre - width / 2, layout.plot.bottom() + 3, width, metrics.height());
        // Every year that has room is named; the others are found by their tooltips.
        const bool room = label.left() > lastLabelRight + metrics.horizontalAdvance(u' ');
        layout.labels.push_back(room ? label : QRect());
        if (room)
            lastLabelRight = label.right();
    }
    return layout;
}

QImage PaintTotals(const QSize& size, const QFont& font, const QList<YearTotal>& years, const QColor& background,
                   const QColor& text)
{
    ChartAxis::Canvas canvas(size, font, background);
    QPainter& painter = canvas.Painter();
    const TotalsLayout layout = LayOutTotals(size, canvas.Metrics(), years);
    ChartAxis::Draw(painter, layout.plot, layout.scale, text, Faint(text));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Statistics::YearColour(0));
    for (const QRect& bar : layout.bars)
        if (!bar.isEmpty())
            painter.drawRect(bar);
    painter.setPen(text);
    painter.drawLine(layout.plot.bottomLeft(), layout.plot.bottomRight());
    for (int i = 0; i < years.size(); ++i)
        if (!layout.labels[i].isEmpty())
            painter.drawText(layout.labels[i], Qt::AlignCenter, QString::number(years[i].year));
    return canvas.Finish();
}

QString TotalsToolTip(const TotalsLayout& layout, const QList<YearTotal>& years, const QPoint& point)
{
    for (int i = 0; i < years.size() && i < int(layout.bars.size()); ++i) {
        const QRect& bar = layout.bars[i];
        if (!bar.isEmpty() && point.x() >= bar.left() && point.x() <= bar.right() && point.y() >= layout.plot.top()
            && point.y() <= layout.plot.bottom())
            return QStringLiteral("%1: %2 km").arg(years[i].year).arg(QLocale().toString(years[i].km, 'f', 1));
    }
    return QString();
}

CumulativeLayout LayOutCumulative(const QSize& size, const QFontMetrics& metrics, const QList<YearDays>& years)
{
    CumulativeLayout layout;
    double longest = 0.0;
    for (const YearDays& year : years)
        longest = std::max(longest, std::accumulate(year.km.begin(), year.km.end(), 0.0));
    layout.scale = ChartAxis::ScaleFor(longest, 3);
    const int line = metrics.height();
    layout.plot = Plot(size, metrics, layout.scale, Margin + line + Margin);
    layout.dayWidth = double(layout.plot.width()) / DaysDrawn;
    for (int m = 0; m < 12; ++m) {
        const QString initial = MonthName(m + 1).left(1);
        const int x = layout.plot.left() + int(std::lround((QDate(2001, m + 1, 15).dayOfYear() - 1) * layout.dayWidth));
        const int width = metrics.horizontalAdvance(initial);
        layout.initials[m] = QRect(x - width / 2, layout.plot.bottom() + 3, width, line);
    }
    // The key at the top right, the years in their order.
    const int square = std::max(metrics.ascent() - 2, 4);
    const int gap = metrics.horizontalAdvance(u' ');
    int right = size.width() - Margin;
    layout.swatches.resize(years.size());
    layout.keys.resize(years.size());
    for (int i = int(years.size()) - 1; i >= 0; --i) {
        const int width = metrics.horizontalAdvance(KeyText(years[i]));
        layout.keys[i] = QRect(right - width, Margin, width, line);
        layout.swatches[i] = QRect(right - width - gap - square, Margin + (line - square) / 2, square, square);
        right = layout.swatches[i].left() - 2 * gap;
    }
    return layout;
}

QImage PaintCumulative(const QSize& size, const QFont& font, const QList<YearDays>& years, const QColor& background,
                       const QColor& text)
{
    ChartAxis::Canvas canvas(size, font, background);
    QPainter& painter = canvas.Painter();
    painter.setRenderHint(QPainter::Antialiasing);
    const CumulativeLayout layout = LayOutCumulative(size, canvas.Metrics(), years);
    ChartAxis::Draw(painter, layout.plot, layout.scale, text, Faint(text));
    // The later years over the earlier ones: the first is drawn last.
    for (int i = int(years.size()) - 1; i >= 0; --i) {
        const QList<double> totals = RunningTotals(years[i].km);
        QPainterPath path(QPointF(layout.plot.left(), layout.plot.bottom()));
        for (int day = 0; day < totals.size(); ++day)
            path.lineTo(layout.plot.left() + (day + 1) * layout.dayWidth,
                        layout.plot.bottom() - totals[day] / layout.scale.top * layout.plot.height());
        painter.setPen(QPen(years[i].colour, i == 0 ? 2.0 : 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        painter.setPen(Qt::NoPen);
        painter.setBrush(years[i].colour);
        painter.drawRect(layout.swatches[i]);
    }
    painter.setPen(text);
    painter.drawLine(layout.plot.bottomLeft(), layout.plot.bottomRight());
    for (int i = 0; i < years.size(); ++i)
        painter.drawText(layout.keys[i], Qt::AlignLeft | Qt::AlignVCenter, KeyText(years[i]));
    for (int m = 0; m < 12; ++m)
        painter.drawText(layout.initials[m], Qt::AlignCenter, MonthName(m + 1).left(1));
    return canvas.Finish();
}

QString CumulativeToolTip(const CumulativeLayout& layout, const QList<YearDays>& years, const QPoint& point)
{
    if (years.isEmpty() || !layout.plot.contains(point))
        return QString();
    const int day = std::clamp(int((point.x() - layout.plot.left()) / layout.dayWidth), 0, DaysDrawn - 1);
    const QDate date = QDate(years.first().year, 1, 1).addDays(day);
    QStringList figures;
    for (const YearDays& year : years) {
        // The same date of each year, 28 February standing for a 29th the year lacks.
        QDate same(year.year, date.month(), date.day());
        if (!same.isValid())
            same = QDate(year.year, 2, 28);
        const int index = same.dayOfYear() - 1;
        if (index >= year.km.size())
            continue;
        const double total = std::accumulate(year.km.begin(), year.km.begin() + index + 1, 0.0);
        figures.append(QStringLiteral("%1: %2 km").arg(KeyText(year), Formats::Grouped(total)));
    }
    if (figures.isEmpty())
        return QString();
    return QStringLiteral("%1/%2\n").arg(date.day()).arg(date.month()) + figures.join(u'\n');
}

}
