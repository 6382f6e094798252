#include "forms/PieChart.h"

#include <QPainter>

QImage PieChart(const QSize& size, const QList<Statistics::PieSlice>& slices, const QColor& background)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    for (const Statistics::PieSlice& slice : slices) {
        painter.setBrush(slice.colour);
        // Qt's angles are sixteenths of a degree, counter-clockwise from three o'clock.
        painter.drawPie(QRect(QPoint(0, 0), size), slice.start * 16, (slice.end - slice.start) * 16);
    }
    return image;
}
