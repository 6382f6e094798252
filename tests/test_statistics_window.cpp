#include "data/TZTConnection.h"
#include "forms/Unitelaborazionedati.h"
#include "support/Controls.h"
#include "support/ModalBoxes.h"
#include "support/TestDatabase.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

int CompactHeight(QWidget* dialog)
{
    return Child<QPushButton>(dialog, "BitBtnChiudi")->geometry().bottom() + 1 + 8;
}

}

class TestStatisticsWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    std::unique_ptr<TZTConnection> m_connection;

    std::unique_ptr<TFormElaborazioneDati> Open()
    {
        auto dialog = std::make_unique<TFormElaborazioneDati>(nullptr, 1990, m_connection.get(),
                                                              [] { return QDate(2005, 3, 15); });
        dialog->show();
        return dialog;
    }

    static void Press(QWidget* dialog, const char* button) { Child<QPushButton>(dialog, button)->click(); }
    static QDate Start(QWidget* dialog) { return Child<QDateEdit>(dialog, "DTPInizio")->date(); }
    static QDate End(QWidget* dialog) { return Child<QDateEdit>(dialog, "DTPTermine")->date(); }

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }
    void init();
    void opensOnTheCurrentYearWithoutResults();
    void computationShowsEveryPage();
    void refusedPeriodKeepsTheEarlierResults();
    void failedComputationDisablesPrinting();
    void shortcutButtons();
};

void TestStatisticsWindow::init()
{
    QVERIFY(m_dir.isValid());
    m_path = m_dir.filePath(u"rides.mdb"_qs);
    QFile::remove(m_path);
    QCOMPARE(TestDatabase::Create(m_path), QString());
    QCOMPARE(TestDatabase::Exec(m_path, u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) VALUES "
                                         "(0, '2005-03-01', 50, 'lago'), (1, '2005-03-05', 70, 'passo'), "
                                         "(2, '2004-12-31', 20, 'vecchia')"_qs),
             QString());
    m_connection = std::make_unique<TZTConnection>();
    m_connection->Open(TestDatabase::ConnectionStringFor(m_path));
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
    QCOMPARE(dialog->GeneralTexts().usciteTotali, u"2"_qs);
    auto* top10 = Child<QTreeWidget>(dialog.get(), "ListViewTop10");
    QCOMPARE(top10->topLevelItemCount(), 2);
    QCOMPARE(top10->topLevelItem(0)->text(1), u"Sabato 5/3/2005"_qs);
    auto* months = Child<QTreeWidget>(dialog.get(), "ListViewMesi");
    QCOMPARE(months->topLevelItemCount(), 12);
    QCOMPARE(months->topLevelItem(2)->background(4).color(), QColor(0x80, 0, 0));
    QCOMPARE(Child<QTreeWidget>(dialog.get(), "ListViewGiorniSettimanali")->topLevelItemCount(), 7);
    QCOMPARE(Child<QTreeWidget>(dialog.get(), "ListViewGiorniMensili")->topLevelItemCount(), 31);
    QCOMPARE(Child<QTreeWidget>(dialog.get(), "ListViewDecineDiKM")->topLevelItemCount(), 14);
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
    m_connection->Close();
    ModalBoxes boxes;
    Press(dialog.get(), "BitBtnElabora");
    QCOMPARE(boxes.seen().size(), 1);
    QVERIFY(boxes.seen().first().text.startsWith(
        u"ATTENZIONE: errore nell'elaborazione dati.\n\nEccezione: ZTADO exception: TZTRecordset::Open"_qs));
    QVERIFY(!Child<QPushButton>(dialog.get(), "BitBtnStampaRisultati")->isEnabled());
    QVERIFY(Child<QGroupBox>(dialog.get(), "GroupBoxRisultati")->isVisible());
    QCOMPARE(Child<QLabel>(dialog.get(), "LabelKMTotali")->text(), u"120,0"_qs);
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

QTEST_MAIN(TestStatisticsWindow)
#include "test_statistics_window.moc"
