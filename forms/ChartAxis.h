#pragma once

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>

// The kilometre scale of the charts: round steps up the left side, with a
// faint line across the plot at each.
namespace ChartAxis {

struct Scale
{
    double step = 1.0;
    double top = 1.0; // a whole number of steps, at least the largest value
    int ticks = 1;

    // The height in `plot` of `value`, from its bottom.
    int Height(double value, int plotHeight) const { return int(value / top * plotHeight + 0.5); }
};

// Steps of 1, 2 or 5 times a power of ten, about `wanted` of them up to `largest`.
Scale ScaleFor(double largest, int wanted = 4);
// How wide the labels of `scale` are drawn, the gap to the plot included.
int LabelWidth(const QFontMetrics& metrics, const Scale& scale);
// The labels left of `plot` and the lines across it.
void Draw(QPainter& painter, const QRect& plot, const Scale& scale, const QColor& text, const QColor& line);
QString Label(double value);

// A chart's picture: `size` filled with `background`, a painter in `font` on it.
class Canvas
{
public:
    Canvas(const QSize& size, const QFont& font, const QColor& background);
    QPainter& Painter() { return m_painter; }
    QFontMetrics Metrics() const { return QFontMetrics(m_painter.font(), &m_image); }
    // The picture, once the painting is over.
    QImage Finish();

private:
    QImage m_image; // before the painter, which paints on it until it goes
    QPainter m_painter;
};

}
