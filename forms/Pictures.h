#pragma once

#include <QIcon>
#include <QPixmap>

class QLabel;

// Shows one of the program's pictures (resources/icons/<name>.svg) in an image
// label at exactly `size`, drawn sharp for the screen's pixel ratio.
void ShowPicture(QLabel* image, const QString& name, const QSize& size);

// One of the program's icons (resources/icons/<name>.svg), ready drawn at the
// size the windows show it and at twice that for high-density screens.
QIcon Icon(const QString& name);

// The program's own icon in the sizes window managers show, ready drawn.
QIcon ProgramIcon();
