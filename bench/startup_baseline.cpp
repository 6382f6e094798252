// The least a Qt Widgets program does to put a main window on screen: the
// yardstick bench_startup measures the program's start-up against. An empty
// main window, shown as the program shows its own; its caption is the
// program's, so that the bench finds both windows the same way.
//
// Nothing else belongs here: whatever is added is time the program is no
// longer measured against.

#include "Version.h"
#include "util/Application.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(
        ApplicationTitle + QStringLiteral(" %1.%2").arg(KILOVENTO_VERSION_MAJOR).arg(KILOVENTO_VERSION_MINOR));
    window.show();
    return QApplication::exec();
}
