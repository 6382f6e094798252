#pragma once

#include <QDate>
#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;
class QWidget;
class TZTConnection;

// What the main window takes from the process: where the executable lies (the
// settings and the database sit beside it), the command line, and the clock.
struct StartupEnvironment
{
    QString executablePath;
    QStringList arguments; // without the program name
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // Makes the database connection; throws when the database layer cannot start.
    std::function<std::unique_ptr<TZTConnection>()> makeConnection;
    // Chooses the printer of a printout; the standard print dialog when empty.
    std::function<bool(QPrinter&, QWidget*)> choosePrinter;

    // The ride database: beside the executable, with its base name and ".mdb".
    QString DatabasePath() const;

    static StartupEnvironment FromApplication();
};
