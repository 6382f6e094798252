#include "forms/Pictures.h"

#include <QIcon>
#include <QLabel>

void ShowPicture(QLabel* image, const QString& name, const QSize& size)
{
    const QIcon icon(QStringLiteral(":/icons/%1.svg").arg(name));
    image->setPixmap(icon.pixmap(size, image->devicePixelRatioF()));
    image->resize(size);
}
