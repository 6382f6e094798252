#include "forms/Pictures.h"

#include <QIcon>
#include <QLabel>

void ShowPicture(QLabel* image, const QString& name, const QSize& size)
{
    const QIcon icon(QStringLiteral(":/icons/%1.svg").arg(name));
    image->setPixmap(icon.pixmap(size, image->devicePixelRatioF()));
    image->resize(size);
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/kilovento-%1.png").arg(size));
    return icon;
}
