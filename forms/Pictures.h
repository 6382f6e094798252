#pragma once

#include <QIcon>
#include <QPixmap>

class QLabel;

// Shows one of the program's pictures (resources/icons/<name>.svg) in an image
// label at exactly `size`, drawn sharp for the screen's pixel ratio.
void ShowPicture(QLabel* image, const QString& name, const QSize& size);

// The program's own icon in the sizes desktops ask for, ready drawn.
QIcon ProgramIcon();
