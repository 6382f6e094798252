#include "app/StartupEnvironment.h"

#include "data/TZTConnection.h"

#include <QCoreApplication>

StartupEnvironment StartupEnvironment::FromApplication()
{
    StartupEnvironment environment;
    environment.executablePath = QCoreApplication::applicationFilePath();
    environment.arguments = QCoreApplication::arguments().mid(1);
    return environment;
}
