#include "data/Bikes.h"
#include "data/ReportRows.h"
#include "forms/BarChart.h"
#include "forms/YearCharts.h"
#include "forms/Unitelaborazionedati.h"
#include "support/Controls.h"
#include "support/ListCells.h"
#include "support/ModalBoxes.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"
#include "support/ItalianLocale.h"
#include "support/FreshDatabase.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>

#include <variant>

namespace {

int CompactHeight(QWidget* dialog)
{
    return Child<QPushButton>(dialog, "BitBtnChiudi")->geometry().bottom() + 1 + 8;
}

// A log as long as the program allows: 1990 to 2026, distances up to 999 km.
QString FillLongLog(const QString& path)
{
    return TestDatabase::Exec(
        path, u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 39999) "
              "INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) "
              "SELECT i % 6, date('1990-01-01', '+' || (i * 13513 / 39999) || ' days'), "
              "(i * 7919 % 99901) / 100.0, 'Giro numero ' || i FROM n; "
              "INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) VALUES "
              "(5, '2026-12-30', 999, 'Traversata delle Alpi dal lago Maggiore al Garda per sette passi'), "
              "(5, '1990-01-03', 999, 'Giro del lago')"_qs);
}

// The padding the item delegate leaves on each side of a cell's text.
int CellMargin(const QWidget* list)
{
    return list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
}

// Keys as a person presses them: text a character at a time, or one named key.
QTestEventList Keys(std::initializer_list<std::variant<QString, QKeyCombination>> parts)
{
    QTestEventList events;
    for (const auto& part : parts) {
        if (const auto* text = std::get_if<QString>(&part))
            events.addKeyClicks(*text);
        else
            events.addKeyClick(std::get<QKeyCombination>(part).key(),
                               std::get<QKeyCombination>(part).keyboardModifiers());
    }
    return events;
}

bool NearScreenCentre(const QWidget* window)
{
    const QPoint offset = window->frameGeometry().center() - window->screen()->geometry().center();
    return std::abs(offset.x()) <= 1 && std::abs(offset.y()) <= 1;
}

}

class TestStatisticsWindow : public QObject, protected FreshDatabase
{
    Q_OBJECT

private:
    std::unique_ptr<RideLog> m_log;

    std::unique_ptr<TFormElaborazioneDati> Open()
    {
        auto dialog = std::make_unique<TFormElaborazioneDati>(nullptr, 1990, *m_log,
                                                              [] { return QDate(2005, 3, 15); });
        dialog->show();
        return dialog;
    }

    // The results computed, and the page of `list` shown.
    static QTreeView* ComputedList(QWidget* dialog, const QString& list)
    {
        Press(dialog, "BitBtnElabora");
        auto* view = Child<QTreeView>(dialog, list);
        Child<QTabWidget>(dialog, "PageControlRisultati")->setCurrentWidget(view->parentWidget());
        [&] { QVERIFY(QTest::qWaitForWindowExposed(dialog)); }();
        return view;
    }

    // The window computed over the whole of a log as long as the program allows.
    void OpenWholeLog(std::unique_ptr<RideLog>& log, std::unique_ptr<TFormElaborazioneDati>& dialog)
    {
        const QString path = m_dir.filePath(u"long.mdb"_qs);
        QFile::remove(path);
        QCOMPARE(TestDatabase::Create(path), QString());
        QCOMPARE(FillLongLog(path), QString());
        log = OpenRideLog(path);
        dialog = std::make_unique<TFormElaborazioneDati>(nullptr, 1990, *log, [] { return QDate(2026, 12, 31); });
        dialog->show();
        Child<QDateEdit>(dialog.get(), "DTPInizio")->setDate(QDate(1990, 1, 1));
        ModalBoxes boxes;
        Press(dialog.get(), "BitBtnElabora");
        QVERIFY(boxes.seen().isEmpty());
        QCOMPARE(dialog->Risultati().UsciteTotali, 40002);
    }

    // Every row's texts, as the list shows them.
    static QList<QStringList> Shown(QWidget* dialog, const char* list)
    {
        const QAbstractItemModel* model = Child<QTreeView>(dialog, list)->model();
        QList<QStringList> rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList texts;
            for (int column = 0; column < model->columnCount(); ++column)
                texts.append(model->index(row, column).data().toString());
            rows.append(texts);
        }
        return rows;
    }

    static void Press(QWidget* dialog, const char* button) { Child<QPushButton>(dialog, button)->click(); }
    static QDate Start(QWidget* dialog) { return Child<QDateEdit>(dialog, "DTPInizio")->date(); }
    static QDate End(QWidget* dialog) { return Child<QDateEdit>(dialog, "DTPTermine")->date(); }

private Q_SLOTS:
    void init();
    void opensOnTheCurrentYearWithoutResults();
    void computationShowsEveryPage();
    void refusedPeriodKeepsTheEarlierResults();
    void failedComputationDisablesPrinting();
    void reportShowsWhatTheWindowShows_data();
    void reportShowsWhatTheWindowShows();
    void shortcutButtons();
    void everyCellShowsWhole_data();
    void everyCellShowsWhole();
    void wholeLogChartsCloseTheDisc_data();
    void wholeLogChartsCloseTheDisc();
    void typedDates_data();
    void typedDates();
    void compactWindowCentred_data();
    void compactWindowCentred();
    void windowGrowsWithItsPages();
    void yearsPage_data();
    void yearsPage();
    void yearChartsTellTheirFigures_data();
    void yearChartsTellTheirFigures();
    void listColumns_data();
    void listColumns();
    void colourKeys_data();
    void colourKeys();
    void bikesPage_data();
    void bikesPage();
};

void TestStatisticsWindow::init()
{
    QCOMPARE(RenewDatabase(), QString());
    QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-01"_qs, 50, 0, u"lago"_qs), QString());
    QCOMPARE(TestDatabase::InsertRide(m_path, u"2005-03-05"_qs, 70, 1, u"passo"_qs), QString());
    QCOMPARE(TestDatabase::InsertRide(m_path, u"2004-12-31"_qs, 20, 2, u"vecchia"_qs), QString());
    m_log = OpenRideLog(m_path);
}

void TestStatisticsWindow::opensOnTheCurrentYearWithoutResults()
{
    const auto dialog = Open();
    QCOMPARE(dialog->windowTitle(), u"Elaborazione dati"_qs);
    QCOMPARE(Start(dialog.get()), QDate(2005, 1, 1));
    QCOMPARE(End(dialog.get()), QDate(2005, 3, 15));
    QCOMPARE(Child<QDateEdit>(dialog.get(), "DTPInizio")->minimumDate(), QDate(1990, 1, 1));
    QCOMPARE(Child<QDateEdit>(dialog.get(), "DTPTermine")->minimumDate(), QDate(1990, 1, 1));
    QVERIFY(!Child<QGroupBox>(dialog.get(), "GroupBoxRisultati")->isVisible());
    QVERIFY(!Child<QPushButton>(dialog.get(), "BitBtnStampaRisultati")->isEnabled());
    QCOMPARE(dialog->height(), CompactHeight(dialog.get()));
}

void TestStatisticsWindow::computationShowsEveryPage()
{
    const auto dialog = Open();
    const int compact = dialog->height();
    ModalBoxes boxes;
    Press(dialog.get(), "BitBtnElabora");
    QVERIFY(boxes.seen().isEmpty());
    auto* results = Child<QGroupBox>(dialog.get(), "GroupBoxRisultati");
    QVERIFY(results->isVisible());
    QCOMPARE(Child<QPushButton>(dialog.get(), "BitBtnChiudi")->y(), results->geometry().bottom() + 1 + 8);
    QCOMPARE(dialog->height(), CompactHeight(dialog.get()));
    QVERIFY(dialog->height() > compact);
    QVERIFY(Child<QPushButton>(dialog.get(), "BitBtnStampaRisultati")->isEnabled());

    QCOMPARE(Child<QLabel>(dialog.get(), "LabelKMTotali")->text(), u"120,0"_qs);
    QCOMPARE(Child<QLabel>(dialog.get(), "LabelPeriodo")->text(), u"Periodo dal giorno 1/1/2005 al giorno 15/3/2005"_qs);
    QCOMPARE(Child<QLabel>(dialog.get(), "LabelUsciteTotali")->text(), u"2"_qs);
    const QList<QStringList> top10 = Shown(dialog.get(), "ListViewTop10");
    QCOMPARE(top10.size(), 2);
    QCOMPARE(top10[0][1], u"Sabato 5/3/2005"_qs);
    QCOMPARE(Shown(dialog.get(), "ListViewMesi").size(), 12);
    QCOMPARE(Shown(dialog.get(), "ListViewGiorniSettimanali").size(), 7);
    QCOMPARE(Shown(dialog.get(), "ListViewGiorniMensili").size(), 31);
    QCOMPARE(Shown(dialog.get(), "ListViewDecineDiKM").size(), 14);
    // Only March has rides: the month chart is one maroon disc.
    const QImage chart = Child<QLabel>(dialog.get(), "ImageGraficoMesi")->pixmap().toImage();
    QCOMPARE(chart.width(), chart.height());
    QCOMPARE(chart.pixelColor(chart.width() / 2, chart.height() / 4), QColor(0x80, 0, 0));
    QCOMPARE(chart.pixelColor(chart.width() / 2, 3 * chart.height() / 4), QColor(0x80, 0, 0));
}

void TestStatisticsWindow::refusedPeriodKeepsTheEarlierResults()
{
    const auto dialog = Open();
    Press(dialog.get(), "BitBtnElabora");
    Child<QDateEdit>(dialog.get(), "DTPInizio")->setDate(QDate(2005, 3, 16));
    ModalBoxes boxes;
    Press(dialog.get(), "BitBtnElabora");
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(boxes.seen().first().text, u"ATTENZIONE: la data di inizio è successiva a quella di termine."_qs);
    QCOMPARE(boxes.seen().first().icon, QMessageBox::Warning);
    QCOMPARE(dialog->focusWidget(), Child<QDateEdit>(dialog.get(), "DTPInizio"));
    QCOMPARE(Child<QLabel>(dialog.get(), "LabelKMTotali")->text(), u"120,0"_qs);
    QVERIFY(Child<QPushButton>(dialog.get(), "BitBtnStampaRisultati")->isEnabled());
    // The refused period is what a printout would now name.
    QCOMPARE(dialog->Risultati().DataInizio, TDateTime::EncodeDate(2005, 3, 16));

    // Start equal to end is a valid period of one day.
    Child<QDateEdit>(dialog.get(), "DTPInizio")->setDate(QDate(2005, 3, 5));
    Child<QDateEdit>(dialog.get(), "DTPTermine")->setDate(QDate(2005, 3, 5));
    Press(dialog.get(), "BitBtnElabora");
    QCOMPARE(boxes.seen().size(), 1);
    QCOMPARE(Child<QLabel>(dialog.get(), "LabelGiorniTotali")->text(), u"1"_qs);
    QCOMPARE(Child<QLabel>(dialog.get(), "LabelKMTotali")->text(), u"70,0"_qs);
}

void TestStatisticsWindow::failedComputationDisablesPrinting()
{
    const auto dialog = Open();
    Press(dialog.get(), "BitBtnElabora");
    m_log->Close();
    ModalBoxes boxes;
    Press(dialog.get(), "BitBtnElabora");
    QCOMPARE(boxes.seen().size(), 1);
    QVERIFY(boxes.seen().first().text.startsWith(
        u"ATTENZIONE: errore nell'elaborazione dati.\n\nEccezione: ZTADO exception: TZTRecordset::Open"_qs));
    QVERIFY(!Child<QPushButton>(dialog.get(), "BitBtnStampaRisultati")->isEnabled());
    QVERIFY(Child<QGroupBox>(dialog.get(), "GroupBoxRisultati")->isVisible());
    QCOMPARE(Child<QLabel>(dialog.get(), "LabelKMTotali")->text(), u"120,0"_qs);
}

void TestStatisticsWindow::reportShowsWhatTheWindowShows_data()
{
    QTest::addColumn<QDate>("refusedStart"); // a refused computation afterwards, when valid
    QTest::addColumn<QString>("period");
    QTest::newRow("as computed") << QDate() << u"(Periodo dal 1/1/2005 al 15/3/2005)"_qs;
    QTest::newRow("after a refused period") << QDate(2005, 3, 16) << u"(Periodo dal 16/3/2005 al 15/3/2005)"_qs;
}

// The printout's texts, made from the results, are those of the window's
// labels and lists: the printed columns, with the Top 10 dates without
// their weekday and the tens of kilometres without rides left out.
void TestStatisticsWindow::reportShowsWhatTheWindowShows()
{
    QFETCH(QDate, refusedStart);
    QFETCH(QString, period);
    const auto dialog = Open();
    Press(dialog.get(), "BitBtnElabora");
    if (refusedStart.isValid()) {
        Child<QDateEdit>(dialog.get(), "DTPInizio")->setDate(refusedStart);
        ModalBoxes boxes;
        Press(dialog.get(), "BitBtnElabora");
        QCOMPARE(boxes.seen().size(), 1);
    }
    const ReportRows::Statistics report = ReportRows::StatisticsReport(dialog->Risultati());
    QCOMPARE(report.period, period);
    const auto label = [&](const char* name) { return Child<QLabel>(dialog.get(), name)->text(); };
    QCOMPARE((QStringList{report.kmTotali, report.giorni, report.uscite, report.kmg, report.kmu}),
             (QStringList{label("LabelKMTotali"), label("LabelGiorniTotali"), label("LabelUsciteTotali"),
                          label("LabelKMG"), label("LabelKMU")}));
    const auto shown = [&](const char* name, int columns) {
        QList<QStringList> rows = Shown(dialog.get(), name);
        for (QStringList& row : rows)
            row = row.mid(0, columns);
        return rows;
    };
    QCOMPARE(report.weekdays, shown("ListViewGiorniSettimanali", 4));
    QCOMPARE(report.daysOfMonth, shown("ListViewGiorniMensili", 3));
    QCOMPARE(report.months, shown("ListViewMesi", 4));
    QList<QStringList> tens = shown("ListViewDecineDiKM", 2);
    tens.removeIf([](const QStringList& row) { return row[1] == u"0"; });
    QCOMPARE(report.tensOfKm, tens);
    QList<QStringList> top10 = shown("ListViewTop10", 4);
    for (QStringList& row : top10)
        row[1] = row[1].section(u' ', -1);
    QCOMPARE(report.top10, top10);
    QCOMPARE(top10.size(), 2);
    QCOMPARE(report.years, shown("ListViewAnni", 6));
}

void TestStatisticsWindow::shortcutButtons()
{
    const auto dialog = Open();
    auto* end = Child<QDateEdit>(dialog.get(), "DTPTermine");
    end->setDate(QDate(2004, 2, 10));
    Press(dialog.get(), "ButtonTuttoIlMese");
    QCOMPARE((QList<QDate>{Start(dialog.get()), End(dialog.get())}), (QList<QDate>{QDate(2004, 2, 1), QDate(2004, 2, 29)}));
    Press(dialog.get(), "ButtonAnnoPrecedente");
    QCOMPARE((QList<QDate>{Start(dialog.get()), End(dialog.get())}), (QList<QDate>{QDate(2003, 2, 1), QDate(2003, 2, 28)}));
    Press(dialog.get(), "ButtonTuttoLAnno");
    QCOMPARE((QList<QDate>{Start(dialog.get()), End(dialog.get())}), (QList<QDate>{QDate(2003, 1, 1), QDate(2003, 12, 31)}));
    Press(dialog.get(), "ButtonDataOdierna");
    QCOMPARE((QList<QDate>{Start(dialog.get()), End(dialog.get())}), (QList<QDate>{QDate(2003, 1, 1), QDate(2005, 3, 15)}));
}

void TestStatisticsWindow::everyCellShowsWhole_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("rows");
    QTest::newRow("Top 10") << u"ListViewTop10"_qs << 10;
    QTest::newRow("months") << u"ListViewMesi"_qs << 12;
    QTest::newRow("weekdays") << u"ListViewGiorniSettimanali"_qs << 7;
    QTest::newRow("days of the month") << u"ListViewGiorniMensili"_qs << 31;
    QTest::newRow("tens of kilometres") << u"ListViewDecineDiKM"_qs << 14;
    QTest::newRow("years") << u"ListViewAnni"_qs << 2026 - 1990 + 2;
}

void TestStatisticsWindow::everyCellShowsWhole()
{
    QFETCH(QString, list);
    QFETCH(int, rows);
    std::unique_ptr<RideLog> log;
    std::unique_ptr<TFormElaborazioneDati> dialog;
    OpenWholeLog(log, dialog);
    if (QTest::currentTestFailed())
        return;

    auto* view = Child<QTreeView>(dialog.get(), list);
    const QAbstractItemModel* model = view->model();
    QCOMPARE(model->rowCount(), rows);
    const QFontMetrics metrics = view->fontMetrics();
    const int margin = CellMargin(view);
    for (int column = 0; column < model->columnCount(); ++column) {
        const int width = view->columnWidth(column);
        QVERIFY2(view->header()->sectionSizeHint(column) <= width,
                 qPrintable(u"heading \"%1\" in %2 px"_qs.arg(model->headerData(column, Qt::Horizontal).toString()).arg(width)));
        for (int row = 0; row < rows; ++row) {
            const QString text = model->index(row, column).data().toString();
            QVERIFY2(metrics.horizontalAdvance(text) + 2 * margin <= width,
                     qPrintable(u"\"%1\" in %2 px"_qs.arg(text).arg(width)));
        }
    }
}

void TestStatisticsWindow::wholeLogChartsCloseTheDisc_data()
{
    QTest::addColumn<QString>("chart");
    QTest::newRow("months") << u"ImageGraficoMesi"_qs;
    QTest::newRow("weekdays") << u"ImageGraficoGiorniSettimanali"_qs;
}

void TestStatisticsWindow::wholeLogChartsCloseTheDisc()
{
    QFETCH(QString, chart);
    std::unique_ptr<RideLog> log;
    std::unique_ptr<TFormElaborazioneDati> dialog;
    OpenWholeLog(log, dialog);
    if (QTest::currentTestFailed())
        return;

    const QImage image = Child<QLabel>(dialog.get(), chart)->pixmap().toImage();
    const QColor background = image.pixelColor(0, 0); // a corner, outside the disc
    const QPointF centre(image.width() / 2.0, image.height() / 2.0);
    const double radius = 0.8 * image.width() / 2.0;
    for (int degree = 0; degree < 360; ++degree) {
        const double angle = (degree + 0.5) * M_PI / 180.0;
        const QPointF point = centre + QPointF(std::cos(angle), -std::sin(angle)) * radius;
        QVERIFY2(image.pixelColor(point.toPoint()) != background, qPrintable(u"unpainted at %1°"_qs.arg(degree)));
    }
}

void TestStatisticsWindow::typedDates_data()
{
    QTest::addColumn<QString>("picker");
    QTest::addColumn<QDate>("shown");
    QTest::addColumn<QTestEventList>("keys"); // from the day, as Tab into the picker leaves it
    QTest::addColumn<QDate>("expected");
    QTest::addColumn<bool>("computes"); // the keys run "Elabora" themselves
    const QString start = u"DTPInizio"_qs;
    const QString end = u"DTPTermine"_qs;
    QTest::newRow("a plain date") << start << QDate(2005, 3, 15) << Keys({u"07061999"_qs}) << QDate(1999, 6, 7)
                                  << false;
    QTest::newRow("day 30 typed over February") << start << QDate(2005, 2, 15) << Keys({u"30042005"_qs})
                                                << QDate(2005, 4, 30) << false;
    QTest::newRow("29 February of a leap year typed over a common one")
        << end << QDate(2026, 12, 8) << Keys({u"29022004"_qs}) << QDate(2004, 2, 29) << false;
    QTest::newRow("before the first year") << start << QDate(2005, 1, 1) << Keys({u"31121989"_qs})
                                           << QDate(2005, 1, 1) << false;
    QTest::newRow("a day that does not exist") << end << QDate(2005, 3, 10) << Keys({u"31022005"_qs})
                                               << QDate(2005, 3, 10) << false;
    QTest::newRow("separators after short fields") << start << QDate(2005, 3, 15) << Keys({u"5/6/2001"_qs})
                                                   << QDate(2001, 6, 5) << false;
    // A day from 4 and a month from 2 take one digit.
    QTest::newRow("a short field left with the arrow")
        << start << QDate(2005, 3, 15) << Keys({u"1"_qs, Qt::Key_Right, u"62001"_qs}) << QDate(2001, 6, 1) << false;
    QTest::newRow("the year alone, after two Tabs")
        << end << QDate(2005, 2, 28) << Keys({Qt::Key_Tab, Qt::Key_Tab, u"2004"_qs}) << QDate(2004, 2, 28) << false;
    QTest::newRow("a digit taken back")
        << start << QDate(2005, 3, 15) << Keys({u"1"_qs, Qt::Key_Backspace, u"2802"_qs}) << QDate(2005, 2, 28)
        << false;
    QTest::newRow("Escape drops the typing") << start << QDate(2005, 3, 15) << Keys({u"3004"_qs, Qt::Key_Escape})
                                             << QDate(2005, 3, 15) << false;
    QTest::newRow("the arrow up steps from the typed day")
        << start << QDate(2005, 3, 15) << Keys({u"20"_qs, Qt::Key_Left, Qt::Key_Up}) << QDate(2005, 3, 21) << false;
    QTest::newRow("a year left half typed") << end << QDate(2005, 3, 15) << Keys({u"300420"_qs, Qt::Key_Tab})
                                            << QDate(2005, 3, 15) << false;
    QTest::newRow("Enter before the year") << start << QDate(2005, 3, 15) << Keys({u"2802"_qs, Qt::Key_Return})
                                           << QDate(2005, 2, 28) << true;
    // The button takes the focus from the picker as it is clicked.
    QTest::newRow("Alt+E before the year") << end << QDate(2005, 3, 15) << Keys({u"2802"_qs, Qt::ALT | Qt::Key_E})
                                           << QDate(2005, 2, 28) << true;
}

void TestStatisticsWindow::typedDates()
{
    QFETCH(QString, picker);
    QFETCH(QDate, shown);
    QFETCH(QTestEventList, keys);
    QFETCH(QDate, expected);
    QFETCH(bool, computes);
    const auto dialog = Open();
    QApplication::setActiveWindow(dialog.get());
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    // The other end of the period leaves room for every date typed here.
    Child<QDateEdit>(dialog.get(), "DTPInizio")->setDate(QDate(1990, 1, 1));
    Child<QDateEdit>(dialog.get(), "DTPTermine")->setDate(QDate(2026, 12, 31));
    auto* edit = Child<QDateEdit>(dialog.get(), picker);
    edit->setDate(shown);
    edit->setFocus(Qt::TabFocusReason);
    QVERIFY(edit->hasFocus());
    const auto computed = [&] {
        return picker == u"DTPInizio" ? dialog->Risultati().DataInizio : dialog->Risultati().DataTermine;
    };
    ModalBoxes boxes;
    keys.simulate(edit);
    if (computes) {
        // A shortcut clicks its button a moment later.
        QTRY_VERIFY(Child<QGroupBox>(dialog.get(), "GroupBoxRisultati")->isVisible());
        QCOMPARE(computed(), TDateTime::FromQDate(expected));
    }

    QTest::mouseClick(Child<QPushButton>(dialog.get(), "BitBtnElabora"), Qt::LeftButton);
    QVERIFY(boxes.seen().isEmpty());
    QCOMPARE(edit->date(), expected);
    QCOMPARE(edit->text(), QLocale().toString(expected, edit->displayFormat()));
    QVERIFY(Child<QGroupBox>(dialog.get(), "GroupBoxRisultati")->isVisible());
    QCOMPARE(computed(), TDateTime::FromQDate(expected));
}

void TestStatisticsWindow::compactWindowCentred_data()
{
    QTest::addColumn<QRect>("owner"); // empty for none
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QTest::newRow("no owner") << QRect();
    QTest::newRow("owner in the top left corner") << QRect(screen.topLeft(), QSize(300, 200));
    QTest::newRow("owner in the bottom right corner")
        << QRect(screen.bottomRight() - QPoint(299, 199), QSize(300, 200));
}

void TestStatisticsWindow::compactWindowCentred()
{
    QFETCH(QRect, owner);
    QWidget window;
    if (!owner.isEmpty()) {
        window.setGeometry(owner);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    TFormElaborazioneDati dialog(owner.isEmpty() ? nullptr : &window, 1990, *m_log,
                                 [] { return QDate(2005, 3, 15); });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.height(), CompactHeight(&dialog));
    QVERIFY2(NearScreenCentre(&dialog), qPrintable(u"compact at %1,%2"_qs.arg(dialog.x()).arg(dialog.y())));

    Press(&dialog, "BitBtnElabora");
    QVERIFY(NearScreenCentre(&dialog));
}

// Resized or maximised, every page's lists and charts take the room; the
// compact size is where it starts and the least it takes.
void TestStatisticsWindow::windowGrowsWithItsPages()
{
    const auto dialog = Open();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    Press(dialog.get(), "BitBtnElabora");
    const QSize compact = dialog->size();
    QCOMPARE(dialog->minimumSize(), compact);
    QVERIFY(dialog->windowFlags() & Qt::WindowMaximizeButtonHint);
    const QStringList names = {u"ListViewTop10"_qs, u"ListViewMesi"_qs, u"ImageGraficoMesi"_qs,
                               u"ImageGraficoGiorniSettimanali"_qs, u"ListViewAnni"_qs, u"ImageGraficoAnni"_qs,
                               u"ListViewDecineDiKM"_qs, u"ListViewBici"_qs, u"ImageGraficoBici"_qs};
    QList<QSize> before;
    for (const QString& name : names)
        before.append(dialog->findChild<QWidget*>(name)->size());

    dialog->resize(compact + QSize(400, 300));
    QTRY_COMPARE(dialog->size(), compact + QSize(400, 300));
    auto* pages = Child<QTabWidget>(dialog.get(), "PageControlRisultati");
    for (int i = 0; i < names.size(); ++i) {
        auto* widget = dialog->findChild<QWidget*>(names[i]);
        const QSize grown = widget->size() - before[i];
        QVERIFY2(grown.width() >= 150 && grown.height() >= 100,
                 qPrintable(u"%1 grew by %2x%3"_qs.arg(names[i]).arg(grown.width()).arg(grown.height())));
        QVERIFY2(pages->rect().contains(QRect(widget->mapTo(pages, QPoint(0, 0)), widget->size())), qPrintable(names[i]));
        if (auto* chart = qobject_cast<QLabel*>(widget)) // drawn again at its new size
            QCOMPARE(chart->pixmap().size(), chart->size());
    }
    // The total under the years, the years alone above it, column for column.
    auto* years = Child<QTreeView>(dialog.get(), "ListViewAnni");
    auto* total = Child<QTreeView>(dialog.get(), "ListViewAnniTotale");
    const int last = years->model()->rowCount() - 1;
    QCOMPARE(total->model(), years->model());
    QCOMPARE((QList<bool>{years->isRowHidden(last, {}), total->isRowHidden(last, {}), total->isRowHidden(0, {})}),
             (QList<bool>{true, false, true}));
    QCOMPARE(total->geometry().top(), years->geometry().bottom() + 1);
    for (int column = 0; column < years->header()->count(); ++column)
        QCOMPARE(total->columnWidth(column), years->columnWidth(column));
}

void TestStatisticsWindow::yearsPage_data()
{
    QTest::addColumn<int>("goal");
    QTest::addColumn<QString>("year"); // the first column of 2005's row
    QTest::newRow("no goal") << 0 << u"2005"_qs;
    // The goal's year is the current one; 120 km of 200.
    QTest::newRow("a goal of 200 km") << 200 << u"2005 (60%)"_qs;
}

// The seventh page lists the years and draws March 2005 beside December 2004.
void TestStatisticsWindow::yearsPage()
{
    QFETCH(int, goal);
    QFETCH(QString, year);
    PrintContext context;
    context.options = [goal] {
        Options options;
        options.yearGoal = goal;
        return options;
    };
    TFormElaborazioneDati dialog(nullptr, 1990, *m_log, [] { return QDate(2005, 3, 15); }, context);
    dialog.show();
    Child<QDateEdit>(&dialog, "DTPInizio")->setDate(QDate(2003, 12, 1));
    Press(&dialog, "BitBtnElabora");
    auto* pages = Child<QTabWidget>(&dialog, "PageControlRisultati");
    QCOMPARE(pages->count(), 8);
    QCOMPARE((QStringList{pages->tabText(5), pages->tabText(6)}), (QStringList{u"Decine di chilometri"_qs, u"Anni"_qs}));

    const QList<QStringList> years = Shown(&dialog, "ListViewAnni");
    QCOMPARE(years.size(), 4);
    // No ride of the log has a duration; the total is the period's.
    QCOMPARE((QStringList{years[0][0], years[2][0], years[2][5]}), (QStringList{u"2003"_qs, year, u"n/d"_qs}));
    QCOMPARE(years[3][2], Child<QLabel>(&dialog, "LabelKMTotali")->text());
    const QAbstractItemModel* model = Child<QTreeView>(&dialog, "ListViewAnni")->model();
    QCOMPARE((QList<bool>{model->index(2, 0).data(Qt::FontRole).value<QFont>().bold(),
                          model->index(3, 5).data(Qt::FontRole).value<QFont>().bold()}),
             (QList<bool>{false, true})); // the total
    // The goal panel's figures over the goal's year, and over no other row.
    QCOMPARE((QList<bool>{model->index(2, 3).data(Qt::ToolTipRole).toString().startsWith(u"Proiezione a fine anno: "),
                          model->index(1, 0).data(Qt::ToolTipRole).isValid()}),
             (QList<bool>{goal > 0, false}));

    auto* chart = Child<QLabel>(&dialog, "ImageGraficoAnni");
    const QImage image = chart->pixmap().toImage();
    QCOMPARE(image.size(), chart->size());
    // The chart fills its panel under the charts' tabs, however the window was scaled for its font.
    const QRect panel = Child<QFrame>(&dialog, "Panel3")->contentsRect().adjusted(
        0, Child<QTabBar>(&dialog, "TabBarGraficoAnni")->height(), 0, 0);
    QVERIFY(panel.contains(chart->geometry()));
    QVERIFY2(chart->width() >= panel.width() - 8 && chart->height() >= panel.height() - 8,
             qPrintable(u"%1x%2 in %3x%4"_qs.arg(chart->width()).arg(chart->height()).arg(panel.width()).arg(panel.height())));
    const StatisticsResult& r = dialog.Risultati();
    // The period ends on 15 March: March is not whole.
    const BarChart::MonthPairs months{2005, r.KMMesiUltimoAnno, r.KMMesiAnnoPrecedente, 2};
    const BarChart::Layout layout = BarChart::LayOut(image.size(), QFontMetrics(chart->font(), &image), months);
    const QRect inside(QPoint(0, 0), image.size());
    for (int month = 0; month < 12; ++month) {
        for (int back = 0; back < 2; ++back) {
            const QRect bar = layout.bars[month][back];
            QCOMPARE(!bar.isEmpty(), (month == 2 && back == 0) || (month == 11 && back == 1));
            if (!bar.isEmpty())
                QVERIFY(inside.contains(bar) && image.pixelColor(bar.bottomLeft()) == Statistics::YearColour(back));
            else if (layout.bars[month][1 - back].isEmpty()) // nothing drawn where a month has no bar
                QCOMPARE(image.pixelColor(layout.initials[month].center().x(), layout.baseline - 3), image.pixelColor(0, 0));
        }
        // Each initial whole in the picture, below the bars and clear of its neighbours.
        const QRect initial = layout.initials[month];
        QVERIFY(inside.contains(initial) && initial.top() > layout.baseline);
        QVERIFY(month == 0 || !initial.intersects(layout.initials[month - 1]));
    }
    // 120 km in March, 20 in December: one scale for both years.
    QVERIFY(qAbs(layout.bars[2][0].height() - 6 * layout.bars[11][1].height()) <= 6);
    for (int back = 0; back < 2; ++back) {
        QVERIFY(inside.contains(layout.keys[back]) && !layout.keys[back].intersects(layout.bars[2][0]));
        QVERIFY(!layout.keys[back].intersects(layout.swatches[1 - back]));
        QCOMPARE(image.pixelColor(layout.swatches[back].center()), Statistics::YearColour(back));
    }
    // The month not yet whole is hatched: its bar shows the background too.
    const QRect march = layout.bars[2][0];
    int background = 0;
    for (int x = march.left(); x <= march.right(); ++x)
        background += image.pixelColor(x, march.center().y()) == image.pixelColor(0, 0);
    QVERIFY(background > 0 && background < march.width());
}

void TestStatisticsWindow::yearChartsTellTheirFigures_data()
{
    QTest::addColumn<int>("chart"); // the tab under the years
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QStringList>("tips"); // at the points the test finds for that chart
    QTest::newRow("months, a year's alone") << 0 << QDate(2005, 3, 1)
        << QStringList{u"Marzo 2005: 120,0 km (mese non completo)"_qs, QString()};
    QTest::newRow("months, both years") << 0 << QDate(2003, 12, 1)
        << QStringList{u"Marzo 2005: 120,0 km (mese non completo)"_qs, u"Dicembre 2004: 20,0 km"_qs};
    QTest::newRow("years") << 1 << QDate(2003, 12, 1) << QStringList{u"2005: 120,0 km"_qs, u"2004: 20,0 km"_qs};
    QTest::newRow("day by day") << 2 << QDate(2005, 3, 1)
        << QStringList{u"5/3\n2005: 120 km\n2004: 0 km"_qs, u"31/12\n2004: 20 km"_qs};
}

// Each chart of the years page names its years and gives each figure under the pointer.
void TestStatisticsWindow::yearChartsTellTheirFigures()
{
    QFETCH(int, chart);
    QFETCH(QDate, start);
    QFETCH(QStringList, tips);
    const auto dialog = Open();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    Child<QDateEdit>(dialog.get(), "DTPInizio")->setDate(start);
    Press(dialog.get(), "BitBtnElabora");
    Child<QTabWidget>(dialog.get(), "PageControlRisultati")->setCurrentIndex(6);
    Child<QTabBar>(dialog.get(), "TabBarGraficoAnni")->setCurrentIndex(chart);
    auto* label = Child<QLabel>(dialog.get(), "ImageGraficoAnni");
    const QFontMetrics metrics = label->fontMetrics();
    const StatisticsResult& r = dialog->Risultati();
    QList<QPoint> points;
    if (chart == 0) {
        const BarChart::MonthPairs months{2005, r.KMMesiUltimoAnno, r.KMMesiAnnoPrecedente, 2};
        const BarChart::Layout layout = BarChart::LayOut(label->size(), metrics, months);
        points = {layout.bars[2][0].center(), QPoint(layout.initials[11].center().x() + 2, layout.baseline - 2)};
        QCOMPARE((QList<bool>{layout.keys[0].isEmpty(), layout.keys[1].isEmpty()}),
                 (QList<bool>{false, tips[1].isEmpty()})); // a key only for a year with bars
    } else if (chart == 1) {
        const QList<YearCharts::YearTotal> years{{2003, 0}, {2004, 20}, {2005, 120}};
        const YearCharts::TotalsLayout layout = YearCharts::LayOutTotals(label->size(), metrics, years);
        points = {layout.bars[2].center(), QPoint(layout.bars[1].center().x(), layout.bars[1].bottom())};
    } else {
        const QList<YearCharts::YearDays> years{{2005, m_log->KmByDay(QDate(2005, 1, 1), QDate(2005, 3, 15)), {}, {}},
                                                {2004, m_log->KmByDay(QDate(2004, 1, 1), QDate(2004, 12, 31)), {}, {}}};
        const YearCharts::CumulativeLayout layout = YearCharts::LayOutCumulative(label->size(), metrics, years);
        const auto day = [&](int index) {
            return QPoint(layout.plot.left() + int((index + 0.5) * layout.dayWidth), layout.plot.center().y());
        };
        points = {day(63), day(364)}; // 5 March and 31 December of 2005's calendar
    }
    for (int i = 0; i < points.size(); ++i) {
        QHelpEvent help(QEvent::ToolTip, points[i], label->mapToGlobal(points[i]));
        QApplication::sendEvent(label, &help);
        if (tips[i].isEmpty())
            QTRY_VERIFY(!QToolTip::isVisible());
        else
            QTRY_COMPARE(QToolTip::text(), tips[i]);
    }
}

void TestStatisticsWindow::listColumns_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("headings");
    QTest::addColumn<QList<int>>("widths"); // at least, at the 8-point font
    QTest::addColumn<QString>("alignments"); // of the first row's texts: L left, C centred, - no text
    QTest::newRow("Top 10") << u"ListViewTop10"_qs << QStringList{u"#"_qs, u"Data"_qs, u"KM"_qs, u"Descrizione"_qs}
                            << QList<int>{20, 130, 40, 400} << u"LCCL"_qs;
    QTest::newRow("months") << u"ListViewMesi"_qs << QStringList{u"Mese"_qs, u"KM"_qs, u"Uscite"_qs, u"KM/U"_qs, QString()}
                            << QList<int>{70, 55, 50, 50, 20} << u"LCCC-"_qs;
    QTest::newRow("weekdays") << u"ListViewGiorniSettimanali"_qs
                              << QStringList{u"Giorno"_qs, u"KM"_qs, u"Uscite"_qs, u"KM/U"_qs, QString()}
                              << QList<int>{70, 55, 50, 50, 20} << u"LCCC-"_qs;
    QTest::newRow("days of the month") << u"ListViewGiorniMensili"_qs
                                       << QStringList{u"Giorno"_qs, u"KM"_qs, u"Uscite"_qs} << QList<int>{50, 55, 50}
                                       << u"LCC"_qs;
    QTest::newRow("tens of kilometres") << u"ListViewDecineDiKM"_qs << QStringList{u"KM"_qs, u"Uscite"_qs}
                                        << QList<int>{60, 50} << u"LC"_qs;
    QTest::newRow("years") << u"ListViewAnni"_qs
                           << QStringList{u"Anno"_qs, u"Uscite"_qs, u"KM"_qs, u"Tempo"_qs, u"KM/U"_qs, u"KM/h"_qs}
                           << QList<int>{70, 50, 65, 65, 50, 50} << u"LCCCCC"_qs;
}

void TestStatisticsWindow::listColumns()
{
    QFETCH(QString, list);
    QFETCH(QStringList, headings);
    QFETCH(QList<int>, widths);
    QFETCH(QString, alignments);
    const auto dialog = Open();
    QCOMPARE(ListCells::ColumnFault(ComputedList(dialog.get(), list), headings, widths, alignments), QString());
}

void TestStatisticsWindow::colourKeys_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("row");
    QTest::addColumn<QColor>("colour");
    // March alone has rides: the key shows a colour on rows without a slice too.
    QTest::newRow("January") << u"ListViewMesi"_qs << 0 << QColor(0xFF, 0, 0);
    QTest::newRow("March") << u"ListViewMesi"_qs << 2 << QColor(0x80, 0, 0);
    QTest::newRow("August") << u"ListViewMesi"_qs << 7 << QColor(0, 0x80, 0);
    QTest::newRow("December") << u"ListViewMesi"_qs << 11 << QColor(0x80, 0x80, 0);
    QTest::newRow("Sunday") << u"ListViewGiorniSettimanali"_qs << 0 << QColor(0xFF, 0, 0);
    QTest::newRow("Wednesday") << u"ListViewGiorniSettimanali"_qs << 3 << QColor(0, 0xFF, 0xFF);
    QTest::newRow("Saturday") << u"ListViewGiorniSettimanali"_qs << 6 << QColor(0, 0, 0xFF);
}

void TestStatisticsWindow::colourKeys()
{
    QFETCH(QString, list);
    QFETCH(int, row);
    QFETCH(QColor, colour);
    const auto dialog = Open();
    QTreeView* const view = ComputedList(dialog.get(), list);
    QCOMPARE(ListCells::Fill(view, view->model()->index(row, 4)), colour);
}

void TestStatisticsWindow::bikesPage_data()
{
    QTest::addColumn<bool>("bike"); // on the ride of 70 km, the other of the period (50 km) on none
    QTest::addColumn<QList<QStringList>>("rows"); // none when the page is hidden
    const auto row = [](const QString& cells) { return cells.split(u' ') << QString(); }; // the key's cell empty
    QTest::newRow("no bikes in the log: no page") << false << QList<QStringList>{};
    QTest::newRow("a bike") << true << QList<QStringList>{row(u"Corsa 1 70,0 0:00 70,00 n/d"_qs),
                                                          row(u"nessuna 1 50,0 0:00 50,00 n/d"_qs),
                                                          row(u"Totale 2 120,0 0:00 60,00 n/d"_qs)};
}

void TestStatisticsWindow::bikesPage()
{
    QFETCH(bool, bike);
    QFETCH(QList<QStringList>, rows);
    if (bike)
        Bikes::SetRideBike(m_log->Connection(), 2, Bikes::AddBike(m_log->Connection(), {0, u"Corsa"_qs, 0.0, {}, false}));
    const auto dialog = Open();
    Press(dialog.get(), "BitBtnElabora");
    auto* pages = Child<QTabWidget>(dialog.get(), "PageControlRisultati");
    const int page = pages->indexOf(Child<QWidget>(dialog.get(), "TabSheetBici"));
    QCOMPARE(pages->isTabVisible(page), bike);
    if (!bike)
        return;
    // Every tab in sight, without scroll arrows.
    QVERIFY2(pages->tabBar()->sizeHint().width() <= pages->tabBar()->width(),
             qPrintable(u"%1 px of tabs in %2"_qs.arg(pages->tabBar()->sizeHint().width()).arg(pages->tabBar()->width())));
    QTreeView* const view = ComputedList(dialog.get(), u"ListViewBici"_qs);
    QCOMPARE(Shown(dialog.get(), "ListViewBici"), rows);
    // Each bike's key in the colour of its slice; the total has none.
    for (int row = 0; row < 3; ++row)
        QCOMPARE(ListCells::Fill(view, view->model()->index(row, 6)),
                 row < 2 ? Statistics::ColoriGrafici(row) : view->palette().color(QPalette::Base));
    const QImage chart = Child<QLabel>(dialog.get(), "ImageGraficoBici")->pixmap().toImage();
    QCOMPARE(chart.pixelColor(chart.width() / 2, 3 * chart.height() / 4), Statistics::ColoriGrafici(1));
}

QTEST_MAIN(TestStatisticsWindow)
#include "test_statistics_window.moc"
