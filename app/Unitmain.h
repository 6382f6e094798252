#pragma once

#include "app/StartupEnvironment.h"
#include "data/MonthRides.h"
#include "forms/PrintJob.h"
#include "util/Settings.h"

#include "ui_Unitmain.h"

#include <QMainWindow>

#include <array>
#include <memory>

class HotTrackDelegate;
class MonthRidesModel;
class QLabel;
class RideLog;
class TZTConnection;
class TZTRecordset;

// The main window, and the holder of the state the rest of the program shares:
// the database connection, the month shown and the options. Commands reach
// that state through the verbs below.
class TFormMain : public QMainWindow, private Ui::TFormMain
{
public:
    explicit TFormMain(StartupEnvironment environment, QWidget* parent = nullptr);
    ~TFormMain() override;

    // A start-up failure asked the program to end: main() runs no event loop.
    bool TerminateRequested() const { return m_terminateRequested; }
    bool CommandLineSwitch(const QString& name) const;
    bool InDebugMode() const { return DebugMode; }
    // Major, minor, release and build of the executable's file version.
    std::array<quint16, 4> Version() const { return {VersionMajor, VersionMinor, VersionRelease, VersionBuild}; }

    void SetStatusText(const QString& text);
    QString StatusText() const;

    // New options take effect at once: the calendar now, the printouts from
    // the next one on. They are written to the settings file at exit.
    Options CurrentOptions() const { return m_options; }
    void ApplyOptions(const Options& options);
    // The third status panel: the current year's kilometres against the yearly
    // goal, empty without one. Shown again after every change to the rides.
    void ShowYearProgress();

    // The month shown, within the calendar's years from FirstCalendarYear().
    int ShownMonth() const { return SelectedMonth; }
    int ShownYear() const { return SelectedYear; }
    int FirstCalendarYear() const { return FirstYear; }
    // Today, as the calendar knows it: its last month is today's.
    QDate Today() const { return m_environment.today(); }
    // Selects (and so loads) a month; `force` reloads the month already shown.
    void GoToMonth(int month, int year, bool force);

    // The database file, and the connection string as the settings file has
    // it and with its placeholders filled in.
    const QString& DatabaseFile() const { return DataSource; }
    const QString& DatabaseConnectionTemplate() const { return ConnectionStringTemplate; }
    const QString& DatabaseConnectionString() const { return ConnectionString; }
    // The one connection, lent to dialogs and commands; absent only when the
    // database layer could not start.
    TZTConnection* DatabaseConnection() const { return Connection; }
    // For a command on the database file itself: the window's recordset is
    // closed, and the connection is left to the command, which may close it.
    TZTConnection* ReleaseDatabase();
    // Closes the window's recordset, then the connection.
    void CloseDatabase();
    // A closed database is opened again as at start-up: the calendar refilled
    // and the current month shown. An open one, and the month shown, stay.
    void ReopenDatabase();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens the database, fills the calendar and loads the current month;
    // a failure is shown and ends the program.
    void OpenDatabase();
    bool CalendarHotTrack() const { return m_options.calendarHotTrack; }
    void SetCalendarHotTrack(bool on);

    void SetUpIcons();
    void SetUpStatusBar();
    void SetUpCalendar();
    void SetUpMonthList();
    void ConnectCommands();

    // False, after its box, when the settings file is there but cannot be read.
    bool ReadSettings();
    void WriteSettings();
    bool FillCalendar();
    void RequestTerminate();
    void ShowStartupError(const QString& text);
    QString SettingsPath() const;

    PrintContext PrintSettings();
    int SelectedRideId() const; // -1 when no row is selected
    QString MonthCaption() const;

    void FormCloseQuery(bool& canClose);
    void MenuExitClick();
    void MenuAggiungiUscitaClick();
    void MenuModificaUscitaClick();
    void MenuEliminaUscitaClick();
    void MenuStampaMeseClick();
    void MenuElaborazioneDatiClick();
    void MenuCompattaDBClick();
    void MenuImportaDaFileDATClick();
    void MenuEsportaCSVClick();
    void MenuImportaCSVClick();
    void MenuRipristinaBackupClick();
    void MenuOpzioniClick();
    void MenuInformazioniSuClick();

    void ListViewCalendarioSelectItem(int index, bool selected);
    void ListViewCalendarioMouseEnter(int index);
    void ListViewUsciteMensiliSelectItem(bool selected);
    void ListViewUsciteMensiliClick();
    void ListViewUsciteMensiliDblClick();
    void ShowMonth(const MonthRides& month);
    void ClearMonth();
    void SetEditCommandsEnabled(bool enabled);

    void SpeedButtonMeseCorrenteClick();
    void SpeedButtonMesePrecedenteClick();
    void SpeedButtonMeseSuccessivoClick();
    void SpeedButtonAnnoPrecedenteClick();
    void SpeedButtonAnnoSuccessivoClick();

    void StatusBarMainDblClick();
    void StatusBarMainMouseUp(int x);

    bool DebugMode = false;
    bool LogoDoubleClicked = false;
    QString DataSource;
    QString ConnectionString;
    QString ConnectionStringTemplate;
    // The log owns the connection; Connection is the log's.
    std::unique_ptr<RideLog> m_log;
    TZTConnection* Connection = nullptr;
    std::unique_ptr<TZTRecordset> Recordset;
    int FirstYear = 1990;
    int SelectedMonth = 0;
    int SelectedYear = 0;
    quint16 VersionMajor = 0;
    quint16 VersionMinor = 0;
    quint16 VersionRelease = 0;
    quint16 VersionBuild = 0;
    // The calendar's hot tracking and the print settings (font and margins).
    Options m_options;

    StartupEnvironment m_environment;
    QLabel* m_logoPanel = nullptr;
    QLabel* m_statusText = nullptr;
    QLabel* m_goalPanel = nullptr;
    HotTrackDelegate* m_calendarDelegate = nullptr;
    MonthRidesModel* m_monthModel = nullptr;
    int m_lastLoadedYear = -1;
    int m_lastLoadedMonth = -1;
    // What the month list and summary show, for the month report.
    MonthRides m_shownMonth;
    bool m_constructed = false;
    bool m_terminateRequested = false;
};

// The one main window of the process, set while it exists.
extern TFormMain* FormMain;
