#include "app/Unitmain.h"
#include "data/MonthRides.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "forms/GridLinesDelegate.h"
#include "forms/Pictures.h"
#include "forms/PixelFile.h"
#include "support/Controls.h"
#include "support/ItalianLocale.h"
#include "support/MainWindow.h"
#include "support/ModalBoxes.h"
#include "support/MonthList.h"
#include "support/Files.h"
#include "support/ListCells.h"
#include "support/TestDatabase.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QLabel>
#include <QPainter>
#include <QStandardItemModel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QToolButton>
#include <QHeaderView>
#include <QTreeView>
#include <QtTest>

using MonthList::Count;
using MonthList::SelectRow;
using MonthList::SelectedRow;

// The report lists' cells as the style alone draws them, grid lines added:
// what the list delegate's own drawing must match pixel for pixel.
class StyleDrawnCells : public GridLinesDelegate
{
public:
    using GridLinesDelegate::GridLinesDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.widget->style()->drawControl(QStyle::CE_ItemViewItem, &cell, painter, cell.widget);
        painter->setPen(option.palette.color(QPalette::Midlight));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    }
};

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    std::unique_ptr<TFormMain> Open(const QStringList& arguments = {}) { return MainWindow::Open(m_dir.path(), arguments); }

    void Insert(const QDate& date, double km)
    {
        QCOMPARE(TestDatabase::InsertRide(m_path, date.toString(Qt::ISODate), km), QString());
    }

    static QListWidget* Calendar(QWidget* form) { return Child<QListWidget>(form, "ListViewCalendario"); }
    static QString Title(QWidget* form) { return Child<QLabel>(form, "LabelNomeMese")->text(); }
    enum SelectionClearing { ClickBelowTheRows, ControlClickOnTheRow, ClearedByTheProgram };

    static QList<bool> EditCommandsEnabled(QWidget* form)
    {
        return {Child<QAction>(form, "MenuModificaUscita")->isEnabled(), Child<QAction>(form, "MenuEliminaUscita")->isEnabled(),
                Child<QToolButton>(form, "BitBtnModificaUscita")->isEnabled(), Child<QToolButton>(form, "BitBtnEliminaUscita")->isEnabled()};
    }

    // The pixels of `icon` drawn at `size` for a screen of pixel `ratio`.
    static QImage Pixels(const QIcon& icon, const QSize& size, qreal ratio)
    {
        QImage pixels = icon.pixmap(size, ratio).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        pixels.setDevicePixelRatio(1.0);
        return pixels;
    }

    // Those of the picture resources/icons/<picture>.svg, drawn as the build draws the icons.
    static void CompareWithPicture(const QImage& pixels, const QString& picture, const QSize& size)
    {
        const QImage drawn = Pixels(QIcon(u":/icons/"_qs + picture + u".svg"_qs), size, 1.0);
        QVERIFY(!drawn.isNull());
        QVERIFY2(pixels == drawn, qPrintable(u"%1 at %2 pixels"_qs.arg(picture).arg(size.width())));
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(u"kilovento.mdb"_qs);
        QCOMPARE(TestDatabase::CreateProgramFolder(m_dir.path()), QString());
    }

    void calendarCoversJanuary1990ToTheCurrentYear()
    {
        Insert(QDate(2005, 3, 2), 42.5);
        const auto form = Open();
        QListWidget* calendar = Calendar(form.get());
        QCOMPARE(calendar->count(), 192);
        for (int row = 0; row < calendar->count(); ++row)
            QVERIFY(!calendar->item(row)->icon().isNull());
        QCOMPARE(calendar->selectedItems(), QList<QListWidgetItem*>{calendar->item(182)});
        QCOMPARE((QStringList{calendar->item(0)->text(), calendar->item(191)->text(), calendar->item(182)->text(), Title(form.get())}),
                 (QStringList{u"Gennaio 1990"_qs, u"Dicembre 2005"_qs, u"Marzo 2005"_qs, u"Marzo 2005"_qs}));
        QCOMPARE((QList<int>{form->ShownMonth(), form->ShownYear()}), (QList<int>{3, 2005}));
        QCOMPARE(Count(form.get()), 1);
        QCOMPARE((QStringList{MonthList::Text(form.get(), 0, 3), Child<QLabel>(form.get(), "LabelKM")->text()}),
                 (QStringList{u"42,5"_qs, u"42,5"_qs}));
        QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, false));
    }

    void navigationButtons_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QString>("button"); // after "SpeedButton"
        QTest::addColumn<QDate>("to");
        QTest::newRow("next month into a new year") << QDate(2004, 12, 1) << u"MeseSuccessivo"_qs << QDate(2005, 1, 1);
        QTest::newRow("previous month into the old year") << QDate(2005, 1, 1) << u"MesePrecedente"_qs << QDate(2004, 12, 1);
        QTest::newRow("previous month stops at January 1990") << QDate(1990, 1, 1) << u"MesePrecedente"_qs << QDate(1990, 1, 1);
        QTest::newRow("next month stops at the last entry") << QDate(2005, 12, 1) << u"MeseSuccessivo"_qs << QDate(2005, 12, 1);
        QTest::newRow("next year from June of the last year") << QDate(2005, 6, 1) << u"AnnoSuccessivo"_qs << QDate(2005, 12, 1);
        QTest::newRow("previous year from June 1990") << QDate(1990, 6, 1) << u"AnnoPrecedente"_qs << QDate(1990, 1, 1);
        QTest::newRow("previous year") << QDate(2003, 7, 1) << u"AnnoPrecedente"_qs << QDate(2002, 7, 1);
        QTest::newRow("current month") << QDate(1999, 5, 1) << u"MeseCorrente"_qs << QDate(2005, 3, 1);
    }

    void navigationButtons()
    {
        QFETCH(QDate, from);
        QFETCH(QString, button);
        QFETCH(QDate, to);
        const auto form = Open();
        form->GoToMonth(from.month(), from.year(), false);
        QCOMPARE((QList<int>{form->ShownMonth(), form->ShownYear()}), (QList<int>{from.month(), from.year()}));
        auto* speedButton = Child<QToolButton>(form.get(), u"SpeedButton"_qs + button);
        speedButton->click();
        QCOMPARE((QList<int>{form->ShownMonth(), form->ShownYear()}), (QList<int>{to.month(), to.year()}));
        QCOMPARE(Calendar(form.get())->currentRow(), (to.year() - 1990) * 12 + to.month() - 1);
        QVERIFY(!speedButton->toolTip().isEmpty());
    }

    void monthListShowsTheMonthsRows_data()
    {
        // Months shown one after the other, as "month/year", "!" for a forced reload.
        QTest::addColumn<QStringList>("visits");
        QTest::newRow("one month") << QStringList{u"3/2005"_qs};
        QTest::newRow("there and back") << QStringList{u"3/2005"_qs, u"2/2005"_qs, u"3/2005"_qs};
        QTest::newRow("through an empty month") << QStringList{u"2/2005"_qs, u"4/2005"_qs, u"2/2005"_qs};
        QTest::newRow("forced reloads") << QStringList{u"3/2005"_qs, u"!3/2005"_qs, u"!3/2005"_qs};
    }

    void monthListShowsTheMonthsRows()
    {
        QFETCH(QStringList, visits);
        const QString durations[] = {u"01:00:00"_qs, QString(), u"10:30:05"_qs, u"00:00:20"_qs};
        for (int i = 0; i < 12; ++i) {
            const QDate date(2005, 2 + i % 2, 1 + i / 3);
            QCOMPARE(TestDatabase::InsertRide(m_path, date.toString(Qt::ISODate), 0.25 + 7.3 * i, i % 3,
                                              u"giro %1"_qs.arg(i), durations[i % 4]),
                     QString());
        }
        const auto form = Open();
        TZTConnection connection;
        connection.Open(TestDatabase::ConnectionStringFor(m_path));
        for (QString visit : visits) {
            const bool force = visit.startsWith(u'!');
            const QStringList parts = visit.remove(u'!').split(u'/');
            const int month = parts[0].toInt(), year = parts[1].toInt();
            form->GoToMonth(month, year, force);
            const MonthRides expected = MonthRides::Load(connection, year, month);
            QCOMPARE(Count(form.get()), expected.rows.size());
            for (int row = 0; row < expected.rows.size(); ++row) {
                const MonthRides::RowTexts ride = expected.Texts(row);
                QStringList shown;
                for (int column = 0; column < MonthList::Rides(form.get())->header()->count(); ++column)
                    shown << MonthList::Text(form.get(), row, column);
                QCOMPARE(shown, (QStringList{ride.number, ride.day, ride.type, ride.km, ride.duration, ride.speed,
                                             ride.description}));
                QCOMPARE(MonthList::Cell(form.get(), row, 0).data(Qt::UserRole).toInt(), expected.rows[row].id);
            }
        }
        // The edit commands work on the row's ride.
        if (Count(form.get()) > 0) {
            SelectRow(form.get(), Count(form.get()) - 1);
            QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, true));
        }
    }

    void reloadOnlyWhenForcedKeepsTheRow()
    {
        for (int day = 1; day <= 3; ++day)
            Insert(QDate(2005, 3, day), 10 * day);
        Insert(QDate(2005, 2, 1), 10);
        const auto form = Open();
        SelectRow(form.get(), 1);
        QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, true));
        // A ride that only a reload can show: the month shown is not reloaded unless forced.
        Insert(QDate(2005, 3, 20), 40);
        Child<QToolButton>(form.get(), "SpeedButtonMeseCorrente")->click();
        form->GoToMonth(3, 2005, false);
        QCOMPARE(Count(form.get()), 3);
        form->GoToMonth(3, 2005, true);
        QCOMPARE(Count(form.get()), 4);
        QCOMPARE(SelectedRow(form.get()), 1);
        QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, true));

        // The selected last row is gone: nothing is selected and the commands are off.
        SelectRow(form.get(), 3);
        QCOMPARE(TestDatabase::Exec(m_path, u"DELETE FROM Uscite WHERE Data = '2005-03-20'"_qs), QString());
        form->GoToMonth(3, 2005, true);
        QCOMPARE(Count(form.get()), 3);
        QCOMPARE(SelectedRow(form.get()), -1);
        QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, false));

        // Another month starts with nothing selected.
        SelectRow(form.get(), 0);
        Child<QToolButton>(form.get(), "SpeedButtonMesePrecedente")->click();
        QCOMPARE(Count(form.get()), 1);
        QCOMPARE(SelectedRow(form.get()), -1);
        QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, false));
    }

    void editCommandsFollowTheSelection_data()
    {
        QTest::addColumn<int>("clearedBy");
        QTest::newRow("click below the rows") << int(ClickBelowTheRows);
        QTest::newRow("ctrl+click on the selected row") << int(ControlClickOnTheRow);
        QTest::newRow("cleared by the program") << int(ClearedByTheProgram);
    }

    void editCommandsFollowTheSelection()
    {
        QFETCH(int, clearedBy);
        Insert(QDate(2005, 3, 1), 10);
        Insert(QDate(2005, 3, 2), 20);
        const auto form = Open();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTreeView* rides = MonthList::Rides(form.get());
        const QPoint secondRow = rides->visualRect(MonthList::Cell(form.get(), 1, 0)).center();
        QTest::mouseClick(rides->viewport(), Qt::LeftButton, {}, secondRow);
        QCOMPARE(SelectedRow(form.get()), 1);
        QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, true));

        if (clearedBy == ClickBelowTheRows)
            QTest::mouseClick(rides->viewport(), Qt::LeftButton, {}, QPoint(secondRow.x(), rides->viewport()->height() - 5));
        else if (clearedBy == ControlClickOnTheRow)
            QTest::mouseClick(rides->viewport(), Qt::LeftButton, Qt::ControlModifier, secondRow);
        else
            rides->clearSelection();
        QCOMPARE(SelectedRow(form.get()), -1);
        QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, false));

        QTest::keyClick(rides, Qt::Key_Up); // the keyboard selects again
        QCOMPARE(SelectedRow(form.get()), 0);
        QCOMPARE(EditCommandsEnabled(form.get()), QList<bool>(4, true));
    }

    // Headings, widths and the place of each text as the rider sees them.
    void monthListColumns()
    {
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-02"_qs, 7.5, 0, u"giro"_qs, u"00:30:00"_qs), QString());
        const QString longest = u"Giro lungo "_qs.repeated(23);
        QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-03"_qs, 9, 0, longest, u"00:30:00"_qs), QString());
        const auto form = Open();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTreeView* rides = MonthList::Rides(form.get());
        QCOMPARE(ListCells::ColumnFault(rides,
                                        {u"#"_qs, u"Giorno"_qs, u"Tipo"_qs, u"KM"_qs, u"Durata"_qs, u"KM/h"_qs,
                                         u"Descrizione"_qs},
                                        {20, 80, 40, 40, 55, 40, 400}, u"LCCCCCL"_qs),
                 QString());
        // A wider window widens the description to the list's edge.
        form->resize(form->width() + 400, form->height());
        QTRY_COMPARE(rides->header()->sectionViewportPosition(6) + rides->columnWidth(6), rides->viewport()->width());
        // Still cut, it shows whole under the pointer.
        const QPoint cell = rides->visualRect(rides->model()->index(1, 6)).center();
        QHelpEvent help(QEvent::ToolTip, cell, rides->viewport()->mapToGlobal(cell));
        QApplication::sendEvent(rides->viewport(), &help);
        QTRY_COMPARE(QToolTip::text(), longest);
    }

    // Every alignment, font and state of a report list's cells, cut text and
    // the focused row included, looks as the style itself draws it.
    void reportCellsLookAsTheStyleDrawsThem_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QFont>("font");
        QTest::addColumn<bool>("focused");
        QFont large;
        large.setPixelSize(19);
        large.setBold(true);
        const int centred = Qt::AlignHCenter | Qt::AlignVCenter;
        QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignVCenter) << QFont() << false;
        QTest::newRow("centred") << centred << QFont() << false;
        QTest::newRow("right, top") << int(Qt::AlignRight | Qt::AlignTop) << QFont() << false;
        QTest::newRow("large bold") << centred << large << false;
        QTest::newRow("focused") << centred << QFont() << true;
    }

    void reportCellsLookAsTheStyleDrawsThem()
    {
        QFETCH(int, alignment);
        QFETCH(QFont, font);
        QFETCH(bool, focused);
        const QStringList texts = {u"1"_qs, u"Domenica 28"_qs, u""_qs, u"Giro del lago, salita al passo"_qs,
                                   u"123,4"_qs, u"già_fatto"_qs, u"2:05:00"_qs};
        QStandardItemModel model(4, 4);
        for (int cell = 0; cell < 16; ++cell) {
            auto* item = new QStandardItem(texts.at(cell % texts.size()));
            item->setFont(font);
            if (cell % 4 != 2) // the third column takes its alignment from its heading
                item->setData(alignment, Qt::TextAlignmentRole);
            model.setItem(cell / 4, cell % 4, item);
        }
        model.setHeaderData(2, Qt::Horizontal, alignment, Qt::TextAlignmentRole);
        QTreeView view;
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setAllColumnsShowFocus(true);
        view.setModel(&model);
        view.setColumnWidth(3, 60); // cuts the longer texts
        view.resize(500, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.setCurrentIndex(model.index(1, 0));
        if (focused)
            view.setFocus();
        GridLinesDelegate list(&view);
        StyleDrawnCells style(&view);
        view.setItemDelegate(&list);
        const QImage drawn = view.viewport()->grab().toImage();
        view.setItemDelegate(&style);
        QCOMPARE(drawn, view.viewport()->grab().toImage());
    }

    void failedLoadShowsNothingStale()
    {
        Insert(QDate(2005, 3, 1), 10);
        TZTConnection* connection = nullptr;
        const auto form = MainWindow::Open(m_dir.path(), {}, &connection);
        QCOMPARE(Count(form.get()), 1);
        connection->Close();
        ModalBoxes boxes;
        Child<QToolButton>(form.get(), "SpeedButtonMeseSuccessivo")->click();
        QCOMPARE(boxes.seen().size(), 1);
        QVERIFY(boxes.seen().first().text.startsWith(
            u"ATTENZIONE: impossibile estrarre i dati del mese selezionato.\n\nEccezione: ZTADO exception: "_qs));
        QCOMPARE(boxes.seen().first().icon, QMessageBox::Warning);
        QCOMPARE(Title(form.get()), u"Aprile 2005"_qs);
        QCOMPARE(Count(form.get()), 0);
        for (const char* figure : {"LabelKM", "LabelUscite", "LabelKMU", "LabelKMG"})
            QCOMPARE(Child<QLabel>(form.get(), figure)->text(), QString());
    }

    void menusAndCommands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("exit") << u"MenuEsci"_qs << u"&Esci"_qs << u"Ctrl+Alt+X"_qs << true;
        QTest::newRow("add") << u"MenuAggiungiUscita"_qs << u"&Aggiungi..."_qs << QString() << true;
        QTest::newRow("modify") << u"MenuModificaUscita"_qs << u"&Modifica..."_qs << QString() << false;
        QTest::newRow("delete") << u"MenuEliminaUscita"_qs << u"&Elimina"_qs << QString() << false;
        QTest::newRow("print") << u"MenuStampaMese"_qs << u"&Stampa mese"_qs << QString() << true;
        QTest::newRow("statistics") << u"MenuElaborazioneDati"_qs << u"&Elaborazione dati..."_qs << u"Ctrl+Alt+E"_qs << true;
        QTest::newRow("compact") << u"MenuCompattaDB"_qs << u"&Compatta e ripristina database"_qs << QString() << true;
        QTest::newRow("options") << u"MenuOpzioni"_qs << u"Opzioni..."_qs << u"Ctrl+Alt+O"_qs << true;
        QTest::newRow("about") << u"MenuInformazioniSu"_qs << u"&Informazioni su..."_qs << QString() << true;
        QTest::newRow("bikes") << u"MenuBici"_qs << u"&Bici e componenti..."_qs << QString() << true;
        QTest::newRow("tool statistics") << u"ToolButtonElaborazioneDati"_qs << u"Elaborazione dati..."_qs << QString() << true;
        QTest::newRow("tool options") << u"ToolButtonOpzioni"_qs << u"&Opzioni..."_qs << QString() << true;
    }

    void menusAndCommands()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        QFETCH(bool, enabled);
        const auto form = Open();
        const auto* action = Child<QAction>(form.get(), name);
        QCOMPARE(action->text(), text);
        QCOMPARE(action->shortcut().toString(), shortcut);
        QCOMPARE(action->isEnabled(), enabled);
        QVERIFY(!action->icon().pixmap(16, 16).isNull());
    }

    void keysRunTheCommands_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("shown"); // the dialog's caption or the box's text
        QTest::newRow("Enter modifies") << int(Qt::Key_Return) << 0 << u"Modifica uscita di Marzo 2005"_qs;
        QTest::newRow("keypad Enter modifies") << int(Qt::Key_Enter) << int(Qt::KeypadModifier)
                                               << u"Modifica uscita di Marzo 2005"_qs;
        QTest::newRow("Insert adds") << int(Qt::Key_Insert) << 0 << u"Aggiungi uscita a Marzo 2005"_qs;
        QTest::newRow("Delete asks") << int(Qt::Key_Delete) << 0 << u"Eliminare l'uscita selezionata?"_qs;
    }

    void keysRunTheCommands()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, shown);
        Insert(QDate(2005, 3, 1), 10);
        const auto form = Open();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        SelectRow(form.get(), 0);
        MonthList::Rides(form.get())->setFocus();
        QStringList seen;
        ModalBoxes boxes(QMessageBox::No);
        boxes.setDialogHandler([&](QDialog* dialog) {
            seen.append(dialog->windowTitle());
            dialog->reject();
        });
        QTest::keyClick(MonthList::Rides(form.get()), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        for (const ModalBoxes::Seen& box : boxes.seen())
            seen.append(box.text);
        QCOMPARE(seen, QStringList{shown});
        QCOMPARE(TestDatabase::Scalar(m_path, u"SELECT count(*) FROM Uscite"_qs), u"1"_qs);
    }

    void altSOpensTheMenuAndCtrlQCloses()
    {
        const auto form = Open({u"/NOPROMPTONCLOSE"_qs});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        for (const char* focus : {"ListViewUsciteMensili", "BitBtnStampaMese", "ListViewCalendario"}) {
            Child<QWidget>(form.get(), focus)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
            QTRY_COMPARE(QApplication::activePopupWidget(), Child<QWidget>(form.get(), "MenuStrumenti"));
            QApplication::activePopupWidget()->close();
        }
        QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!form->isVisible());
    }

    void yearGoalPanel_data()
    {
        // A goal of 6000 km, 120.5 km ridden in 2005 up to 15 March, day 74 of 365.
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("shown");
        QTest::newRow("at start-up") << u"none"_qs << u"2005: 121 / 6.000 km"_qs;
        QTest::newRow("a ride added") << u"add"_qs << u"2005: 163 / 6.000 km"_qs;
        QTest::newRow("a ride changed") << u"modify"_qs << u"2005: 31 / 6.000 km"_qs;
        QTest::newRow("a ride deleted") << u"delete"_qs << u"2005: 21 / 6.000 km"_qs;
        QTest::newRow("rides imported") << u"import"_qs << u"2005: 154 / 6.000 km"_qs;
        QTest::newRow("the goal removed") << u"no goal"_qs << QString();
    }

    void yearGoalPanel()
    {
        QFETCH(QString, command);
        QFETCH(QString, shown);
        Insert(QDate(2005, 3, 2), 100);
        Insert(QDate(2005, 1, 10), 20.5);
        Insert(QDate(2004, 12, 31), 500);
        Insert(QDate(2005, 6, 1), 1000); // entered ahead of its day
        Insert(QDate(2006, 1, 1), 77);
        QVERIFY(WriteFile(m_dir.filePath(u"kilovento.ini"_qs),
                          Bytes(m_dir.filePath(u"kilovento.ini"_qs)) + "[OPTIONS]\nYearGoal=6000\n"));
        const QString datFolder = m_dir.filePath(u"dat"_qs);
        QVERIFY(QDir().mkpath(datFolder));
        QVERIFY(WriteFile(QDir(datFolder).filePath(u"022005.dat"_qs), "14 33.3 San Valentino^1\r\n"));
        const auto form = Open({u"/IMPORTENABLED"_qs, u"/NOPROMPTONCLOSE"_qs});
        auto* panel = Child<QLabel>(form.get(), "PanelObiettivoAnnuo");

        ModalBoxes boxes(QMessageBox::Yes);
        boxes.setDialogHandler([&](QDialog* dialog) {
            if (auto* chooser = qobject_cast<QFileDialog*>(dialog)) {
                chooser->setDirectory(datFolder);
                return dialog->accept(); // QFileDialog's own, which takes the folder shown
            }
            Child<QLineEdit>(dialog, "EditKM")->setText(command == u"add" ? u"42,5"_qs : u"10"_qs);
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        if (command == u"add") {
            Child<QAction>(form.get(), "MenuAggiungiUscita")->trigger();
        } else if (command == u"modify" || command == u"delete") {
            SelectRow(form.get(), 0);
            Child<QAction>(form.get(), command == u"modify" ? "MenuModificaUscita" : "MenuEliminaUscita")->trigger();
        } else if (command == u"import") {
            Child<QAction>(form.get(), "MenuImportaDaFileDAT")->trigger();
        } else if (command == u"no goal") {
            Options options = form->CurrentOptions();
            options.yearGoal = 0;
            form->ApplyOptions(options);
        }
        QCOMPARE(panel->text(), shown);
        // The text shows whole in its panel.
        QVERIFY(panel->fontMetrics().horizontalAdvance(shown) < panel->contentsRect().width());
        if (command == u"none") {
            // The figures appear where the pointer rests on the panel; 2004
            // alone, begun in December, is no season to project from.
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            QTest::mouseMove(form->windowHandle(), panel->mapTo(form.get(), panel->rect().center()));
            QTRY_COMPARE(QToolTip::text(),
                         u"Proiezione a fine anno: 594 km (lineare: servono almeno due anni completi nel registro)\n"
                         "2004 alla stessa data: 0 km\nMancano 5.880 km: 141 km a settimana"_qs);
        }
    }

    void importNeedsItsSwitch()
    {
        QVERIFY(!Child<QAction>(Open().get(), "MenuImportaDaFileDAT")->isEnabled());
        QVERIFY(Child<QAction>(Open({u"-importenabled"_qs}).get(), "MenuImportaDaFileDAT")->isEnabled());
    }

    void closePrompt_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("answer"); // NoButton: Enter at once
        QTest::addColumn<bool>("closed");
        QTest::newRow("yes") << QStringList() << int(QMessageBox::Yes) << true;
        QTest::newRow("no") << QStringList() << int(QMessageBox::No) << false;
        QTest::newRow("cancel") << QStringList() << int(QMessageBox::Cancel) << false;
        QTest::newRow("enter") << QStringList() << int(QMessageBox::NoButton) << false;
        QTest::newRow("no prompt") << QStringList{u"/NOPROMPTONCLOSE"_qs} << int(QMessageBox::No) << true;
    }

    void closePrompt()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        const bool asked = arguments.isEmpty();
        const auto form = Open(arguments);
        form->show();
        ModalBoxes boxes{QMessageBox::StandardButton(answer)};
        Child<QAction>(form.get(), "MenuEsci")->trigger();
        QCOMPARE(form->isVisible(), !closed);
        QCOMPARE(boxes.seen().size(), asked ? 1 : 0);
        if (asked) {
            const ModalBoxes::Seen& box = boxes.seen().first();
            QCOMPARE(box.text, u"Chiudere l'applicazione?"_qs);
            QCOMPARE(box.title, u"Kilovento"_qs);
            QCOMPARE(box.icon, QMessageBox::Question);
            QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            QCOMPARE(box.defaultButton, QMessageBox::No);
        }
    }

    void hotTrackingSelectsUnderThePointer()
    {
        const auto form = Open();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QListWidget* calendar = Calendar(form.get());
        const int other = calendar->currentRow() - 1;
        const QPoint over = calendar->visualItemRect(calendar->item(other)).center();

        QTest::mouseMove(calendar->viewport(), over);
        QCOMPARE(form->ShownMonth(), 3); // off: moving is not choosing

        QTest::mouseMove(calendar->viewport(), QPoint(1, 1));
        Options options = form->CurrentOptions();
        options.calendarHotTrack = true;
        form->ApplyOptions(options);
        QCOMPARE(calendar->viewport()->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseMove(calendar->viewport(), over);
        QTRY_COMPARE(form->ShownMonth(), 2);
        QCOMPARE(Title(form.get()), u"Febbraio 2005"_qs);
    }

    void buttonsShowTheirIcons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("picture"); // resources/icons/<picture>.svg
        for (const auto& [button, picture] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"SpeedButtonMeseCorrente", "nav-current"}, {"SpeedButtonMesePrecedente", "nav-prev-month"},
                 {"SpeedButtonMeseSuccessivo", "nav-next-month"}, {"SpeedButtonAnnoPrecedente", "nav-prev-year"},
                 {"SpeedButtonAnnoSuccessivo", "nav-next-year"}, {"BitBtnAggiungiUscita", "add"},
                 {"BitBtnModificaUscita", "modify"}, {"BitBtnEliminaUscita", "delete"}, {"BitBtnStampaMese", "print"},
                 {"MenuEsportaCSV", "export"}, {"MenuImportaCSV", "import"}, {"MenuImportaGPS", "gps"},
                 {"MenuBici", "bike"}})
            QTest::newRow(button) << QString::fromLatin1(button) << QString::fromLatin1(picture);
    }

    // The pixels a button draws at its icon size, on ordinary and high-density
    // screens, are those its picture's file draws at that size.
    void buttonsShowTheirIcons()
    {
        QFETCH(QString, button);
        QFETCH(QString, picture);
        const auto form = Open();
        // A menu's items at the size menus draw them.
        const auto* action = form->findChild<QAction*>(button);
        const QToolButton* shown = action ? nullptr : Child<QToolButton>(form.get(), button);
        const QIcon icon = action ? action->icon() : shown->icon();
        const QSize size = action ? QSize(16, 16) : shown->iconSize();
        for (const qreal ratio : {1.0, 2.0})
            CompareWithPicture(Pixels(icon, size, ratio), picture, size * ratio);
    }

    void programIconComesInTheWindowSizes()
    {
        for (const int side : {16, 32, 48, 64})
            CompareWithPicture(Pixels(ProgramIcon(), QSize(side, side), 1.0), u"kilovento"_qs, QSize(side, side));
    }

    void pixelFilesAreReadOnlyWhole_data()
    {
        QImage picture(3, 2, QImage::Format_ARGB32_Premultiplied);
        picture.fill(QColor(10, 20, 30, 255));
        picture.setPixelColor(2, 1, QColor(0, 0, 0, 0));
        const QByteArray file = PixelFile::Encode(picture);
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("read");
        QTest::newRow("whole") << file << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("header only") << file.left(8) << false;
        QTest::newRow("one byte short") << file.chopped(1) << false;
        QTest::newRow("one byte over") << file + 'x' << false;
        QByteArray noWidth = file;
        noWidth.replace(0, 4, QByteArray(4, '\0'));
        QTest::newRow("no width") << noWidth << false;
        QByteArray huge = file;
        huge.replace(0, 8, QByteArray(8, '\xff'));
        QTest::newRow("size past any icon") << huge << false;
    }

    void pixelFilesAreReadOnlyWhole()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, read);
        const QImage pixels = PixelFile::Decode(file);
        QCOMPARE(!pixels.isNull(), read);
        if (read) {
            QCOMPARE(pixels.size(), QSize(3, 2));
            QCOMPARE(pixels.pixelColor(0, 0), QColor(10, 20, 30, 255));
            QCOMPARE(pixels.pixelColor(2, 1).alpha(), 0);
            QCOMPARE(PixelFile::Encode(pixels), file);
        }
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
