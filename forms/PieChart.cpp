#include "forms/PieChart.h"

#include <QPainter>

QImage PieChart(const QSize& size, const QList<Statistics::PieSlice>& slices)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Inside the image by half a pixel, so the smoothed rim is not cut.
    const QRectF disc = QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5);
    for (const Statistics::PieSlice& slice : slices) {
        painter.setBrush(slice.colour);
        // Qt's angles are sixteenths of a degree, counter-clockwise from three o'clock.
        painter.drawPie(disc, slice.start * 16, (slice.end - slice.start) * 16);
    }
    return image;
}
