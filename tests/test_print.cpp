#include "app/Unitmain.h"
#include "data/TZTConnection.h"
#include "forms/Unitelaborazionedati.h"
#include "print/Reports.h"
#include "print/TZTPrint.h"
#include "support/ModalBoxes.h"
#include "support/PdfText.h"
#include "support/TestDatabase.h"

#include <QDateEdit>
#include <QInputDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

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
    month.title = u"Marzo 2005"_qs;
    for (int i = 1; i <= rides; ++i)
        month.rides.append({QStringLiteral("Martedì %1").arg(i % 31 + 1), u"Strada"_qs, QStringLiteral("4%1,5").arg(i % 10),
                            u"1:35:07"_qs, u"26,8"_qs, QStringLiteral("giro%1").arg(i)});
    std::tie(month.km, month.uscite, month.kmg, month.kmu) = std::tuple(u"555,0"_qs, QString::number(rides), u"17,90"_qs, u"79,29"_qs);
    return month;
}

// A print dialog that sends to a PDF file and answers `chosen`.
auto ChoosePdf(const QString& path, const bool& chosen)
{
    return [&path, &chosen](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return chosen;
    };
}

}

class TestPrint : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_count = 0;

    // A PDF printer at 1200 units to the inch whose printable area is the whole A4 page.
    std::pair<std::unique_ptr<QPrinter>, QString> Printer()
    {
        const QString path = m_dir.filePath(QStringLiteral("%1.pdf").arg(++m_count));
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path);
        printer->setResolution(1200);
        printer->setPageSize(QPageSize(QPageSize::A4));
        printer->setFullPage(true);
        return {std::move(printer), path};
    }

private Q_SLOTS:
    void bandsAndAlignments_data()
    {
        QTest::addColumn<QList<int>>("band"); // vertical and horizontal margin, left, right, alignment
        QTest::addColumn<QString>("text");
        QTest::newRow("no margins, left") << QList<int>{0, 0, 0, 100, 0} << u"Inizio"_qs;
        QTest::newRow("10 percent, left") << QList<int>{10, 10, 0, 100, 0} << u"Inizio"_qs;
        QTest::newRow("band 13-19 centred") << QList<int>{10, 10, 13, 19, 1} << u"KM"_qs;
        QTest::newRow("band 13-19 right") << QList<int>{2, 10, 13, 19, 2} << u"KM"_qs;
        QTest::newRow("wide text centred") << QList<int>{2, 1, 13, 19, 1} << u"Larghissimo-testo-centrato"_qs;
        QTest::newRow("alignment 5 is left") << QList<int>{2, 1, 43, 100, 5} << u"Descrizione"_qs;
        QTest::newRow("right edge of the page") << QList<int>{0, 0, 50, 100, 2} << u"Fine"_qs;
    }

    void bandsAndAlignments()
    {
        QFETCH(QList<int>, band);
        QFETCH(QString, text);
        const auto [vertical, horizontal, left, right, alignment] = std::array{band[0], band[1], band[2], band[3], band[4]};
        const auto [printer, path] = Printer();
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
        const double bandLeft = margin + (pdf.pageWidth - 2 * margin) * left / 100.0;
        const double bandRight = margin + (pdf.pageWidth - 2 * margin) * right / 100.0;
        if (alignment == 1) {
            QVERIFY2(qAbs((word.xMin + word.xMax) / 2 - (bandLeft + bandRight) / 2) < 0.6, qPrintable(text));
            if (word.xMax - word.xMin > bandRight - bandLeft)
                QVERIFY(word.xMin < bandLeft);
        } else if (alignment == 2) {
            QVERIFY2(qAbs(word.xMax - bandRight) < 0.6, qPrintable(QString::number(word.xMax - bandRight)));
        } else {
            QVERIFY2(qAbs(word.xMin - bandLeft) < 0.6, qPrintable(QString::number(word.xMin - bandLeft)));
        }
        // The first line's top is the top margin.
        QVERIFY2(qAbs(word.yMin - pdf.pageHeight * vertical / 100.0) < 1.5, qPrintable(QString::number(word.yMin)));
    }

    void lineAdvance()
    {
        const auto [printer, path] = Printer();
        {
            TZTPrint print(printer.get());
            print.SetMargins(0, 0);
            print.BeginDoc();
            for (const auto& [points, spacing] : {std::pair{10, 0}, std::pair{10, 120}, std::pair{20, 0}}) {
                const QString key = QStringLiteral("%1x%2").arg(points).arg(spacing);
                print.SetFont(QStringLiteral("Liberation Sans"), points, spacing);
                print.PrintLine(u'a' + key);
                print.PrintLine(u'b' + key);
                // Columns of one row share the line top.
                print.PrintText(0, 50, 0, false, u'c' + key);
                print.PrintText(50, 100, 0, true, u'd' + key);
            }
            print.EndDoc();
        }
        const PdfText pdf = PdfText::Read(path);
        const auto advance = [&](const QString& key) { return pdf.First(u'b' + key).yMin - pdf.First(u'a' + key).yMin; };
        const double plain = advance(u"10x0"_qs);
        QVERIFY(plain > 10 && plain < 14); // a 10-point line
        // The spacing is in device units, 1200 to the inch.
        QCOMPARE(qRound((advance(u"10x120"_qs) - plain) * 10), qRound(120 * 72.0 / 1200.0 * 10));
        QVERIFY(qAbs(advance(u"20x0"_qs) - 2 * plain) < 1.0);
        for (const QString& key : {u"10x0"_qs, u"10x120"_qs, u"20x0"_qs})
            QCOMPARE(pdf.First(u'c' + key).yMin, pdf.First(u'd' + key).yMin);
    }

    void monthReport_data()
    {
        QTest::addColumn<int>("rides");
        QTest::addColumn<int>("vertical");
        QTest::newRow("a month with rides") << 3 << 10;
        QTest::newRow("an empty month") << 0 << 0;
        QTest::newRow("a month continuing on new pages") << 150 << 2;
    }

    void monthReport()
    {
        QFETCH(int, rides);
        QFETCH(int, vertical);
        const auto [printer, path] = Printer();
        Reports::PrintMonth(*printer, SampleMonth(rides), PrintOptions(vertical, 1));
        const PdfText pdf = PdfText::Read(path);
        QVERIFY(rides > 100 ? pdf.pages >= 2 : pdf.pages == 1);
        QCOMPARE(pdf.First(u"Marzo"_qs).page, 0);
        // Every page has the headings and the footer: centred, its line one
        // footer line above the bottom margin.
        const QList<PdfWord> headings = pdf.Find(u"Descrizione"_qs);
        const QList<PdfWord> footers = pdf.Find(u"Kilovento"_qs);
        const QList<PdfWord> credits = pdf.Find(u"bicicletta"_qs);
        QCOMPARE(headings.size(), pdf.pages);
        QCOMPARE(footers.size(), pdf.pages);
        QCOMPARE(credits.size(), pdf.pages);
        QVERIFY(pdf.First(u"Marzo"_qs).yMax < headings[0].yMin);
        for (int page = 0; page < pdf.pages; ++page) {
            QVERIFY2(qAbs(footers[page].yMax - pdf.pageHeight * (1 - vertical / 100.0)) < 1.5,
                     qPrintable(QString::number(footers[page].yMax)));
            QVERIFY(qAbs((footers[page].xMin + credits[page].xMax) / 2 - pdf.pageWidth / 2) < 1.0);
        }
        QCOMPARE(pdf.Find(u"Strada"_qs).size(), rides);
        for (int i = 1; i <= rides; ++i) {
            const QList<PdfWord> found = pdf.Find(QStringLiteral("giro%1").arg(i));
            QCOMPARE(found.size(), 1);
            const PdfWord& description = found.first();
            QVERIFY(qAbs(description.xMin - headings[0].xMin) < 0.6); // both left in the band 43-100
            QVERIFY(description.yMin > headings[description.page].yMax);
            QVERIFY(description.yMax <= footers[description.page].yMin);
        }
        // The totals follow the last ride, on the last page.
        const PdfWord km = pdf.First(u"KM:"_qs);
        QCOMPARE(km.page, pdf.pages - 1);
        QVERIFY(km.yMin < pdf.First(u"Uscite:"_qs).yMin);
        if (rides > 0) {
            const PdfWord last = pdf.First(QStringLiteral("giro%1").arg(rides));
            QVERIFY(km.page > last.page || km.yMin > last.yMax);
        }
        for (const QString& total : {u"555,0"_qs, u"17,90"_qs, u"79,29"_qs})
            QVERIFY(pdf.First(total).page == km.page && pdf.First(total).yMin > headings.last().yMax);
    }

    void statisticsReportColumns_data()
    {
        QTest::addColumn<int>("tensRows"); // bands of ten kilometres with rides
        QTest::newRow("weekdays longer") << 2;
        QTest::newRow("tens longer") << 14;
    }

    void statisticsReportColumns()
    {
        QFETCH(int, tensRows);
        Reports::Statistics report;
        report.description = u"Stagione"_qs;
        report.period = u"(Periodo dal 1/1/2005 al 31/12/2005)"_qs;
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

        const auto [printer, path] = Printer();
        Reports::PrintStatistics(*printer, report, PrintOptions(2, 1));
        const PdfText pdf = PdfText::Read(path);
        QCOMPARE(pdf.pages, 1);
        QCOMPARE(pdf.First(u"(Periodo"_qs).page, 0);
        // Only the bands with rides are printed.
        for (int k = 0; k < 14; ++k)
            QCOMPARE(pdf.First(QStringLiteral("band%1").arg(k)).page, k < tensRows ? 0 : -1);
        // The two upper tables start on one line; the lower ones below the longer of them.
        QCOMPARE(pdf.First(u"SETTIMANALI"_qs).yMin, pdf.First(u"CHILOMETRI"_qs).yMin);
        const PdfWord days = pdf.First(u"MENSILI"_qs);
        QVERIFY(days.yMin > std::max(pdf.First(u"wd7"_qs).yMax, pdf.First(QStringLiteral("band%1").arg(tensRows - 1)).yMax));
        QCOMPARE(pdf.First(u"MESI"_qs).yMin, days.yMin);
        // The Top 10 follows the months, its date printed without the weekday.
        QVERIFY(pdf.First(u"TOP"_qs).yMin > pdf.First(u"m12"_qs).yMax);
        QCOMPARE(pdf.First(u"5/3/2005"_qs).page, 0);
        QCOMPARE(pdf.First(u"Sabato"_qs).page, -1);
    }

    void printCommands_data()
    {
        QTest::addColumn<bool>("month"); // else the statistics
        QTest::addColumn<bool>("described");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("month printed") << true << true << true;
        QTest::newRow("month, print dialog cancelled") << true << true << false;
        QTest::newRow("statistics printed") << false << true << true;
        QTest::newRow("statistics, description cancelled") << false << false << true;
        QTest::newRow("statistics, print dialog cancelled") << false << true << false;
    }

    void printCommands()
    {
        QFETCH(bool, month);
        QFETCH(bool, described);
        QFETCH(bool, chosen);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        const QString folder = m_dir.filePath(QStringLiteral("program%1").arg(++m_count));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(TestDatabase::CreateProgramFolder(folder), QString());
        const QString database = folder + u"/kilovento.mdb"_qs;
        QCOMPARE(TestDatabase::Exec(database, u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) "
                                               "VALUES (0, '2005-03-02', 42.5, 'lago')"_qs),
                 QString());
        const QString pdfPath = folder + u"/printed.pdf"_qs;
        QStringList statuses;
        ModalBoxes boxes;
        if (month) {
            StartupEnvironment environment;
            environment.executablePath = folder + u"/kilovento"_qs;
            environment.today = [] { return QDate(2005, 3, 15); };
            environment.choosePrinter = ChoosePdf(pdfPath, chosen);
            TFormMain form(environment);
            form.PrintFont = u"Liberation Sans"_qs;
            form.SetStatusText(u"altro"_qs);
            form.findChild<QToolButton*>(u"BitBtnStampaMese"_qs)->click();
            QCOMPARE(form.StatusText(), u"Pronto."_qs);
        } else {
            TZTConnection connection;
            connection.Open(TestDatabase::ConnectionStringFor(database));
            PrintContext context;
            context.options = [] { return PrintOptions(2, 1); };
            context.setStatusText = [&](const QString& text) { statuses.append(text); };
            context.choosePrinter = ChoosePdf(pdfPath, chosen);
            TFormElaborazioneDati dialog(nullptr, 1990, &connection, [] { return QDate(2005, 3, 15); }, context);
            dialog.show();
            dialog.findChild<QPushButton*>(u"BitBtnElabora"_qs)->click();
            // A refused period afterwards: the printout names it above the earlier results.
            dialog.findChild<QDateEdit*>(u"DTPInizio"_qs)->setDate(QDate(2005, 3, 16));
            dialog.findChild<QPushButton*>(u"BitBtnElabora"_qs)->click();
            QString proposed;
            boxes.setDialogHandler([&](QDialog* box) {
                auto* input = qobject_cast<QInputDialog*>(box);
                QVERIFY(input);
                proposed = input->textValue();
                QCOMPARE(input->labelText(), u"Inserire una descrizione per il periodo:"_qs);
                input->setTextValue(u"Primavera"_qs);
                input->done(described ? QDialog::Accepted : QDialog::Rejected);
            });
            dialog.findChild<QPushButton*>(u"BitBtnStampaRisultati"_qs)->click();
            QCOMPARE(proposed, u"(Periodo dal 16/3/2005 al 15/3/2005)"_qs);
            QCOMPARE(statuses, (!described ? QStringList()
                                : chosen   ? QStringList{u"Stampa in corso..."_qs, u"Pronto."_qs}
                                           : QStringList{u"Pronto."_qs}));
        }
        const bool printed = described && chosen;
        QCOMPARE(QFile::exists(pdfPath), printed);
        QCOMPARE(std::count_if(boxes.seen().begin(), boxes.seen().end(),
                               [](const ModalBoxes::Seen& box) {
                                   return box.text == u"Stampa effettuata." && box.icon == QMessageBox::Information;
                               }),
                 printed ? 1 : 0);
        if (!printed)
            return;
        const PdfText pdf = PdfText::Read(pdfPath);
        const qsizetype rideKm = pdf.Find(u"42,5"_qs).size();
        QVERIFY(month ? rideKm == 2 : rideKm > 0); // the month: the ride and the total
        for (const QString& word : month ? QStringList{u"Marzo"_qs, u"lago"_qs} : QStringList{u"Primavera"_qs, u"16/3/2005"_qs})
            QCOMPARE(pdf.First(word).page, 0);
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
