#include "forms/ChartAxis.h"

#include "util/Formats.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ChartAxis {

Scale ScaleFor(double largest, int wanted)
{
    if (!(largest > 0.0))
        return {};
    const double rough = largest / std::max(wanted, 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        step = factor * power;
        if (step >= rough)
            break;
    }
    const int ticks = int(std::ceil(largest / step - 1e-9));
    return {step, ticks * step, ticks};
}

Canvas::Canvas(const QSize& size, const QFont& font, const QColor& background)
    : m_image(size, QImage::Format_RGB32)
{
    m_image.fill(background);
    m_painter.begin(&m_image);
    m_painter.setFont(font);
}

QImage Canvas::Finish()
{
    m_painter.end();
    return m_image;
}

QString Label(double value)
{
    return Formats::Grouped(value);
}

int LabelWidth(const QFontMetrics& metrics, const Scale& scale)
{
    return metrics.horizontalAdvance(Label(scale.top)) + metrics.horizontalAdvance(u' ');
}

void Draw(QPainter& painter, const QRect& plot, const Scale& scale, const QColor& text, const QColor& line)
{
    const QFontMetrics metrics = painter.fontMetrics();
    for (int tick = 1; tick <= scale.ticks; ++tick) {
        const double value = tick * scale.step;
        const int y = plot.bottom() - scale.Height(value, plot.height());
        painter.setPen(line);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(text);
        const QRect label(0, y - metrics.height() / 2, plot.left() - metrics.horizontalAdvance(u' '), metrics.height());
        painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, Label(value));
    }
}

}
