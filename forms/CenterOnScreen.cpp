#include "forms/CenterOnScreen.h"

#include "util/Unitutils.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void CenterOnScreen(QWidget* control)
{
    const QScreen* screen = control->screen() ? control->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    control->move(area.topLeft() + CenteredTopLeft(area.size(), control->frameGeometry().size()));
}
