// The main window's own widgets and nothing else: built from its form as the
// program builds them, with the program's caption, but no icons, settings,
// database or months. bench_startup measures it beside the program and the
// empty window, so that it tells what Qt takes to show this window apart from
// anything the program does, and what the program adds to that.
//
// Nothing else belongs here: whatever is added is program work hidden from the
// measurement.

#include "Version.h"
#include "ui_Unitmain.h"
#include "util/Application.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    Ui::TFormMain form;
    form.setupUi(&window);
    window.setWindowTitle(
        ApplicationTitle + QStringLiteral(" %1.%2").arg(KILOVENTO_VERSION_MAJOR).arg(KILOVENTO_VERSION_MINOR));
    window.show();
    return QApplication::exec();
}
