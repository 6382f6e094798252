#pragma once

#include "app/StartupEnvironment.h"
#include "forms/PrintJob.h"
#include "util/Settings.h"

#include "ui_Unitmain.h"

#include <QMainWindow>

#include <memory>

class HotTrackDelegate;
class QLabel;
class TZTConnection;
class TFormEditUscita;
class TZTRecordset;
struct MonthRides;

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
    // Selects (and so loads) a month; `force` reloads the month already shown.
    void GoToMonth(int month, int year, bool force);
    void SetStatusText(const QString& text);
    QString StatusText() const;

    bool CalendarHotTrack() const;
    void SetCalendarHotTrack(bool on);

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

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpStatusBar();
    void SetUpCalendar();
    void SetUpMonthList();
    void ConnectCommands();

    void ReadSettings();
    void WriteSettings();
    bool FillCalendar();
    void RequestTerminate();
    void ShowStartupError(const QString& text);
    QString SettingsPath() const;

    PrintContext PrintSettings();
    int SelectedRideId() const; // -1 when no row is selected
    void WriteRide(const TFormEditUscita& dialog);
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

    StartupEnvironment m_environment;
    QLabel* m_logoPanel = nullptr;
    QLabel* m_statusText = nullptr;
    HotTrackDelegate* m_calendarDelegate = nullptr;
    int m_lastLoadedYear = -1;
    int m_lastLoadedMonth = -1;
    bool m_constructed = false;
    bool m_terminateRequested = false;
};

// The one main window of the process, set while it exists.
extern TFormMain* FormMain;
