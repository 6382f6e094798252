#include "forms/Pictures.h"

#include "forms/PixelFile.h"

#include <QIcon>
#include <QLabel>
#include <QResource>

namespace {

QPixmap Pixels(const QString& file, qreal pixelRatio)
{
    QPixmap pixmap = QPixmap::fromImage(PixelFile::Decode(QResource(file).uncompressedData()));
    pixmap.setDevicePixelRatio(pixelRatio);
    return pixmap;
}

}

void ShowPicture(QLabel* image, const QString& name, const QSize& size)
{
    const QIcon icon(QStringLiteral(":/icons/%1.svg").arg(name));
    image->setPixmap(icon.pixmap(size, image->devicePixelRatioF()));
    image->resize(size);
}

QIcon Icon(const QString& name)
{
    QIcon icon;
    icon.addPixmap(Pixels(QStringLiteral(":/icons/%1.pixels").arg(name), 1.0));
    icon.addPixmap(Pixels(QStringLiteral(":/icons/%1@2x.pixels").arg(name), 2.0));
    return icon;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(Pixels(QStringLiteral(":/icons/kilovento-%1.pixels").arg(size), 1.0));
    return icon;
}
