// The "Bici e componenti" window as the rider meets it: its lists, its
// dialogs and its questions, on a real log in a temporary folder.
#include "app/Commands.h"
#include "app/Unitmain.h"
#include "data/TZTConnection.h"
#include "forms/BikesModel.h"
#include "forms/PartsModel.h"
#include "forms/UnitBici.h"
#include "support/Controls.h"
#include "support/DatabaseHolder.h"
#include "support/ItalianLocale.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"
#include "support/TestScreen.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QDate Today(2005, 3, 15);

QStringList Texts(const QTreeView* list, int column = 0)
{
    QStringList texts;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        texts.append(list->model()->index(row, column).data().toString());
    return texts;
}

QTreeView* BikeList(const QWidget* window) { return Child<QTreeView>(window, "ListViewBici"); }
QTreeView* PartList(const QWidget* window) { return Child<QTreeView>(window, "ListViewComponenti"); }

QString Current(const QTreeView* list) { return list->currentIndex().siblingAtColumn(0).data().toString(); }

// A click on the row whose first cell reads `text`.
void ClickRow(QTreeView* list, const QString& text)
{
    const int row = int(Texts(list).indexOf(text));
    QVERIFY2(row >= 0, qPrintable(text));
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

// The texts of a window's buttons, group boxes and controls' labels.
QStringList Captions(const QWidget* window)
{
    QStringList texts;
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
        texts.append(button->text());
    for (const QGroupBox* box : window->findChildren<QGroupBox*>())
        texts.append(box->title());
    for (const QLabel* label : window->findChildren<QLabel*>())
        texts.append(label->buddy() ? label->text() : QString());
    return texts;
}

// A button clicked, or a combo box's last item chosen.
void Press(const QWidget* window, const char* control)
{
    if (auto* combo = window->findChild<QComboBox*>(QString::fromLatin1(control))) {
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_End);
    } else {
        Child<QAbstractButton>(window, control)->click();
    }
}

// Presses `button` of `window`; the dialog it opens is filled by `fill` and
// confirmed, and a question is answered `answer`. Returns the boxes shown.
QList<ModalBoxes::Seen> Through(const QWidget* window, const char* button,
                                const std::function<void(QDialog*)>& fill = {},
                                QMessageBox::StandardButton answer = QMessageBox::Yes)
{
    ModalBoxes boxes(answer);
    boxes.setDialogHandler([&](QDialog* dialog) {
        const QString title = dialog->windowTitle();
        const bool distinct = Distinct(Captions(dialog));
        if (fill)
            fill(dialog);
        Child<QAbstractButton>(dialog, "BitBtnOK")->click();
        // A refused entry leaves the dialog open: the rider gives up.
        if (dialog->isVisible())
            dialog->reject();
        QVERIFY2(distinct, qPrintable(title));
    });
    Press(window, button);
    return boxes.seen();
}

std::function<void(QDialog*)> Named(const QString& name, double startKm = 0)
{
    return [=](QDialog* dialog) {
        Child<QLineEdit>(dialog, "EditNome")->setText(name);
        Child<QDoubleSpinBox>(dialog, "SpinKmIniziali")->setValue(startKm);
    };
}

QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

}

class TestBikesWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_database;
    std::unique_ptr<RideLog> m_log;

    BikeStore Store() { return m_log->Bikes(); }

    std::unique_ptr<TFormBici> Open()
    {
        auto window = std::make_unique<TFormBici>(nullptr, Store(), m_log->Types(), Today);
        window->show();
        return window;
    }

    int AddBike(const QString& name) { return Store().AddBike({0, name, 0.0, {}, false}); }

    void AddPart(int bike, const QString& name, std::optional<double> limitKm)
    {
        Store().AddPart({0, name, limitKm, {}, {}, {}, {}}, {0, bike, QDate(2005, 1, 1), {}, {}});
    }

    void Ride(int bike, const QString& date, double km)
    {
        QCOMPARE(TestDatabase::InsertRide(m_database, date, km), QString());
        const int ride = TestDatabase::Scalar(m_database, u"SELECT max(IDUscita) FROM Uscite"_s).toInt();
        Bikes::SetRideBike(m_log->Connection(), ride, bike);
    }

private Q_SLOTS:
    void init()
    {
        m_log.reset();
        m_database = m_dir.filePath(u"kilovento.mdb"_s);
        QFile::remove(m_database);
        QCOMPARE(TestDatabase::Create(m_database), QString());
        m_log = OpenRideLog(m_database);
    }

    // Added, refused under a name taken, renamed with the selection staying
    // on it, made a type's default, then retired: greyed, last, and no
    // longer anyone's default nor offered as one.
    void aBikeFromAddingToRetiring()
    {
        const auto window = Open();
        QTreeView* bikes = BikeList(window.get());
        Through(window.get(), "BitBtnAggiungiBici", Named(u"Bici da corsa"_s, 7000));
        Through(window.get(), "BitBtnAggiungiBici", Named(u"MTB"_s));
        const QList<ModalBoxes::Seen> refused = Through(window.get(), "BitBtnAggiungiBici", Named(u"mtb"_s));
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.front().text, u"ATTENZIONE: esiste già una bici di nome \"MTB\"."_s);
        QCOMPARE(Texts(bikes), (QStringList{u"Bici da corsa"_s, u"MTB"_s}));
        QCOMPARE(Texts(bikes, BikesModel::Km), (QStringList{u"7.000"_s, u"0"_s}));

        ClickRow(bikes, u"Bici da corsa"_s);
        Through(window.get(), "BitBtnModificaBici", [](QDialog* dialog) {
            QCOMPARE(Child<QDoubleSpinBox>(dialog, "SpinKmIniziali")->value(), 7000.0);
            Child<QLineEdit>(dialog, "EditNome")->setText(u"Strada"_s);
        });
        QCOMPARE(Texts(bikes), (QStringList{u"MTB"_s, u"Strada"_s}));
        QCOMPARE(Current(bikes), u"Strada"_s);
        const int mtb = Store().Garage().FindBike(u"MTB"_s)->key;

        QComboBox* road = Child<QComboBox>(window.get(), "ComboBoxPredefinita0");
        QCOMPARE(Items(road), (QStringList{u"nessuna"_s, u"MTB"_s, u"Strada"_s}));
        road->setFocus();
        QTest::keyClick(road, Qt::Key_Down);
        QCOMPARE(Store().Garage().defaultBikes.value(0), mtb);

        ClickRow(bikes, u"MTB"_s);
        Press(window.get(), "BitBtnRitiraBici");
        QCOMPARE(Texts(bikes), (QStringList{u"Strada"_s, u"MTB (ritirata)"_s}));
        QCOMPARE(Current(bikes), u"MTB (ritirata)"_s);
        QCOMPARE(bikes->model()->index(1, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
                 QApplication::palette().color(QPalette::Disabled, QPalette::Text));
        QCOMPARE(Child<QAbstractButton>(window.get(), "BitBtnRitiraBici")->text(), u"&Rimetti in uso"_s);
        QCOMPARE(Items(road), (QStringList{u"nessuna"_s, u"Strada"_s}));
        QCOMPARE(road->currentText(), u"nessuna"_s);
        QVERIFY(Store().Garage().defaultBikes.value(0) == 0 && Store().Garage().FindBike(mtb)->retired);
    }

    // The parts of a bike by wear: the due ones first, most worn first,
    // marked; the others after them in the garage's order.
    void partsListedByWear_data()
    {
        QTest::addColumn<double>("km");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("wear");
        QTest::addColumn<int>("marked"); // the first so many rows
        QTest::newRow("none due") << 500.0 << QStringList{u"catena"_s, u"nastro"_s, u"pastiglie"_s}
                                  << QStringList{u"5 %"_s, QString(), u"50 %"_s} << 0;
        QTest::newRow("one due") << 960.0 << QStringList{u"pastiglie"_s, u"catena"_s, u"nastro"_s}
                                 << QStringList{u"96 %"_s, u"9 %"_s, QString()} << 1;
        QTest::newRow("both due") << 9600.0 << QStringList{u"pastiglie"_s, u"catena"_s, u"nastro"_s}
                                  << QStringList{u"960 %"_s, u"96 %"_s, QString()} << 2;
    }

    void partsListedByWear()
    {
        QFETCH(double, km);
        QFETCH(QStringList, order);
        QFETCH(QStringList, wear);
        QFETCH(int, marked);
        const int bike = AddBike(u"Strada"_s);
        AddPart(bike, u"catena"_s, 10000.0);
        AddPart(bike, u"nastro"_s, std::nullopt);
        AddPart(bike, u"pastiglie"_s, 1000.0);
        Ride(bike, u"2005-03-01"_s, km);
        const auto window = Open();
        QTreeView* parts = PartList(window.get());
        QCOMPARE(Texts(parts), order);
        QCOMPARE(Texts(parts, PartsModel::Wear), wear);
        const Bikes::Garage garage = Store().Garage();
        const QList<Bikes::Wear> due = Bikes::Due(garage, Store().Usage(garage, Today));
        for (int row = 0; row < order.size(); ++row) {
            const QModelIndex name = parts->model()->index(row, 0);
            QCOMPARE(name.data(Qt::FontRole).value<QFont>().bold(), row < marked);
            QCOMPARE(name.data(Qt::DecorationRole).isValid(), row < marked);
            if (row < marked)
                QVERIFY2(name.data(Qt::ToolTipRole).toString().startsWith(Bikes::DueText(due.at(row))),
                         qPrintable(name.data(Qt::ToolTipRole).toString()));
        }
    }

    // A part added with a km limit, moved to another bike with the list
    // following it and its history shown, then replaced: the new one in its
    // place, the old one retired and listed only on request; last put aside.
    void aPartMovedThenReplaced()
    {
        AddBike(u"MTB"_s);
        AddBike(u"Strada"_s);
        const auto window = Open();
        QTreeView* parts = PartList(window.get());
        ClickRow(BikeList(window.get()), u"Strada"_s);
        Through(window.get(), "BitBtnAggiungiComponente", [](QDialog* dialog) {
            Child<QComboBox>(dialog, "ComboBoxNome")->setCurrentText(u"catena"_s);
            Child<QDateEdit>(dialog, "DateMontaggio")->setDate(QDate(2005, 3, 1));
            Child<QCheckBox>(dialog, "CheckBoxLimiteKm")->setChecked(true);
            Child<QSpinBox>(dialog, "SpinLimiteKm")->setValue(5000);
        });
        QCOMPARE(Texts(parts, PartsModel::Limit), QStringList{u"5.000 km"_s});
        QCOMPARE(Texts(parts, PartsModel::Fitted), QStringList{u"01/03/2005"_s});

        Through(window.get(), "BitBtnSpostaComponente", [](QDialog* dialog) {
            QComboBox* bikes = Child<QComboBox>(dialog, "ComboBoxBici");
            QCOMPARE(Items(bikes), (QStringList{u"MTB"_s, u"nessuna (messo da parte)"_s}));
            bikes->setCurrentIndex(0);
        });
        QCOMPARE(Current(BikeList(window.get())), u"MTB"_s);
        QCOMPARE(Current(parts), u"catena"_s);
        QCOMPARE(Child<QLabel>(window.get(), "LabelStoria")->text(),
                 u"Storia: Strada dal 01/03/2005 al 15/03/2005; MTB dal 15/03/2005"_s);
        const int old = Store().Garage().parts.front().key;

        const QList<ModalBoxes::Seen> asked = Through(window.get(), "BitBtnSostituisciComponente");
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.front().defaultButton, QMessageBox::Yes);
        QCOMPARE(Texts(parts), QStringList{u"catena"_s});
        QVERIFY(parts->currentIndex().data(PartsModel::KeyRole).toInt() != old);
        Child<QCheckBox>(window.get(), "CheckBoxRitirati")->click();
        QCOMPARE(Texts(parts), (QStringList{u"catena"_s, u"catena (ritirato)"_s}));
        QCOMPARE(Texts(parts, PartsModel::Limit), (QStringList{u"5.000 km"_s, u"5.000 km"_s}));
        ClickRow(parts, u"catena (ritirato)"_s);
        for (const char* button : {"BitBtnSpostaComponente", "BitBtnSostituisciComponente", "BitBtnRitiraComponente"})
            QVERIFY2(!Child<QAbstractButton>(window.get(), button)->isEnabled(), button);
        QVERIFY(Child<QAbstractButton>(window.get(), "BitBtnEliminaComponente")->isEnabled());

        // Put aside, it is listed with the parts on no bike.
        ClickRow(parts, u"catena"_s);
        Through(window.get(), "BitBtnSpostaComponente",
                [](QDialog* dialog) { Child<QComboBox>(dialog, "ComboBoxBici")->setCurrentIndex(1); });
        QCOMPARE(Current(BikeList(window.get())), BikesModel::NoBikeText);
        QCOMPARE(Texts(parts), QStringList{u"catena"_s});
        QCOMPARE(Texts(parts, PartsModel::Fitted), QStringList{u"smontato il 15/03/2005"_s});
    }

    // A bike's deletion asks first; its rides stay, without a bike, and its
    // parts are listed among those on no bike.
    void deletingABikeAsks_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("no") << QMessageBox::No << QStringList{u"Strada"_s};
        QTest::newRow("yes") << QMessageBox::Yes << QStringList{BikesModel::NoBikeText};
    }

    void deletingABikeAsks()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QStringList, listed);
        const int bike = AddBike(u"Strada"_s);
        AddPart(bike, u"catena"_s, std::nullopt);
        Ride(bike, u"2005-02-01"_s, 40);
        Ride(bike, u"2005-02-02"_s, 50);
        const auto window = Open();
        const QList<ModalBoxes::Seen> asked = Through(window.get(), "BitBtnEliminaBici", {}, answer);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.front().text, u"Eliminare la bici \"Strada\"?\n\nLe sue 2 uscite restano nel diario senza bici."_s);
        QCOMPARE(asked.front().defaultButton, QMessageBox::No);
        QCOMPARE(Texts(BikeList(window.get())), listed);
        QCOMPARE(Texts(PartList(window.get())), QStringList{u"catena"_s});
        QCOMPARE(Bikes::BikeOfRide(m_log->Connection(),
                                   TestDatabase::Scalar(m_database, u"SELECT min(IDUscita) FROM Uscite"_s).toInt()),
                 answer == QMessageBox::Yes ? 0 : bike);
    }

    // A write the database refuses is told, and the lists stay as they were:
    // through a dialog, a default's combo box and a button that writes at once
    // (every write of the window goes the same way).
    void refusedWritesAreTold_data()
    {
        QTest::addColumn<QString>("control");
        for (const char* control : {"BitBtnAggiungiComponente", "ComboBoxPredefinita0", "BitBtnRitiraBici"})
            QTest::newRow(control) << QString::fromLatin1(control);
    }

    void refusedWritesAreTold()
    {
        QFETCH(QString, control);
        const int bike = AddBike(u"Strada"_s);
        AddBike(u"MTB"_s);
        AddPart(bike, u"catena"_s, 1000.0);
        const auto window = Open();
        ClickRow(BikeList(window.get()), u"Strada"_s);
        const QStringList bikes = Texts(BikeList(window.get())), parts = Texts(PartList(window.get()));

        m_log->Connection().SetBusyTimeout(50);
        std::optional<DatabaseHolder::InProcess> holder(std::in_place, m_database, u"write"_s);
        QVERIFY(holder->Holds());
        const QList<ModalBoxes::Seen> seen = Through(window.get(), qPrintable(control), [](QDialog* dialog) {
            if (auto* name = dialog->findChild<QLineEdit*>(u"EditNome"_s))
                name->setText(u"Nuova"_s);
            if (auto* name = dialog->findChild<QComboBox*>(u"ComboBoxNome"_s))
                name->setCurrentText(u"freni"_s);
        });
        holder.reset();
        QVERIFY(!seen.isEmpty());
        QVERIFY2(seen.last().text.startsWith(u"ERRORE nel salvataggio di bici e componenti.\n\nEccezione: "
                                             "database in uso da un altro programma."_s),
                 qPrintable(seen.last().text));
        QCOMPARE(seen.last().icon, QMessageBox::Warning);
        QCOMPARE(Texts(BikeList(window.get())), bikes);
        QCOMPARE(Texts(PartList(window.get())), parts);
    }

    // Strumenti opens the window, whose letters clash with none (its
    // dialogs' are checked as they are filled); a log that cannot be read is told.
    void theCommandOpensTheWindow()
    {
        const QString program = m_dir.filePath(u"programma"_s);
        QVERIFY(QDir().mkpath(program));
        QCOMPARE(TestDatabase::CreateProgramFolder(program), QString());
        const auto form = MainWindow::Open(program, {u"/NOPROMPTONCLOSE"_s});
        ModalBoxes boxes;
        QStringList seen;
        bool distinct = false;
        boxes.setDialogHandler([&](QDialog* dialog) {
            seen.append(dialog->windowTitle());
            distinct = Distinct(Captions(dialog));
            dialog->accept();
        });
        Run(form.get(), "MenuBici");
        QCOMPARE(seen, QStringList{u"Bici e componenti"_s});
        QVERIFY(distinct);

        TestScreen screen;
        m_log->Connection().SetBusyTimeout(50);
        const DatabaseHolder::InProcess holder(m_database, u"exclusive"_s);
        QVERIFY(holder.Holds());
        BikesCommand(*m_log, screen);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(boxes.seen().size(), 1);
        QVERIFY2(boxes.seen().front().text.startsWith(u"ERRORE nella lettura di bici e componenti.\n\nEccezione: "_s),
                 qPrintable(boxes.seen().front().text));
        QCOMPARE(screen.texts.last(), ReadyStatusText);
    }
};

QTEST_MAIN(TestBikesWindow)
#include "test_bikes_window.moc"
