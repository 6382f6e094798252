#include "app/Unitmain.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "forms/Unitopzioni.h"
#include "forms/Unitripristino.h"
#include "support/Controls.h"
#include "support/DatabaseHolder.h"
#include "support/Failure.h"
#include "support/Files.h"
#include "support/ItalianLocale.h"
#include "support/KilledChild.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/ReadOnlyFolder.h"
#include "support/TestDatabase.h"
#include "tools/Backup.h"

#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QLabel>
#include <QTreeWidget>
#include <QtTest>

#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ChildSwitch = QStringLiteral("--backup-child");
const QString Template = QStringLiteral("Provider=SQLite;Data Source=%DATASOURCE%");
const QDateTime Noon(QDate(2005, 3, 15), QTime(12, 0, 0));

QString FiguresOf(const QString& path)
{
    return TestDatabase::Scalar(path, u"PRAGMA integrity_check"_qs) == u"ok"
               ? TestDatabase::Scalar(path, TestDatabase::RideFigures)
               : u"damaged"_qs;
}

mode_t ModeOf(const QString& path)
{
    struct stat info{};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? mode_t(info.st_mode & 07777) : 0;
}

}

class TestBackup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_program;
    QString m_path;
    QString m_backups;

    QStringList Backups() const
    {
        return QDir(m_backups).entryList({u"kilovento-*.mdb"_qs}, QDir::Files, QDir::Name | QDir::Reversed);
    }
    // Files beside the database and backups that belong to neither.
    QStringList Leftovers() const
    {
        QStringList names = QDir(m_program).entryList(QDir::Files | QDir::Hidden)
                            + QDir(m_backups).entryList(QDir::Files | QDir::Hidden);
        names.removeIf([](const QString& name) {
            return name == u"kilovento.mdb" || name == u"kilovento.ini" || name == u".ultimo-backup"
                   || QRegularExpression(u"^kilovento-\\d{8}-\\d{6}\\.mdb$"_qs).match(name).hasMatch();
        });
        return names;
    }
    QString BackupPath(const QString& name) const { return QDir(m_backups).filePath(name); }
    // One session of the program: opened, `work` done on it, closed.
    void Session(const std::function<void(TFormMain&)>& work = {})
    {
        const auto form = MainWindow::Open(m_program, {u"/NOPROMPTONCLOSE"_qs});
        if (work)
            work(*form);
        QVERIFY(form->close());
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_program = m_dir.filePath(u"program"_qs);
        QVERIFY(QDir(m_program).removeRecursively() && QDir().mkpath(m_program));
        QCOMPARE(TestDatabase::CreateProgramFolder(m_program), QString());
        m_path = QDir(m_program).filePath(u"kilovento.mdb"_qs);
        m_backups = QDir(m_program).filePath(u"backup"_qs);
        QCOMPARE(Backup::Folder(m_path), m_backups);
        QCOMPARE(TestDatabase::FillRides(m_path, 50), QString());
    }

    void backupOnCloseOnlyAfterChange_data()
    {
        QTest::addColumn<QString>("change"); // between a first session and a second one
        QTest::addColumn<int>("backups");    // after both
        QTest::newRow("nothing changed") << u"none"_qs << 1;
        QTest::newRow("a ride added") << u"add"_qs << 2;
        QTest::newRow("a ride deleted") << u"delete"_qs << 2;
        QTest::newRow("changed by another program between sessions") << u"outside"_qs << 2;
        QTest::newRow("compacted") << u"compact"_qs << 2;
        QTest::newRow("automatic backup off") << u"option off"_qs << 0;
    }

    void backupOnCloseOnlyAfterChange()
    {
        QFETCH(QString, change);
        QFETCH(int, backups);
        if (change == u"option off")
            QVERIFY(WriteFile(QDir(m_program).filePath(u"kilovento.ini"_qs),
                              "[DATABASE]\nConnectionString=Provider=SQLite;Data Source=%DATASOURCE%\n"
                              "[OPTIONS]\nAutoBackup=0\n"));
        Session();
        if (change == u"outside")
            QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-02"_qs, 10), QString());
        Session([&](TFormMain& form) {
            if (change == u"add" || change == u"delete")
                QCOMPARE(TestDatabase::Exec(m_path, change == u"add" ? u"INSERT INTO Uscite (IDTipoUscita, Data, KM) "
                                                                       "VALUES (1, '2005-03-03', 5)"_qs
                                                                     : u"DELETE FROM Uscite WHERE IDUscita = 7"_qs),
                         QString());
            if (change == u"compact") {
                ModalBoxes boxes(QMessageBox::Yes);
                Child<QAction>(&form, "MenuCompattaDB")->trigger();
            }
        });
        QCOMPARE(Backups().size(), backups);
        if (backups > 0)
            QCOMPARE(FiguresOf(BackupPath(Backups().first())), FiguresOf(m_path));
        QVERIFY2(Leftovers().isEmpty() || change == u"compact", qPrintable(Leftovers().join(u", "_qs)));
        // The setting is written back as it was read.
        QCOMPARE(Bytes(QDir(m_program).filePath(u"kilovento.ini"_qs)).contains("AutoBackup=0"), backups == 0);
    }

    void failureNoteShownAtTheNextStart_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("note"); // the text the box shows after "Eccezione: "
        QTest::newRow("a file where the backup folder should be") << u"file"_qs << u"impossibile scrivere il backup ("_qs;
        QTest::newRow("a read-only program folder") << u"read-only"_qs << u"impossibile scrivere il backup ("_qs;
        QTest::newRow("a note an older version left beside the database") << u"old note"_qs << u"vecchia nota"_qs;
    }

    void failureNoteShownAtTheNextStart()
    {
        QFETCH(QString, cause);
        QFETCH(QString, note);
        std::optional<ReadOnlyFolder> readOnly;
        if (cause == u"file") {
            QVERIFY(WriteFile(m_backups, "not a folder"));
        } else if (cause == u"old note") {
            QVERIFY(WriteFile(QDir(m_program).filePath(u"kilovento.backup-non-riuscito.txt"_qs), note.toUtf8()));
        } else {
            readOnly.emplace(m_program);
            QVERIFY(readOnly->done());
        }
        if (cause != u"old note") {
            const auto form = MainWindow::Open(m_program, {u"/NOPROMPTONCLOSE"_qs});
            QVERIFY(form->close());
            QCOMPARE(MainWindow::StatusText(form.get()), u"Backup in corso..."_qs);
        }
        if (cause == u"file") {
            QCOMPARE(Bytes(m_backups), QByteArray("not a folder"));
            QVERIFY(QFile::remove(m_backups));
        }
        readOnly.reset();
        QStringList seen;
        for (int start = 0; start < 2; ++start) {
            ModalBoxes boxes;
            const auto form = MainWindow::Open(m_program, {u"/NOPROMPTONCLOSE"_qs});
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            QTest::qWait(100);
            for (const ModalBoxes::Seen& box : boxes.seen())
                seen << box.text;
            QVERIFY(boxes.seen().isEmpty() || boxes.seen()[0].icon == QMessageBox::Warning);
            QVERIFY(form->close());
        }
        // Told once, at the next start only; that session's close succeeds.
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].startsWith(u"ATTENZIONE: impossibile creare il backup automatico.\n\nEccezione: "_qs + note),
                 qPrintable(seen[0]));
        QCOMPARE(Backups().size(), 1);
        QVERIFY2(Leftovers().isEmpty(), qPrintable(Leftovers().join(u", "_qs)));
    }

    void rotationKeepsTheNewest_data()
    {
        QTest::addColumn<QStringList>("before"); // times of the backups already there
        QTest::addColumn<QStringList>("gone");
        QStringList ten;
        for (int day = 1; day <= 10; ++day)
            ten << u"200503%1-080000"_qs.arg(day, 2, 10, QChar(u'0'));
        QTest::newRow("nine: none goes") << ten.mid(1) << QStringList{};
        QTest::newRow("ten: the oldest goes") << ten << QStringList{ten[0]};
        QTest::newRow("twelve: three go") << (QStringList{u"20040101-000000"_qs, u"20040102-000000"_qs} + ten)
                                          << QStringList{u"20040101-000000"_qs, u"20040102-000000"_qs, ten[0]};
        // A clock set back: the new backup stays, whatever the others' names say.
        QTest::newRow("ten from the future") << QStringList(ten).replaceInStrings(u"2005"_qs, u"2099"_qs)
                                             << QStringList{u"20990301-080000"_qs};
        QTest::newRow("same second as the newest") << (ten.mid(2) << u"20050315-120000"_qs) << QStringList{};
    }

    void rotationKeepsTheNewest()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, gone);
        QVERIFY(QDir().mkpath(m_backups));
        for (const QString& time : before)
            QVERIFY(WriteFile(BackupPath(u"kilovento-%1.mdb"_qs.arg(time)), time.toUtf8()));
        QVERIFY(WriteFile(BackupPath(u"kilovento-note.mdb"_qs), "not a backup"));
        const std::optional<Failure> failure = FailureOf([&] { Backup::MakeBackup(Template, m_path, Noon); });
        QVERIFY2(!failure, qPrintable(DetailOf(failure)));

        // Two backups in one second: the second takes the next second's name.
        const QString made = before.contains(u"20050315-120000"_qs) ? u"20050315-120001"_qs : u"20050315-120000"_qs;
        QStringList expected{u"kilovento-note.mdb"_qs};
        for (const QString& time : before + QStringList{made})
            if (!gone.contains(time))
                expected << u"kilovento-%1.mdb"_qs.arg(time);
        expected.sort();
        QCOMPARE(QDir(m_backups).entryList(QDir::Files, QDir::Name), expected);
        QCOMPARE(FiguresOf(BackupPath(u"kilovento-%1.mdb"_qs.arg(made))), FiguresOf(m_path));
    }

    void backupShapesListedAndRestored_data()
    {
        QTest::addColumn<QString>("change"); // SQL run on the backup, or a damage named
        QTest::addColumn<QString>("shown");  // in the rides' column: empty for a usable backup, whose count shows
        const QString damaged = u"danneggiato"_qs, otherShape = u"non compatibile"_qs;
        QTest::newRow("not a database") << u"garbage"_qs << damaged;
        QTest::newRow("cut short") << u"truncated"_qs << damaged;
        QTest::newRow("fails the integrity check") << u"index"_qs << damaged;
        QTest::newRow("no table TipiUscita") << u"PRAGMA foreign_keys = OFF; DROP TABLE TipiUscita"_qs << otherShape;
        QTest::newRow("Uscite a view")
            << u"ALTER TABLE Uscite RENAME TO Vecchie; CREATE VIEW Uscite AS SELECT * FROM Vecchie"_qs << otherShape;
        QTest::newRow("Uscite without IDTipoUscita")
            << u"CREATE TABLE t AS SELECT IDUscita, Data, Descrizione, KM, Durata, Note FROM Uscite; "
               "DROP TABLE Uscite; ALTER TABLE t RENAME TO Uscite"_qs
            << otherShape;
        QTest::newRow("a table and a column more, a name in capitals")
            << u"CREATE TABLE Tracce (IDUscita INTEGER); ALTER TABLE Uscite ADD COLUMN Meteo TEXT; "
               "ALTER TABLE Uscite RENAME COLUMN Durata TO DURATA"_qs
            << QString();
    }

    void backupShapesListedAndRestored()
    {
        QFETCH(QString, change);
        QFETCH(QString, shown);
        Backup::MakeBackup(Template, m_path, Noon.addDays(-1));
        const QString chosen = BackupPath(u"kilovento-20050315-120000.mdb"_qs);
        QVERIFY(QFile::copy(BackupPath(Backups().first()), chosen));
        if (change == u"garbage")
            QVERIFY(WriteFile(chosen, QByteArray(8192, 'x')));
        else if (change == u"truncated")
            QVERIFY(QFile::resize(chosen, QFileInfo(chosen).size() / 2));
        else if (change == u"index")
            QCOMPARE(TestDatabase::DamageDateIndex(chosen), QString());
        else
            QCOMPARE(TestDatabase::Exec(chosen, change), QString());

        const std::vector<Backup::Entry> entries = Backup::List(Template, m_path);
        QCOMPARE(entries.size(), size_t(2));
        QCOMPARE(entries[0].path, chosen);
        QCOMPARE(entries[0].problem.isEmpty(), shown.isEmpty());
        QVERIFY2(!entries[1].damaged, qPrintable(entries[1].problem));

        // An unusable one is shown, but the sound one below it is selected and it cannot be.
        TFormRipristino dialog(nullptr, m_backups, entries);
        auto* list = Child<QTreeWidget>(&dialog, "ListViewBackup");
        QCOMPARE(list->topLevelItem(0)->text(1), shown.isEmpty() ? u"50"_qs : shown);
        list->setCurrentItem(list->topLevelItem(0));
        QCOMPARE(list->selectedItems().first(), list->topLevelItem(shown.isEmpty() ? 0 : 1));

        const QByteArray before = Bytes(m_path);
        const std::optional<Failure> failure = FailureOf([&] { Backup::Restore(Template, m_path, chosen, Noon); });
        QVERIFY2(Leftovers().isEmpty(), qPrintable(Leftovers().join(u", "_qs)));
        if (shown.isEmpty()) {
            QVERIFY2(!failure, qPrintable(DetailOf(failure)));
            return;
        }
        const QString refusal = shown == u"danneggiato" ? u"il backup scelto è danneggiato ("_qs
                                                         : u"il backup scelto non è un diario compatibile ("_qs;
        QVERIFY(failure);
        QVERIFY2(failure->why == Exception::Why::Failed && failure->message.startsWith(refusal),
                 qPrintable(failure->message));
        QCOMPARE(Bytes(m_path), before);
    }

    void restoreListSaysWhatAndWhere_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<bool>("compaction");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("file");
        const QString backup = u"kilovento-20050315-120000.mdb"_qs;
        QTest::newRow("kibibytes, whole") << qint64(552960) << false << u"540 KiB"_qs << backup;
        QTest::newRow("mebibytes, a tenth") << qint64(21495808) << false << u"20,5 MiB"_qs << backup;
        QTest::newRow("the compaction's copy, beside the log") << qint64(8192) << true << u"8 KiB"_qs
            << QDir::toNativeSeparators(m_dir.filePath(u"program/kilovento.mdbbak"_qs)) + u" (compattazione)"_qs;
    }

    void restoreListSaysWhatAndWhere()
    {
        QFETCH(qint64, bytes);
        QFETCH(bool, compaction);
        QFETCH(QString, size);
        QFETCH(QString, file);
        Backup::Entry entry;
        entry.path = compaction ? QDir(m_program).filePath(u"kilovento.mdbbak"_qs) : BackupPath(file);
        entry.taken = QDateTime(QDate(2005, 3, 15), QTime(12, 0));
        entry.compaction = compaction;
        entry.bytes = bytes;
        TFormRipristino dialog(nullptr, m_backups, {entry});
        const QTreeWidgetItem* row = Child<QTreeWidget>(&dialog, "ListViewBackup")->topLevelItem(0);
        QCOMPARE((QStringList{row->text(3), row->text(4)}), (QStringList{size, file}));
        QVERIFY(!Child<QLabel>(&dialog, "LabelNessunBackup")->isVisibleTo(&dialog));
        // Without any, a line says where they come from.
        TFormRipristino none(nullptr, m_backups, {});
        QVERIFY(Child<QLabel>(&none, "LabelNessunBackup")->isVisibleTo(&none));
    }

    void walBackupsReadWholeAndLeftAsTheyWere_data()
    {
        QTest::addColumn<bool>("logged"); // rides committed to the log beside it, not yet in the file
        QTest::newRow("log folded in") << false;
        QTest::newRow("rides still in the log") << true;
    }

    void walBackupsReadWholeAndLeftAsTheyWere()
    {
        QFETCH(bool, logged);
        // A WAL log copied in by the rider, with or without a log of its own.
        const QString source = m_dir.filePath(u"wal.mdb"_qs), chosen = BackupPath(u"kilovento-20050315-120000.mdb"_qs);
        QVERIFY(QDir().mkpath(m_backups) && (!QFile::exists(source) || QFile::remove(source)) && QFile::copy(m_path, source));
        {
            TZTConnection writer;
            writer.Open(TestDatabase::ConnectionStringFor(source));
            writer.Execute(u"PRAGMA journal_mode = WAL"_qs);
            writer.Execute(u"PRAGMA wal_autocheckpoint = 0"_qs);
            for (int i = 0; i < 5; ++i)
                Rides::Add(writer, {2005, 3, {i + 1, 0, 10.0, {}, u"nel registro"_qs}});
            if (logged)
                QVERIFY(QFile::copy(source, chosen) && QFile::copy(source + u"-wal"_qs, chosen + u"-wal"_qs));
        }
        QVERIFY(logged || QFile::copy(source, chosen)); // closing folded the log into the file
        const QStringList files = QDir(m_backups).entryList(QDir::Files | QDir::Hidden);
        const QByteArray bytes = Bytes(chosen) + Bytes(chosen + u"-wal"_qs);

        const std::vector<Backup::Entry> entries = Backup::List(Template, m_path);
        QVERIFY(entries.size() == 1 && !entries[0].damaged);
        QCOMPARE(entries[0].rides, 55);
        QCOMPARE(QDir(m_backups).entryList(QDir::Files | QDir::Hidden), files);
        QVERIFY(Bytes(chosen) + Bytes(chosen + u"-wal"_qs) == bytes);
        Backup::Restore(Template, m_path, chosen, Noon);
        QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT count(*) FROM Uscite"_qs), u"55"_qs);
    }

    void restoreRoundTrip_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Sì") << int(QMessageBox::Yes);
        QTest::newRow("No") << int(QMessageBox::No);
    }

    void restoreRoundTrip()
    {
        QFETCH(int, answer);
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-02"_qs, 40.5, 0, u"Marzo"_qs), QString());
        const QString figures = FiguresOf(m_path);
        Backup::MakeBackup(Template, m_path, Noon);
        const auto form = MainWindow::Open(m_program, {u"/NOPROMPTONCLOSE"_qs});
        form->show();
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs), QString());
        form->GoToMonth(3, 2005, true);
        const QString emptied = FiguresOf(m_path);

        ModalBoxes boxes(static_cast<QMessageBox::StandardButton>(answer));
        boxes.setDialogHandler([](QDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), u"Ripristina un backup"_qs);
            auto* list = Child<QTreeWidget>(dialog, "ListViewBackup");
            QCOMPARE(list->currentItem()->text(1), u"51"_qs);
            QTest::keyClick(list, Qt::Key_Return);
            if (dialog->isVisible())
                dialog->reject();
        });
        // In the File menu, just above the separator before "Esci".
        auto* restore = Child<QAction>(form.get(), "MenuRipristinaBackup");
        QCOMPARE(restore->text(), u"&Ripristina un backup..."_qs);
        const QList<QAction*> file = Child<QMenu>(form.get(), "MenuFile")->actions();
        const qsizetype at = file.indexOf(restore);
        QCOMPARE(file.mid(at + 1).size(), 2);
        QVERIFY(file[at + 1]->isSeparator() && file[at + 2] == Child<QAction>(form.get(), "MenuEsci"));
        restore->trigger();

        QCOMPARE(boxes.dialogsSeen(), 1);
        QCOMPARE(boxes.seen().size(), answer == QMessageBox::Yes ? 2 : 1);
        QCOMPARE(boxes.seen()[0].text, u"Ripristinare il backup del 15/03/2005 12:00? Il diario attuale verrà "
                                        "salvato come backup."_qs);
        QCOMPARE(boxes.seen()[0].icon, QMessageBox::Question);
        QCOMPARE(boxes.seen()[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(boxes.seen()[0].defaultButton, QMessageBox::No);
        if (answer == QMessageBox::No) {
            QCOMPARE(FiguresOf(m_path), emptied);
            QCOMPARE(Backups().size(), 1);
            return;
        }
        QCOMPARE(boxes.seen()[1].text, u"Ripristino eseguito con successo."_qs);
        QCOMPARE(boxes.seen()[1].icon, QMessageBox::Information);
        // Every ride is back and shown; the diary as it was is the newest backup.
        QCOMPARE(FiguresOf(m_path), figures);
        QCOMPARE(Child<QTreeView>(form.get(), "ListViewUsciteMensili")->model()->rowCount(), 1);
        QCOMPARE(Backups().size(), 2);
        QCOMPARE(FiguresOf(BackupPath(Backups().first())), emptied);
        QCOMPARE(MainWindow::StatusText(form.get()), u"Pronto."_qs);
        QVERIFY2(Leftovers().isEmpty(), qPrintable(Leftovers().join(u", "_qs)));
    }

    void otherWriterMakesBothRefuse_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("journal");
        QTest::addColumn<QString>("hold");
        QTest::newRow("backup: a write outlasting the wait") << u"backup"_qs << u"delete"_qs << u"write"_qs;
        QTest::newRow("restore: a write outlasting the wait") << u"restore"_qs << u"delete"_qs << u"write"_qs;
        QTest::newRow("restore: WAL, open in another process") << u"restore"_qs << u"wal"_qs << u"open"_qs;
    }

    void otherWriterMakesBothRefuse()
    {
        QFETCH(QString, operation);
        QFETCH(QString, journal);
        QFETCH(QString, hold);
        Backup::MakeBackup(Template, m_path, Noon.addDays(-1));
        const QString chosen = BackupPath(Backups().first());
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite WHERE IDUscita < 10"_qs), QString());
        QCOMPARE(TestDatabase::Exec(m_path, u"PRAGMA journal_mode = "_qs + journal), QString());
        const QString figures = FiguresOf(m_path);
        const QStringList backups = Backups();
        const QByteArray chosenBytes = Bytes(chosen);
        TZTConnection inUse;
        inUse.SetBusyTimeout(300);
        inUse.Open(TestDatabase::ConnectionStringFor(m_path));
        QProcess holder;
        QVERIFY(DatabaseHolder::Start(holder, m_path, hold));

        const std::optional<Failure> failure = FailureOf([&] {
            if (operation == u"backup")
                Backup::MakeBackup(Template, m_path, Noon, &inUse);
            else
                Backup::Restore(Template, m_path, chosen, Noon, &inUse);
        });
        QCOMPARE(inUse.IsOpen(), journal != u"wal");
        inUse.Close();
        holder.write("\n");
        QVERIFY(holder.waitForFinished(30000));
        QCOMPARE(holder.readAll(), QByteArray("released\n"));

        QVERIFY(failure && failure->why == Exception::Why::Refused);
        QVERIFY2(failure->message.startsWith(u"il database è in uso da un altro processo ("_qs),
                 qPrintable(failure->message));
        QVERIFY2(Leftovers().isEmpty(), qPrintable(Leftovers().join(u", "_qs)));
        QCOMPARE(Backups(), backups);
        QCOMPARE(Bytes(chosen), chosenBytes);
        const QString written = u"DELETE FROM Uscite WHERE Descrizione = '%1'"_qs.arg(DatabaseHolder::Ride);
        QCOMPARE(TestDatabase::Exec(m_path, written), QString());
        QCOMPARE(FiguresOf(m_path), figures);
        QCOMPARE(TestDatabase::Scalar(m_path, u"PRAGMA journal_mode"_qs), journal);
    }

    // The automatic backup's own failures are told through its note, above.
    void restoreFailuresChangeNothing_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("a file where the folder should be") << u"file"_qs;
        QTest::newRow("a read-only folder") << u"read-only"_qs;
    }

    void restoreFailuresChangeNothing()
    {
        QFETCH(QString, cause);
        // The backup to restore lies elsewhere, one ride short.
        const QString chosen = m_dir.filePath(u"scelto.mdb"_qs);
        QVERIFY(!QFileInfo::exists(chosen) || QFile::remove(chosen));
        QVERIFY(QFile::copy(m_path, chosen));
        QCOMPARE(TestDatabase::Exec(chosen, u"DELETE FROM Uscite WHERE IDUscita = 1"_qs), QString());
        std::optional<ReadOnlyFolder> readOnly;
        if (cause == u"file") {
            QVERIFY(WriteFile(m_backups, "not a folder"));
        } else {
            Backup::MakeBackup(Template, m_path, Noon.addDays(-1));
            readOnly.emplace(m_backups);
            if (!readOnly->done())
                QSKIP("this file system cannot make a folder read-only");
        }
        const QByteArray before = Bytes(m_path);
        const QStringList backups = Backups();

        const std::optional<Failure> failure = FailureOf([&] { Backup::Restore(Template, m_path, chosen, Noon); });
        QVERIFY(failure);
        QVERIFY2(failure->message.startsWith(u"impossibile salvare il database attuale come backup ("_qs),
                 qPrintable(failure->message));
        QVERIFY(failure->why == Exception::Why::Failed);
        QCOMPARE(Bytes(m_path), before);
        QCOMPARE(Backups(), backups);
        QCOMPARE(Leftovers(), cause == u"file" ? QStringList{u"backup"_qs} : QStringList());
    }

    void linkAndAccessStay_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<int>("mode");
        QTest::newRow("private file") << false << 0600;
        QTest::newRow("link to a file readable by the group") << true << 0640;
    }

    void linkAndAccessStay()
    {
        QFETCH(bool, linked);
        QFETCH(int, mode);
        QString real = m_path;
        if (linked) {
            real = m_dir.filePath(u"elsewhere/rides.mdb"_qs);
            QVERIFY(QDir(m_dir.filePath(u"elsewhere"_qs)).removeRecursively() && QDir().mkpath(QFileInfo(real).path()));
            QVERIFY(QFile::rename(m_path, real) && QFile::link(real, m_path));
        }
        QVERIFY(::chmod(QFile::encodeName(real).constData(), mode_t(mode)) == 0);
        const QString figures = FiguresOf(m_path);
        Backup::MakeBackup(Template, m_path, Noon);
        // Beside the file the link leads to, named after it.
        const QString backup = QFileInfo(real).dir().filePath(QFileInfo(real).completeBaseName().prepend(u"backup/"_qs)
                                                              + u"-20050315-120000.mdb"_qs);
        QCOMPARE(ModeOf(backup), mode_t(mode));

        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite"_qs), QString());
        const std::optional<Failure> failure =
            FailureOf([&] { Backup::Restore(Template, m_path, backup, Noon.addSecs(60)); });
        QVERIFY2(!failure, qPrintable(DetailOf(failure)));
        QCOMPARE(QFileInfo(m_path).isSymLink(), linked);
        QCOMPARE(FiguresOf(real), figures);
        QCOMPARE(ModeOf(real), mode_t(mode));
    }

    void killedBackupOrRestoreKeepsEveryRide_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("backup") << u"backup"_qs;
        QTest::newRow("restore") << u"restore"_qs;
    }

    void killedBackupOrRestoreKeepsEveryRide()
    {
        QFETCH(QString, operation);
        QCOMPARE(TestDatabase::FillRides(m_path, 200000), QString());
        const QString figures = FiguresOf(m_path);
        // The backup to restore: one ride short, to tell it from the database.
        const QString chosen = BackupPath(u"kilovento-20000101-000000.mdb"_qs);
        QVERIFY(QDir().mkpath(m_backups) && QFile::copy(m_path, chosen));
        QCOMPARE(TestDatabase::Exec(chosen, u"DELETE FROM Uscite WHERE IDUscita = 1"_qs), QString());
        const QString chosenFigures = FiguresOf(chosen);
        const QString pristine = m_dir.filePath(u"pristine"_qs);
        QVERIFY(QDir(pristine).removeRecursively() && QDir().mkpath(pristine));
        QVERIFY(QFile::copy(m_path, pristine + u"/db"_qs) && QFile::copy(chosen, pristine + u"/chosen"_qs));

        int before = 0;
        KilledChild::Runs runs;
        runs.arguments = {ChildSwitch, operation, m_path, chosen};
        runs.prepare = [&] {
            QVERIFY(QDir(m_backups).removeRecursively() && QDir().mkpath(m_backups));
            QVERIFY(QFile::remove(m_path) && QFile::copy(pristine + u"/db"_qs, m_path));
            QVERIFY(QFile::copy(pristine + u"/chosen"_qs, chosen));
        };
        runs.kills = 12;
        runs.killed = [&](int k) {
            // The database is whole, as before or after; every file under a backup's name too.
            const QByteArray at = "kill " + QByteArray::number(k);
            const QString now = FiguresOf(m_path);
            QVERIFY2(now == figures || (operation == u"restore" && now == chosenFigures), at);
            for (const QString& name : Backups())
                QVERIFY2(QStringList({figures, chosenFigures}).contains(FiguresOf(BackupPath(name))),
                         at + ' ' + qPrintable(name));
            before += now == figures && Backups().size() == 1;
            if (k % 4 == 0) {
                const std::optional<Failure> again = FailureOf([&] {
                    if (operation == u"backup")
                        Backup::MakeBackup(Template, m_path, Noon);
                    else
                        Backup::Restore(Template, m_path, chosen, Noon);
                });
                QVERIFY2(!again && Leftovers().isEmpty(), at);
            }
        };
        KilledChild::Run(runs);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(before >= runs.kills / 3,
                 qPrintable(QStringLiteral("%1 of %2 kills came before the end").arg(before).arg(runs.kills)));
    }

    void optionCheckBox_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<bool>("ok");
        QTest::newRow("on, unchecked, OK") << true << true;
        QTest::newRow("off, checked, OK") << false << true;
        QTest::newRow("on, unchecked, Annulla") << true << false;
    }

    void optionCheckBox()
    {
        QFETCH(bool, on);
        QFETCH(bool, ok);
        QVERIFY(Options().autoBackup);
        TFormOpzioni dialog(nullptr, [on] { Options options; options.autoBackup = on; return options; }());
        auto* check = Child<QCheckBox>(&dialog, "CheckBoxBackupAutomatico");
        QCOMPARE(check->text(), u"Backup automatico alla chiusura"_qs);
        QCOMPARE(check->isChecked(), on);
        check->click();
        Child<QPushButton>(&dialog, ok ? "BitBtnOK" : "BitBtnAnnulla")->click();
        QCOMPARE(dialog.Values().autoBackup, on != ok);
    }
};

int main(int argc, char* argv[])
{
    if (argc == 5 && QString::fromLocal8Bit(argv[1]) == ChildSwitch) {
        // The child of the fault test: says "go" just before it starts.
        KilledChild::SayGo();
        const QString database = QString::fromLocal8Bit(argv[3]);
        if (QString::fromLocal8Bit(argv[2]) == u"backup")
            Backup::MakeBackup(Template, database, Noon);
        else
            Backup::Restore(Template, database, QString::fromLocal8Bit(argv[4]), Noon);
        return 0;
    }
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == DatabaseHolder::Switch)
        return DatabaseHolder::Main(argc, argv);
    QApplication app(argc, argv);
    TestBackup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_backup.moc"
