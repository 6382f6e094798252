// The real program in a real X server (Xvfb), driven with xdotool as a person
// would drive it: windows are found by their captions and answered with keys.
#include "support/Files.h"
#include "support/GpsFiles.h"
#include "support/ItalianLocale.h"
#include "support/TestDatabase.h"
#include "util/Unitutils.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Runs a program to its end; returns its standard output, trimmed.
QString Run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
            int timeoutMs = 15000)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

}

class TestEndToEnd : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QProcess m_xserver;
    QProcessEnvironment m_environment;

    QString ProgramPath() const { return m_dir.filePath(u"kilovento"_qs); }
    QString DatabasePath() const { return m_dir.filePath(u"kilovento.mdb"_qs); }

    // The X window whose caption is exactly `caption`, waiting up to `timeoutMs`; empty when none.
    QString FindWindow(const QString& caption, int timeoutMs = 15000) const
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < timeoutMs) {
            const QString ids = Run(u"xdotool"_qs,
                                    {u"search"_qs, u"--onlyvisible"_qs, u"--name"_qs,
                                     u"^"_qs + QRegularExpression::escape(caption) + u"$"_qs},
                                    m_environment);
            if (!ids.isEmpty())
                return ids.split(u'\n').last();
            QTest::qWait(100);
        }
        if (timeoutMs >= 1000) // a short look expects to find nothing
            qWarning("No window named '%s'; the visible windows are: %s", qPrintable(caption),
                 qPrintable(VisibleWindows()));
        return QString();
    }

    QString VisibleWindows() const
    {
        QStringList names;
        const QString ids = Run(u"xdotool"_qs, {u"search"_qs, u"--onlyvisible"_qs, u"--name"_qs, u"."_qs}, m_environment);
        for (const QString& id : ids.split(u'\n', Qt::SkipEmptyParts))
            names.append(u'"' + Run(u"xdotool"_qs, {u"getwindowname"_qs, id}, m_environment) + u'"');
        return names.join(u", "_qs);
    }

    // The place of a top-level window among the screen's, the topmost first; -1 when it is not there.
    int StackingIndex(const QString& window) const
    {
        const QString id = u"0x"_qs + QString::number(window.toULongLong(), 16);
        const QStringList lines = Run(u"xwininfo"_qs, {u"-root"_qs, u"-children"_qs}, m_environment).split(u'\n');
        int index = 0;
        for (const QString& line : lines) {
            const QString trimmed = line.trimmed();
            if (!trimmed.startsWith(u"0x"_qs))
                continue;
            if (trimmed.section(u' ', 0, 0) == id)
                return index;
            ++index;
        }
        return -1;
    }

    void TypeText(const QString& window, const QString& text) const
    {
        Run(u"xdotool"_qs, {u"windowfocus"_qs, u"--sync"_qs, window}, m_environment);
        Run(u"xdotool"_qs, {u"type"_qs, u"--delay"_qs, u"30"_qs, text}, m_environment);
    }

    // A window named `caption` other than `previous`, which may still be closing; empty when none comes.
    QString FindNextWindow(const QString& caption, const QString& previous) const
    {
        QElapsedTimer clock;
        clock.start();
        for (QString found; clock.elapsed() < 15000; QTest::qWait(100))
            if (!(found = FindWindow(caption, 200)).isEmpty() && found != previous)
                return found;
        qWarning("No new window named '%s'; the visible windows are: %s", qPrintable(caption),
                 qPrintable(VisibleWindows()));
        return QString();
    }

    void PressKeys(const QString& window, const QStringList& keys) const
    {
        Run(u"xdotool"_qs, {u"windowfocus"_qs, u"--sync"_qs, window}, m_environment);
        Run(u"xdotool"_qs, QStringList{u"key"_qs, u"--delay"_qs, u"50"_qs} + keys, m_environment);
    }

    void StartProgram(QProcess& program, const QStringList& arguments = {},
                      const QProcessEnvironment& environment = {}) const
    {
        program.setProcessEnvironment(environment.isEmpty() ? m_environment : environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(ProgramPath(), arguments);
        QVERIFY(program.waitForStarted());
    }

    static void ExpectCleanExit(QProcess& program, int timeoutMs = 15000)
    {
        if (program.state() != QProcess::NotRunning)
            QVERIFY2(program.waitForFinished(timeoutMs), "the program did not end");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void missingDatabaseShowsTheErrorAndExits();
    void secondInstanceIsRefusedAndACrashedOneIsNot();
    void secondStartOnTheSameLogIsRefusedFromAnotherRuntimeFolder();
    void quitsThroughTheMenuAndWritesTheOptions();
    void addsARideWithTheKeyboard();
    void exportsAndImportsThroughTheFileMenu();
    void importsTheFilesItIsStartedWithAndThoseOfASecondStart();
};

void TestEndToEnd::initTestCase()
{
    for (const char* tool : {"Xvfb", "xdotool"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromUtf8(tool)).isEmpty(),
                 "Xvfb and xdotool are installed by scripts/install-deps.sh");
    QVERIFY(m_dir.isValid());

    // -displayfd picks a free display and writes its number to standard output;
    // -noreset keeps the server up when its last client leaves.
    m_xserver.start(u"Xvfb"_qs, {u"-displayfd"_qs, u"1"_qs, u"-noreset"_qs, u"-screen"_qs, u"0"_qs, u"1024x768x24"_qs,
                                  u"-nolisten"_qs, u"tcp"_qs});
    QVERIFY(m_xserver.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_xserver.canReadLine() || m_xserver.waitForReadyRead(100), 15000);
    const QString display = QString::fromUtf8(m_xserver.readLine()).trimmed();
    QVERIFY(!display.isEmpty());

    const QString runtime = m_dir.filePath(u"runtime"_qs);
    QVERIFY(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(u"DISPLAY"_qs, u":"_qs + display);
    m_environment.insert(u"QT_QPA_PLATFORM"_qs, u"xcb"_qs);
    m_environment.insert(u"XDG_RUNTIME_DIR"_qs, runtime);
    // Debian's default: the program must still be Italian throughout.
    m_environment.insert(u"LANG"_qs, u"C.UTF-8"_qs);
    m_environment.insert(u"LC_ALL"_qs, u"C.UTF-8"_qs);
}

void TestEndToEnd::cleanupTestCase()
{
    m_xserver.terminate();
    m_xserver.waitForFinished();
}

void TestEndToEnd::init()
{
    // A portable program folder as `make run` installs it.
    for (const QString& name : {u"kilovento"_qs, u"kilovento.ini"_qs, u"kilovento.mdb"_qs})
        QFile::remove(m_dir.filePath(name));
    QVERIFY(QFile::copy(QStringLiteral(KV_PROGRAM), ProgramPath()));
    QVERIFY(QFile::copy(QStringLiteral(KV_TEMPLATE_DIR) + u"/kilovento.ini"_qs, m_dir.filePath(u"kilovento.ini"_qs)));
    QVERIFY(QFile::copy(QStringLiteral(KV_TEMPLATE_DIR) + u"/kilovento.mdb"_qs, DatabasePath()));
    QFile::setPermissions(DatabasePath(), QFile::ReadOwner | QFile::WriteOwner);
}

void TestEndToEnd::missingDatabaseShowsTheErrorAndExits()
{
    QVERIFY(QFile::remove(DatabasePath()));
    QProcess program;
    StartProgram(program);
    // The failed connection, then the month it could not load: each box is answered.
    int boxes = 0;
    for (QString box; program.state() == QProcess::Running && !(box = FindWindow(u"Kilovento"_qs, 3000)).isEmpty();
         ++boxes) {
        QVERIFY(FindWindow(u"Kilovento 1.1"_qs, 100).isEmpty()); // the main window is never shown
        PressKeys(box, {u"Return"_qs});
        QTest::qWait(200);
    }
    QCOMPARE(boxes, 2);
    ExpectCleanExit(program);
    QVERIFY2(!QFile::exists(DatabasePath()), "the program must never create a database");
}

void TestEndToEnd::secondInstanceIsRefusedAndACrashedOneIsNot()
{
    QProcess first;
    StartProgram(first, {u"/NOPROMPTONCLOSE"_qs});
    const QString window = FindWindow(u"Kilovento 1.1"_qs);
    QVERIFY2(!window.isEmpty(), "the main window did not appear");

    // Another program's window covers it.
    QProcess cover;
    cover.setProcessEnvironment(m_environment);
    cover.start(u"xmessage"_qs, {u"-geometry"_qs, u"1000x700+0+0"_qs, u"-title"_qs, u"cover"_qs, u"cover"_qs});
    const QString covering = FindWindow(u"cover"_qs);
    QVERIFY2(!covering.isEmpty(), "the covering window did not appear");
    QVERIFY(StackingIndex(window) > StackingIndex(covering));

    QProcess second;
    StartProgram(second);
    const QString refusal = FindWindow(u"Kilovento"_qs);
    QVERIFY2(!refusal.isEmpty(), "the second instance showed no message");
    PressKeys(refusal, {u"Return"_qs});
    ExpectCleanExit(second);
    QCOMPARE(first.state(), QProcess::Running);
    // The running program came to the front.
    QTRY_VERIFY_WITH_TIMEOUT(StackingIndex(window) < StackingIndex(covering), 5000);
    cover.kill();
    cover.waitForFinished();

    // A crash leaves no lock behind: the next start opens its window.
    first.kill();
    first.waitForFinished();
    QProcess third;
    StartProgram(third, {u"/NOPROMPTONCLOSE"_qs});
    QVERIFY2(!FindWindow(u"Kilovento 1.1"_qs).isEmpty(), "the program did not start after a crash");
    third.terminate();
    third.waitForFinished();
}

void TestEndToEnd::secondStartOnTheSameLogIsRefusedFromAnotherRuntimeFolder()
{
    QProcess first;
    StartProgram(first, {u"/NOPROMPTONCLOSE"_qs});
    QVERIFY2(!FindWindow(u"Kilovento 1.1"_qs).isEmpty(), "the main window did not appear");

    // The same program folder from another session (su, ssh): a runtime folder of its own.
    const QString runtime = m_dir.filePath(u"runtime-2"_qs);
    QVERIFY(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = m_environment;
    environment.insert(u"XDG_RUNTIME_DIR"_qs, runtime);
    QProcess second;
    StartProgram(second, {u"/NOSPLASH"_qs, u"/NOPROMPTONCLOSE"_qs}, environment);
    const QString refusal = FindWindow(u"Kilovento"_qs);
    QVERIFY2(!refusal.isEmpty(), "the second start showed no message");
    // While its message is up: no window of its own, and the database not opened.
    const QString mainWindows = Run(u"xdotool"_qs, {u"search"_qs, u"--onlyvisible"_qs, u"--name"_qs,
                                                     u"^Kilovento 1\\.1$"_qs}, m_environment);
    QCOMPARE(mainWindows.split(u'\n', Qt::SkipEmptyParts).size(), 1);
    const QDir descriptors(u"/proc/%1/fd"_qs.arg(second.processId()));
    for (const QFileInfo& descriptor : descriptors.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        QVERIFY2(!descriptor.symLinkTarget().startsWith(DatabasePath()), qPrintable(descriptor.symLinkTarget()));
    PressKeys(refusal, {u"Return"_qs});
    ExpectCleanExit(second);
    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    first.waitForFinished();
}

void TestEndToEnd::quitsThroughTheMenuAndWritesTheOptions()
{
    const QDate today = QDate::currentDate();
    QCOMPARE(TestDatabase::InsertRide(DatabasePath(), today.toString(Qt::ISODate), 42.5), QString());
    QCOMPARE(TestDatabase::InsertRide(DatabasePath(), QDate(today.year(), today.month(), 1).toString(Qt::ISODate), 10, 1),
             QString());
    QProcess program;
    StartProgram(program);
    const QString window = FindWindow(u"Kilovento 1.1"_qs);
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    PressKeys(window, {u"ctrl+alt+x"_qs});
    const QString prompt = FindWindow(u"Kilovento"_qs);
    QVERIFY2(!prompt.isEmpty(), "no close prompt");
    // "Sì" answers by its underlined letter; the preselected "No" would keep the window open.
    PressKeys(prompt, {u"s"_qs});
    ExpectCleanExit(program);
    QFile ini(m_dir.filePath(u"kilovento.ini"_qs));
    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QByteArray text = ini.readAll();
    QVERIFY2(text.contains("[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n"), text);
    for (const char* key : {"CalendarHotTrack=0", "PrintFont=Arial", "PrintVerticalMargin=2", "PrintHorizontalMargin=1"})
        QVERIFY2(text.contains(key), key);
}

void TestEndToEnd::addsARideWithTheKeyboard()
{
    QProcess program;
    StartProgram(program, {u"/NOPROMPTONCLOSE"_qs});
    const QString window = FindWindow(u"Kilovento 1.1"_qs);
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    PressKeys(window, {u"alt+a"_qs}); // "&Aggiungi uscita..."
    const QDate today = QDate::currentDate();
    const QString dialog =
        FindWindow(u"Aggiungi uscita a "_qs + MonthName(today.month()) + u' ' + QString::number(today.year()));
    QVERIFY2(!dialog.isEmpty(), "the ride dialog did not appear");
    // Day, type and bike keep what is proposed; then distance (with the
    // point, as the keypad types it), duration and description.
    PressKeys(dialog, {u"Tab"_qs, u"Tab"_qs, u"Tab"_qs, u"4"_qs, u"2"_qs, u"period"_qs, u"5"_qs, u"Tab"_qs, u"1"_qs,
                       u"Tab"_qs, u"5"_qs, u"Tab"_qs, u"3"_qs, u"0"_qs, u"Tab"_qs, u"L"_qs, u"a"_qs, u"g"_qs, u"o"_qs,
                       u"percent"_qs, u"Return"_qs});
    QTRY_COMPARE_WITH_TIMEOUT(TestDatabase::Scalar(DatabasePath(), u"SELECT count(*) FROM Uscite"_qs), u"1"_qs, 10000);
    QCOMPARE(TestDatabase::Scalar(DatabasePath(), u"SELECT Data || '|' || KM || '|' || Durata || '|' || Descrizione "
                                                   "|| '|' || IDTipoUscita FROM Uscite"_qs),
             today.toString(Qt::ISODate) + u"|42.5|01:05:30|Lago|0"_qs);
    PressKeys(window, {u"ctrl+alt+x"_qs});
    ExpectCleanExit(program);
}

void TestEndToEnd::exportsAndImportsThroughTheFileMenu()
{
    // A home of its own, whose documents folder the file dialogs open in.
    const QString home = m_dir.filePath(u"home"_qs);
    const QString documents = home + u"/Documents"_qs;
    QVERIFY(QDir(home).removeRecursively() && QDir().mkpath(documents));
    QProcessEnvironment environment = m_environment;
    environment.insert(u"HOME"_qs, home);
    environment.insert(u"XDG_CONFIG_HOME"_qs, home + u"/.config"_qs);
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QCOMPARE(TestDatabase::InsertRide(DatabasePath(), today, 42.5, 0, u"Lago, poi casa"_qs), QString());

    QProcess program;
    StartProgram(program, {u"/NOPROMPTONCLOSE"_qs}, environment);
    const QString window = FindWindow(u"Kilovento 1.1"_qs);
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    PressKeys(window, {u"alt+f"_qs, u"p"_qs}); // "Es&porta uscite in CSV..."
    const QString save = FindWindow(u"Esporta uscite in CSV"_qs);
    QVERIFY2(!save.isEmpty(), "the save dialog did not appear");
    PressKeys(save, {u"ctrl+a"_qs});
    TypeText(save, u"diario.csv"_qs);
    PressKeys(save, {u"Return"_qs});
    const QString exported = FindNextWindow(u"Kilovento"_qs, QString());
    PressKeys(exported, {u"Return"_qs});
    const QString csv = documents + u"/diario.csv"_qs;
    // The format for Italian spreadsheets, which the dialog proposes.
    const QByteArray header = "\xEF\xBB\xBF" "Data;Tipo;KM;Durata;Descrizione\r\n";
    QCOMPARE(Bytes(csv), header + QDate::currentDate().toString(u"dd/MM/yyyy").toLatin1()
                             + ";Strada;\"42,5\";;\"Lago, poi casa\"\r\n");

    // The same file with a ride more (whose day tells the day order): only that one is new.
    QVERIFY(WriteFile(csv, Bytes(csv) + "13/3/2005;MTB;10;1:00;Nuova\r\n"));
    PressKeys(window, {u"alt+f"_qs, u"c"_qs}); // "Importa uscite da &CSV..."
    const QString open = FindWindow(u"Importa uscite da CSV"_qs);
    QVERIFY2(!open.isEmpty(), "the open dialog did not appear");
    TypeText(open, u"diario.csv"_qs);
    // The first Return may only take the completion the dialog offers.
    for (int i = 0; i < 2 && !FindWindow(u"Importa uscite da CSV"_qs, 500).isEmpty(); ++i)
        PressKeys(open, {u"Return"_qs});
    const QString question = FindNextWindow(u"Kilovento"_qs, exported);
    PressKeys(question, {u"s"_qs}); // "Sì"; "No" is preselected
    PressKeys(FindNextWindow(u"Kilovento"_qs, question), {u"Return"_qs});
    QTRY_COMPARE_WITH_TIMEOUT(TestDatabase::Scalar(DatabasePath(), u"SELECT count(*) FROM Uscite"_qs), u"2"_qs, 10000);
    QCOMPARE(TestDatabase::Scalar(DatabasePath(), u"SELECT Data || '|' || KM || '|' || Durata || '|' || Descrizione "
                                                   "|| '|' || IDTipoUscita FROM Uscite WHERE IDUscita = 2"_qs),
             u"2005-03-13|10.0|01:00:00|Nuova|1"_qs);
    PressKeys(window, {u"ctrl+alt+x"_qs});
    ExpectCleanExit(program);
}

void TestEndToEnd::importsTheFilesItIsStartedWithAndThoseOfASecondStart()
{
    const QString rides = m_dir.filePath(u"giri in bici"_qs);
    QVERIFY(QDir().mkpath(rides));
    const QDateTime morning(QDate(2005, 3, 1), QTime(8, 0), QTimeZone::utc());
    QVERIFY(WriteFile(rides + u"/lago.gpx"_qs, GpxRide(morning, 42.5, 95)));
    QVERIFY(WriteFile(rides + u"/colle.gpx"_qs, GpxRide(morning.addDays(-19), 20, 50)));
    const QString gps = u"Importa uscite da file GPS"_qs;

    // Started with a file ("Apri con"): the window, then the preview over it.
    QProcess first;
    StartProgram(first, {u"/NOPROMPTONCLOSE"_qs, u"/NOSPLASH"_qs, rides + u"/lago.gpx"_qs});
    const QString window = FindWindow(u"Kilovento 1.1"_qs);
    QVERIFY2(!window.isEmpty(), "the main window did not appear");
    const QString preview = FindWindow(gps);
    QVERIFY2(!preview.isEmpty(), "the preview of the file given did not appear");
    PressKeys(preview, {u"Escape"_qs});
    QTRY_VERIFY_WITH_TIMEOUT(FindWindow(gps, 200).isEmpty(), 10000);

    // A second start with a path relative to its own folder hands the file over and ends, without a word.
    QProcess second;
    second.setWorkingDirectory(rides);
    StartProgram(second, {u"colle.gpx"_qs});
    ExpectCleanExit(second);
    const QString handed = FindNextWindow(gps, preview);
    QVERIFY2(!handed.isEmpty(), "the running program did not show the files handed over");
    QVERIFY2(FindWindow(u"Kilovento"_qs, 200).isEmpty(), "a box was shown besides the preview");
    PressKeys(handed, {u"Return"_qs}); // "Importa"
    const QString done = FindWindow(u"Kilovento"_qs);
    QVERIFY2(!done.isEmpty(), "no box told the import done");
    PressKeys(done, {u"Return"_qs});
    QTRY_COMPARE_WITH_TIMEOUT(TestDatabase::Scalar(DatabasePath(), u"SELECT count(*) FROM Uscite"_qs), u"1"_qs, 10000);
    QCOMPARE(TestDatabase::Scalar(DatabasePath(), u"SELECT Data || '|' || KM || '|' || Durata || '|' || Descrizione "
                                                   "FROM Uscite"_qs),
             u"2005-02-10|20.0|00:50:00|colle"_qs);
    QCOMPARE(first.state(), QProcess::Running);
    PressKeys(window, {u"ctrl+alt+x"_qs});
    ExpectCleanExit(first);
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_e2e.moc"
