#include "MainWindow.h"

#include "Controls.h"
#include "app/Unitmain.h"
#include "data/TZTConnection.h"

#include <QDir>
#include <QLabel>

namespace MainWindow {

StartupEnvironment Environment(const QString& folder, const QStringList& arguments, TZTConnection** connection)
{
    StartupEnvironment environment;
    environment.executablePath = QDir(folder).filePath(QStringLiteral("kilovento"));
    environment.arguments = arguments;
    environment.today = [] { return Today; };
    if (connection)
        environment.makeConnection = [connection] {
            auto made = std::make_unique<TZTConnection>();
            *connection = made.get();
            return made;
        };
    return environment;
}

std::unique_ptr<TFormMain> Open(const QString& folder, const QStringList& arguments, TZTConnection** connection)
{
    return std::make_unique<TFormMain>(Environment(folder, arguments, connection));
}

QString StatusText(const QWidget* form)
{
    return Child<QLabel>(form, "PanelTestoStato")->text();
}

}
