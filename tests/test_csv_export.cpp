#include "app/Unitmain.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "data/Transaction.h"
#include "support/Controls.h"
#include "support/Failure.h"
#include "support/Files.h"
#include "support/ItalianLocale.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/ProgramLog.h"
#include "support/TestDatabase.h"
#include "tools/CsvExport.h"
#include "tools/CsvImport.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using CsvExport::CsvFormat;

namespace {

const QByteArray ItalianHeader = "\xEF\xBB\xBF" "Data;Tipo;KM;Durata;Descrizione\r\n";

// The buttons of every message box shown, as the rider reads them, sorted.
struct ButtonTexts : QObject
{
    ButtonTexts() { qApp->installEventFilter(this); }
    QList<QStringList> shown;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (auto* box = qobject_cast<QMessageBox*>(watched); box && event->type() == QEvent::Show) {
            shown.append(QStringList());
            for (const QAbstractButton* button : box->buttons())
                shown.last().append(button->text());
            shown.last().sort();
        }
        return false;
    }
};

// Unmounts the small file system a test mounted, whatever the test's outcome.
struct Mounted
{
    QString folder;
    ~Mounted() { QProcess::execute(u"umount"_qs, {folder}); }
};

}

class TestCsvExport : public QObject, ProgramLog
{
    Q_OBJECT

private:
    // `count` rides over fifteen years with what a spreadsheet must keep as
    // it is: distances with up to three decimals, every separator in the
    // descriptions, accents, quotes.
    void AddRides(int count)
    {
        const QStringList words = {u"Giro"_qs, u"Tappa 1; tappa 2"_qs, u"\"Il\" lago, poi casa"_qs,
                                   u"caffè €"_qs, u"fine\tgiro"_qs, QString()};
        Transaction transaction(Connection());
        Rides::Appender appender(Connection());
        for (int i = 0; i < count; ++i) {
            const QDate day = QDate(1990, 1, 1).addDays(i * 5479 / count);
            const int seconds = i % 3 ? (i * 7919) % 86400 : 0;
            appender.AppendRide({day.year(), day.month(),
                          {day.day(), i % 6, i % 50 ? (i * 37 % 99901) / 1000.0 : 999.0, TDateTime(seconds / 86400.0),
                           words[i % words.size()]}});
        }
        transaction.Commit();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(MakeHome());
    }

    void init() { QCOMPARE(RenewProgramFolder(), QString()); }

    void writesEachFormatByteForByte_data()
    {
        QTest::addColumn<CsvFormat>("format");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Italian") << CsvFormat::Italian
                                 << ItalianHeader + "01/01/1990;Gara;999;23:59:59;àèìòù €\r\n"
                                                    "01/03/2005;Strada;\"0,123\";;\"Tappa 1; tappa 2\"\r\n"
                                                    "01/03/2005;Città;\"42,195\";00:00:01;\"\"\"Il\"\" lago, poi\"\r\n"
                                                    "02/03/2005;MTB;\"10,1\";;\" spazio\ttab\"\r\n"
                                                    "02/03/2005;Gravel;\"33,3\";01:00:00;\"finale \"\r\n";
        QTest::newRow("standard") << CsvFormat::Standard
                                  << QByteArray("Data,Tipo,KM,Durata,Descrizione\r\n"
                                                "1990-01-01,Gara,999,23:59:59,àèìòù €\r\n"
                                                "2005-03-01,Strada,0.123,,\"Tappa 1; tappa 2\"\r\n"
                                                "2005-03-01,Città,42.195,00:00:01,\"\"\"Il\"\" lago, poi\"\r\n"
                                                "2005-03-02,MTB,10.1,,\" spazio\ttab\"\r\n"
                                                "2005-03-02,Gravel,33.3,01:00:00,\"finale \"\r\n");
    }

    void writesEachFormatByteForByte()
    {
        QFETCH(CsvFormat, format);
        QFETCH(QByteArray, bytes);
        for (const QStringList& r : {QStringList{u"2005-03-01"_qs, u"0.123"_qs, u"0"_qs, u"Tappa 1; tappa 2"_qs, QString()},
                                     {u"2005-03-02"_qs, u"10.1"_qs, u"1"_qs, u" spazio\ttab"_qs, u"00:00:00"_qs},
                                     {u"2005-03-01"_qs, u"42.195"_qs, u"3"_qs, u"\"Il\" lago, poi"_qs, u"00:00:01"_qs},
                                     {u"1990-01-01"_qs, u"999"_qs, u"5"_qs, u"àèìòù €"_qs, u"23:59:59"_qs},
                                     {u"2005-03-02"_qs, u"33.3"_qs, u"2"_qs, u"finale "_qs, u"00:59:59.600"_qs}})
            QCOMPARE(TestDatabase::InsertRide(m_path, r[0], r[1].toDouble(), r[2].toInt(), r[3], r[4]), QString());
        const QString folder = Folder(u"formato"_qs);
        const QString target = QDir(folder).filePath(u"uscite.csv"_qs);
        QVERIFY(WriteFile(target, QByteArray(100000, 'x'))); // replaced whole
        QCOMPARE(CsvExport::ExportLog(Connection(), target, format), 5);
        QCOMPARE(Bytes(target), bytes);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"uscite.csv"_qs});
    }

    void stopsAtAValueItCannotWrite_data()
    {
        QTest::addColumn<CsvFormat>("format");
        QTest::addColumn<QString>("values"); // date, KM and duration of a ride another program stored
        QTest::addColumn<QString>("message");
        // NaN cannot be stored: SQLite makes it NULL, which KM refuses.
        QTest::newRow("an endless distance") << CsvFormat::Standard << u"'2005-03-01', 1e300, NULL"_qs
                                             << u"Uscita n. 2 del 01/03/2005: distanza non esportabile: 1E+300 km"_qs;
        QTest::newRow("an infinite distance") << CsvFormat::Italian << u"'2005-03-01', 9e999, NULL"_qs
                                              << u"Uscita n. 2 del 01/03/2005: distanza non esportabile: inf km"_qs;
        QTest::newRow("30 February") << CsvFormat::Italian << u"'2024-02-30', 10, NULL"_qs
                                     << u"Uscita n. 2 del \"2024-02-30\": la data non esiste"_qs;
        QTest::newRow("a duration that is no time") << CsvFormat::Standard << u"'2005-03-01', 10, 'un''ora'"_qs
                                                    << u"Uscita n. 2 del 01/03/2005: durata non valida: \"un'ora\""_qs;
        QTest::newRow("a negative duration") << CsvFormat::Italian << u"'2005-03-01', 10, -0.5"_qs
                                             << u"Uscita n. 2 del 01/03/2005: durata non esportabile: -0,5 giorni"_qs;
    }

    void stopsAtAValueItCannotWrite()
    {
        QFETCH(CsvFormat, format);
        QFETCH(QString, values);
        QFETCH(QString, message);
        // A ride the file can hold comes first: nothing of it may be left either.
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-01"_qs, 5), QString());
        QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Durata) VALUES (0, %1)"_qs
                                                .arg(values)),
                 QString());
        const QString folder = Folder(u"fermata"_qs);
        const std::optional<Failure> failure =
            FailureOf([&] { CsvExport::ExportLog(Connection(), QDir(folder).filePath(u"uscite.csv"_qs), format); });
        QVERIFY(failure);
        QCOMPARE(failure->message, message);
        QVERIFY(failure->why == Exception::Why::Unwritable);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void fullDiskIsSaidInTheRidersWords()
    {
        AddRides(2000); // about 90 KB
        const QString folder = Folder(u"disco-pieno"_qs);
        if (QProcess::execute(u"mount"_qs, {u"-t"_qs, u"tmpfs"_qs, u"-o"_qs, u"size=64k"_qs, u"tmpfs"_qs, folder}) != 0)
            QSKIP("mounting a small file system is not permitted here: the full disk is not checked");
        const Mounted mounted{folder};
        const QString target = QDir(folder).filePath(u"uscite.csv"_qs);
        const std::optional<Failure> failure =
            FailureOf([&] { CsvExport::ExportLog(Connection(), target, CsvFormat::Italian); });
        QVERIFY(failure && failure->why == Exception::Why::Failed);
        QVERIFY2(failure->message.startsWith(u"impossibile scrivere il file \"%1\": disco pieno ("_qs.arg(target)),
                 qPrintable(failure->message));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void spreadsheetGivesBackEveryRide_data()
    {
        QTest::addColumn<CsvFormat>("format");
        QTest::addColumn<QString>("locale");     // the spreadsheet's
        QTest::addColumn<QString>("separators"); // ticked on opening, as character codes
        QTest::addColumn<QString>("language");
        QTest::newRow("Italian format, Italian spreadsheet") << CsvFormat::Italian << u"it-IT"_qs << u"44/59/9"_qs << u"1040"_qs;
        // American: month before day, and durations written back as times with AM and PM.
        QTest::newRow("standard format, English spreadsheet") << CsvFormat::Standard << u"en-US"_qs << u"44"_qs << u"1033"_qs;
    }

    // The file opened in LibreOffice as its user would (the text import with
    // its separators ticked), saved as its default CSV, and imported.
    void spreadsheetGivesBackEveryRide()
    {
        QFETCH(CsvFormat, format);
        QFETCH(QString, locale);
        QFETCH(QString, separators);
        QFETCH(QString, language);
        const QString soffice = QStandardPaths::findExecutable(u"soffice"_qs);
        if (soffice.isEmpty())
            QSKIP("LibreOffice (soffice) is not installed: the round trip through a spreadsheet is not checked");
        AddRides(600);
        const QString folder = Folder(u"foglio"_qs);
        const QString exported = QDir(folder).filePath(u"uscite.csv"_qs);
        QCOMPARE(CsvExport::ExportLog(Connection(), exported, format), 600);

        // A profile of its own whose locale is the spreadsheet user's, whatever LANG says.
        const QTemporaryDir profile;
        QVERIFY(QDir().mkpath(profile.filePath(u"user"_qs)));
        QVERIFY(WriteFile(profile.filePath(u"user/registrymodifications.xcu"_qs),
                          "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\"><item oor:path=\"/org.openoffice."
                          "Setup/L10N\"><prop oor:name=\"ooSetupSystemLocale\"><value>" + locale.toUtf8()
                              + "</value></prop></item></oor:items>"));
        const QString saved = QDir(Folder(u"salvato"_qs)).filePath(u"uscite.csv"_qs);
        QProcess office;
        office.setProcessChannelMode(QProcess::MergedChannels);
        // Filter options: separators, quote, UTF-8, from line 1, standard columns, language.
        office.start(soffice, {u"--headless"_qs, u"--norestore"_qs,
                               u"-env:UserInstallation="_qs + QUrl::fromLocalFile(profile.path()).toString(),
                               u"--infilter=Text - txt - csv (StarCalc):%1,34,76,1,,%2"_qs.arg(separators, language),
                               u"--convert-to"_qs, u"csv"_qs, u"--outdir"_qs, QFileInfo(saved).path(), exported});
        QVERIFY(office.waitForFinished(180000));
        QVERIFY2(QFile::exists(saved), office.readAll().constData());
        // Saved in the spreadsheet's own locale: the distances were read as numbers.
        QVERIFY(Bytes(saved).contains(format == CsvFormat::Italian ? ",\"0,037\"," : ",0.037,"));

        const CsvImport::ReadResult read =
            CsvImport::ReadFile(saved, {Rides::Types(Connection()), QDate(1990, 1, 1), MainWindow::Today});
        QVERIFY2(!read.fault, qPrintable(read.fault ? read.fault->Message() : QString()));
        QCOMPARE(read.rides, AllRides(Connection()));
    }

    void commandsSpeakTheRidersLanguage()
    {
        // A thousand rides and more: counts with the thousands point.
        AddRides(1200);
        QCOMPARE(TestDatabase::InsertRide(m_path, u"1990-01-02"_qs, 5), QString());
        const auto form = MainWindow::Open(m_program, {u"/NOPROMPTONCLOSE"_qs});
        const QString csv = File(u"comandi.csv"_qs);
        ModalBoxes boxes(QMessageBox::Yes);
        ButtonTexts buttons;
        boxes.setDialogHandler([&](QDialog* dialog) {
            auto* chooser = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(chooser);
            if (chooser->acceptMode() == QFileDialog::AcceptSave)
                chooser->selectNameFilter(u"CSV standard (RFC 4180) (*.csv)"_qs);
            chooser->findChild<QLineEdit*>(u"fileNameEdit"_qs)->setText(csv);
            static_cast<QDialog*>(chooser)->accept();
        });
        Child<QAction>(form.get(), "MenuEsportaCSV")->trigger();
        QCOMPARE(boxes.seen().last().text, u"Esportazione conclusa: 1.201 uscite esportate."_qs);
        QVERIFY(Bytes(csv).startsWith("Data,Tipo,KM,Durata,Descrizione\r\n1990-01-01,Strada,999,,Giro\r\n"));

        // The day order asked about, answered both ways and cancelled: a ride
        // of 2 January is in the log, one of 1 February is not.
        QVERIFY(WriteFile(csv, "Data;KM\r\n01/02/1990;5\r\n"));
        auto* importCsv = Child<QAction>(form.get(), "MenuImportaCSV");
        for (const auto answer : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Yes}) {
            boxes.setAnswer(answer);
            importCsv->trigger();
        }
        const QString question = u"Nel file la data 01/02/1990 è l'1 febbraio 1990 o il 2 gennaio 1990?\r\n\r\n"
                                 "Tutte le date del file saranno lette allo stesso modo."_qs;
        QCOMPARE(boxes.seen().size(), 7);
        for (int i : {1, 2, 4})
            QCOMPARE(boxes.seen()[i].text, question);
        QCOMPARE(boxes.seen()[1].icon, QMessageBox::Question);
        QCOMPARE(boxes.seen()[1].defaultButton, QMessageBox::Cancel);
        QCOMPARE(buttons.shown[1], (QStringList{u"1 febbraio 1990"_qs, u"2 gennaio 1990"_qs, u"Annulla"_qs}));
        QCOMPARE(boxes.seen()[3].text, u"L'uscita del file è già presente nel diario: nessuna uscita importata."_qs);
        QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT count(*) FROM Uscite WHERE Data = '1990-02-01' AND KM = 5"_qs),
                 u"1"_qs);

        // A ride another program stored with a day February lacks stops the export.
        QCOMPARE(TestDatabase::Exec(m_path, u"UPDATE Uscite SET Data = '2004-02-30' WHERE IDUscita = 7"_qs), QString());
        Child<QAction>(form.get(), "MenuEsportaCSV")->trigger();
        QCOMPARE(boxes.seen().last().text, u"ATTENZIONE: le uscite non possono essere esportate.\n\n"
                                           "Uscita n. 7 del \"2004-02-30\": la data non esiste"_qs);
        QCOMPARE(boxes.seen().last().icon, QMessageBox::Warning);
        QCOMPARE(Bytes(csv), QByteArray("Data;KM\r\n01/02/1990;5\r\n"));
    }
};

QTEST_MAIN(TestCsvExport)

#include "test_csv_export.moc"
