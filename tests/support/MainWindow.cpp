#include "MainWindow.h"

#include "app/Unitmain.h"

#include <QDir>

namespace MainWindow {

StartupEnvironment Environment(const QString& folder, const QStringList& arguments)
{
    StartupEnvironment environment;
    environment.executablePath = QDir(folder).filePath(QStringLiteral("kilovento"));
    environment.arguments = arguments;
    environment.today = [] { return Today; };
    return environment;
}

std::unique_ptr<TFormMain> Open(const QString& folder, const QStringList& arguments)
{
    return std::make_unique<TFormMain>(Environment(folder, arguments));
}

}
