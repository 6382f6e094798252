#include "app/Unitmain.h"
#include "data/Bikes.h"
#include "data/Rides.h"
#include "data/TZTConnection.h"
#include "support/Controls.h"
#include "support/ItalianLocale.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/MonthList.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"
#include "tools/CsvExport.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString NoBike = QStringLiteral("nessuna");

// Picks the item `at` of `combo` with the arrow keys, as the rider does.
void PickAt(QComboBox* combo, int at)
{
    for (int presses = 0; combo->currentIndex() != at && presses < 20; ++presses)
        QTest::keyClick(combo, combo->currentIndex() < at ? Qt::Key_Down : Qt::Key_Up);
}

// Every ride of the log by key, as "km:bike" ("-" for none), then ";" and
// the log's bikes by name.
QString Links(const QString& path)
{
    const auto log = OpenRideLog(path);
    const QHash<int, QString> bikes = Bikes::RideBikeNames(log->Connection());
    QStringList rides;
    Rides::ForEachStored(log->Connection(), [&](const Rides::StoredRide& stored) {
        rides.append(QString::number(stored.ride.entry.chilometri) + u':' + bikes.value(stored.key, u"-"_qs));
    });
    QStringList names;
    for (const Bikes::Bike& bike : Bikes::Read(log->Connection()).bikes)
        names.append(bike.name);
    return rides.join(u' ') + u';' + names.join(u',');
}

Rides::Ride RideOf(int day, double km)
{
    return {2005, 3, {day, 0, km, TDateTime(), QString()}};
}

// Bikes by name ("name*" retired), and the key each was given.
QHash<QString, int> AddBikes(RideLog& log, const QStringList& bikes)
{
    QHash<QString, int> keys;
    for (const QString& name : bikes) {
        const bool retired = name.endsWith(u'*');
        const QString bare = name.chopped(retired);
        keys.insert(bare, Bikes::AddBike(log.Connection(), {0, bare, 0.0, QDate(), retired}));
    }
    return keys;
}

}

class TestBikesRides : public QObject
{
    Q_OBJECT

private:
    std::optional<QTemporaryDir> m_program;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        m_program.emplace();
        m_path = m_program->filePath(u"kilovento.mdb"_qs);
        QCOMPARE(TestDatabase::CreateProgramFolder(m_program->path()), QString());
    }

    void rideDialogAndWarning_data()
    {
        // Corsa (the first type's bike) has done 900 km, on 1 March, since its
        // chain (limit 1.000 km) was fitted; on 2 March a ride of 10 km was on
        // Vecchia, since retired. MTB is the third type's bike.
        QTest::addColumn<int>("row");            // the ride modified; -1 to add one
        QTest::addColumn<QStringList>("steps");  // "Tipo:position" or "Bici:name", picked with the keys
        QTest::addColumn<QStringList>("dialog"); // the bikes offered (only "nessuna": none at all), then the one shown
        QTest::addColumn<QString>("km");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("links");

        const QStringList corsa{NoBike, u"Corsa"_qs, u"MTB"_qs, u"Corsa"_qs}; // Corsa shown
        const QString due = u"Da sostituire: catena (Corsa, %1 / 1.000 km)"_qs;
        const QString before = u"900:Corsa 10:Vecchia "_qs;
        QTest::newRow("no bikes: none offered") << -1 << QStringList() << QStringList{NoBike, NoBike} << u"150"_qs
                                                << u"Pronto."_qs << u"900:- 10:- 150:-"_qs;
        QTest::newRow("add: past the limit")
            << -1 << QStringList() << corsa << u"150"_qs << due.arg(u"1.050"_qs) << before + u"150:Corsa"_qs;
        QTest::newRow("add: the bike follows the type")
            << -1 << QStringList{u"Tipo:2"_qs} << corsa << u"150"_qs << u"Pronto."_qs << before + u"150:MTB"_qs;
        QTest::newRow("add: a type without a bike")
            << -1 << QStringList{u"Tipo:1"_qs} << corsa << u"150"_qs << u"Pronto."_qs << before + u"150:-"_qs;
        QTest::newRow("add: a pick by hand outlasts the type")
            << -1 << QStringList{u"Bici:nessuna"_qs, u"Tipo:2"_qs} << corsa << u"150"_qs << u"Pronto."_qs
            << before + u"150:-"_qs;
        QTest::newRow("modify: the ride's bike, whatever the type")
            << 0 << QStringList{u"Tipo:2"_qs} << corsa << u"999"_qs << due.arg(u"999"_qs)
            << u"999:Corsa 10:Vecchia"_qs;
        QTest::newRow("modify: moved to another bike") << 0 << QStringList{u"Bici:MTB"_qs} << corsa
                                                       << u"999"_qs << u"Pronto."_qs << u"999:MTB 10:Vecchia"_qs;
        const QString vecchia = u"Vecchia (ritirata)"_qs;
        QTest::newRow("modify: an old ride keeps its retired bike")
            << 1 << QStringList() << QStringList{NoBike, u"Corsa"_qs, u"MTB"_qs, vecchia, vecchia} << u"20"_qs
            << u"Pronto."_qs << u"900:Corsa 20:Vecchia"_qs;
    }

    void rideDialogAndWarning()
    {
        QFETCH(int, row);
        QFETCH(QStringList, steps);
        QFETCH(QStringList, dialog);
        QFETCH(QString, km);
        QFETCH(QString, status);
        QFETCH(QString, links);
        {
            const auto log = OpenRideLog(m_path);
            QHash<QString, int> keys;
            if (dialog.size() > 2) {
                keys = AddBikes(*log, {u"Corsa"_qs, u"MTB"_qs, u"Vecchia*"_qs});
                Bikes::SetDefaultBike(log->Connection(), 0, keys[u"Corsa"_qs]);
                Bikes::SetDefaultBike(log->Connection(), 2, keys[u"MTB"_qs]);
                // The tyre is due too past 1.045 km, but less worn than the chain.
                for (const auto& [name, limit] : {std::pair{u"catena"_qs, 1000.0}, {u"copertone"_qs, 1100.0}})
                    Bikes::AddPart(log->Connection(), {0, name, limit}, {0, keys[u"Corsa"_qs], QDate(2005, 1, 1)});
            }
            log->Add(RideOf(1, 900), keys.value(u"Corsa"_qs));
            log->Add(RideOf(2, 10), keys.value(u"Vecchia"_qs));
        }
        const auto form = MainWindow::Open(m_program->path(), {u"/NOPROMPTONCLOSE"_qs});
        MonthList::SelectRow(form.get(), std::max(row, 0));
        ModalBoxes boxes;
        QStringList seen; // the bikes offered, the one shown, the status text before the save
        boxes.setDialogHandler([&](QDialog* dialog) {
            auto* bike = Child<QComboBox>(dialog, "ComboBoxBici");
            for (int i = 0; i < bike->count(); ++i)
                seen << bike->itemText(i);
            seen << bike->currentText();
            for (const QString& step : steps) {
                if (step.startsWith(u"Tipo:"))
                    PickAt(Child<QComboBox>(dialog, "ComboBoxTipo"), step.sliced(5).toInt());
                else
                    PickAt(bike, bike->findText(step.sliced(5)));
            }
            auto* distance = Child<QLineEdit>(dialog, "EditKM");
            distance->selectAll();
            QTest::keyClicks(distance, km);
            seen << MainWindow::StatusText(form.get());
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        Run(form.get(), row < 0 ? "MenuAggiungiUscita" : "MenuModificaUscita");
        QCOMPARE(boxes.seen().size(), 0);
        QCOMPARE(seen, dialog << u"Pronto."_qs);
        QCOMPARE(MainWindow::StatusText(form.get()), status);
        const auto* panel = Child<QLabel>(form.get(), "PanelTestoStato");
        QVERIFY(panel->minimumWidth() >= panel->sizeHint().width()); // read whole
        QCOMPARE(Links(m_path).section(u';', 0, 0), links);
    }

    void csvCarriesTheBikes_data()
    {
        // A log with these bikes and rides, exported; or a file of the rider's own.
        QTest::addColumn<QStringList>("bikes");
        QTest::addColumn<QStringList>("rides"); // the bike of each: the i-th of 10·i km on the i-th of March 2005
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("known"); // the bikes of the log the file goes into
        QTest::addColumn<QString>("newBikes");  // the question's line; empty for none
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("links");

        const QString question = u"Bici nuove: Corsa, la rossa, MTB"_qs;
        const QStringList two{u"Corsa, la rossa"_qs, u"MTB"_qs};
        const QStringList rides{u"Corsa, la rossa"_qs, QString(), u"MTB"_qs};
        QTest::newRow("no bikes, no column") << QStringList() << QStringList{QString()} << QByteArray()
                                             << QStringList() << QString() << true << u"10:-;"_qs;
        QTest::newRow("bikes, but no ride on one") << QStringList{u"MTB"_qs} << QStringList{QString()} << QByteArray()
                                                   << QStringList() << QString() << true << u"10:-;"_qs;
        QTest::newRow("every link kept, the bikes made after the question")
            << two << rides << QByteArray() << QStringList() << question << true
            << u"10:Corsa, la rossa 20:- 30:MTB;Corsa, la rossa,MTB"_qs;
        QTest::newRow("a known name in another case")
            << two << rides << QByteArray() << QStringList{u"mtb"_qs} << u"Bici nuove: Corsa, la rossa"_qs << true
            << u"10:Corsa, la rossa 20:- 30:mtb;Corsa, la rossa,mtb"_qs;
        QTest::newRow("No stores nothing")
            << two << rides << QByteArray() << QStringList() << question << false << u";"_qs;
        QTest::newRow("a column of the rider's, first, a name in two cases")
            << QStringList() << QStringList()
            << QByteArray("bici;Data;KM\r\n Strada ;2005-03-01;10\r\nSTRADA;2005-03-02;20\r\n;2005-03-03;30\r\n")
            << QStringList() << u"Bici nuove: Strada"_qs << true << u"10:Strada 20:Strada 30:-;Strada"_qs;
    }

    void csvCarriesTheBikes()
    {
        QFETCH(QStringList, bikes);
        QFETCH(QStringList, rides);
        QFETCH(QByteArray, file);
        QFETCH(QStringList, known);
        QFETCH(QString, newBikes);
        QFETCH(bool, yes);
        QFETCH(QString, links);
        const QString csv = m_program->filePath(u"uscite.csv"_qs);
        if (file.isEmpty()) {
            const QString source = m_program->filePath(u"origine.mdb"_qs);
            QCOMPARE(TestDatabase::Create(source), QString());
            const auto log = OpenRideLog(source);
            const QHash<QString, int> keys = AddBikes(*log, bikes);
            for (int i = 1; i <= rides.size(); ++i)
                log->Add(RideOf(i, 10.0 * i), keys.value(rides[i - 1]));
            QCOMPARE(CsvExport::ExportLog(log->Connection(), csv, CsvExport::CsvFormat::Standard), rides.size());
            QFile written(csv);
            QVERIFY(written.open(QIODevice::ReadOnly));
            // The bikes' column only for a log that has bikes.
            QCOMPARE(written.readLine(), QByteArray(bikes.isEmpty() ? "Data,Tipo,KM,Durata,Descrizione\r\n"
                                                                    : "Data,Tipo,KM,Durata,Descrizione,Bici\r\n"));
        } else {
            QFile written(csv);
            QVERIFY(written.open(QIODevice::WriteOnly) && written.write(file) == file.size());
        }
        AddBikes(*OpenRideLog(m_path), known);

        const auto form = MainWindow::Open(m_program->path(), {u"/NOPROMPTONCLOSE"_qs});
        ModalBoxes boxes(yes ? QMessageBox::Yes : QMessageBox::No);
        boxes.setDialogHandler([&](QDialog* dialog) {
            auto* chooser = qobject_cast<QFileDialog*>(dialog);
            QVERIFY(chooser);
            chooser->findChild<QLineEdit*>(u"fileNameEdit"_qs)->setText(csv);
            static_cast<QDialog*>(chooser)->accept();
        });
        Run(form.get(), "MenuImportaCSV");
        QCOMPARE(boxes.seen().size(), yes ? 2 : 1);
        QCOMPARE(boxes.seen().first().text.section(u"\n\n"_qs, 1), newBikes);
        QCOMPARE(Links(m_path), links);
    }
};

QTEST_MAIN(TestBikesRides)
#include "test_bikes_rides.moc"
