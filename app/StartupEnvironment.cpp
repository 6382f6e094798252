#include "app/StartupEnvironment.h"

#include "data/TZTConnection.h"
#include "util/Settings.h"

#include <QCoreApplication>

StartupEnvironment StartupEnvironment::FromApplication()
{
    StartupEnvironment environment;
    environment.executablePath = QCoreApplication::applicationFilePath();
    environment.data = DataLocation::ForThisProcess(environment.executablePath);
    environment.arguments = QCoreApplication::arguments().mid(1);
    return environment;
}

QString StartupEnvironment::DatabasePath() const
{
    return data.databasePath.isEmpty() ? SettingsFile::SiblingPath(executablePath, QStringLiteral(".mdb"))
                                       : data.databasePath;
}

QString StartupEnvironment::SettingsPath() const
{
    return data.settingsPath.isEmpty() ? SettingsFile::SiblingPath(executablePath, QStringLiteral(".ini"))
                                       : data.settingsPath;
}
