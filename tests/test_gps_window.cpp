// The import of rides from device files as the rider meets it: the preview
// window, the command on a real log, the progress and its "Annulla", and the
// files a second start hands to the running instance.
#include "app/Commands.h"
#include "app/RunningInstance.h"
#include "app/Unitmain.h"
#include "forms/GpsCandidatesModel.h"
#include "forms/GpsImportDialog.h"
#include "gps/GpsImport.h"
#include "support/Controls.h"
#include "support/Files.h"
#include "support/GpsFiles.h"
#include "support/ItalianLocale.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"
#include "support/TestScreen.h"

#include <QApplication>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DeviceFile)

namespace {

using Col = GpsCandidatesModel::Column;
using Months = QList<std::pair<int, int>>; // year and month

QDateTime Utc(const QString& iso)
{
    return QDateTime::fromString(iso, Qt::ISODate).toUTC();
}

DeviceSession Ride(const QString& start, double km, int minutes)
{
    DeviceSession session;
    session.start = Utc(start);
    session.sport = u"cycling"_s;
    session.distanceMetres = km * 1000;
    session.timerSeconds = session.elapsedSeconds = minutes * 60.0;
    return session;
}

// Space on the row's tick box, as the rider toggles it from the keyboard.
void Toggle(QTreeView* view, int row)
{
    view->setCurrentIndex(view->model()->index(row, Col::File));
    QTest::keyClick(view, Qt::Key_Space);
}

}

class TestGpsWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<Rides::RideType> m_types;
    QString m_database;
    std::unique_ptr<RideLog> m_log;

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    static QTreeView* List(QDialog& dialog) { return dialog.findChild<QTreeView*>(); }
    static QPushButton* Button(QDialog& dialog, const QString& text)
    {
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text().remove(u'&') == text)
                return button;
        return nullptr;
    }

    // The preview of the files, shown; two of the same ride unless told otherwise.
    std::unique_ptr<GpsImportDialog> Preview(std::vector<DeviceFile> files = {}) const
    {
        const DeviceSession ride = Ride(u"2005-03-01T08:00:00Z"_s, 42.5, 95);
        if (files.empty())
            files = {{u"/giri/mattina.fit"_s, {ride}, {}}, {u"/giri/mattina.gpx"_s, {ride}, {}}};
        auto dialog = std::make_unique<GpsImportDialog>(
            nullptr, GpsImport::Plan(files, m_types, {}, QDate(2005, 3, 15), QTimeZone::utc()),
            GpsImport::KnownRides(), m_types);
        dialog->open();
        return QTest::qWaitForWindowExposed(dialog.get()) ? std::move(dialog) : nullptr;
    }

    int StoredRides() const { return TestDatabase::Scalar(m_database, u"SELECT COUNT(*) FROM Uscite"_s).toInt(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_database = Path(u"kilovento.mdb"_s);
        QCOMPARE(TestDatabase::Create(m_database), QString());
        m_log = OpenRideLog(m_database);
        m_types = m_log->Types();
        QVERIFY(m_types.size() > 2);
    }

    void init()
    {
        QCOMPARE(TestDatabase::Exec(m_database, u"DELETE FROM Uscite"_s), QString());
    }

    // Ticking judges the rows again, the count and "Importa" follow, and
    // Enter in the list imports only with a ride ticked.
    void tickingRefreshesTheStates_data()
    {
        QTest::addColumn<QList<int>>("toggled");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QString>("count");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("first unticked") << QList<int>{0} << QStringList{u"nuova"_s, u"nuova"_s}
                                        << u"2 uscite trovate in 2 file, 0 da importare."_s << false;
        QTest::newRow("second ticked instead") << QList<int>{0, 1} << QStringList{u"già presente"_s, u"nuova"_s}
                                               << u"2 uscite trovate in 2 file, 1 da importare."_s << true;
    }

    void tickingRefreshesTheStates()
    {
        QFETCH(QList<int>, toggled);
        QFETCH(QStringList, states);
        QFETCH(QString, count);
        QFETCH(bool, accepted);
        const auto dialog = Preview();
        QVERIFY(dialog);
        QTreeView* list = List(*dialog);
        for (int row : toggled)
            Toggle(list, row);
        const auto* model = dialog->Model();
        QCOMPARE(QStringList({model->index(0, Col::State).data().toString(), model->index(1, Col::State).data().toString()}),
                 states);
        QCOMPARE(dialog->Ticked().size(), size_t(accepted ? 1 : 0));
        QCOMPARE(dialog->findChild<QLabel*>(u"LabelConteggio"_s)->text(), count);
        QCOMPARE(Button(*dialog, u"Importa"_s)->isEnabled(), accepted);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(dialog->isVisible() ? -1 : dialog->result(), accepted ? int(QDialog::Accepted) : -1);
    }

    // What the log refuses, and a file that cannot be read, are shown with
    // the reason but can be neither ticked nor changed.
    void rowsThatCannotBeTicked_data()
    {
        QTest::addColumn<DeviceFile>("file");
        QTest::addColumn<QString>("state");
        QTest::newRow("damaged file") << DeviceFile{u"/giri/rotto.fit"_s, {}, u"file danneggiato: CRC non valido"_s}
                                      << u"file danneggiato: CRC non valido"_s;
        QTest::newRow("after today") << DeviceFile{u"/giri/domani.fit"_s, {Ride(u"2005-03-16T08:00:00Z"_s, 30, 60)}, {}}
                                     << u"data fuori dall'intervallo consentito (1990 - oggi)"_s;
    }

    void rowsThatCannotBeTicked()
    {
        QFETCH(DeviceFile, file);
        QFETCH(QString, state);
        const auto dialog = Preview({file});
        QVERIFY(dialog);
        QTreeView* list = List(*dialog);
        QVERIFY(!dialog->Model()->index(0, Col::File).data(Qt::CheckStateRole).isValid());
        QCOMPARE(dialog->Model()->index(0, Col::State).data().toString(), state);
        Toggle(list, 0);
        QVERIFY(!dialog->Model()->Candidates().front().ticked);
        for (int column : {Col::Type, Col::Description}) {
            list->setCurrentIndex(dialog->Model()->index(0, column));
            QTest::keyClick(list, Qt::Key_F2);
            QVERIFY(!list->findChild<QLineEdit*>() && !list->findChild<QComboBox*>());
        }
        QVERIFY(!Button(*dialog, u"Importa"_s)->isEnabled());
    }

    // The type chosen in the list and the description typed go with the ride.
    void editsAreStoredWithTheRide_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed"); // for the type: none, one type down in the list
        QTest::addColumn<QString>("description");
        QTest::newRow("type") << int(Col::Type) << QString() << u"mattina"_s;
        QTest::newRow("description too long") << int(Col::Description) << QString(300, u'x') << QString(255, u'x');
    }

    void editsAreStoredWithTheRide()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, description);
        const auto dialog = Preview();
        QVERIFY(dialog);
        QTreeView* list = List(*dialog);
        int type = dialog->Model()->Candidates().front().type;
        list->setCurrentIndex(dialog->Model()->index(0, column));
        QTest::keyClick(list, Qt::Key_F2);
        if (column == Col::Type) {
            auto* types = list->findChild<QComboBox*>();
            QVERIFY(types);
            QCOMPARE(types->count(), m_types.size());
            QCOMPARE(types->currentData().toInt(), type);
            QTest::keyClick(types, Qt::Key_Down);
            QVERIFY(types->currentData().toInt() != type);
            type = types->currentData().toInt();
            QTest::keyClick(types, Qt::Key_Return);
        } else {
            auto* line = list->findChild<QLineEdit*>();
            QVERIFY(line);
            line->selectAll();
            QTest::keyClicks(line, typed);
            QTest::keyClick(line, Qt::Key_Return);
        }
        // The editor hands its value over once the key has been handled.
        QTRY_VERIFY(!list->findChild<QLineEdit*>() && !list->findChild<QComboBox*>());
        QVERIFY(dialog->isVisible()); // Enter in an editor ends the edit, not the dialog
        const std::vector<GpsImport::Candidate> ticked = dialog->Ticked();
        QCOMPARE(ticked.size(), size_t(1));
        QCOMPARE(ticked.front().type, type);
        QCOMPARE(ticked.front().description, description);
    }

    // The command on a real log: the files read, the preview answered, the
    // ticked rides stored and the month of the newest shown.
    void importsTheTickedRides_data()
    {
        QTest::addColumn<QStringList>("files"); // "name=start km minutes", or "name=" followed by bytes
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("stored");
        QTest::addColumn<Months>("monthsShown");
        QTest::addColumn<QString>("box"); // the start of the one box shown; empty for none
        QTest::newRow("two rides") << QStringList{u"a.gpx=2005-03-01T08:00:00Z 42.5 95"_s,
                                                  u"b.gpx=2005-02-10T15:00:00Z 20 50"_s}
                                   << true << 2 << Months{{2005, 3}}
                                   << u"Importazione conclusa: 2 uscite importate."_s;
        QTest::newRow("preview cancelled") << QStringList{u"a.gpx=2005-03-01T08:00:00Z 42.5 95"_s} << false << 0
                                           << Months{} << QString();
        QTest::newRow("a damaged file beside a good one")
            << QStringList{u"rotto.fit=#not a device file"_s, u"b.gpx=2005-02-10T15:00:00Z 20 50"_s} << true << 1
            << Months{{2005, 2}} << u"Importazione conclusa: 1 uscita importata."_s;
        QTest::newRow("only a damaged file")
            << QStringList{u"rotto.fit=#not a device file"_s} << true << 0 << Months{}
            << u"ATTENZIONE: i file GPS non contengono uscite da importare.\n\nrotto.fit: file danneggiato"_s;
    }

    void importsTheTickedRides()
    {
        QFETCH(QStringList, files);
        QFETCH(bool, accept);
        QFETCH(int, stored);
        QFETCH(Months, monthsShown);
        QFETCH(QString, box);
        QTemporaryDir folder;
        QStringList paths;
        for (const QString& file : files) {
            const QString content = file.section(u'=', 1);
            const QStringList ride = content.split(u' ');
            paths.append(folder.filePath(file.section(u'=', 0, 0)));
            QVERIFY(WriteFile(paths.last(), content.startsWith(u'#') ? content.mid(1).toUtf8()
                                                                     : GpxRide(Utc(ride[0]), ride[1].toDouble(),
                                                                               ride.value(2).toInt())));
        }
        TestScreen screen;
        ModalBoxes boxes;
        int previews = 0;
        boxes.setDialogHandler([&](QDialog* dialog) {
            ++previews;
            QCOMPARE(dialog->windowTitle(), u"Importa uscite da file GPS"_s);
            QCOMPARE(dialog->parentWidget(), screen.Window());
            Button(*dialog, accept ? u"Importa"_s : u"Annulla"_s)->click();
        });
        ImportGpsFilesCommand(*m_log, screen, paths);
        QCOMPARE(StoredRides(), stored);
        QCOMPARE(screen.monthsShown, monthsShown);
        QCOMPARE(previews, box.startsWith(u"ATTENZIONE"_s) ? 0 : 1);
        QCOMPARE(boxes.seen().size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty())
            QVERIFY2(boxes.seen().front().text.startsWith(box), qPrintable(boxes.seen().front().text));
        QCOMPARE(screen.texts.last(), ReadyStatusText);
    }

    // A thousand files: the window keeps answering while they are read, and
    // "Annulla" on the progress stores nothing and shows no preview. A named
    // pipe among them holds the reading until the rider has cancelled.
    void cancellingTheReading()
    {
        QTemporaryDir folder;
        QStringList paths;
        const QByteArray ride = GpxRide(Utc(u"2005-03-01T08:00:00Z"_s), 10, 30);
        for (int i = 0; i < 1000; ++i) {
            paths.append(folder.filePath(u"giro-%1.gpx"_s.arg(i)));
            QVERIFY(WriteFile(paths.last(), ride));
        }
        const QString pipe = folder.filePath(u"attesa.gpx"_s);
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        paths.insert(1, pipe);

        std::atomic<bool> done = false, cancelled = false;
        // Lets the pipe's reader go once the rider has cancelled.
        std::thread release([&] {
            while (!done) {
                if (cancelled) {
                    const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
                    if (fd >= 0)
                        ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        TestScreen screen;
        ModalBoxes boxes;
        QStringList dialogs;
        boxes.setDialogHandler([&](QDialog* dialog) {
            dialogs.append(QString::fromLatin1(dialog->metaObject()->className()));
            if (auto* progress = qobject_cast<QProgressDialog*>(dialog)) {
                QCOMPARE(progress->parentWidget(), screen.Window());
                Button(*progress, u"Annulla"_s)->click();
                cancelled = true;
            } else {
                dialog->reject();
            }
        });
        ImportGpsFilesCommand(*m_log, screen, paths);
        done = true;
        release.join();
        QCOMPARE(dialogs, QStringList{u"QProgressDialog"_s});
        QCOMPARE(boxes.seen().size(), 1);
        QCOMPARE(boxes.seen().front().text, u"Importazione annullata: nessuna uscita importata."_s);
        QCOMPARE(StoredRides(), 0);
    }

    // The File menu's item, with a letter of its own, and files handed to the
    // window: they wait for a dialog the rider has open, then the month of the
    // newest ride is shown.
    void theMainWindowImports()
    {
        const QString program = Path(u"programma"_s);
        QVERIFY(QDir().mkpath(program));
        QCOMPARE(TestDatabase::CreateProgramFolder(program), QString());
        const auto form = MainWindow::Open(program, {u"/NOPROMPTONCLOSE"_s});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        // Its mnemonic clashes with none in the menu.
        QStringList items;
        for (const QAction* item : Child<QMenu>(form.get(), "MenuFile")->actions())
            items.append(item->text());
        QVERIFY2(Distinct(items), qPrintable(items.join(u", ")));

        ModalBoxes boxes;
        QStringList dialogs;
        QDialog* blocker = nullptr;
        boxes.setDialogHandler([&](QDialog* dialog) {
            dialogs.append(dialog->windowTitle());
            if (auto* files = qobject_cast<QFileDialog*>(dialog))
                files->reject();
            else if (dialog != blocker)
                Button(*dialog, u"Importa"_s)->click();
        });
        Child<QAction>(form.get(), "MenuImportaGPS")->trigger();
        QCOMPARE(dialogs, QStringList{u"Importa uscite da file GPS"_s});
        QCOMPARE(boxes.seen().size(), 0);

        const QString file = Path(u"inverno.gpx"_s);
        QVERIFY(WriteFile(file, GpxRide(Utc(u"2004-12-30T10:00:00Z"_s), 25, 70)));
        QDialog open(form.get());
        blocker = &open;
        open.open();
        form->ImportGpsFiles({file});
        QTest::qWait(600);
        QCOMPARE(dialogs.size(), 2); // the preview waits for the dialog the rider has open
        open.reject();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen().size(), 1, 10000);
        QCOMPARE(dialogs.last(), u"Importa uscite da file GPS"_s);
        QCOMPARE(boxes.seen().front().text, u"Importazione conclusa: 1 uscita importata."_s);
        QCOMPARE(std::pair(form->ShownYear(), form->ShownMonth()), std::pair(2004, 12));
        QCOMPARE(TestDatabase::Scalar(program + u"/kilovento.mdb"_s, u"SELECT Data FROM Uscite"_s), u"2004-12-30"_s);
    }

    // A second start's files reach the running instance whole, whatever the
    // names and however many; a call without files only raises the window.
    void filesHandedToTheRunningInstance_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("names with blanks, accents, line breaks")
            << QStringList{u"/home/rider/Giri in bici/città.fit"_s, u"/tmp/a\nb.gpx"_s, u"/tmp/€.tcx.gz"_s};
        QStringList many;
        for (int i = 0; i < 5000; ++i)
            many.append(u"/home/rider/Documenti/uscite registrate/%1-giro-lungo-della-domenica.fit"_s.arg(i));
        QTest::newRow("more than a socket buffer") << many;
    }

    void filesHandedToTheRunningInstance()
    {
        QFETCH(QStringList, files);
        const QString name = u"KiloventoTest%1"_s.arg(QCoreApplication::applicationPid());
        QWidget window;
        window.show();
        QList<QStringList> received;
        const RunningInstance running(name, &window, [&](const QStringList& handed) { received.append(handed); });
        std::atomic<bool> finished = false, called = false;
        // The caller blocks while the list fills the socket: the window reads meanwhile.
        std::thread caller([&] {
            called = RunningInstance::CallToFront(name, files);
            finished = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(finished, 10000);
        caller.join();
        QVERIFY(called);
        QTest::qWait(50);
        QTRY_COMPARE_WITH_TIMEOUT(received, files.isEmpty() ? QList<QStringList>() : QList<QStringList>{files}, 5000);
    }
};

QTEST_MAIN(TestGpsWindow)
#include "test_gps_window.moc"
