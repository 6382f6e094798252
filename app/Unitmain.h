#pragma once

#include "app/StartupEnvironment.h"
#include "util/Settings.h"

#include "ui_Unitmain.h"

#include <QMainWindow>

#include <memory>

class QLabel;
class TZTConnection;
class TZTRecordset;

// The main window, and the holder of the state the rest of the program shares:
// the database connection, the month shown and the print options.
class TFormMain : public QMainWindow, private Ui::TFormMain
{
public:
    explicit TFormMain(StartupEnvironment environment, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Opens the database, fills the calendar and loads the current month;
    // a failure is shown and ends the program.
    void OpenDatabase();
    void SetStatusText(const QString& text);
    QString StatusText() const;

    // A start-up failure asked the program to end: main() runs no event loop.
    bool TerminateRequested() const { return m_terminateRequested; }
    bool CommandLineSwitch(const QString& name) const;

    bool DebugMode = false;
    bool LogoDoubleClicked = false;
    QString DataSource;
    QString ConnectionString;
    QString ConnectionStringTemplate;
    std::unique_ptr<TZTConnection> Connection;
    std::unique_ptr<TZTRecordset> Recordset;
    int FirstYear = 1990;
    int SelectedMonth = 0;
    int SelectedYear = 0;
    quint16 VersionMajor = 0;
    quint16 VersionMinor = 0;
    quint16 VersionRelease = 0;
    quint16 VersionBuild = 0;
    QString PrintFont;
    int PrintVerticalMargin = 2;
    int PrintHorizontalMargin = 1;
    bool CalendarHotTrack = false;

private:
    void ReadSettings();
    void WriteSettings();
    bool FillCalendar();
    void RequestTerminate();
    void ShowStartupError(const QString& text);
    QString SettingsPath() const;

    StartupEnvironment m_environment;
    QLabel* m_statusText = nullptr;
    bool m_constructed = false;
    bool m_terminateRequested = false;
};

// The one main window of the process, set while it exists.
extern TFormMain* FormMain;
