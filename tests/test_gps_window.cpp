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

DeviceSession Ride(const QString& start, double km, int minutes, const QString& sport = u"cycling"_s)
{
    DeviceSession session;
    session.start = Utc(start);
    session.sport = sport;
    session.distanceMetres = km * 1000;
    session.timerSeconds = session.elapsedSeconds = minutes * 60.0;
    return session;
}

DeviceFile FileOf(const QString& path, std::vector<DeviceSession> sessions, const QString& fault = {})
{
    return DeviceFile{path, std::move(sessions), fault};
}

QStringList Column(const QAbstractItemModel& model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.index(row, column).data().toString());
    return texts;
}

QList<bool> TickedRows(const GpsCandidatesModel& model)
{
    QList<bool> ticked;
    for (const GpsImport::Candidate& candidate : model.Candidates())
        ticked.append(candidate.ticked);
    return ticked;
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

    std::vector<GpsImport::Candidate> Planned(const std::vector<DeviceFile>& files,
                                              const GpsImport::KnownRides& known = {}) const
    {
        return GpsImport::Plan(files, m_types, known, QDate(2005, 3, 15), QTimeZone::utc());
    }

    static QTreeView* List(QDialog& dialog) { return dialog.findChild<QTreeView*>(); }
    static QPushButton* Button(QDialog& dialog, const QString& text)
    {
        for (QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->text().remove(u'&') == text)
                return button;
        return nullptr;
    }

    // Two files holding the same ride, as a device and its web site give it.
    std::vector<DeviceFile> SameRideTwice() const
    {
        return {FileOf(u"/giri/mattina.fit"_s, {Ride(u"2005-03-01T08:00:00Z"_s, 42.5, 95)}),
                FileOf(u"/giri/mattina.gpx"_s, {Ride(u"2005-03-01T08:00:00Z"_s, 42.5, 95)})};
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

    // Ticking judges the rows again: of two files with one ride, the ticked
    // one is the ride and the other "già presente".
    void tickingRefreshesTheStates_data()
    {
        QTest::addColumn<QList<int>>("toggled");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QList<bool>>("ticked");
        QTest::addColumn<QString>("count");
        QTest::newRow("as planned") << QList<int>{} << QStringList{u"nuova"_s, u"già presente"_s}
                                    << QList<bool>{true, false}
                                    << u"2 uscite trovate in 2 file, 1 da importare."_s;
        QTest::newRow("first unticked") << QList<int>{0} << QStringList{u"nuova"_s, u"nuova"_s}
                                        << QList<bool>{false, false}
                                        << u"2 uscite trovate in 2 file, 0 da importare."_s;
        QTest::newRow("second ticked instead") << QList<int>{0, 1} << QStringList{u"già presente"_s, u"nuova"_s}
                                               << QList<bool>{false, true}
                                               << u"2 uscite trovate in 2 file, 1 da importare."_s;
        // The same ride cannot be ticked twice: the second tick does not stay.
        QTest::newRow("both ticked") << QList<int>{1} << QStringList{u"nuova"_s, u"già presente"_s}
                                     << QList<bool>{true, false}
                                     << u"2 uscite trovate in 2 file, 1 da importare."_s;
    }

    void tickingRefreshesTheStates()
    {
        QFETCH(QList<int>, toggled);
        QFETCH(QStringList, states);
        QFETCH(QList<bool>, ticked);
        QFETCH(QString, count);
        GpsImportDialog dialog(nullptr, Planned(SameRideTwice()), {}, m_types);
        dialog.show();
        for (int row : toggled)
            Toggle(List(dialog), row);
        QCOMPARE(Column(*dialog.Model(), Col::State), states);
        QCOMPARE(TickedRows(*dialog.Model()), ticked);
        QCOMPARE(dialog.findChild<QLabel*>(u"LabelConteggio"_s)->text(), count);
        QCOMPARE(Button(dialog, u"Importa"_s)->isEnabled(), ticked.contains(true));
    }

    // What the log refuses, and a file that cannot be read, are shown but
    // can be neither ticked nor changed.
    void rowsThatCannotBeTicked_data()
    {
        QTest::addColumn<DeviceFile>("file");
        QTest::addColumn<QString>("state");
        QTest::newRow("damaged file") << FileOf(u"/giri/rotto.fit"_s, {}, u"file danneggiato: CRC non valido"_s)
                                      << u"file danneggiato: CRC non valido"_s;
        QTest::newRow("after today") << FileOf(u"/giri/domani.fit"_s, {Ride(u"2005-03-16T08:00:00Z"_s, 30, 60)})
                                     << QString();
        QTest::newRow("no session") << FileOf(u"/giri/vuoto.gpx"_s, {}) << u"nessuna uscita nel file"_s;
    }

    void rowsThatCannotBeTicked()
    {
        QFETCH(DeviceFile, file);
        QFETCH(QString, state);
        GpsImportDialog dialog(nullptr, Planned({file}), {}, m_types);
        dialog.show();
        QTreeView* list = List(dialog);
        const QModelIndex tick = dialog.Model()->index(0, Col::File);
        QVERIFY(!tick.data(Qt::CheckStateRole).isValid());
        // The reason says why; the states of tickable rows are the other texts.
        const QString shown = dialog.Model()->index(0, Col::State).data().toString();
        if (!state.isEmpty())
            QCOMPARE(shown, state);
        QVERIFY2(!shown.isEmpty() && !QStringList({u"nuova"_s, u"già presente"_s, u"forse già presente"_s}).contains(shown),
                 qPrintable(shown));
        Toggle(list, 0);
        QVERIFY(!dialog.Model()->Candidates().front().ticked);
        for (int column : {Col::Type, Col::Description}) {
            list->setCurrentIndex(dialog.Model()->index(0, column));
            QTest::keyClick(list, Qt::Key_F2);
            QVERIFY(!list->findChild<QLineEdit*>() && !list->findChild<QComboBox*>());
        }
        QVERIFY(!Button(dialog, u"Importa"_s)->isEnabled());
    }

    // The type chosen in the list and the description typed go with the ride.
    void editsAreStoredWithTheRide_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed"); // empty: one type down in the list
        QTest::addColumn<QString>("description");
        QTest::newRow("type") << int(Col::Type) << QString() << u"mattina"_s;
        QTest::newRow("description") << int(Col::Description) << u"Giro del lago"_s << u"Giro del lago"_s;
        QTest::newRow("description too long") << int(Col::Description) << QString(300, u'x') << QString(255, u'x');
    }

    void editsAreStoredWithTheRide()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        QFETCH(QString, description);
        GpsImportDialog dialog(nullptr, Planned({SameRideTwice().front()}), {}, m_types);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTreeView* list = List(dialog);
        const int plannedType = dialog.Model()->Candidates().front().type;
        list->setCurrentIndex(dialog.Model()->index(0, column));
        QTest::keyClick(list, Qt::Key_F2);
        int expectedType = plannedType;
        if (column == Col::Type) {
            auto* types = list->findChild<QComboBox*>();
            QVERIFY(types);
            QCOMPARE(types->count(), m_types.size());
            QCOMPARE(types->currentData().toInt(), plannedType);
            const int next = (types->currentIndex() + 1) % types->count();
            QTest::keyClick(types, next == 0 ? Qt::Key_Home : Qt::Key_Down);
            expectedType = types->itemData(next).toInt();
            QVERIFY(expectedType != plannedType);
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
        QVERIFY(dialog.isVisible()); // Enter in an editor ends the edit, not the dialog
        const std::vector<GpsImport::Candidate> ticked = dialog.Ticked();
        QCOMPARE(ticked.size(), size_t(1));
        QCOMPARE(ticked.front().type, expectedType);
        QCOMPARE(ticked.front().description, description);
    }

    // "Importa" and Enter accept, "Annulla" and Escape leave; with nothing
    // ticked Enter does nothing.
    void closing_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("nothingTicked");
        QTest::addColumn<int>("result"); // -1: still open
        QTest::newRow("Importa") << u"Importa"_s << false << int(QDialog::Accepted);
        QTest::newRow("Enter in the list") << u"Enter"_s << false << int(QDialog::Accepted);
        QTest::newRow("Annulla") << u"Annulla"_s << false << int(QDialog::Rejected);
        QTest::newRow("Escape") << u"Escape"_s << false << int(QDialog::Rejected);
        QTest::newRow("Enter with nothing ticked") << u"Enter"_s << true << -1;
    }

    void closing()
    {
        QFETCH(QString, how);
        QFETCH(bool, nothingTicked);
        QFETCH(int, result);
        GpsImportDialog dialog(nullptr, Planned(SameRideTwice()), {}, m_types);
        dialog.open();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTreeView* list = List(dialog);
        if (nothingTicked)
            Toggle(list, 0);
        list->setFocus();
        if (how == u"Enter"_s)
            QTest::keyClick(list, Qt::Key_Return);
        else if (how == u"Escape"_s)
            QTest::keyClick(list, Qt::Key_Escape);
        else
            Button(dialog, how)->click();
        QCOMPARE(dialog.isVisible() ? -1 : dialog.result(), result);
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
            const QString name = file.section(u'=', 0, 0);
            const QString content = file.section(u'=', 1);
            paths.append(folder.filePath(name));
            if (content.startsWith(u'#'))
                QVERIFY(WriteFile(paths.last(), content.mid(1).toUtf8()));
            else if (!content.isEmpty())
                QVERIFY(WriteFile(paths.last(), GpxRide(Utc(content.section(u' ', 0, 0)), content.section(u' ', 1, 1).toDouble(),
                                                        content.section(u' ', 2, 2).toInt())));
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

        std::atomic<bool> done = false;
        std::atomic<bool> cancelled = false;
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
        QCOMPARE(screen.monthsShown.size(), 0);
    }

    // The File menu's item, under the CSV import with a letter of its own,
    // and files handed to the window: they wait for a dialog the rider has
    // open, then the month of the newest ride is shown.
    void theMainWindowImports()
    {
        const QString program = Path(u"programma"_s);
        QVERIFY(QDir().mkpath(program));
        QCOMPARE(TestDatabase::CreateProgramFolder(program), QString());
        const auto form = MainWindow::Open(program, {u"/NOPROMPTONCLOSE"_s});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        // Its place in the menu is pinned with the CSV items'; its mnemonic clashes with none.
        const QList<QAction*> items = Child<QMenu>(form.get(), "MenuFile")->actions();
        QList<QKeySequence> mnemonics;
        for (const QAction* item : items)
            if (!item->isSeparator()) {
                QVERIFY2(!mnemonics.contains(QKeySequence::mnemonic(item->text())), qPrintable(item->text()));
                mnemonics.append(QKeySequence::mnemonic(item->text()));
            }

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
        if (files.isEmpty()) {
            QTest::qWait(50);
            QCOMPARE(received.size(), 0);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(received.size(), 1, 5000);
            QCOMPARE(received.front(), files);
        }
    }
};

QTEST_MAIN(TestGpsWindow)
#include "test_gps_window.moc"
