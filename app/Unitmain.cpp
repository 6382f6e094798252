#include "app/Unitmain.h"

#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "forms/CenterOnScreen.h"
#include "forms/MessageBoxes.h"
#include "util/Application.h"
#include "util/CommandLine.h"
#include "util/Exception.h"
#include "util/Unitutils.h"

#include <QCoreApplication>
#include <QLabel>

TFormMain* FormMain = nullptr;

namespace {

const QString ObjectsFailedText = QStringLiteral(
    "ATTENZIONE: errore nella creazione degli oggetti per l'accesso al database! Probabile versione di "
    "MDAC/Jet non sufficientemente aggiornata. L'applicazione verrà terminata.");
const QString ConnectionFailedText =
    QStringLiteral("ATTENZIONE: connessione al database fallita! L'applicazione verrà terminata.");
const QString SystemDateText = QStringLiteral(
    "ATTENZIONE: la data di sistema non è aggiornata! Regolare la data tramite il pannello di controllo e "
    "riavviare l'applicazione.");

}

TFormMain::TFormMain(StartupEnvironment environment, QWidget* parent)
    : QMainWindow(parent), m_environment(std::move(environment))
{
    FormMain = this;
    setupUi(this);
    // Centred before anything is shown, so start-up messages appear over it.
    CenterOnScreen(this);
    m_statusText = new QLabel(StatusBarMain);
    m_statusText->setFixedWidth(250);
    StatusBarMain->addWidget(m_statusText);

    DebugMode = CommandLineSwitch(QStringLiteral("DEBUG"));
    ReadSettings();
    FirstYear = 1990;

    try {
        Connection = m_environment.makeConnection ? m_environment.makeConnection()
                                                  : std::make_unique<TZTConnection>();
        Recordset = std::make_unique<TZTRecordset>(Connection.get());
    } catch (...) {
        ShowStartupError(ObjectsFailedText);
    }
    if (Connection && Recordset)
        OpenDatabase();

    SetStatusText(QStringLiteral("Pronto."));
    GetExeVersion(&VersionMajor, &VersionMinor, &VersionRelease, &VersionBuild);
    setWindowTitle(ApplicationTitle + QStringLiteral(" %1.%2").arg(VersionMajor).arg(VersionMinor));
    m_constructed = true;
}

TFormMain::~TFormMain()
{
    try {
        if (Recordset)
            Recordset->Close();
        Recordset.reset();
        if (Connection)
            Connection->Close();
        Connection.reset();
    } catch (...) {
    }
    try {
        WriteSettings();
    } catch (...) {
    }
    if (FormMain == this)
        FormMain = nullptr;
}

bool TFormMain::CommandLineSwitch(const QString& name) const
{
    return FindCmdLineSwitch(m_environment.arguments, name);
}

QString TFormMain::SettingsPath() const
{
    return SettingsFile::SiblingPath(m_environment.executablePath, QStringLiteral(".ini"));
}

void TFormMain::ReadSettings()
{
    DataSource = SettingsFile::SiblingPath(m_environment.executablePath, QStringLiteral(".mdb"));
    const Settings settings = SettingsFile::Read(SettingsPath(), DataSource);
    ConnectionStringTemplate = settings.connectionStringTemplate;
    ConnectionString = settings.connectionString;
    CalendarHotTrack = settings.options.calendarHotTrack;
    PrintFont = settings.options.printFont;
    PrintVerticalMargin = settings.options.printVerticalMargin;
    PrintHorizontalMargin = settings.options.printHorizontalMargin;
}

void TFormMain::WriteSettings()
{
    Options options;
    options.calendarHotTrack = CalendarHotTrack;
    options.printFont = PrintFont;
    options.printVerticalMargin = PrintVerticalMargin;
    options.printHorizontalMargin = PrintHorizontalMargin;
    SettingsFile::WriteOptions(SettingsPath(), options);
}

void TFormMain::OpenDatabase()
{
    try {
        Connection->Open(ConnectionString);
    } catch (const Exception& e) {
        ShowStartupError(MessageBoxes::WithException(ConnectionFailedText, e.Message()));
    }
    if (!FillCalendar())
        ShowStartupError(SystemDateText);
}

bool TFormMain::FillCalendar()
{
    // The calendar of months is filled here; for now only the date check.
    return m_environment.today().year() >= FirstYear;
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
    // Long operations process no events: paint the text now.
    StatusBarMain->repaint();
}

QString TFormMain::StatusText() const
{
    return m_statusText->text();
}
