#include "app/Unitmain.h"
#include "data/TZTConnection.h"
#include "support/ModalBoxes.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestDatabase.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ImportQuestion = QStringLiteral(
    "L'importazione dati può compromettere il database attuale e quindi il corretto funzionamento "
    "dell'applicazione. Proseguire?");
const QString CompactQuestion = QStringLiteral(
    "Questa operazione compatta e verifica i dati presenti nel database. E' consigliato eseguirla "
    "periodicamente per ottimizzare le funzionalità del software. In caso di problemi, il database "
    "originario viene salvato con estensione .mdbbak e può quindi essere facilmente recuperato. Proseguire?");
const QString Ready = QStringLiteral("Pronto.");

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The status texts as they are painted, each with whether the hourglass was up.
class StatusRecorder : public QObject
{
public:
    explicit StatusRecorder(QWidget* form)
    {
        const auto* bar = form->findChild<QStatusBar*>(QStringLiteral("StatusBarMain"));
        for (QLabel* label : bar->findChildren<QLabel*>())
            if (label->text() == Ready)
                m_label = label;
        if (!m_label)
            qFatal("no status text panel");
        m_shown = m_label->text();
        m_label->installEventFilter(this);
    }

    QStringList texts;
    QList<bool> hourglass;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A text is recorded when it is first painted; repaints of it are not.
        if (watched == m_label && event->type() == QEvent::Paint && m_label->text() != m_shown) {
            m_shown = m_label->text();
            texts.append(m_shown);
            const QCursor* cursor = QGuiApplication::overrideCursor();
            hourglass.append(cursor && cursor->shape() == Qt::WaitCursor);
        }
        return false;
    }

private:
    QLabel* m_label = nullptr;
    QString m_shown;
};

}

class TestMaintenance : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_program; // the program folder: executable, settings, database
    QString m_path;
    QString m_datFolder;

    std::unique_ptr<TFormMain> Open(QStringList arguments = {u"/IMPORTENABLED"_qs})
    {
        StartupEnvironment environment;
        environment.executablePath = QDir(m_program).filePath(u"kilovento"_qs);
        environment.arguments = arguments << u"/NOPROMPTONCLOSE"_qs;
        environment.today = [] { return QDate(2005, 3, 15); };
        auto form = std::make_unique<TFormMain>(environment);
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get()))
            qFatal("the main window is not shown");
        return form;
    }

    // Chooses `folder` in the folder chooser; an empty folder cancels it.
    void ChooseFolder(ModalBoxes& boxes, const QString& folder)
    {
        boxes.setDialogHandler([folder](QDialog* dialog) {
            auto* chooser = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(chooser);
            QCOMPARE(chooser->windowTitle(), u"Selezionare la cartella dove sono presenti i file DAT:"_qs);
            QCOMPARE(chooser->fileMode(), QFileDialog::Directory);
            if (folder.isEmpty()) {
                dialog->reject();
                return;
            }
            chooser->setDirectory(folder);
            dialog->accept(); // QFileDialog's own, which takes the folder shown

        });
    }

    QString Stored(const QString& sql) const { return TestDatabase::Scalar(m_path, sql); }
    static void Run(QWidget* form, const char* command)
    {
        form->findChild<QAction*>(QString::fromUtf8(command))->trigger();
    }
    static int MonthRows(QWidget* form)
    {
        return form->findChild<QTreeWidget*>(u"ListViewUsciteMensili"_qs)->topLevelItemCount();
    }

    static void CompareBox(const ModalBoxes::Seen& seen, const QString& text, QMessageBox::Icon icon,
                           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
    {
        QCOMPARE(seen.title, u"Kilovento"_qs);
        QCOMPARE(seen.text, text);
        QCOMPARE(seen.icon, icon);
        QCOMPARE(seen.buttons, buttons);
        if (defaultButton != QMessageBox::NoButton)
            QCOMPARE(seen.defaultButton, defaultButton);
    }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }
    void init();
    void importNeedsTheSwitch_data();
    void importNeedsTheSwitch();
    void importAsksThenReportsTheFiles();
    void importNotConfirmedChangesNothing_data();
    void importNotConfirmedChangesNothing();
    void importFailureNamesFileAndLine();
    void importOfAFolderWithoutDatFilesSaysNothing();
    void compactionNotConfirmedChangesNothing_data();
    void compactionNotConfirmedChangesNothing();
    void compactionReportsAndReconnects_data();
    void compactionReportsAndReconnects();
};

void TestMaintenance::init()
{
    QVERIFY(m_dir.isValid());
    m_program = m_dir.filePath(u"program"_qs);
    m_datFolder = m_dir.filePath(u"dat"_qs);
    for (const QString& folder : {m_program, m_datFolder}) {
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QDir().mkpath(folder));
    }
    m_path = QDir(m_program).filePath(u"kilovento.mdb"_qs);
    QCOMPARE(TestDatabase::Create(m_path), QString());
    QVERIFY(WriteFile(QDir(m_program).filePath(u"kilovento.ini"_qs),
                      "[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n"));
    // A ride of the month shown at start-up, and others to compact away.
    QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) VALUES "
                                        "(0, '2005-03-02', 40.5, 'Marzo'), (1, '2004-01-10', 12, 'via'), "
                                        "(2, '2005-03-09', 22, 'Marzo due'); DELETE FROM Uscite WHERE KM = 12"_qs),
             QString());
}

void TestMaintenance::importNeedsTheSwitch_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("without the switch") << QStringList() << false;
    QTest::newRow("with -importenabled") << QStringList{u"-importenabled"_qs} << true;
}

void TestMaintenance::importNeedsTheSwitch()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, enabled);
    QVERIFY(WriteFile(QDir(m_datFolder).filePath(u"012004.dat"_qs), "05 45.5 Giro del lago^2\r\n"));
    const auto form = Open(arguments);
    QCOMPARE(form->findChild<QAction*>(u"MenuImportaDaFileDAT"_qs)->isEnabled(), enabled);
    ModalBoxes boxes(QMessageBox::Yes);
    ChooseFolder(boxes, m_datFolder);
    Run(form.get(), "MenuImportaDaFileDAT");
    QCOMPARE(boxes.dialogsSeen(), enabled ? 1 : 0);
    QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), enabled ? u"3"_qs : u"2"_qs);
}

void TestMaintenance::importAsksThenReportsTheFiles()
{
    QVERIFY(WriteFile(QDir(m_datFolder).filePath(u"022004.dat"_qs), "14 33.3 San Valentino^1\r\n"));
    QVERIFY(WriteFile(QDir(m_datFolder).filePath(u"012004.dat"_qs), "05 45.5 Giro del lago^2\r\n17 120.0 ^1\r\n"));
    const auto form = Open();
    form->GoToMonth(2, 2004, false);
    const StatusRecorder status(form.get());
    ModalBoxes boxes(QMessageBox::Yes);
    ChooseFolder(boxes, m_datFolder);
    Run(form.get(), "MenuImportaDaFileDAT");

    QCOMPARE(boxes.dialogsSeen(), 1);
    QCOMPARE(boxes.seen().size(), 2);
    CompareBox(boxes.seen()[0], ImportQuestion, QMessageBox::Question,
               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
    CompareBox(boxes.seen()[1], u"Importazione conclusa. Numero di file (mesi) importati: 2."_qs,
               QMessageBox::Information, QMessageBox::Ok, QMessageBox::NoButton);
    QCOMPARE(status.texts, (QStringList{u"Importazione in corso..."_qs, u"Importazione in corso... 012004.dat"_qs,
                                        u"Importazione in corso... 022004.dat"_qs, Ready}));
    QCOMPARE(status.hourglass, (QList<bool>{true, true, true, false}));
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(Stored(u"SELECT group_concat(Data || ' ' || KM || ' ' || IDTipoUscita, ', ') FROM "
                    "(SELECT * FROM Uscite WHERE Data < '2005-01-01' ORDER BY IDUscita)"_qs),
             u"2004-01-05 45.5 1, 2004-01-17 120.0 0, 2004-02-14 33.3 0"_qs);
    // The month shown is not reloaded: its ride appears when it is next selected.
    QCOMPARE(MonthRows(form.get()), 0);
    form->GoToMonth(2, 2004, true);
    QCOMPARE(MonthRows(form.get()), 1);
}

void TestMaintenance::importNotConfirmedChangesNothing_data()
{
    QTest::addColumn<bool>("chooseFolder");
    QTest::addColumn<int>("answer");
    QTest::newRow("folder chooser cancelled") << false << int(QMessageBox::Yes);
    QTest::newRow("No") << true << int(QMessageBox::No);
    QTest::newRow("Cancel") << true << int(QMessageBox::Cancel);
}

void TestMaintenance::importNotConfirmedChangesNothing()
{
    QFETCH(bool, chooseFolder);
    QFETCH(int, answer);
    QVERIFY(WriteFile(QDir(m_datFolder).filePath(u"012004.dat"_qs), "05 45.5 Giro del lago^2\r\n"));
    const auto form = Open();
    const StatusRecorder status(form.get());
    ModalBoxes boxes(static_cast<QMessageBox::StandardButton>(answer));
    ChooseFolder(boxes, chooseFolder ? m_datFolder : QString());
    Run(form.get(), "MenuImportaDaFileDAT");
    QCOMPARE(boxes.dialogsSeen(), 1);
    QCOMPARE(boxes.seen().size(), chooseFolder ? 1 : 0);
    QVERIFY(status.texts.isEmpty());
    QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"2"_qs);
}

void TestMaintenance::importFailureNamesFileAndLine()
{
    QVERIFY(WriteFile(QDir(m_datFolder).filePath(u"012004.dat"_qs), "05 45.5 Giro del lago^2\r\n"));
    QVERIFY(WriteFile(QDir(m_datFolder).filePath(u"042004.dat"_qs), "30 10.0 a^1\r\n31 10.0 b^1\r\n"));
    const QByteArray before = Bytes(m_path);
    const auto form = Open();
    const StatusRecorder status(form.get());
    ModalBoxes boxes(QMessageBox::Yes);
    ChooseFolder(boxes, m_datFolder);
    Run(form.get(), "MenuImportaDaFileDAT");

    QCOMPARE(boxes.seen().size(), 2);
    CompareBox(boxes.seen()[1],
               u"ERRORE nell'importazione dei dati.\n\nEccezione: File \"042004.dat\", riga 2: "
               "il giorno 31 non esiste nel mese 04/2004"_qs,
               QMessageBox::Warning, QMessageBox::Ok, QMessageBox::NoButton);
    QCOMPARE(status.texts.last(), Ready);
    QVERIFY(!QGuiApplication::overrideCursor());
    QCOMPARE(Stored(u"SELECT count(*) FROM Uscite"_qs), u"2"_qs);
    QCOMPARE(Bytes(m_path), before);
}

void TestMaintenance::importOfAFolderWithoutDatFilesSaysNothing()
{
    QVERIFY(WriteFile(QDir(m_datFolder).filePath(u"leggimi.txt"_qs), "05 45.5 Giro del lago^2\r\n"));
    const auto form = Open();
    const StatusRecorder status(form.get());
    ModalBoxes boxes(QMessageBox::Yes);
    ChooseFolder(boxes, m_datFolder);
    Run(form.get(), "MenuImportaDaFileDAT");
    QCOMPARE(boxes.seen().size(), 1); // the question only
    QCOMPARE(status.texts, (QStringList{u"Importazione in corso..."_qs, Ready}));
}

void TestMaintenance::compactionNotConfirmedChangesNothing_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("No") << int(QMessageBox::No);
    QTest::newRow("Cancel") << int(QMessageBox::Cancel);
}

void TestMaintenance::compactionNotConfirmedChangesNothing()
{
    QFETCH(int, answer);
    const QByteArray before = Bytes(m_path);
    const auto form = Open();
    form->GoToMonth(1, 2004, false);
    ModalBoxes boxes(static_cast<QMessageBox::StandardButton>(answer));
    Run(form.get(), "MenuCompattaDB");
    QCOMPARE(boxes.seen().size(), 1);
    CompareBox(boxes.seen()[0], CompactQuestion, QMessageBox::Question,
               QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    QCOMPARE(Bytes(m_path), before);
    QVERIFY(!QFile::exists(m_path + u"bak"_qs));
    QVERIFY(form->Connection->IsOpen());
    QCOMPARE(form->SelectedMonth, 1); // not reconnected: the month shown stays
}

void TestMaintenance::compactionReportsAndReconnects_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("icon");
    const QString failed = u"ATTENZIONE: Impossibile compattare il database.\n\nEccezione: "_qs;
    QTest::newRow("success") << QString() << u"Compattazione eseguita con successo."_qs
                             << int(QMessageBox::Information);
    QTest::newRow("read-only folder") << u"read-only folder"_qs << failed + u"impossibile rinominare il file."_qs
                                      << int(QMessageBox::Warning);
    QTest::newRow("backup name taken by a folder") << u"backup folder"_qs
                                                   << failed + u"impossibile rinominare il file."_qs
                                                   << int(QMessageBox::Warning);
    QTest::newRow("result fails the integrity check") << u"damaged index"_qs
                                                      << failed + u"OleFunction CompactDatabase exception."_qs
                                                      << int(QMessageBox::Warning);
}

void TestMaintenance::compactionReportsAndReconnects()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(int, icon);
    const QString backup = QDir(m_program).filePath(u"kilovento.mdbbak"_qs);
    if (fault == u"backup folder")
        QVERIFY(QDir().mkpath(QDir(backup).filePath(u"inside"_qs)));
    if (fault == u"damaged index")
        QCOMPARE(TestDatabase::Exec(m_path, u"PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = "
                                            "'CREATE INDEX IX_Uscite_Data ON Uscite (KM)' "
                                            "WHERE name = 'IX_Uscite_Data'"_qs),
                 QString());
    const QByteArray before = Bytes(m_path);

    const auto form = Open();
    form->GoToMonth(1, 2004, false);
    QCOMPARE(MonthRows(form.get()), 0);
    const StatusRecorder status(form.get());
    ModalBoxes boxes(QMessageBox::Yes);
    {
        const std::unique_ptr<ReadOnlyFolder> readOnly(fault == u"read-only folder" ? new ReadOnlyFolder(m_program)
                                                                                     : nullptr);
        if (readOnly && !readOnly->done())
            QSKIP("this file system cannot make a folder read-only");
        Run(form.get(), "MenuCompattaDB");
    }

    QCOMPARE(boxes.seen().size(), 2);
    CompareBox(boxes.seen()[1], message, static_cast<QMessageBox::Icon>(icon), QMessageBox::Ok,
               QMessageBox::NoButton);
    QCOMPARE(status.texts, (QStringList{u"Compattazione in corso..."_qs, Ready}));
    QCOMPARE(status.hourglass.first(), true);
    QVERIFY(!QGuiApplication::overrideCursor());
    if (fault.isEmpty()) {
        QCOMPARE(Bytes(backup), before);
        QCOMPARE(TestDatabase::Scalar(m_path, u"PRAGMA integrity_check"_qs), u"ok"_qs);
        QVERIFY(QFileInfo(m_path).size() <= before.size());
    } else {
        QCOMPARE(Bytes(m_path), before);
    }

    // Reconnected as at start-up: the current month is shown, with its rides.
    QVERIFY(form->Connection->IsOpen());
    QCOMPARE((QList<int>{form->SelectedMonth, form->SelectedYear}), (QList<int>{3, 2005}));
    QCOMPARE(MonthRows(form.get()), 2);
    QVERIFY(!form->TerminateRequested());
    // And the connection works for the next command.
    form->Connection->Execute(u"INSERT INTO Uscite (IDTipoUscita, Data, KM) VALUES (0, '2005-03-20', 5)"_qs);
    form->GoToMonth(3, 2005, true);
    QCOMPARE(MonthRows(form.get()), 3);
}

QTEST_MAIN(TestMaintenance)
#include "test_maintenance.moc"
