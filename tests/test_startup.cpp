#include "app/Unitmain.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "forms/StartupSplash.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/MonthList.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestDatabase.h"
#include "support/WithoutRootOverride.h"
#include "util/Exception.h"
#include "util/IniFile.h"
#include "util/SingleInstanceLock.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString ConnectionFailed = QStringLiteral(
    "ATTENZIONE: connessione al database fallita! L'applicazione verrà terminata.\n\nEccezione: "
    "ZTADO exception: TZTConnection::Open: ");
const QString ObjectsFailed = QStringLiteral(
    "ATTENZIONE: errore nella creazione degli oggetti per l'accesso al database! Probabile versione di "
    "MDAC/Jet non sufficientemente aggiornata. L'applicazione verrà terminata.");
// After a failed connection the current month's load fails too.
const QString MonthLoadFailure = QStringLiteral(
    "ATTENZIONE: impossibile estrarre i dati del mese selezionato.\n\nEccezione: ZTADO exception: TZTRecordset::Open: ");
const QString MonthLoadFailed = MonthLoadFailure + QStringLiteral("Operation is not allowed when the object is closed");
const QString DateTooEarly = QStringLiteral(
    "ATTENZIONE: la data di sistema non è aggiornata! Regolare la data tramite il pannello di controllo e "
    "riavviare l'applicazione.");

}

class TestStartup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Beside(const QString& extension) const { return m_dir.filePath(u"kilovento"_qs + extension); }

    StartupEnvironment Environment(const QStringList& arguments = {}, TZTConnection** connection = nullptr) const
    {
        return MainWindow::Environment(m_dir.path(), arguments, connection);
    }

    void WriteIni(const QString& text)
    {
        QFile file(Beside(u".ini"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }

    static QString ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

private Q_SLOTS:
    void init();
    void startsOnTheDatabaseTheSettingsName_data();
    void startsOnTheDatabaseTheSettingsName();
    void startupFailuresAreShownAndEndTheProgram_data();
    void startupFailuresAreShownAndEndTheProgram();
    void switchesActByName_data();
    void switchesActByName();
    void optionsAreWrittenBackAtExit();
    void unreadableSettingsAreOneBoxAndStayAsTheyWere_data();
    void unreadableSettingsAreOneBoxAndStayAsTheyWere();
    void logLockNeedsNoFile();
    void openedLogIsShownAsAtStartup();
};

void TestStartup::init()
{
    QVERIFY(m_dir.isValid());
    QFile::remove(Beside(u".mdb"_qs));
    QFile::remove(Beside(u".ini"_qs));
    QCOMPARE(TestDatabase::Create(Beside(u".mdb"_qs)), QString());
    WriteIni(u"; shipped settings\r\n[DATABASE]\r\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\r\n"_qs);
}

void TestStartup::startsOnTheDatabaseTheSettingsName_data()
{
    QTest::addColumn<QString>("dataSource"); // "<folder>" stands for the program's folder
    QTest::addColumn<QString>("shown");      // the description of the one ride listed
    QTest::newRow("beside the program") << u"%DATASOURCE%"_qs << u"accanto"_qs;
    QTest::newRow("named in full") << u"<folder>/altro.mdb"_qs << u"altro"_qs;
}

void TestStartup::startsOnTheDatabaseTheSettingsName()
{
    QFETCH(QString, dataSource);
    QFETCH(QString, shown);
    // A ride of the month shown at start-up in each database tells which one is open.
    const QString other = m_dir.filePath(u"altro.mdb"_qs);
    QFile::remove(other);
    QCOMPARE(TestDatabase::Create(other), QString());
    QCOMPARE(TestDatabase::InsertRide(Beside(u".mdb"_qs), u"2005-03-02"_qs, 10, 0, u"accanto"_qs), QString());
    QCOMPARE(TestDatabase::InsertRide(other, u"2005-03-02"_qs, 10, 0, u"altro"_qs), QString());
    WriteIni(u"[DATABASE]\nConnectionString=Provider=SQLite;Data Source="_qs
             + dataSource.replace(u"<folder>"_qs, m_dir.path()) + u"\n"_qs);
    ModalBoxes boxes;
    TFormMain form(Environment());
    QVERIFY(boxes.seen().isEmpty() && !form.TerminateRequested());
    QCOMPARE(MainWindow::StatusText(&form), u"Pronto."_qs);
    QCOMPARE(MonthList::Count(&form), 1);
    QCOMPARE(MonthList::Text(&form, 0, 6), shown);
}

void TestStartup::startupFailuresAreShownAndEndTheProgram_data()
{
    QTest::addColumn<QString>("ini");  // "-" removes the settings file
    QTest::addColumn<bool>("database");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<bool>("objectsFail");
    QTest::addColumn<bool>("monthUnreadable");
    QTest::addColumn<QStringList>("expected"); // the texts shown, each a prefix

    const QString good = u"[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n"_qs;
    const QDate today(2005, 3, 15);
    QTest::newRow("database missing") << good << false << today << false << false
                                      << QStringList{ConnectionFailed + u"Database file not found"_qs, MonthLoadFailed};
    QTest::newRow("settings missing") << u"-"_qs << true << today << false << false
                                      << QStringList{ConnectionFailed + u"Empty connection string"_qs, MonthLoadFailed};
    QTest::newRow("settings empty") << QString() << true << today << false << false
                                    << QStringList{ConnectionFailed + u"Empty connection string"_qs, MonthLoadFailed};
    QTest::newRow("placeholder in lower case")
        << u"[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%datasource%\n"_qs << true << today << false << false
        << QStringList{ConnectionFailed + u"Database file not found"_qs, MonthLoadFailed};
    QTest::newRow("another engine's string")
        << u"[DATABASE]\nConnectionString=Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%DATASOURCE%;"
           "Jet OLEDB:Database Password=%PASSWORD%\n"_qs
        << true << today << false << false << QStringList{ConnectionFailed + u"Provider not supported"_qs, MonthLoadFailed};
    QTest::newRow("clock before 1990") << good << true << QDate(1989, 12, 31) << false << false << QStringList{DateTooEarly};
    QTest::newRow("clock in 1990") << good << true << QDate(1990, 1, 1) << false << false << QStringList{};
    QTest::newRow("database layer fails") << good << true << today << true << false << QStringList{ObjectsFailed};
    // Read with the opening, on another core: its failure is told as any month's, and the program goes on.
    QTest::newRow("month unreadable") << good << true << today << false << true << QStringList{MonthLoadFailure + u"no such collation sequence"_qs};
}

void TestStartup::startupFailuresAreShownAndEndTheProgram()
{
    QFETCH(QString, ini);
    QFETCH(bool, database);
    QFETCH(QDate, today);
    QFETCH(bool, objectsFail);
    QFETCH(bool, monthUnreadable);
    QFETCH(QStringList, expected);

    if (ini == u"-")
        QVERIFY(QFile::remove(Beside(u".ini"_qs)));
    else
        WriteIni(ini);
    if (!database)
        QVERIFY(QFile::remove(Beside(u".mdb"_qs)));
    if (monthUnreadable)
        QCOMPARE(TestDatabase::ForgetOrderOf(Beside(u".mdb"_qs), u"Data"_qs), QString());
    StartupEnvironment environment = Environment();
    environment.today = [today] { return today; };
    if (objectsFail)
        environment.makeConnection = []() -> std::unique_ptr<TZTConnection> {
            throw Exception(u"Create(intfObj): failed"_qs);
        };

    ModalBoxes boxes;
    auto form = std::make_unique<TFormMain>(environment);
    QCOMPARE(boxes.seen().size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const ModalBoxes::Seen& box = boxes.seen().at(i);
        QVERIFY2(box.text.startsWith(expected.at(i)), qPrintable(box.text));
        QCOMPARE(box.title, u"Kilovento"_qs);
        // Start-up failures end the program; the failed month load is a warning.
        QCOMPARE(box.icon, expected.at(i).startsWith(MonthLoadFailure) ? QMessageBox::Warning : QMessageBox::Critical);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    QCOMPARE(form->TerminateRequested(), !expected.isEmpty() && !monthUnreadable);
    QCOMPARE(form->windowTitle(), u"Kilovento 1.1"_qs); // construction goes on to the end
    QCOMPARE(MainWindow::StatusText(form.get()), u"Pronto."_qs);
    form.reset();
    QVERIFY2(!QFile::exists(Beside(u".mdb"_qs)) == !database, "a failed start never creates a database");
    // Even a failed start writes the options back at exit.
    QVERIFY(ReadFile(Beside(u".ini"_qs)).contains(u"[OPTIONS]"_qs));
}

void TestStartup::switchesActByName_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<bool>>("acting"); // IMPORTENABLED, NOPROMPTONCLOSE, NOSPLASH
    // DEBUG is only recorded: it must not act as any other switch.
    QTest::newRow("debug") << QStringList{u"/debug"_qs} << QList<bool>{false, false, false};
    QTest::newRow("import") << QStringList{u"-ImportEnabled"_qs} << QList<bool>{true, false, false};
    QTest::newRow("no prompt") << QStringList{u"/noPromptOnClose"_qs} << QList<bool>{false, true, false};
    QTest::newRow("no splash") << QStringList{u"-NOSPLASH"_qs} << QList<bool>{false, false, true};
    QTest::newRow("no prefix, or more to the name")
        << QStringList{u"DEBUG"_qs, u"IMPORTENABLED"_qs, u"/NOPROMPTONCLOSE:1"_qs, u"-NOSPLASH1"_qs} << QList<bool>(3, false);
}

void TestStartup::switchesActByName()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<bool>, acting);
    const StartupSplash splash(arguments);
    TFormMain form(Environment(arguments));
    form.show();
    const ModalBoxes boxes(QMessageBox::No);
    form.close();
    QCOMPARE((QList<bool>{Child<QAction>(&form, "MenuImportaDaFileDAT")->isEnabled(),
                          boxes.seen().isEmpty(), !splash.Form()}),
             acting);
}

void TestStartup::optionsAreWrittenBackAtExit()
{
    WriteIni(u"; shipped settings\r\n[DATABASE]\r\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\r\n"
             "\r\n[options]\r\nCalendarHotTrack=5\r\nPrintVerticalMargin=11\r\nExtra=keep me\r\n"_qs);
    {
        TFormMain form(Environment());
        Options options = form.CurrentOptions();
        QVERIFY(options.calendarHotTrack);
        QCOMPARE(options.printVerticalMargin, 2);
        QCOMPARE(options.printHorizontalMargin, 1);
        QCOMPARE(options.printFont, u"Arial"_qs);
        options.printFont = u"DejaVu Sans"_qs;
        options.printHorizontalMargin = 0;
        form.ApplyOptions(options);
    }
    const QString text = ReadFile(Beside(u".ini"_qs));
    QVERIFY2(text.startsWith(u"; shipped settings\r\n[DATABASE]\r\nConnectionString=Provider=SQLite;"
                             "Data Source=%DATASOURCE%\r\n\r\n[options]\r\n"_qs),
             qPrintable(text));
    const IniFile ini(Beside(u".ini"_qs));
    QCOMPARE(ini.ReadString(u"OPTIONS"_qs, u"CalendarHotTrack"_qs, QString()), u"1"_qs);
    QCOMPARE(ini.ReadString(u"OPTIONS"_qs, u"PrintFont"_qs, QString()), u"DejaVu Sans"_qs);
    QCOMPARE(ini.ReadString(u"OPTIONS"_qs, u"PrintVerticalMargin"_qs, QString()), u"2"_qs);
    QCOMPARE(ini.ReadString(u"OPTIONS"_qs, u"PrintHorizontalMargin"_qs, QString()), u"0"_qs);
    QCOMPARE(ini.ReadString(u"OPTIONS"_qs, u"Extra"_qs, QString()), u"keep me"_qs);
}

void TestStartup::unreadableSettingsAreOneBoxAndStayAsTheyWere_data()
{
    QTest::addColumn<bool>("folder"); // a folder in the file's place, else a file not ours to read
    QTest::addColumn<QString>("reason");
    QTest::newRow("not ours to read") << false << u"permesso negato (EACCES)"_qs;
    QTest::newRow("a folder in its place") << true << u"è una cartella (EISDIR)"_qs;
}

void TestStartup::unreadableSettingsAreOneBoxAndStayAsTheyWere()
{
    QFETCH(bool, folder);
    QFETCH(QString, reason);
    const QString ini = Beside(u".ini"_qs);
    if (folder)
        QVERIFY(QFile::remove(ini) && QDir(m_dir.path()).mkdir(u"kilovento.ini"_qs));
    else
        QVERIFY(QFile::setPermissions(ini, QFile::WriteOwner));
    {
        const WithoutRootOverride asUser;
        ModalBoxes boxes;
        TZTConnection* connection = nullptr;
        TFormMain form(Environment({}, &connection));
        QVERIFY(boxes.seen().size() == 1 && boxes.seen()[0].icon == QMessageBox::Critical); // nothing after it
        const QString text = boxes.seen()[0].text;
        QVERIFY2(text.startsWith(u"ATTENZIONE: lettura delle impostazioni fallita! L'applicazione verrà terminata.\n\n"
                                 "Eccezione: impossibile leggere il file delle impostazioni "_qs
                                 + ini + u": "_qs + reason),
                 qPrintable(text));
        QVERIFY(form.TerminateRequested());
        QVERIFY(!connection); // no log is made without its settings
    } // the exit writes nothing over what could not be read
    QVERIFY(!folder || (QFileInfo(ini).isDir() && QDir(m_dir.path()).rmdir(u"kilovento.ini"_qs)));
}

void TestStartup::logLockNeedsNoFile()
{
    const QString database = Beside(u".mdb"_qs);
    const QStringList files = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden);
    {
        const ReadOnlyFolder readOnly(m_dir.path());
        QVERIFY(readOnly.done());
        const SingleInstanceLock held = SingleInstanceLock::BesideDatabase(database);
        QVERIFY(held.Acquired() && !SingleInstanceLock::BesideDatabase(database).Acquired());
    }
    QVERIFY(SingleInstanceLock::BesideDatabase(database).Acquired());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden), files);
}

// What compaction and restore ask of the window once they have opened the log again.
// A log opened again after work on its file: the window shows it as at start-up.
void TestStartup::openedLogIsShownAsAtStartup()
{
    QCOMPARE(TestDatabase::InsertRide(Beside(u".mdb"_qs), u"2005-03-02"_qs, 40.5), QString());
    TFormMain form(Environment());
    form.GoToMonth(1, 2004, false);
    ModalBoxes boxes;
    form.LogOpened(std::nullopt);
    QVERIFY(boxes.seen().isEmpty() && !form.TerminateRequested());
    // The calendar refilled, with the current month selected and loaded.
    QCOMPARE((QList<int>{form.ShownMonth(), form.ShownYear()}), (QList<int>{3, 2005}));
    QCOMPARE(MonthList::Count(&form), 1);
    QCOMPARE(form.findChild<QListWidget*>(u"ListViewCalendario"_qs)->count(), (2005 - 1990 + 1) * 12);
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
