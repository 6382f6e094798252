#include "app/StartupEnvironment.h"

#include "data/TZTConnection.h"
#include "util/Settings.h"

#include <QCoreApplication>

StartupEnvironment StartupEnvironment::FromApplication()
{
    StartupEnvironment environment;
    environment.executablePath = QCoreApplication::applicationFilePath();
    environment.arguments = QCoreApplication::arguments().mid(1);
    return environment;
}

QString StartupEnvironment::DatabasePath() const
{
    return SettingsFile::SiblingPath(executablePath, QStringLiteral(".mdb"));
}
