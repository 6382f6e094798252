#include "app/Unitmain.h"

#include "app/CommandSupport.h"
#include "app/Commands.h"
#include "data/Bikes.h"
#include "data/MonthRides.h"
#include "data/ReportRows.h"
#include "data/RideLog.h"
#include "data/Rides.h"
#include "data/Statistics.h"
#include "print/Reports.h"
#include "forms/CenterOnScreen.h"
#include "forms/HotTrackDelegate.h"
#include "forms/MessageBoxes.h"
#include "forms/MonthRidesModel.h"
#include "forms/Pictures.h"
#include "forms/PrintJob.h"
#include "forms/Styling.h"
#include "forms/Unitedituscita.h"
#include "forms/Unitelaborazionedati.h"
#include "forms/WaitCursor.h"
#include "util/Application.h"
#include "util/CommandLine.h"
#include "util/Exception.h"
#include "util/StringTable.h"
#include "util/Unitutils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QShortcut>
#include <QTimer>

#include <future>
#include <initializer_list>
#include <utility>

TFormMain* FormMain = nullptr;

namespace {

const QString ObjectsFailedText = QStringLiteral(
    "ATTENZIONE: errore nella creazione degli oggetti per l'accesso al database! Probabile versione di "
    "MDAC/Jet non sufficientemente aggiornata. L'applicazione verrà terminata.");
const QString ConnectionFailedText =
    QStringLiteral("ATTENZIONE: connessione al database fallita! L'applicazione verrà terminata.");
const QString SettingsFailedText =
    QStringLiteral("ATTENZIONE: lettura delle impostazioni fallita! L'applicazione verrà terminata.");
const QString SystemDateText = QStringLiteral(
    "ATTENZIONE: la data di sistema non è aggiornata! Regolare la data tramite il pannello di controllo e "
    "riavviare l'applicazione.");
const QString AddFailedText = QStringLiteral("ATTENZIONE: errore nell'aggiunta dell'uscita.");
const QString ModifyImpossibleText = QStringLiteral("ATTENZIONE: impossibile modificare l'uscita.");
const QString ModifyFailedText = QStringLiteral("ATTENZIONE: errore nella modifica dell'uscita.");
const QString DeleteFailedText = QStringLiteral("ATTENZIONE: errore nell'eliminazione dell'uscita.");
const QString DeleteQuestionText = QStringLiteral("Eliminare l'uscita selezionata?");
const QString MonthLoadFailedText = QStringLiteral("ATTENZIONE: impossibile estrarre i dati del mese selezionato.");

constexpr int StatusTextWidth = 250;

// Wide enough for the widest of `samples`, and never narrower than `preset`.
int FittingWidth(const QFontMetrics& metrics, const QStringList& samples, int preset, int padding)
{
    int width = 0;
    for (const QString& sample : samples)
        width = std::max(width, metrics.horizontalAdvance(sample));
    return std::max(preset, width + padding);
}


}

TFormMain::TFormMain(StartupEnvironment environment, QWidget* parent)
    : QMainWindow(parent), m_environment(std::move(environment))
{
    FormMain = this;
    // The settings first: the log is then opened, and today's month read, on
    // another core while the widgets are built. Nothing else touches the log
    // until that work is joined below.
    std::optional<Settings> settings;
    QString settingsFailure;
    try {
        settings = SettingsFile::Read(SettingsPath(), m_environment.DatabasePath());
    } catch (const Exception& e) {
        settingsFailure = e.Message();
    }
    bool objectsFailed = false;
    std::future<std::exception_ptr> opening;
    if (settings) {
        try {
            m_log = std::make_unique<RideLog>(m_environment.DatabasePath(), settings->connectionStringTemplate,
                                              m_environment.makeConnection);
        } catch (...) {
            objectsFailed = true;
        }
        if (m_log) {
            m_openingMonth.emplace();
            m_openingMonth->year = m_environment.today().year();
            m_openingMonth->month = m_environment.today().month();
            opening = std::async(std::launch::async, [log = m_log.get(), &month = *m_openingMonth] {
                // Each failure travels to the main thread, which tells it as it would its own.
                try {
                    log->Open();
                } catch (...) {
                    return std::current_exception();
                }
                try {
                    month.rides = log->Month(month.year, month.month);
                } catch (...) {
                    month.failure = std::current_exception();
                }
                return std::exception_ptr();
            });
        }
    }

    setupUi(this);
    SetUpIcons();
    SetUpStatusBar();
    SetUpCalendar();
    SetUpMonthList();
    ConnectCommands();
    // Centred before anything is shown, so start-up messages appear over it.
    CenterOnScreen(this);

    DebugMode = CommandLineSwitch(QStringLiteral("DEBUG"));
    MenuImportaDaFileDAT->setEnabled(CommandLineSwitch(QStringLiteral("IMPORTENABLED")));
    LogoDoubleClicked = false;
    FirstYear = 1990;
    // Without its settings the program knows no database: nothing more is tried.
    if (!settings) {
        ShowStartupError(MessageBoxes::WithException(SettingsFailedText, settingsFailure));
        ApplyOptions(Options());
    } else {
        // The year's progress is shown once the log is open.
        m_options = settings->options;
        SetCalendarHotTrack(m_options.calendarHotTrack);
        if (objectsFailed)
            ShowStartupError(ObjectsFailedText);
        if (opening.valid()) {
            std::optional<QString> failure;
            try {
                if (const std::exception_ptr openFailure = opening.get())
                    std::rethrow_exception(openFailure);
            } catch (const Exception& e) {
                failure = e.Message();
                m_openingMonth.reset();
            }
            LogOpened(failure);
        }
    }

    SetStatusText(ReadyStatusText);
    const QVersionNumber version = ExeVersion();
    VersionMajor = quint16(version.majorVersion());
    VersionMinor = quint16(version.minorVersion());
    VersionRelease = quint16(version.microVersion());
    VersionBuild = quint16(version.segmentAt(3));
    setWindowTitle(ApplicationTitle + QStringLiteral(" %1.%2").arg(VersionMajor).arg(VersionMinor));
    m_constructed = true;
    ReportBackupFailureWhenShown(*this, m_environment.DatabasePath());
}

TFormMain::~TFormMain()
{
    m_log.reset();
    Quietly("options not written at exit", [this] { WriteSettings(); });
    if (FormMain == this)
        FormMain = nullptr;
}

namespace {

// Actions and buttons alike take their icon by name.
template <typename Target>
void SetIcons(std::initializer_list<std::pair<Target*, const char*>> targets)
{
    for (const auto& [target, name] : targets)
        target->setIcon(Icon(QLatin1StringView(name)));
}

}

void TFormMain::SetUpIcons()
{
    SetIcons<QAction>({
        {MenuEsci, "exit"},
        {MenuEsportaCSV, "export"},
        {MenuImportaCSV, "import"},
        {MenuImportaGPS, "gps"},
        {MenuRipristinaBackup, "restore"},
        {MenuAggiungiUscita, "add"},
        {MenuModificaUscita, "modify"},
        {MenuEliminaUscita, "delete"},
        {MenuStampaMese, "print"},
        {MenuElaborazioneDati, "statistics"},
        {MenuBici, "bike"},
        {MenuCompattaDB, "compact"},
        {MenuImportaDaFileDAT, "import"},
        {MenuOpzioni, "options"},
        {MenuInformazioniSu, "about"},
        {ToolButtonElaborazioneDati, "statistics"},
        {ToolButtonOpzioni, "options"},
    });
    SetIcons<QAbstractButton>({
        {SpeedButtonMeseCorrente, "nav-current"},
        {SpeedButtonMesePrecedente, "nav-prev-month"},
        {SpeedButtonMeseSuccessivo, "nav-next-month"},
        {SpeedButtonAnnoPrecedente, "nav-prev-year"},
        {SpeedButtonAnnoSuccessivo, "nav-next-year"},
        {BitBtnAggiungiUscita, "add"},
        {BitBtnModificaUscita, "modify"},
        {BitBtnEliminaUscita, "delete"},
        {BitBtnStampaMese, "print"},
    });
}

void TFormMain::SetUpStatusBar()
{
    StatusBarMain->setFixedHeight(25);
    m_logoPanel = new QLabel(StatusBarMain);
    m_logoPanel->setObjectName(QStringLiteral("ImageCompanyLogo"));
    const QPixmap logo = Icon(QStringLiteral("logo")).pixmap(QSize(48, 21));
    m_logoPanel->setPixmap(logo);
    m_logoPanel->setFixedWidth(logo.width() + 2);
    m_statusText = new QLabel(StatusBarMain);
    m_statusText->setObjectName(QStringLiteral("PanelTestoStato"));
    m_statusText->setFixedWidth(StatusTextWidth);
    m_goalPanel = new QLabel(StatusBarMain);
    m_goalPanel->setObjectName(QStringLiteral("PanelObiettivoAnnuo"));
    m_goalPanel->setFixedWidth(50);
    // The logo is drawn from the panel's top-left corner; the text panels are sunken.
    m_logoPanel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (QLabel* panel : {m_statusText, m_goalPanel}) {
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
    }
    for (QLabel* panel : {m_logoPanel, m_statusText, m_goalPanel}) {
        // The status bar itself sees the clicks, for the logo's double click;
        // the goal's panel takes the pointer for its tooltip and passes its clicks on.
        panel->setAttribute(Qt::WA_TransparentForMouseEvents, panel != m_goalPanel);
        StatusBarMain->addWidget(panel);
    }
    StatusBarMain->installEventFilter(this);
    m_goalPanel->installEventFilter(this);
}

void TFormMain::SetUpCalendar()
{
    // As wide as the longest month caption needs with the user's font.
    QStringList captions;
    for (int month = 1; month <= 12; ++month)
        captions.append(MonthName(month) + QStringLiteral(" 2000"));
    const int chrome = ListViewCalendario->iconSize().width() + 16 + 2 * ListViewCalendario->frameWidth()
                       + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    PanelCalendario->setFixedWidth(FittingWidth(ListViewCalendario->fontMetrics(), captions, 129, chrome));

    m_calendarDelegate = new HotTrackDelegate(ListViewCalendario);
    ListViewCalendario->setItemDelegate(m_calendarDelegate);
    ListViewCalendario->viewport()->setAttribute(Qt::WA_Hover);
    KeepSelectionVisible(ListViewCalendario);
    connect(ListViewCalendario->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                for (const QModelIndex& index : deselected.indexes())
                    ListViewCalendarioSelectItem(index.row(), false);
                for (const QModelIndex& index : selected.indexes())
                    ListViewCalendarioSelectItem(index.row(), true);
            });
    connect(ListViewCalendario, &QListWidget::entered, this,
            [this](const QModelIndex& index) { ListViewCalendarioMouseEnter(index.row()); });
    connect(SpeedButtonMeseCorrente, &QToolButton::clicked, this, &TFormMain::SpeedButtonMeseCorrenteClick);
    connect(SpeedButtonMesePrecedente, &QToolButton::clicked, this, &TFormMain::SpeedButtonMesePrecedenteClick);
    connect(SpeedButtonMeseSuccessivo, &QToolButton::clicked, this, &TFormMain::SpeedButtonMeseSuccessivoClick);
    connect(SpeedButtonAnnoPrecedente, &QToolButton::clicked, this, &TFormMain::SpeedButtonAnnoPrecedenteClick);
    connect(SpeedButtonAnnoSuccessivo, &QToolButton::clicked, this, &TFormMain::SpeedButtonAnnoSuccessivoClick);
}

void TFormMain::SetUpMonthList()
{
    QFont title = LabelNomeMese->font();
    title.setPixelSize(19);
    LabelNomeMese->setFont(title);
    SetCaptionColour(GroupBoxUsciteMensili, CaptionBlue());

    m_monthModel = new MonthRidesModel(this);
    ShowAsReport(ListViewUsciteMensili, m_monthModel);
    // The preset widths, widened where the user's font needs more room.
    QStringList days;
    for (int weekday = 1; weekday <= 7; ++weekday)
        days.append(MonthRides::DayText(weekday, 28));
    const QStringList widest[MonthRidesModel::ColumnCount] = {
        {QStringLiteral("99")}, days, {}, {QStringLiteral("999,9")}, {QStringLiteral("23:59:59")},
        {QStringLiteral("100,0")}, {},
    };
    const QFontMetrics metrics = ListViewUsciteMensili->fontMetrics();
    for (int column = 0; column < MonthRidesModel::ColumnCount; ++column) {
        const ReportColumn& layout = MonthRidesModel::ColumnTable[column];
        ListViewUsciteMensili->setColumnWidth(
            column, FittingWidth(metrics, widest[column] + QStringList{QString::fromUtf8(layout.title)}, layout.width, 12));
    }
    // The description, never narrower than preset, takes what a wider window
    // leaves; a cut one shows whole under the pointer.
    ListViewUsciteMensili->header()->setStretchLastSection(true);
    // Figures keep their places from month to month.
    for (QLabel* figure : {LabelKM, LabelUscite, LabelKMU, LabelKMG})
        figure->setMinimumWidth(figure->fontMetrics().horizontalAdvance(QStringLiteral("99999,99")) + 16);
    // The edit controls follow the selection whatever changed it: a click on
    // a row or on the empty space below, the keyboard, Ctrl+click, a reload.
    connect(ListViewUsciteMensili->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        ListViewUsciteMensiliSelectItem(ListViewUsciteMensili->selectionModel()->hasSelection());
        ListViewUsciteMensiliClick();
    });
    connect(ListViewUsciteMensili, &QTreeView::clicked, this, &TFormMain::ListViewUsciteMensiliClick);
    connect(ListViewUsciteMensili, &QTreeView::doubleClicked, this, &TFormMain::ListViewUsciteMensiliDblClick);
}

void TFormMain::ConnectCommands()
{
    const std::pair<QAction*, void (TFormMain::*)()> actions[] = {
        {MenuEsci, &TFormMain::MenuExitClick},
        {MenuAggiungiUscita, &TFormMain::MenuAggiungiUscitaClick},
        {MenuModificaUscita, &TFormMain::MenuModificaUscitaClick},
        {MenuEliminaUscita, &TFormMain::MenuEliminaUscitaClick},
        {MenuStampaMese, &TFormMain::MenuStampaMeseClick},
        {MenuElaborazioneDati, &TFormMain::MenuElaborazioneDatiClick},
        {MenuBici, &TFormMain::MenuBiciClick},
        {MenuCompattaDB, &TFormMain::MenuCompattaDBClick},
        {MenuImportaDaFileDAT, &TFormMain::MenuImportaDaFileDATClick},
        {MenuEsportaCSV, &TFormMain::MenuEsportaCSVClick},
        {MenuImportaCSV, &TFormMain::MenuImportaCSVClick},
        {MenuImportaGPS, &TFormMain::MenuImportaGPSClick},
        {MenuRipristinaBackup, &TFormMain::MenuRipristinaBackupClick},
        {MenuOpzioni, &TFormMain::MenuOpzioniClick},
        {MenuInformazioniSu, &TFormMain::MenuInformazioniSuClick},
        {ToolButtonElaborazioneDati, &TFormMain::MenuElaborazioneDatiClick},
        {ToolButtonOpzioni, &TFormMain::MenuOpzioniClick},
    };
    for (const auto& [action, handler] : actions)
        connect(action, &QAction::triggered, this, handler);
    for (QAction* action : {ToolButtonElaborazioneDati, ToolButtonOpzioni}) {
        action->setIconText(action->text()); // keep the "..." that tool buttons drop
        ToolBarMain->widgetForAction(action)->setMinimumSize(120, 36);
    }

    const std::pair<QToolButton*, void (TFormMain::*)()> buttons[] = {
        {BitBtnAggiungiUscita, &TFormMain::MenuAggiungiUscitaClick},
        {BitBtnModificaUscita, &TFormMain::MenuModificaUscitaClick},
        {BitBtnEliminaUscita, &TFormMain::MenuEliminaUscitaClick},
        {BitBtnStampaMese, &TFormMain::MenuStampaMeseClick},
    };
    for (const auto& [button, handler] : buttons)
        connect(button, &QToolButton::clicked, this, handler);

    // A button whose underlined letter is also a menu's would make Alt+letter
    // only move the focus; the menu opens, as everywhere on the desktop.
    for (QAction* menu : menuBar()->actions()) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(menu->text());
        for (QAbstractButton* button : findChildren<QAbstractButton*>())
            if (!mnemonic.isEmpty() && button->shortcut() == mnemonic)
                button->setShortcut(QKeySequence());
    }
    MenuEsci->setShortcuts({MenuEsci->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q)});

    // The month list's own keys run the commands of its buttons.
    const std::pair<QKeyCombination, void (TFormMain::*)()> keys[] = {
        {Qt::Key_Return, &TFormMain::ListViewUsciteMensiliDblClick},
        {Qt::Key_Enter, &TFormMain::ListViewUsciteMensiliDblClick},
        {Qt::Key_Delete, &TFormMain::MenuEliminaUscitaClick},
        {Qt::Key_Insert, &TFormMain::MenuAggiungiUscitaClick},
    };
    for (const auto& [key, handler] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), ListViewUsciteMensili);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    }
}

bool TFormMain::CommandLineSwitch(const QString& name) const
{
    return FindCmdLineSwitch(m_environment.arguments, name);
}

QString TFormMain::SettingsPath() const
{
    return m_environment.SettingsPath();
}

void TFormMain::WriteSettings()
{
    SettingsFile::WriteOptions(SettingsPath(), m_options);
}

void TFormMain::ApplyOptions(const Options& options)
{
    m_options = options;
    SetCalendarHotTrack(options.calendarHotTrack);
    ShowYearProgress();
}

void TFormMain::ShowYearProgress()
{
    m_yearProgress.reset();
    if (m_options.yearGoal > 0 && m_log && m_log->IsOpen()) {
        // Not a command: a year that cannot be read shows no figure.
        Quietly("year's progress not shown", [&] {
            m_yearProgress = m_log->YearProgress(m_options.yearGoal, m_environment.today());
        });
    }
    const QString text = m_yearProgress ? Statistics::ProgressText(*m_yearProgress) : QString();
    m_goalPanel->setText(text);
    // As wide as its text, never narrower than the empty panel.
    const int frame = 2 * m_goalPanel->frameWidth() + 2 * m_goalPanel->margin() + 8;
    m_goalPanel->setFixedWidth(std::max(50, m_goalPanel->fontMetrics().horizontalAdvance(text) + frame));
}

void TFormMain::LogOpened(const std::optional<QString>& failure)
{
    if (failure)
        ShowStartupError(MessageBoxes::WithException(ConnectionFailedText, *failure));
    if (!FillCalendar())
        ShowStartupError(SystemDateText);
    ShowYearProgress();
}

void TFormMain::ShowStartupError(const QString& text)
{
    MessageBoxes::Show(this, text, QMessageBox::Critical);
    RequestTerminate();
}

void TFormMain::RequestTerminate()
{
    m_terminateRequested = true;
    // During construction main() sees the flag; later the running loop is ended.
    if (m_constructed)
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

void TFormMain::SetStatusText(const QString& text)
{
    m_statusText->setText(text);
    // Every documented text fits the panel; a longer one (a part's warning)
    // widens it while it shows, so the figures at its end are read.
    m_statusText->setFixedWidth(std::max(StatusTextWidth, m_statusText->sizeHint().width()));
    // Long operations process no events: paint the text now.
    StatusBarMain->repaint();
}

// ---- Close request and status bar

void TFormMain::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (canClose) {
        if (m_log)
            BackupOnClose(*m_log, *this);
        event->accept();
    } else {
        event->ignore();
    }
}

void TFormMain::FormCloseQuery(bool& canClose)
{
    if (CommandLineSwitch(QStringLiteral("NOPROMPTONCLOSE")))
        return;
    canClose = MessageBoxes::Show(this, StringTable::LoadStr(StringTable::ClosePrompt), QMessageBox::Question,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No)
               == QMessageBox::Yes;
}

void TFormMain::MenuExitClick()
{
    close();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == StatusBarMain) {
        if (event->type() == QEvent::MouseButtonDblClick)
            StatusBarMainDblClick();
        else if (event->type() == QEvent::MouseButtonRelease)
            StatusBarMainMouseUp(static_cast<QMouseEvent*>(event)->position().toPoint().x());
    } else if (watched == m_goalPanel && event->type() == QEvent::ToolTip) {
        // Read as it is asked for: the past years' seasons take a pass over the whole log.
        QStringList lines;
        if (m_yearProgress && m_log && m_log->IsOpen()) {
            Quietly("year's outlook not shown",
                    [&] { lines = Statistics::OutlookLines(m_log->YearOutlook(*m_yearProgress)); });
        }
        m_goalPanel->setToolTip(lines.join(u'\n'));
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::StatusBarMainDblClick()
{
    LogoDoubleClicked = true;
}

void TFormMain::StatusBarMainMouseUp(int x)
{
    if (LogoDoubleClicked && x <= m_logoPanel->geometry().right())
        MenuInformazioniSuClick();
    LogoDoubleClicked = false;
}

// ---- Adding, changing and deleting rides

int TFormMain::SelectedRideId() const
{
    const QModelIndexList selected = ListViewUsciteMensili->selectionModel()->selectedRows();
    return selected.isEmpty() ? -1 : m_monthModel->RideId(selected.first().row());
}

QString TFormMain::MonthCaption() const
{
    return MonthName(SelectedMonth) + u' ' + QString::number(SelectedYear);
}

void TFormMain::MenuAggiungiUscitaClick()
{
    TFormEditUscita dialog(this, *m_log);
    dialog.Modifica = false;
    dialog.Anno = SelectedYear;
    dialog.Mese = SelectedMonth;
    const QDate today = m_environment.today();
    dialog.Giorno = today.year() == SelectedYear && today.month() == SelectedMonth ? today.day() : 1;
    dialog.setWindowTitle(QStringLiteral("Aggiungi uscita a ") + MonthCaption());
    if (dialog.exec() != QDialog::Accepted)
        return;
    bool saved = false;
    try {
        m_log->Add({SelectedYear, SelectedMonth, dialog.Entry()}, dialog.Bici);
        saved = true;
    } catch (const Exception& e) {
        MessageBoxes::Show(this, MessageBoxes::WithException(AddFailedText, e.Message()), QMessageBox::Warning);
    }
    GoToMonth(SelectedMonth, SelectedYear, true);
    ShowYearProgress();
    if (saved)
        ShowDueParts(dialog.Bici);
}

void TFormMain::MenuModificaUscitaClick()
{
    const int id = SelectedRideId();
    if (id < 0)
        return;
    TFormEditUscita dialog(this, *m_log);
    try {
        // The dialog shows the ride as stored, not as the list shows it.
        const Rides::Ride stored = m_log->Read(id);
        dialog.Modifica = true;
        dialog.Anno = SelectedYear;
        dialog.Mese = SelectedMonth;
        dialog.SetEntry(stored.entry);
        dialog.Bici = m_log->BikeOf(id);
        dialog.setWindowTitle(QStringLiteral("Modifica uscita di ") + MonthCaption());
        if (dialog.exec() != QDialog::Accepted)
            return;
    } catch (const Exception& e) {
        MessageBoxes::Show(this, MessageBoxes::WithException(ModifyImpossibleText, e.Message()),
                           QMessageBox::Warning);
        return;
    }
    bool saved = false;
    try {
        // The ride stays in the month shown; only the dialog's values change.
        m_log->Change(id, {SelectedYear, SelectedMonth, dialog.Entry()}, dialog.Bici);
        saved = true;
    } catch (const Exception& e) {
        MessageBoxes::Show(this, MessageBoxes::WithException(ModifyFailedText, e.Message()), QMessageBox::Warning);
    }
    GoToMonth(SelectedMonth, SelectedYear, true);
    ShowYearProgress();
    if (saved)
        ShowDueParts(dialog.Bici);
}

void TFormMain::ShowDueParts(int bike)
{
    QString text = ReadyStatusText;
    // The ride is stored: a warning that cannot be worked out is no failure of the save.
    if (bike != 0)
        Quietly("parts due not read", [&] {
            const QList<Bikes::Wear> due = m_log->DueParts(bike, m_environment.today());
            if (!due.isEmpty())
                text = Bikes::DueText(due.first());
        });
    SetStatusText(text);
}

void TFormMain::MenuEliminaUscitaClick()
{
    const int id = SelectedRideId();
    if (id < 0)
        return;
    if (MessageBoxes::Show(this, DeleteQuestionText, QMessageBox::Question,
                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    try {
        m_log->Delete(id);
    } catch (const Exception& e) {
        MessageBoxes::Show(this, MessageBoxes::WithException(DeleteFailedText, e.Message()), QMessageBox::Warning);
    }
    GoToMonth(SelectedMonth, SelectedYear, true);
    ShowYearProgress();
}

// ---- Statistics, printing, maintenance and the small dialogs

PrintContext TFormMain::PrintSettings()
{
    PrintContext context;
    context.options = [this] { return CurrentOptions(); };
    context.setStatusText = [this](const QString& text) { SetStatusText(text); };
    context.choosePrinter = m_environment.choosePrinter;
    return context;
}

void TFormMain::MenuStampaMeseClick()
{
    const ReportRows::Month month = ReportRows::MonthReport(m_shownMonth, SelectedYear, SelectedMonth);
    RunPrintJob(this, PrintSettings(),
                [&](QPrinter& printer, const Options& options) { Reports::PrintMonth(printer, month, options); });
}
void TFormMain::MenuElaborazioneDatiClick()
{
    Quietly("statistics dialog", [this] {
        TFormElaborazioneDati dialog(this, FirstYear, *m_log, m_environment.today, PrintSettings());
        dialog.exec();
    });
}

void TFormMain::RunOnLog(void (*command)(RideLog&, CommandScreen&))
{
    if (m_log)
        command(*m_log, *this);
}

void TFormMain::MenuBiciClick()
{
    RunOnLog(BikesCommand);
}

void TFormMain::MenuCompattaDBClick()
{
    RunOnLog(CompactDatabaseCommand);
}

void TFormMain::MenuImportaDaFileDATClick()
{
    RunOnLog(ImportDatFilesCommand);
}

void TFormMain::MenuRipristinaBackupClick()
{
    RunOnLog(RestoreBackupCommand);
}

void TFormMain::MenuEsportaCSVClick()
{
    RunOnLog(ExportCsvCommand);
}

void TFormMain::MenuImportaCSVClick()
{
    RunOnLog(ImportCsvCommand);
}

void TFormMain::MenuImportaGPSClick()
{
    if (m_log)
        ImportGpsFilesCommand(*m_log, *this);
}

void TFormMain::ImportGpsFiles(const QStringList& files)
{
    m_waitingGpsFiles += files;
    if (!m_gpsFilesTimer) {
        m_gpsFilesTimer = new QTimer(this);
        m_gpsFilesTimer->setInterval(250);
        connect(m_gpsFilesTimer, &QTimer::timeout, this, &TFormMain::ImportWaitingGpsFiles);
    }
    // From the event loop, so a start with files first shows the window.
    m_gpsFilesTimer->start();
}

void TFormMain::ImportWaitingGpsFiles()
{
    // A dialog the rider has open, another preview among them, is finished
    // first: the files wait for it.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    m_gpsFilesTimer->stop();
    const QStringList files = std::exchange(m_waitingGpsFiles, {});
    if (m_log && !files.isEmpty())
        ImportGpsFilesCommand(*m_log, *this, files);
}

void TFormMain::MenuOpzioniClick()
{
    OptionsCommand(*this);
}

void TFormMain::MenuInformazioniSuClick()
{
    AboutCommand(*this);
}

void TFormMain::ShowMonthAgain()
{
    GoToMonth(SelectedMonth, SelectedYear, true);
}

// ---- Calendar of months

void TFormMain::SetCalendarHotTrack(bool on)
{
    m_calendarDelegate->setHotTrack(on);
    ListViewCalendario->setMouseTracking(on);
    if (on)
        ListViewCalendario->viewport()->setCursor(Qt::PointingHandCursor);
    else
        ListViewCalendario->viewport()->unsetCursor();
    ListViewCalendario->viewport()->update();
}

bool TFormMain::FillCalendar()
{
    const QDate today = m_environment.today();
    if (today.year() < FirstYear)
        return false;
    ListViewCalendario->setUpdatesEnabled(false);
    ListViewCalendario->clear();
    const QIcon icon = Icon(QStringLiteral("month"));
    for (int year = FirstYear; year <= today.year(); ++year) {
        for (int month = 1; month <= 12; ++month) {
            auto* item = new QListWidgetItem(icon, MonthName(month) + u' ' + QString::number(year));
            ListViewCalendario->addItem(item);
            // Selecting loads the month at once, before the fill is complete.
            if (year == today.year() && month == today.month())
                item->setSelected(true);
        }
    }
    ListViewCalendario->setUpdatesEnabled(true);
    const QList<QListWidgetItem*> selected = ListViewCalendario->selectedItems();
    if (!selected.isEmpty()) {
        ListViewCalendario->setCurrentItem(selected.first(), QItemSelectionModel::NoUpdate);
        ListViewCalendario->scrollToItem(selected.first());
    }
    return true;
}

void TFormMain::GoToMonth(int month, int year, bool force)
{
    const int count = ListViewCalendario->count();
    if (count == 0)
        return;
    const int target = std::clamp((year - FirstYear) * 12 + month - 1, 0, count - 1);
    const QList<QListWidgetItem*> selected = ListViewCalendario->selectedItems();
    if (!selected.isEmpty() && ListViewCalendario->row(selected.first()) == target && !force)
        return;
    // Clearing first makes a forced call reload the month already shown.
    ListViewCalendario->clearSelection();
    QListWidgetItem* item = ListViewCalendario->item(target);
    ListViewCalendario->setCurrentItem(item, QItemSelectionModel::NoUpdate);
    item->setSelected(true);
    ListViewCalendario->scrollToItem(item);
}

void TFormMain::ListViewCalendarioMouseEnter(int index)
{
    if (!CalendarHotTrack())
        return;
    QListWidgetItem* item = ListViewCalendario->item(index);
    if (item && !item->isSelected()) {
        ListViewCalendario->clearSelection();
        ListViewCalendario->setCurrentItem(item, QItemSelectionModel::NoUpdate);
        item->setSelected(true);
    }
}

void TFormMain::SpeedButtonMeseCorrenteClick()
{
    const QDate today = m_environment.today();
    GoToMonth(today.month(), today.year(), false);
}

void TFormMain::SpeedButtonMesePrecedenteClick()
{
    if (SelectedMonth == 1)
        GoToMonth(12, SelectedYear - 1, false);
    else
        GoToMonth(SelectedMonth - 1, SelectedYear, false);
}

void TFormMain::SpeedButtonMeseSuccessivoClick()
{
    if (SelectedMonth == 12)
        GoToMonth(1, SelectedYear + 1, false);
    else
        GoToMonth(SelectedMonth + 1, SelectedYear, false);
}

void TFormMain::SpeedButtonAnnoPrecedenteClick()
{
    GoToMonth(SelectedMonth, SelectedYear - 1, false);
}

void TFormMain::SpeedButtonAnnoSuccessivoClick()
{
    GoToMonth(SelectedMonth, SelectedYear + 1, false);
}

// ---- Month list

void TFormMain::ListViewCalendarioSelectItem(int index, bool selected)
{
    if (!selected)
        return;
    const WaitCursor wait;
    SelectedYear = index / 12 + FirstYear;
    SelectedMonth = index % 12 + 1;
    const bool sameMonth = SelectedYear == m_lastLoadedYear && SelectedMonth == m_lastLoadedMonth;
    m_lastLoadedYear = SelectedYear;
    m_lastLoadedMonth = SelectedMonth;
    LabelNomeMese->setText(MonthName(SelectedMonth) + u' ' + QString::number(SelectedYear));

    const QModelIndexList selectedRows = ListViewUsciteMensili->selectionModel()->selectedRows();
    const int previousRow = selectedRows.isEmpty() ? -1 : selectedRows.first().row();
    try {
        ShowMonth(ReadMonth(SelectedYear, SelectedMonth));
    } catch (const Exception& e) {
        MessageBoxes::Show(this, MessageBoxes::WithException(MonthLoadFailedText, e.Message()),
                           QMessageBox::Warning);
        // Nothing of the previous month may stay under this month's title.
        ClearMonth();
    }
    if (sameMonth && previousRow >= 0 && previousRow < m_monthModel->rowCount()) {
        const QModelIndex row = m_monthModel->index(previousRow, 0);
        ListViewUsciteMensili->setCurrentIndex(row);
        ListViewUsciteMensili->scrollTo(row);
    }
    ListViewUsciteMensiliClick();
}

MonthRides TFormMain::ReadMonth(int year, int month)
{
    std::optional<OpeningMonth> opening = std::exchange(m_openingMonth, std::nullopt);
    if (!opening || opening->year != year || opening->month != month)
        return m_log->Month(year, month);
    if (opening->failure)
        std::rethrow_exception(opening->failure);
    return std::move(opening->rides);
}

void TFormMain::ShowMonth(const MonthRides& month)
{
    // Measuring the names takes longer than listing a month: only new names are.
    const bool newTypes = month.typeNames != m_monthModel->Month().typeNames;
    m_shownMonth = month;
    m_monthModel->SetMonth(month);
    if (newTypes)
        ListViewUsciteMensili->setColumnWidth(
            MonthRidesModel::Type, FittingWidth(ListViewUsciteMensili->fontMetrics(), month.typeNames,
                                                ListViewUsciteMensili->columnWidth(MonthRidesModel::Type), 12));
    if (month.summary) {
        LabelKM->setText(month.summary->km);
        LabelUscite->setText(month.summary->rides);
        LabelKMU->setText(month.summary->kmPerRide);
        LabelKMG->setText(month.summary->kmPerDay);
    } else {
        for (QLabel* figure : {LabelKM, LabelUscite, LabelKMU, LabelKMG})
            figure->clear();
    }
}

void TFormMain::ClearMonth()
{
    ShowMonth(MonthRides());
}

void TFormMain::ListViewUsciteMensiliSelectItem(bool selected)
{
    if (selected)
        SetEditCommandsEnabled(true);
}

void TFormMain::ListViewUsciteMensiliClick()
{
    if (!ListViewUsciteMensili->selectionModel()->hasSelection())
        SetEditCommandsEnabled(false);
}

void TFormMain::ListViewUsciteMensiliDblClick()
{
    if (ListViewUsciteMensili->selectionModel()->hasSelection())
        MenuModificaUscitaClick();
}

void TFormMain::SetEditCommandsEnabled(bool enabled)
{
    for (QAction* action : {MenuModificaUscita, MenuEliminaUscita})
        action->setEnabled(enabled);
    for (QToolButton* button : {BitBtnModificaUscita, BitBtnEliminaUscita})
        button->setEnabled(enabled);
}
