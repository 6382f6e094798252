#include "app/Commands.h"
#include "data/RideLog.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "support/DatabaseHolder.h"
#include "support/Files.h"
#include "support/ItalianLocale.h"
#include "support/ModalBoxes.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestDatabase.h"
#include "support/TestScreen.h"
#include "tools/Backup.h"
#include "util/Exception.h"

#include <QFileDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeView>
#include <QtTest>

#include <optional>

namespace {

const QString ImportQuestion = QStringLiteral(
    "L'importazione dati può compromettere il database attuale e quindi il corretto funzionamento "
    "dell'applicazione. Proseguire?");
const QString CompactQuestion = QStringLiteral(
    "Questa operazione compatta e verifica i dati presenti nel database. E' consigliato eseguirla "
    "periodicamente per ottimizzare le funzionalità del software. In caso di problemi, il database "
    "originario viene salvato con estensione .mdbbak e può quindi essere facilmente recuperato. Proseguire?");
const QString Ready = QStringLiteral("Pronto.");
const QString Template = QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");

using Command = void (*)(RideLog&, CommandScreen&);

}

Q_DECLARE_METATYPE(Command)

// The maintenance commands on a log of their own, shown on a test screen.
class TestMaintenance : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_program; // the program folder: settings, database
    QString m_path;
    QString m_datFolder;

    std::unique_ptr<RideLog> Open() const
    {
        auto log = std::make_unique<RideLog>(m_path, Template);
        log->Open();
        return log;
    }

    // Chooses `folder` in the folder chooser; an empty folder cancels it.
    void ChooseFolder(ModalBoxes& boxes, const QString& folder)
    {
        boxes.setDialogHandler([folder](QDialog* dialog) {
            auto* chooser = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(chooser && chooser->fileMode() == QFileDialog::Directory);
            QCOMPARE(chooser->windowTitle(), u"Selezionare la cartella dove sono presenti i file DAT:"_qs);
            if (folder.isEmpty())
                return dialog->reject();
            chooser->setDirectory(folder);
            dialog->accept(); // QFileDialog's own, which takes the folder shown
        });
    }

    QString Dat(const QString& name) const { return QDir(m_datFolder).filePath(name); }
    QString Stored(const QString& sql) const { return TestDatabase::Scalar(m_path, sql); }

    static void CompareBox(const ModalBoxes::Seen& seen, const QString& text, QMessageBox::Icon icon,
                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                           QMessageBox::StandardButton defaultButton = QMessageBox::NoButton)
    {
        QCOMPARE(seen.title, u"Kilovento"_qs);
        QCOMPARE(seen.text, text);
        QCOMPARE(seen.icon, icon);
        QCOMPARE(seen.buttons, buttons);
        if (defaultButton != QMessageBox::NoButton)
            QCOMPARE(seen.defaultButton, defaultButton);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_program = m_dir.filePath(u"program"_qs);
        m_datFolder = m_dir.filePath(u"dat"_qs);
        for (const QString& folder : {m_program, m_datFolder})
            QVERIFY(QDir(folder).removeRecursively() && QDir().mkpath(folder));
        QCOMPARE(TestDatabase::CreateProgramFolder(m_program), QString());
        m_path = QDir(m_program).filePath(u"kilovento.mdb"_qs);
        // Two rides of the month shown at start-up, and another to compact away.
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-02"_qs, 40.5, 0, u"Marzo"_qs), QString());
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2004-01-10"_qs, 12, 1, u"via"_qs), QString());
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-09"_qs, 22, 2, u"Marzo due"_qs), QString());
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite WHERE KM = 12"_qs), QString());
    }

    void importReports_data()
    {
        QTest::addColumn<QStringList>("files"); // name, content, name, content...
        QTest::addColumn<QString>("report");    // the box after the question; none when empty
        QTest::addColumn<int>("icon");
        QTest::addColumn<QStringList>("status");
        QTest::addColumn<QString>("rides"); // those before 2005 after the run, as stored
        const QString importing = u"Importazione in corso..."_qs;
        QTest::newRow("two files, three rides")
            << QStringList{u"022004.dat"_qs, u"14 33.3 San Valentino^1\r\n"_qs, u"012004.dat"_qs,
                           u"05 45.5 Giro del lago^2\r\n17 120.0 ^1\r\n"_qs}
            << u"Importazione conclusa. Numero di file (mesi) importati: 2."_qs << int(QMessageBox::Information)
            << QStringList{importing, importing + u" 012004.dat"_qs, importing + u" 022004.dat"_qs, Ready}
            << u"2004-01-05 45.5 1, 2004-01-17 120.0 0, 2004-02-14 33.3 0"_qs;
        QTest::newRow("a bad line")
            << QStringList{u"012004.dat"_qs, u"05 45.5 Giro del lago^2\r\n"_qs, u"022004.dat"_qs,
                           u"28 10.0 a^1\r\n30 10.0 b^1\r\n"_qs}
            << u"ERRORE nell'importazione dei dati.\n\nEccezione: File \"022004.dat\", riga 2: "
               "il giorno 30 non esiste nel mese 02/2004"_qs
            << int(QMessageBox::Warning)
            << QStringList{importing, importing + u" 012004.dat"_qs, importing + u" 022004.dat"_qs, Ready} << QString();
        QTest::newRow("no .dat file") << QStringList{u"leggimi.txt"_qs, u"05 45.5 Giro del lago^2\r\n"_qs} << QString()
                                      << 0 << QStringList{importing, Ready} << QString();
    }

    void importReports()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, report);
        QFETCH(int, icon);
        QFETCH(QStringList, status);
        QFETCH(QString, rides);
        for (qsizetype i = 0; i + 1 < files.size(); i += 2)
            QVERIFY(WriteFile(Dat(files[i]), files[i + 1].toUtf8()));
        const QByteArray before = Bytes(m_path);
        const auto log = Open();
        TestScreen screen;
        ModalBoxes boxes(QMessageBox::Yes);
        ChooseFolder(boxes, m_datFolder);
        ImportDatFilesCommand(*log, screen);

        QCOMPARE(boxes.dialogsSeen(), 1);
        QCOMPARE(boxes.seen().size(), report.isEmpty() ? 1 : 2);
        CompareBox(boxes.seen()[0], ImportQuestion, QMessageBox::Question,
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
        if (!report.isEmpty())
            CompareBox(boxes.seen()[1], report, static_cast<QMessageBox::Icon>(icon));
        QCOMPARE(screen.texts, status);
        QCOMPARE(screen.hourglass, QList<bool>(status.size() - 1, true) << false);
        QVERIFY(!QGuiApplication::overrideCursor());
        QCOMPARE(Stored(u"SELECT group_concat(Data || ' ' || KM || ' ' || IDTipoUscita, ', ') FROM "
                        "(SELECT * FROM Uscite WHERE Data < '2005-01-01' ORDER BY IDUscita)"_qs),
                 rides);
        if (rides.isEmpty())
            QCOMPARE(Bytes(m_path), before);
        // The month shown is not reloaded: its ride appears when it is next selected.
        QCOMPARE(screen.monthShownAgain, 0);
        QCOMPARE(screen.yearProgressShown, 1);
        QVERIFY(screen.opened.isEmpty());
        QCOMPARE(log->Month(2004, 2).rows.size(), rides.contains(u"2004-02"_qs) ? 1 : 0);
    }

    void notConfirmedChangesNothing_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<bool>("chooseFolder");
        QTest::addColumn<int>("answer");
        const Command import = ImportDatFilesCommand, compact = CompactDatabaseCommand;
        QTest::newRow("import: folder chooser cancelled") << import << false << 0;
        QTest::newRow("import: No") << import << true << int(QMessageBox::No);
        QTest::newRow("import: Cancel") << import << true << int(QMessageBox::Cancel);
        QTest::newRow("compaction: No") << compact << false << int(QMessageBox::No);
        QTest::newRow("compaction: Cancel") << compact << false << int(QMessageBox::Cancel);
    }

    void notConfirmedChangesNothing()
    {
        QFETCH(Command, command);
        QFETCH(bool, chooseFolder);
        QFETCH(int, answer);
        QVERIFY(WriteFile(Dat(u"012004.dat"_qs), "05 45.5 Giro del lago^2\r\n"));
        const QByteArray before = Bytes(m_path);
        const auto log = Open();
        TestScreen screen;
        ModalBoxes boxes(static_cast<QMessageBox::StandardButton>(answer));
        ChooseFolder(boxes, chooseFolder ? m_datFolder : QString());
        command(*log, screen);
        QCOMPARE(boxes.seen().size(), answer ? 1 : 0);
        QVERIFY(screen.texts.isEmpty());
        QCOMPARE(Bytes(m_path), before);
        QVERIFY(!QFile::exists(m_path + u"bak"_qs));
        QVERIFY(log->IsOpen());
        // Not reconnected: the month shown stays.
        QVERIFY(screen.opened.isEmpty());
        QCOMPARE(screen.monthShownAgain + screen.yearProgressShown, 0);
    }

    void compactionReportsAndReconnects_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("icon");
        const QString failed = u"ATTENZIONE: Impossibile compattare il database.\n\nEccezione: "_qs;
        const int warning = QMessageBox::Warning;
        QTest::newRow("success") << QString() << u"Compattazione eseguita con successo."_qs
                                 << int(QMessageBox::Information);
        QTest::newRow("read-only folder") << u"read-only folder"_qs << failed + u"impossibile rinominare il file."_qs
                                          << warning;
        QTest::newRow("result fails the integrity check")
            << u"damaged index"_qs << failed + u"OleFunction CompactDatabase exception."_qs << warning;
        // In WAL mode the window's own connection is closed before anything
        // else, since it keeps the database from leaving that mode.
        QTest::newRow("WAL database") << u"WAL"_qs << u"Compattazione eseguita con successo."_qs
                                      << int(QMessageBox::Information);
        QTest::newRow("WAL database open in another process")
            << u"WAL, open elsewhere"_qs << failed + u"impossibile rinominare il file."_qs << warning;
    }

    void compactionReportsAndReconnects()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, icon);
        if (fault == u"damaged index")
            QCOMPARE(TestDatabase::DamageDateIndex(m_path), QString());
        const bool wal = fault.startsWith(u"WAL"_qs);
        if (wal)
            QCOMPARE(TestDatabase::Exec(m_path, u"PRAGMA journal_mode = WAL"_qs), QString());
        const QByteArray before = Bytes(m_path);

        const auto log = Open();
        TestScreen screen;
        QProcess holder;
        if (fault == u"WAL, open elsewhere") {
            QVERIFY(DatabaseHolder::Start(holder, m_path, u"open"_qs));
        }
        ModalBoxes boxes(QMessageBox::Yes);
        {
            std::optional<ReadOnlyFolder> readOnly;
            if (fault == u"read-only folder")
                readOnly.emplace(m_program);
            if (readOnly && !readOnly->done())
                QSKIP("this file system cannot make a folder read-only");
            CompactDatabaseCommand(*log, screen);
        }
        if (holder.state() != QProcess::NotRunning) {
            holder.write("\n");
            QVERIFY(holder.waitForFinished(30000));
            QCOMPARE(holder.readAll(), QByteArray("released\n"));
        }

        QCOMPARE(boxes.seen().size(), 2);
        CompareBox(boxes.seen()[0], CompactQuestion, QMessageBox::Question,
                   QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        CompareBox(boxes.seen()[1], message, static_cast<QMessageBox::Icon>(icon));
        QCOMPARE(screen.texts, (QStringList{u"Compattazione in corso..."_qs, Ready}));
        QCOMPARE(screen.hourglass, (QList<bool>{true, false}));
        QVERIFY(!QGuiApplication::overrideCursor());
        // Leaving WAL mode for the copy and going back rewrites the backup's header.
        if (fault.isEmpty())
            QCOMPARE(Bytes(m_path + u"bak"_qs), before);
        else if (icon != QMessageBox::Information)
            QCOMPARE(Bytes(m_path), before);
        QCOMPARE(Stored(u"PRAGMA journal_mode"_qs), wal ? u"wal"_qs : u"delete"_qs);

        // Reconnected, and the screen shown as at start-up.
        QVERIFY(log->IsOpen());
        QCOMPARE(screen.opened, (QList<std::optional<QString>>{std::nullopt}));
        QCOMPARE(log->Month(2005, 3).rows.size(), 2);
        // And the connection works for the next command.
        log->Add({2005, 3, {20, 0, 5.0, {}, QString()}});
        QCOMPARE(log->Month(2005, 3).rows.size(), 3);
    }

    void lockedDatabaseIsLeftAlone_data()
    {
        QTest::addColumn<QString>("hold");
        QTest::newRow("locked exclusively by another process") << u"exclusive"_qs;
        QTest::newRow("a write of another process outlasting the wait") << u"write"_qs;
    }

    void lockedDatabaseIsLeftAlone()
    {
        QFETCH(QString, hold);
        const QByteArray before = Bytes(m_path);
        const auto log = Open();
        log->Connection().SetBusyTimeout(300); // the wait, kept short for the test
        // A setting that lives in this SQLite connection only: a reopened one would not have it.
        log->Connection().Execute(u"PRAGMA cache_size = 1234"_qs);
        QProcess holder;
        QVERIFY(DatabaseHolder::Start(holder, m_path, hold));

        TestScreen screen;
        ModalBoxes boxes(QMessageBox::Yes);
        CompactDatabaseCommand(*log, screen);
        holder.write("\n");
        QVERIFY(holder.waitForFinished(30000));
        QCOMPARE(holder.readAll(), QByteArray("released\n"));

        QCOMPARE(boxes.seen().size(), 2);
        CompareBox(boxes.seen()[1],
                   u"ATTENZIONE: Impossibile compattare il database.\n\nEccezione: impossibile rinominare il file."_qs,
                   QMessageBox::Warning);
        QCOMPARE(screen.texts, (QStringList{u"Compattazione in corso..."_qs, Ready}));
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(!QFile::exists(m_path + u"bak"_qs));
        // Nothing was closed: the same connection, and the month shown stays.
        {
            TZTRecordset setting(&log->Connection());
            setting.Open(u"PRAGMA cache_size"_qs);
            QCOMPARE(setting.GetFieldAsInteger(u"cache_size"_qs), 1234);
        }
        QVERIFY(screen.opened.isEmpty());
        // The program goes on, and sees what the other process wrote.
        QCOMPARE(log->Month(2005, 3).rows.size(), hold == u"write" ? 3 : 2);
        if (hold == u"exclusive")
            QCOMPARE(Bytes(m_path), before);
    }

    void restoreReportsAndReconnects_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message"); // the closing box, a prefix
        QTest::addColumn<bool>("reopened");   // the work got as far as closing the log
        const QString failed = u"ATTENZIONE: impossibile ripristinare il backup.\n\nEccezione: "_qs;
        QTest::newRow("restored") << QString() << u"Ripristino eseguito con successo."_qs << true;
        QTest::newRow("the backup damaged after it was listed")
            << u"damaged"_qs << failed + u"il backup scelto è danneggiato ("_qs << true;
        QTest::newRow("a write of another process outlasting the wait")
            << u"write"_qs << failed + u"il database è in uso da un altro processo ("_qs << false;
    }

    void restoreReportsAndReconnects()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(bool, reopened);
        const QString figures = Stored(TestDatabase::RideFigures);
        Backup::MakeBackup(Template, m_path, QDateTime(QDate(2005, 3, 14), QTime(12, 0)));
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs), QString());
        const QString emptied = Stored(TestDatabase::RideFigures);
        const auto log = Open();
        log->Connection().SetBusyTimeout(300); // the wait, kept short for the test
        QProcess holder;
        if (fault == u"write")
            QVERIFY(DatabaseHolder::Start(holder, m_path, fault));

        TestScreen screen;
        ModalBoxes boxes(QMessageBox::Yes);
        boxes.setDialogHandler([&](QDialog* dialog) {
            if (fault == u"damaged") {
                const QString chosen = Backup::List(Template, m_path).front().path;
                QVERIFY(QFile::resize(chosen, QFileInfo(chosen).size() / 2));
            }
            QTest::keyClick(dialog->findChild<QTreeWidget*>(u"ListViewBackup"_qs), Qt::Key_Return);
            if (dialog->isVisible())
                dialog->reject();
        });
        RestoreBackupCommand(*log, screen);
        if (holder.state() != QProcess::NotRunning) {
            holder.write("\n");
            QVERIFY(holder.waitForFinished(30000));
        }

        QCOMPARE(boxes.dialogsSeen(), 1);
        QCOMPARE(boxes.seen().size(), 2); // the list's own question, then the outcome
        QVERIFY2(boxes.seen()[1].text.startsWith(message), qPrintable(boxes.seen()[1].text));
        QCOMPARE(boxes.seen()[1].icon, fault.isEmpty() ? QMessageBox::Information : QMessageBox::Warning);
        QCOMPARE(screen.texts, (QStringList{u"Ripristino in corso..."_qs, Ready}));
        QCOMPARE(screen.hourglass, (QList<bool>{true, false}));
        QVERIFY(!QGuiApplication::overrideCursor());
        QVERIFY(log->IsOpen());
        QCOMPARE(screen.opened, reopened ? QList<std::optional<QString>>{std::nullopt} : QList<std::optional<QString>>{});
        if (fault == u"write")
            QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite WHERE Descrizione = '%1'"_qs.arg(DatabaseHolder::Ride)),
                     QString());
        QCOMPARE(Stored(TestDatabase::RideFigures), fault.isEmpty() ? figures : emptied);
    }
};

int main(int argc, char* argv[])
{
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == DatabaseHolder::Switch)
        return DatabaseHolder::Main(argc, argv);
    QApplication app(argc, argv);
    TestMaintenance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_maintenance.moc"
