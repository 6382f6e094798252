#pragma once

#include "app/CommandScreen.h"
#include "app/StartupEnvironment.h"
#include "data/MonthRides.h"
#include "data/Statistics.h"
#include "forms/PrintJob.h"
#include "util/Settings.h"

#include "ui_Unitmain.h"

#include <QMainWindow>

#include <array>
#include <exception>
#include <memory>
#include <optional>

class HotTrackDelegate;
class MonthRidesModel;
class QLabel;
class QTimer;
class RideLog;

// The main window: the calendar, the month shown and the options, and the
// screen its commands show themselves on. It owns the ride log.
class TFormMain : public QMainWindow, public CommandScreen, private Ui::TFormMain
{
public:
    explicit TFormMain(StartupEnvironment environment, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Imports rides from device files given on the command line or handed
    // over by a second start, once no dialog is open over the window.
    void ImportGpsFiles(const QStringList& files);

    // A start-up failure asked the program to end: main() runs no event loop.
    bool TerminateRequested() const { return m_terminateRequested; }

    // The month shown, within the calendar's years from FirstCalendarYear().
    int ShownMonth() const { return SelectedMonth; }
    int ShownYear() const { return SelectedYear; }
    // Selects (and so loads) a month; `force` reloads the month already shown.
    void GoToMonth(int month, int year, bool force);

    QWidget* Window() override { return this; }
    void SetStatusText(const QString& text) override;
    Options CurrentOptions() const override { return m_options; }
    // The calendar takes them now, the printouts from the next one on.
    void ApplyOptions(const Options& options) override;
    void ShowMonthAgain() override;
    void ShowRidesOfMonth(int year, int month) override { GoToMonth(month, year, true); }
    // The third status panel, empty without a goal.
    void ShowYearProgress() override;
    void LogOpened(const std::optional<QString>& failure) override;
    int FirstCalendarYear() const override { return FirstYear; }
    // Today, as the calendar knows it: its last month is today's.
    QDate Today() const override { return m_environment.today(); }
    std::array<quint16, 4> Version() const override { return {VersionMajor, VersionMinor, VersionRelease, VersionBuild}; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool CommandLineSwitch(const QString& name) const;
    // Runs a command of its own unit, once there is a log.
    void RunOnLog(void (*command)(RideLog&, CommandScreen&));
    bool CalendarHotTrack() const { return m_options.calendarHotTrack; }
    void SetCalendarHotTrack(bool on);

    void SetUpIcons();
    void SetUpStatusBar();
    void SetUpCalendar();
    void SetUpMonthList();
    void ConnectCommands();

    // Today's month, read with the log's opening while the widgets are built.
    struct OpeningMonth
    {
        int year = 0;
        int month = 0;
        MonthRides rides;
        std::exception_ptr failure; // the month's read; the opening's is told apart
    };
    // The month asked for: the one read at start-up the first time, else read now.
    MonthRides ReadMonth(int year, int month);
    void WriteSettings();
    bool FillCalendar();
    void RequestTerminate();
    void ShowStartupError(const QString& text);
    QString SettingsPath() const;

    PrintContext PrintSettings();
    int SelectedRideId() const; // -1 when no row is selected
    // After a ride of `bike` is saved: its most worn part that is due, or "Pronto.".
    void ShowDueParts(int bike);
    QString MonthCaption() const;

    void FormCloseQuery(bool& canClose);
    void MenuExitClick();
    void MenuAggiungiUscitaClick();
    void MenuModificaUscitaClick();
    void MenuEliminaUscitaClick();
    void MenuStampaMeseClick();
    void MenuElaborazioneDatiClick();
    void MenuBiciClick();
    void MenuCompattaDBClick();
    void MenuImportaDaFileDATClick();
    void MenuEsportaCSVClick();
    void MenuImportaCSVClick();
    void MenuImportaGPSClick();
    void ImportWaitingGpsFiles();
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
    // Absent only when the settings could not be read or the database layer could not start.
    std::unique_ptr<RideLog> m_log;
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
    std::optional<Statistics::YearProgress> m_yearProgress; // what the goal panel shows
    HotTrackDelegate* m_calendarDelegate = nullptr;
    MonthRidesModel* m_monthModel = nullptr;
    int m_lastLoadedYear = -1;
    int m_lastLoadedMonth = -1;
    // What the month list and summary show, for the month report.
    MonthRides m_shownMonth;
    std::optional<OpeningMonth> m_openingMonth;
    QStringList m_waitingGpsFiles;
    QTimer* m_gpsFilesTimer = nullptr;
    bool m_constructed = false;
    bool m_terminateRequested = false;
};

// The one main window of the process, set while it exists.
extern TFormMain* FormMain;
