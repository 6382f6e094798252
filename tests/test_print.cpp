#include "app/Unitmain.h"
#include "data/TZTConnection.h"
#include "forms/Unitelaborazionedati.h"
#include "print/Reports.h"
#include "support/ModalBoxes.h"
#include "support/TestDatabase.h"
#include "print/TZTPrint.h"
#include "support/PdfText.h"

#include <QDateEdit>
#include <QInputDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Device units of the printer, 1200 to the inch, in points.
constexpr double PointsPerUnit = 72.0 / 1200.0;

Options PrintOptions(int vertical, int horizontal)
{
    Options options;
    options.printFont = QStringLiteral("Liberation Sans");
    options.printVerticalMargin = vertical;
    options.printHorizontalMargin = horizontal;
    return options;
}

Reports::Month SampleMonth(int rides)
{
    Reports::Month month;
    month.title = QStringLiteral("Marzo 2005");
    for (int i = 1; i <= rides; ++i)
        month.rides.append({QStringLiteral("Martedì %1").arg(i % 31 + 1), QStringLiteral("Strada"),
                            QStringLiteral("4%1,5").arg(i % 10), QStringLiteral("1:35:07"), QStringLiteral("26,8"),
                            QStringLiteral("giro%1").arg(i)});
    month.km = QStringLiteral("555,0");
    month.uscite = QString::number(rides);
    month.kmg = QStringLiteral("17,90");
    month.kmu = QStringLiteral("79,29");
    return month;
}

}

class TestPrint : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_count = 0;

    // A PDF printer whose printable area is the whole A4 page.
    std::unique_ptr<QPrinter> Printer(QString& path)
    {
        path = m_dir.filePath(QStringLiteral("%1.pdf").arg(++m_count));
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path);
        printer->setResolution(1200);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setFullPage(true);
        return printer;
    }

private Q_SLOTS:
    void bandsAndAlignments_data();
    void bandsAndAlignments();
    void lineAdvance();
    void monthReport_data();
    void monthReport();
    void longMonthContinuesOnNewPages();
    void statisticsReportColumns_data();
    void statisticsReportColumns();
    void monthCommand_data();
    void monthCommand();
    void statisticsCommand_data();
    void statisticsCommand();
};

void TestPrint::bandsAndAlignments_data()
{
    QTest::addColumn<int>("vertical");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("text");
    QTest::newRow("no margins, left") << 0 << 0 << 0 << 100 << 0 << u"Inizio"_qs;
    QTest::newRow("10 percent, left") << 10 << 10 << 0 << 100 << 0 << u"Inizio"_qs;
    QTest::newRow("band 13-19 centred") << 10 << 10 << 13 << 19 << 1 << u"KM"_qs;
    QTest::newRow("band 13-19 right") << 2 << 10 << 13 << 19 << 2 << u"KM"_qs;
    QTest::newRow("wide text centred") << 2 << 1 << 13 << 19 << 1 << u"Larghissimo-testo-centrato"_qs;
    QTest::newRow("alignment 5 is left") << 2 << 1 << 43 << 100 << 5 << u"Descrizione"_qs;
    QTest::newRow("right edge of the page") << 0 << 0 << 50 << 100 << 2 << u"Fine"_qs;
}

void TestPrint::bandsAndAlignments()
{
    QFETCH(int, vertical);
    QFETCH(int, horizontal);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(int, alignment);
    QFETCH(QString, text);
    QString path;
    auto printer = Printer(path);
    {
        TZTPrint print(printer.get());
        print.SetMargins(vertical, horizontal);
        print.BeginDoc();
        print.SetFont(QStringLiteral("Liberation Sans"), 12, 0);
        print.PrintText(left, right, alignment, true, text);
        print.EndDoc();
    }
    const PdfText pdf = PdfText::Read(path);
    const PdfWord word = pdf.First(text);
    QVERIFY2(word.page == 0, "the text is missing");
    const double margin = pdf.pageWidth * horizontal / 100.0;
    const double printable = pdf.pageWidth - 2 * margin;
    const double bandLeft = margin + printable * left / 100.0;
    const double bandRight = margin + printable * right / 100.0;
    const double tolerance = 0.6;
    switch (alignment) {
    case 1:
        QVERIFY2(qAbs((word.xMin + word.xMax) / 2 - (bandLeft + bandRight) / 2) < tolerance, qPrintable(text));
        if (word.xMax - word.xMin > bandRight - bandLeft)
            QVERIFY(word.xMin < bandLeft);
        break;
    case 2:
        QVERIFY2(qAbs(word.xMax - bandRight) < tolerance, qPrintable(QString::number(word.xMax - bandRight)));
        break;
    default:
        QVERIFY2(qAbs(word.xMin - bandLeft) < tolerance, qPrintable(QString::number(word.xMin - bandLeft)));
    }
    // The first line's top is the top margin.
    QVERIFY2(qAbs(word.yMin - pdf.pageHeight * vertical / 100.0) < 1.5, qPrintable(QString::number(word.yMin)));
}

void TestPrint::lineAdvance()
{
    QString path;
    auto printer = Printer(path);
    {
        TZTPrint print(printer.get());
        print.SetMargins(0, 0);
        print.BeginDoc();
        for (const auto& [points, spacing] : {std::pair{10, 0}, std::pair{10, 120}, std::pair{20, 0}}) {
            print.SetFont(QStringLiteral("Liberation Sans"), points, spacing);
            print.PrintLine(QStringLiteral("a%1x%2").arg(points).arg(spacing));
            print.PrintLine(QStringLiteral("b%1x%2").arg(points).arg(spacing));
            // Columns of one row share the line top.
            print.PrintText(0, 50, 0, false, QStringLiteral("c%1x%2").arg(points).arg(spacing));
            print.PrintText(50, 100, 0, true, QStringLiteral("d%1x%2").arg(points).arg(spacing));
        }
        print.EndDoc();
    }
    const PdfText pdf = PdfText::Read(path);
    const auto advance = [&](const QString& key) {
        return pdf.First(u'b' + key).yMin - pdf.First(u'a' + key).yMin;
    };
    const double plain = advance(u"10x0"_qs);
    QVERIFY(plain > 10 && plain < 14); // a 10-point line
    QCOMPARE(qRound((advance(u"10x120"_qs) - plain) * 10), qRound(120 * PointsPerUnit * 10));
    QVERIFY(qAbs(advance(u"20x0"_qs) - 2 * plain) < 1.0);
    for (const QString& key : {u"10x0"_qs, u"10x120"_qs, u"20x0"_qs})
        QCOMPARE(pdf.First(u'c' + key).yMin, pdf.First(u'd' + key).yMin);
}

void TestPrint::monthReport_data()
{
    QTest::addColumn<int>("rides");
    QTest::addColumn<int>("vertical");
    QTest::newRow("a month with rides") << 3 << 10;
    QTest::newRow("an empty month") << 0 << 0;
}

void TestPrint::monthReport()
{
    QFETCH(int, rides);
    QFETCH(int, vertical);
    QString path;
    auto printer = Printer(path);
    Reports::PrintMonth(*printer, SampleMonth(rides), PrintOptions(vertical, 1));
    const PdfText pdf = PdfText::Read(path);
    QCOMPARE(pdf.pages, 1);
    const PdfWord title = pdf.First(u"Marzo"_qs);
    const PdfWord heading = pdf.First(u"Descrizione"_qs);
    QVERIFY(title.yMax < heading.yMin);
    QCOMPARE(pdf.Find(u"Strada"_qs).size(), rides);
    for (int i = 1; i <= rides; ++i) {
        const PdfWord description = pdf.First(QStringLiteral("giro%1").arg(i));
        QVERIFY(qAbs(description.xMin - heading.xMin) < 0.6); // both left in the band 43-100
        QVERIFY(description.yMin > heading.yMax);
    }
    for (const QString& total : {u"555,0"_qs, u"17,90"_qs, u"79,29"_qs})
        QVERIFY(pdf.First(total).yMin > heading.yMax);
    QVERIFY(pdf.First(u"KM:"_qs).yMin < pdf.First(u"Uscite:"_qs).yMin);
    // The footer: centred, its line one footer line above the bottom margin.
    const PdfWord footer = pdf.First(u"Kilovento"_qs);
    QVERIFY2(qAbs(footer.yMax - pdf.pageHeight * (1 - vertical / 100.0)) < 1.5, qPrintable(QString::number(footer.yMax)));
    const QList<PdfWord> credit = pdf.Find(u"bicicletta"_qs);
    QCOMPARE(credit.size(), 1);
    QVERIFY(qAbs((footer.xMin + credit.first().xMax) / 2 - pdf.pageWidth / 2) < 1.0);
}

void TestPrint::longMonthContinuesOnNewPages()
{
    QString path;
    auto printer = Printer(path);
    Reports::PrintMonth(*printer, SampleMonth(150), PrintOptions(2, 1));
    const PdfText pdf = PdfText::Read(path);
    QVERIFY(pdf.pages >= 2);
    for (int i = 1; i <= 150; ++i)
        QCOMPARE(pdf.Find(QStringLiteral("giro%1").arg(i)).size(), 1);
    // Every page has the headings and the footer, and no ride runs into the footer.
    QCOMPARE(pdf.Find(u"Descrizione"_qs).size(), pdf.pages);
    const QList<PdfWord> footers = pdf.Find(u"Kilovento"_qs);
    QCOMPARE(footers.size(), pdf.pages);
    for (const PdfWord& word : pdf.words)
        if (word.text.startsWith(u"giro"))
            QVERIFY(word.yMax <= footers[word.page].yMin);
    // The totals follow the last ride, on the last page.
    const PdfWord last = pdf.First(u"giro150"_qs);
    const PdfWord km = pdf.First(u"KM:"_qs);
    QCOMPARE(km.page, pdf.pages - 1);
    QVERIFY(km.page > last.page || km.yMin > last.yMax);
    QCOMPARE(pdf.First(u"Marzo"_qs).page, 0);
}

void TestPrint::statisticsReportColumns_data()
{
    QTest::addColumn<int>("tensRows"); // bands of ten kilometres with rides
    QTest::newRow("weekdays longer") << 2;
    QTest::newRow("tens longer") << 14;
}

void TestPrint::statisticsReportColumns()
{
    QFETCH(int, tensRows);
    Reports::Statistics report;
    report.description = QStringLiteral("Stagione");
    report.period = QStringLiteral("(Periodo dal 1/1/2005 al 31/12/2005)");
    report.kmTotali = QStringLiteral("1234,5");
    report.giorni = QStringLiteral("365");
    report.uscite = QStringLiteral("50");
    report.kmg = QStringLiteral("3,38");
    report.kmu = QStringLiteral("24,69");
    for (int d = 1; d <= 7; ++d)
        report.weekdays.append({QStringLiteral("wd%1").arg(d), u"1,0"_qs, u"1"_qs, u"1,00"_qs, QString()});
    for (int k = 0; k < 14; ++k)
        report.tensOfKm.append({QStringLiteral("band%1").arg(k), QString::number(k < tensRows ? k + 1 : 0)});
    for (int d = 1; d <= 31; ++d)
        report.daysOfMonth.append({QStringLiteral("d%1").arg(d), u"2,0"_qs, u"1"_qs});
    for (int m = 1; m <= 12; ++m)
        report.months.append({QStringLiteral("m%1").arg(m), u"3,0"_qs, u"1"_qs, u"3,00"_qs, QString()});
    report.top10.append({u"1"_qs, u"Sabato 5/3/2005"_qs, u"99,9"_qs, u"lungo"_qs});
    report.top10Dates.append(TDateTime::EncodeDate(2005, 3, 5));

    QString path;
    auto printer = Printer(path);
    Reports::PrintStatistics(*printer, report, PrintOptions(2, 1));
    const PdfText pdf = PdfText::Read(path);
    QCOMPARE(pdf.pages, 1);
    QCOMPARE(pdf.First(u"(Periodo"_qs).page, 0);
    // Only the bands with rides are printed.
    for (int k = 0; k < 14; ++k)
        QCOMPARE(pdf.First(QStringLiteral("band%1").arg(k)).page, k < tensRows ? 0 : -1);
    const double lowestUpper = std::max(pdf.First(u"wd7"_qs).yMax, pdf.First(QStringLiteral("band%1").arg(tensRows - 1)).yMax);
    const PdfWord days = pdf.First(u"MENSILI"_qs);
    QVERIFY(days.yMin > lowestUpper);
    QCOMPARE(pdf.First(u"MESI"_qs).yMin, days.yMin);
    // The two columns of the upper tables start on the same line.
    QCOMPARE(pdf.First(u"SETTIMANALI"_qs).yMin, pdf.First(u"CHILOMETRI"_qs).yMin);
    // The Top 10 follows the months, its date printed without the weekday.
    QVERIFY(pdf.First(u"TOP"_qs).yMin > pdf.First(u"m12"_qs).yMax);
    QCOMPARE(pdf.First(u"5/3/2005"_qs).page, 0);
    QCOMPARE(pdf.First(u"Sabato"_qs).page, -1);
}

void TestPrint::monthCommand_data()
{
    QTest::addColumn<bool>("chosen");
    QTest::newRow("printed") << true;
    QTest::newRow("print dialog cancelled") << false;
}

void TestPrint::monthCommand()
{
    QFETCH(bool, chosen);
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    const QString folder = m_dir.filePath(QStringLiteral("program%1").arg(++m_count));
    QVERIFY(QDir().mkpath(folder));
    QCOMPARE(TestDatabase::CreateProgramFolder(folder), QString());
    QCOMPARE(TestDatabase::Exec(folder + u"/kilovento.mdb"_qs,
                                u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) VALUES (0, '2005-03-02', 42.5, 'lago')"_qs),
             QString());

    const QString pdfPath = folder + u"/month.pdf"_qs;
    StartupEnvironment environment;
    environment.executablePath = folder + u"/kilovento"_qs;
    environment.today = [] { return QDate(2005, 3, 15); };
    environment.choosePrinter = [&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        return chosen;
    };
    TFormMain form(environment);
    form.PrintFont = u"Liberation Sans"_qs;
    form.SetStatusText(u"altro"_qs);
    ModalBoxes boxes;
    form.findChild<QToolButton*>(u"BitBtnStampaMese"_qs)->click();
    QCOMPARE(form.StatusText(), u"Pronto."_qs);
    QCOMPARE(QFile::exists(pdfPath), chosen);
    QCOMPARE(boxes.seen().size(), chosen ? 1 : 0);
    if (!chosen)
        return;
    QCOMPARE(boxes.seen().first().text, u"Stampa effettuata."_qs);
    QCOMPARE(boxes.seen().first().icon, QMessageBox::Information);
    const PdfText pdf = PdfText::Read(pdfPath);
    QCOMPARE(pdf.First(u"Marzo"_qs).page, 0);
    QCOMPARE(pdf.Find(u"42,5"_qs).size(), 2); // the ride and the total
    QCOMPARE(pdf.First(u"lago"_qs).page, 0);
}

void TestPrint::statisticsCommand_data()
{
    QTest::addColumn<bool>("described");
    QTest::addColumn<bool>("chosen");
    QTest::newRow("printed") << true << true;
    QTest::newRow("description cancelled") << false << true;
    QTest::newRow("print dialog cancelled") << true << false;
}

void TestPrint::statisticsCommand()
{
    QFETCH(bool, described);
    QFETCH(bool, chosen);
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    const QString database = m_dir.filePath(QStringLiteral("stat%1.mdb").arg(++m_count));
    QCOMPARE(TestDatabase::Create(database), QString());
    QCOMPARE(TestDatabase::Exec(database, u"INSERT INTO Uscite (IDTipoUscita, Data, KM) VALUES (0, '2005-03-02', 42.5)"_qs),
             QString());
    TZTConnection connection;
    connection.Open(TestDatabase::ConnectionStringFor(database));
    QStringList statuses;
    const QString pdfPath = m_dir.filePath(QStringLiteral("stat%1.pdf").arg(m_count));
    PrintContext context;
    context.options = [] { return PrintOptions(2, 1); };
    context.setStatusText = [&](const QString& text) { statuses.append(text); };
    context.choosePrinter = [&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        return chosen;
    };
    TFormElaborazioneDati dialog(nullptr, 1990, &connection, [] { return QDate(2005, 3, 15); }, context);
    dialog.show();
    dialog.findChild<QPushButton*>(u"BitBtnElabora"_qs)->click();
    // A refused period afterwards: the printout names it above the earlier results.
    dialog.findChild<QDateEdit*>(u"DTPInizio"_qs)->setDate(QDate(2005, 3, 16));
    ModalBoxes boxes;
    dialog.findChild<QPushButton*>(u"BitBtnElabora"_qs)->click();
    QString proposed;
    boxes.setDialogHandler([&](QDialog* box) {
        auto* input = qobject_cast<QInputDialog*>(box);
        QVERIFY(input);
        proposed = input->textValue();
        QCOMPARE(input->labelText(), u"Inserire una descrizione per il periodo:"_qs);
        input->setTextValue(u"Primavera"_qs);
        if (described)
            input->accept();
        else
            input->reject();
    });
    dialog.findChild<QPushButton*>(u"BitBtnStampaRisultati"_qs)->click();
    QCOMPARE(proposed, u"(Periodo dal 16/3/2005 al 15/3/2005)"_qs);
    QCOMPARE(QFile::exists(pdfPath), described && chosen);
    const QStringList expectedStatuses = !described ? QStringList()
                                         : chosen   ? QStringList{u"Stampa in corso..."_qs, u"Pronto."_qs}
                                                    : QStringList{u"Pronto."_qs};
    QCOMPARE(statuses, expectedStatuses);
    if (!QFile::exists(pdfPath))
        return;
    QCOMPARE(boxes.seen().last().text, u"Stampa effettuata."_qs);
    const PdfText pdf = PdfText::Read(pdfPath);
    QCOMPARE(pdf.First(u"Primavera"_qs).page, 0);
    QCOMPARE(pdf.First(u"16/3/2005"_qs).page, 0);
    QCOMPARE(pdf.First(u"42,5"_qs).page, 0);
}

QTEST_MAIN(TestPrint)
#include "test_print.moc"
