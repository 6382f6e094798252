#pragma once

#include "util/DataLocation.h"

#include <QDate>
#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;
class TZTConnection;

// What the main window takes from the process: where the executable lies, where
// the settings and the database live (beside it unless installed as a
// package), the command line, and the clock.
struct StartupEnvironment
{
    QString executablePath;
    DataLocation data; // empty: beside the executable
    QStringList arguments; // without the program name
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // Makes the database connection; throws when the database layer cannot start.
    std::function<std::unique_ptr<TZTConnection>()> makeConnection;
    // Chooses the printer of a printout; the standard print dialog when empty.
    std::function<bool(QPrinter&, QWidget*)> choosePrinter;

    // The ride database and the settings: where `data` says, else beside the
    // executable, with its base name and ".mdb" or ".ini".
    QString DatabasePath() const;
    QString SettingsPath() const;

    static StartupEnvironment FromApplication();
};
