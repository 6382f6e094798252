#include "app/Unitmain.h"
#include "data/Bikes.h"
#include "data/MonthRides.h"
#include "data/ReportRows.h"
#include "data/Statistics.h"
#include "data/TZTConnection.h"
#include "data/TZTRecordset.h"
#include "forms/Unitelaborazionedati.h"
#include "print/Reports.h"
#include "print/TZTPrint.h"
#include "support/MainWindow.h"
#include "support/ItalianLocale.h"
#include "support/ModalBoxes.h"
#include "support/PdfText.h"
#include "support/RideLogFile.h"
#include "support/TestDatabase.h"

#include <QDateEdit>
#include <QFontDatabase>
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

ReportRows::Month SampleMonth(int rides)
{
    ReportRows::Month month;
    month.title = u"Marzo 2005"_qs;
    for (int i = 1; i <= rides; ++i)
        month.rides.append({QStringLiteral("Martedì %1").arg(i % 31 + 1), u"Strada"_qs, QStringLiteral("4%1,5").arg(i % 10),
                            u"1:35:07"_qs, u"26,8"_qs, QStringLiteral("giro%1").arg(i)});
    std::tie(month.km, month.uscite, month.kmg, month.kmu) = std::tuple(u"555,0"_qs, QString::number(rides), u"17,90"_qs, u"79,29"_qs);
    return month;
}

// A PDF at 1200 units to the inch whose printable area is the whole page.
void SendToPdf(QPrinter& printer, const QString& path, QPageSize::PageSizeId paper = QPageSize::A4)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(1200);
    printer.setPageSize(QPageSize(paper));
    printer.setFullPage(true);
}

// The printable area of a page in points, inside the margins in percent.
QRectF PrintableArea(const PdfText& pdf, int vertical, int horizontal)
{
    const double x = pdf.pageWidth * horizontal / 100.0;
    const double y = pdf.pageHeight * vertical / 100.0;
    return QRectF(x, y, pdf.pageWidth - 2 * x, pdf.pageHeight - 2 * y);
}

// The installed families that write the reports' texts: a symbol font draws
// pictures in place of the letters and digits, so there is no date to read.
QStringList TextFamilies()
{
    QStringList families;
    for (const QString& family : QFontDatabase::families()) {
        const QList<QFontDatabase::WritingSystem> systems = QFontDatabase::writingSystems(family);
        if (systems.contains(QFontDatabase::Latin) && !systems.contains(QFontDatabase::Symbol))
            families.append(family);
    }
    return families;
}

// The family that sets the reports' texts widest: the layouts are tightest in it.
QString WidestFamily()
{
    const QString sample = u"Mercoledì 30887,5 USCITE PER DECINE DI CHILOMETRI 31/12/2025"_qs;
    const auto width = [&](const QString& family) { return QFontMetricsF(QFont(family, 10)).horizontalAdvance(sample); };
    QString widest = u"DejaVu Sans"_qs;
    for (const QString& family : TextFamilies())
        if (width(family) > width(widest))
            widest = family;
    return widest;
}

// A ride every day from 1990 to 2025, 5 to 205 km: hundreds of thousands of
// kilometres per weekday and tens of thousands per day of the month.
QString GeneratedRides(bool longDescriptions)
{
    const QString filler = longDescriptions ? QStringLiteral(" salita").repeated(34) : QString();
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 13148) "
                          "INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) "
                          "SELECT i % 6, date('1990-01-01', '+' || i || ' days'), 5 + (i * 37) % 200 + (i % 10) / 10.0, "
                          "'giro' || i || '%1' FROM n")
        .arg(filler);
}

// Opens `connection` on a new log at `path` holding the rides `insert` adds,
// if any; returns the error, if any.
QString OpenNewLog(TZTConnection& connection, const QString& path, const QString& insert)
{
    QString error = TestDatabase::Create(path);
    if (error.isEmpty() && !insert.isEmpty())
        error = TestDatabase::Exec(path, insert);
    if (error.isEmpty())
        connection.Open(TestDatabase::ConnectionStringFor(path));
    return error;
}

// Each word the statistics printout should show, with how often: the totals
// and the printed columns of the lists, as the statistics window shows them.
QMap<QString, int> PrintedWords(const StatisticsResult& result)
{
    QMap<QString, int> words;
    const auto add = [&](const QString& text) {
        for (const QString& word : text.split(u' ', Qt::SkipEmptyParts))
            ++words[word];
    };
    const Statistics::GeneralTexts totals = Statistics::General(result);
    for (const QString& text : {u"KM: "_qs + totals.kmTotali, u"Giorni: "_qs + totals.giorniTotali,
                                u"KM/G: "_qs + totals.kmg, u"Uscite: "_qs + totals.usciteTotali, u"KM/U: "_qs + totals.kmu})
        add(text);
    const auto columns = [&](const QList<QStringList>& rows, const QList<int>& printed, bool onlyWithRides = false) {
        for (const QStringList& row : rows) {
            if (onlyWithRides && row.value(1).toInt() == 0)
                continue;
            for (int column : printed)
                add(row.value(column));
        }
    };
    columns(Statistics::WeekdayRows(result), {0, 1, 2, 3});
    columns(Statistics::TensOfKmRows(result), {0, 1}, true);
    columns(Statistics::DayOfMonthRows(result), {0, 1, 2});
    columns(Statistics::MonthRows(result), {0, 1, 2, 3});
    columns(Statistics::YearRows(result), {0, 1, 2, 3, 4, 5});
    const QList<QStringList> top10 = Statistics::Top10Rows(result);
    columns(top10, {0, 2});
    // The dates without their weekday, and of each description its first word,
    // the rest of a long one being cut at the margin.
    for (const QStringList& row : top10) {
        add(row.value(1).section(u' ', -1));
        add(row.value(3).section(u' ', 0, 0));
    }
    return words;
}

// Statistics texts of small figures, which fit the documented bands.
ReportRows::Statistics SmallStatistics(int tensRows)
{
    ReportRows::Statistics report;
    report.period = u"(Periodo dal 1/1/2005 al 31/12/2005)"_qs;
    for (int d = 1; d <= 7; ++d)
        report.weekdays.append({QStringLiteral("wd%1").arg(d), u"1,0"_qs, u"1"_qs, u"1,00"_qs});
    for (int k = 0; k < tensRows; ++k)
        report.tensOfKm.append({QStringLiteral("band%1").arg(k), QString::number(k + 1)});
    for (int d = 1; d <= 31; ++d)
        report.daysOfMonth.append({QString::number(d), u"2,0"_qs, u"1"_qs});
    for (int m = 1; m <= 12; ++m)
        report.months.append({QStringLiteral("m%1").arg(m), u"3,0"_qs, u"1"_qs, u"3,00"_qs});
    report.top10.append({u"1"_qs, u"5/3/2005"_qs, u"99,9"_qs, u"lungo"_qs});
    report.years = {{u"2004"_qs, u"0"_qs, u"0,0"_qs, u"0:00"_qs, u"n/d"_qs, u"n/d"_qs},
                    {u"2005 (37%)"_qs, u"12"_qs, u"36,0"_qs, u"1:30"_qs, u"3,00"_qs, u"24,0"_qs},
                    {u"Totale"_qs, u"12"_qs, u"36,0"_qs, u"1:30"_qs, u"3,00"_qs, u"24,0"_qs}};
    return report;
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
        SendToPdf(*printer, path);
        return {std::move(printer), path};
    }

    // The statistics of a ride every day from 1990 to 2025, with short and with long descriptions.
    QMap<bool, StatisticsResult> m_generated;

    void Generate(bool longDescriptions)
    {
        TZTConnection connection;
        QCOMPARE(OpenNewLog(connection, m_dir.filePath(QStringLiteral("years%1.mdb").arg(longDescriptions)),
                            GeneratedRides(longDescriptions)),
                 QString());
        StatisticsResult& result = m_generated[longDescriptions];
        result.DataInizio = TDateTime::EncodeDate(1990, 1, 1);
        result.DataTermine = TDateTime::EncodeDate(2025, 12, 31);
        Statistics::Compute(connection, result);
    }

    // A month with a long description printed in `font`: every date and figure
    // whole, nothing outside the margins or over another text, the description
    // cut visibly at the right margin.
    void CheckMonthPrintout(int vertical, int horizontal, const QString& font, QPageSize::PageSizeId paper,
                            double tolerance = 0.6)
    {
        ReportRows::Month month = SampleMonth(3);
        month.rides[0] = QStringList{u"Mercoledì 30"_qs, u"Gravel"_qs, u"204,9"_qs, u"10:35:07"_qs, u"19,4"_qs, u"breve"_qs};
        month.rides[1][5] = u"lungo"_qs + QStringLiteral(" salita").repeated(40);
        Options options = PrintOptions(vertical, horizontal);
        options.printFont = font;
        const auto [printer, path] = Printer();
        printer->setPageSize(QPageSize(paper));
        Reports::PrintMonth(*printer, month, options);
        const PdfText pdf = PdfText::Read(path);
        QCOMPARE(pdf.pages, 1);
        const QRectF area = PrintableArea(pdf, vertical, horizontal);
        for (const PdfWord& word : pdf.Outside(area, tolerance))
            QFAIL(qPrintable(u"outside the margins: "_qs + Describe(word)));
        QCOMPARE(pdf.Overlapping(0.3), QString());
        QStringList figures = {month.title, month.km, month.uscite, month.kmg, month.kmu};
        for (const QStringList& ride : month.rides)
            figures += ride.mid(0, 5);
        for (const QString& word : figures.join(u' ').split(u' '))
            QVERIFY2(!pdf.Find(word).isEmpty(), qPrintable(word));
        const PdfWord first = pdf.First(u"lungo"_qs);
        QCOMPARE(first.page, 0);
        // The description is cut, visibly, where the margin begins: with the
        // ellipsis character, or three dots in a font that has none.
        QList<PdfWord> line;
        for (const PdfWord& word : pdf.words)
            if (qAbs(word.yMin - first.yMin) < 0.5 && word.xMin >= first.xMin)
                line.append(word);
        QVERIFY2(line.last().text.endsWith(u'…') || line.last().text.endsWith(u"..."), qPrintable(Describe(line.last())));
        QVERIFY2(area.right() - line.last().xMax < 30, qPrintable(Describe(line.last())));
    }

    // The generated statistics printed in `font`, described by their period:
    // every word of the description, the totals and the lists printed whole,
    // nothing outside the margins or over another text, the footer closing
    // every page and the years on pages of their own.
    void CheckStatisticsPrintout(int vertical, int horizontal, const QString& font, bool longDescriptions,
                                 QPageSize::PageSizeId paper, double tolerance = 0.6)
    {
        const StatisticsResult& result = m_generated[longDescriptions];
        const ReportRows::Statistics report = ReportRows::StatisticsReport(result);
        const QString pdfPath = m_dir.filePath(QStringLiteral("%1.pdf").arg(++m_count));
        QPrinter printer(QPrinter::HighResolution);
        SendToPdf(printer, pdfPath, paper);
        Options options = PrintOptions(vertical, horizontal);
        options.printFont = font;
        // Described by the text the window proposes: the period.
        Reports::PrintStatistics(printer, report.period, report, options);

        const PdfText pdf = PdfText::Read(pdfPath);
        QVERIFY(pdf.pages >= 1);
        const QRectF area = PrintableArea(pdf, vertical, horizontal);
        for (const PdfWord& word : pdf.Outside(area, tolerance))
            QFAIL(qPrintable(u"outside the margins: "_qs + Describe(word)));
        QCOMPARE(pdf.Overlapping(0.3), QString());
        // Texts that touch read as one word: each printed word must be found alone.
        QMap<QString, int> expected = PrintedWords(result);
        QVERIFY(expected.size() > 100);
        // The description heads the page, above the period.
        for (const QString& word : report.period.split(u' '))
            expected[word] += 2;
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(pdf.Find(it.key()).size() >= it.value(), qPrintable(it.key()));
        // The footer closes every page, one footer line above the bottom margin, with the page's number;
        // every page opens with the description and the period.
        const QList<PdfWord> footers = pdf.Find(u"Kilovento"_qs);
        QCOMPARE(footers.size(), pdf.pages);
        const QList<PdfWord> numbers = pdf.Find(u"Pagina"_qs);
        for (int page = 0; page < pdf.pages; ++page) {
            QCOMPARE(footers[page].page, page);
            QVERIFY2(qAbs(footers[page].yMax - area.bottom()) < 1.5, qPrintable(Describe(footers[page])));
            QVERIFY2(std::any_of(numbers.begin(), numbers.end(), [&](const PdfWord& word) {
                         return word.page == page
                                && pdf.LineOf(word).endsWith(u"Pagina %1 di %2"_qs.arg(page + 1).arg(pdf.pages));
                     }), qPrintable(pdf.LineOf(footers[page])));
        }
        QSet<int> headed;
        for (const PdfWord& word : pdf.Find(report.period.split(u' ').first()))
            if (word.yMin < area.top() + 30)
                headed.insert(word.page);
        QCOMPARE(headed.size(), pdf.pages);
        // The years start a page after every other table, and hold nothing else.
        QStringList yearWords{u"USCITE PER ANNI ANNO USC KM TEMPO KM/U KM/h Pagina di"_qs, report.period,
                              pdf.LineOf(footers[0])};
        for (int page = 1; page <= pdf.pages; ++page)
            yearWords.append(QString::number(page));
        for (const QStringList& row : report.years)
            yearWords += row;
        yearWords = yearWords.join(u' ').split(u' ');
        const int yearsPage = pdf.First(u"ANNI"_qs).page;
        QVERIFY(yearsPage > 0);
        QCOMPARE(pdf.First(u"Totale"_qs).page, pdf.pages - 1);
        for (const PdfWord& word : pdf.words)
            QVERIFY2(word.page < yearsPage || yearWords.contains(word.text), qPrintable(Describe(word)));
    }

private Q_SLOTS:
    void initTestCase()
    {
        Generate(false);
        Generate(true);
    }

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

    void wrappedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("widthInAs"); // the column, in widths of "A"
        QTest::addColumn<QStringList>("lines"); // empty: broken anywhere
        QTest::newRow("at the blanks")
            << u"KM/G: 104,95 (max. 106,95 il giorno 1/3/1990)"_qs << 22
            << QStringList{u"KM/G: 104,95 (max."_qs, u"106,95 il giorno"_qs, u"1/3/1990)"_qs};
        QTest::newRow("a date wider than the column") << u"31/12/2025"_qs << 5 << QStringList();
    }

    // Nothing of a wrapped text is lost, and each line fits its column.
    void wrappedText()
    {
        QFETCH(QString, text);
        QFETCH(int, widthInAs);
        QFETCH(QStringList, lines);
        const auto [printer, path] = Printer();
        TZTPrint print(printer.get());
        print.SetFont(u"DejaVu Sans Mono"_qs, 12, 0);
        const int width = widthInAs * print.TextWidth(u"A"_qs);
        const QStringList wrapped = print.Wrapped(text, width);
        if (!lines.isEmpty())
            QCOMPARE(wrapped, lines);
        QVERIFY(wrapped.size() > 1);
        for (const QString& line : wrapped)
            QVERIFY2(print.TextWidth(line) <= width, qPrintable(line));
        QCOMPARE(wrapped.join(QString()).remove(u' '), QString(text).remove(u' '));
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

    void monthReportFromTheLog_data()
    {
        QTest::addColumn<QString>("rides"); // rows of Uscite: type, date, km, duration, description
        QTest::addColumn<bool>("summary");  // else the reading stopped before the totals
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("totals");
        QTest::newRow("rides with and without a duration")
            << u"(2, '2005-03-20', 30, NULL, 'colle alto'), (0, '2005-03-02', 42.5, '01:35:07', 'lago')"_qs << true
            << QStringList{u"Mercoledì 2 Strada 42,5 1:35:07 26,8 lago"_qs, u"Domenica 20 Gravel 30,0 --- --- colle alto"_qs}
            << QStringList{u"KM: 72,5"_qs, u"Uscite: 2"_qs, u"KM/G: 2,34"_qs, u"KM/U: 36,25"_qs};
        QTest::newRow("no rides") << QString() << true << QStringList()
                                  << QStringList{u"KM: 0,0"_qs, u"Uscite: 0"_qs, u"KM/G: 0,00"_qs, u"KM/U: n/d"_qs};
        QTest::newRow("no summary, as the window shows none")
            << u"(5, '2005-03-31', 150, '05:00:00', 'gara')"_qs << false
            << QStringList{u"Giovedì 31 Gara 150,0 5:00:00 30,0 gara"_qs}
            << QStringList{u"KM:"_qs, u"Uscite:"_qs, u"KM/G:"_qs, u"KM/U:"_qs};
    }

    // A month read from the log and printed, with no window at all.
    void monthReportFromTheLog()
    {
        QFETCH(QString, rides);
        QFETCH(bool, summary);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, totals);
        TZTConnection connection;
        QCOMPARE(OpenNewLog(connection, m_dir.filePath(QStringLiteral("month%1.mdb").arg(++m_count)),
                            rides.isEmpty() ? QString()
                                            : u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Durata, Descrizione) "
                                              "VALUES "_qs + rides),
                 QString());
        MonthRides month = MonthRides::Load(connection, 2005, 3);
        if (!summary)
            month.summary.reset();
        const auto [printer, path] = Printer();
        Reports::PrintMonth(*printer, ReportRows::MonthReport(month, 2005, 3), PrintOptions(2, 1));

        const PdfText pdf = PdfText::Read(path);
        QCOMPARE(pdf.pages, 1);
        QCOMPARE(pdf.LineOf(pdf.First(u"Marzo"_qs)), u"Marzo 2005"_qs);
        // Each ride on a line of its own, its columns in order, in date order.
        double previous = pdf.First(u"Descrizione"_qs).yMax;
        for (const QString& line : lines) {
            const PdfWord day = pdf.First(line.section(u' ', 0, 0));
            QCOMPARE(pdf.LineOf(day), line);
            QVERIFY(day.yMin > previous);
            previous = day.yMin;
        }
        QCOMPARE(pdf.Find(u"Strada"_qs).size() + pdf.Find(u"Gravel"_qs).size() + pdf.Find(u"Gara"_qs).size(),
                 lines.size());
        for (const QString& total : totals) {
            const PdfWord label = pdf.First(total.section(u' ', 0, 0));
            QCOMPARE(pdf.LineOf(label), total);
            QVERIFY(label.yMin > previous);
            previous = label.yMin;
        }
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
        const auto [printer, path] = Printer();
        Reports::PrintStatistics(*printer, u"Stagione"_qs, SmallStatistics(tensRows), PrintOptions(2, 1));
        const PdfText pdf = PdfText::Read(path);
        // The years on a second page, though the first has room for them, with its footer.
        QCOMPARE(pdf.pages, 2);
        QCOMPARE(pdf.Find(u"Kilovento"_qs).size(), 2);
        const PdfWord years = pdf.First(u"ANNI"_qs);
        QCOMPARE(years.page, 1);
        QCOMPARE(pdf.LineOf(pdf.First(u"ANNO"_qs)), u"ANNO USC KM TEMPO KM/U KM/h"_qs);
        QCOMPARE(pdf.LineOf(pdf.First(u"(37%)"_qs)), u"2005 (37%) 12 36,0 1:30 3,00 24,0"_qs);
        QVERIFY(pdf.First(u"Totale"_qs).yMin > pdf.First(u"(37%)"_qs).yMin);
        for (const QString& word : {u"2004"_qs, u"(37%)"_qs, u"Totale"_qs, u"ANNO"_qs})
            QCOMPARE(pdf.First(word).page, 1);
        QCOMPARE(pdf.First(u"Stagione"_qs).page, 0);
        QCOMPARE(pdf.First(u"(Periodo"_qs).page, 0);
        for (int k = 0; k < tensRows; ++k)
            QCOMPARE(pdf.First(QStringLiteral("band%1").arg(k)).page, 0);
        // The two upper tables start on one line; the lower ones below the longer of them.
        QCOMPARE(pdf.First(u"SETTIMANALI"_qs).yMin, pdf.First(u"CHILOMETRI"_qs).yMin);
        const PdfWord days = pdf.First(u"MENSILI"_qs);
        QVERIFY(days.yMin > std::max(pdf.First(u"wd7"_qs).yMax, pdf.First(QStringLiteral("band%1").arg(tensRows - 1)).yMax));
        QCOMPARE(pdf.First(u"MESI"_qs).yMin, days.yMin);
        // The Top 10 follows the months.
        QVERIFY(pdf.First(u"TOP"_qs).yMin > pdf.First(u"m12"_qs).yMax);
        QCOMPARE(pdf.First(u"5/3/2005"_qs).page, 0);
    }

    void monthDescriptionStaysOnThePage_data()
    {
        QTest::addColumn<int>("vertical");
        QTest::addColumn<int>("horizontal");
        QTest::addColumn<QString>("font");
        QTest::addColumn<QPageSize::PageSizeId>("paper");
        QTest::newRow("margins 0 and 0") << 0 << 0 << u"Liberation Sans"_qs << QPageSize::A4;
        QTest::newRow("margins 10 and 10") << 10 << 10 << u"Liberation Sans"_qs << QPageSize::A4;
        QTest::newRow("widest font, margins 10 and 10") << 10 << 10 << WidestFamily() << QPageSize::A4;
        QTest::newRow("A5, widest font, margins 10 and 10") << 10 << 10 << WidestFamily() << QPageSize::A5;
        QTest::newRow("A6, widest font, margins 10 and 10") << 10 << 10 << WidestFamily() << QPageSize::A6;
    }

    void monthDescriptionStaysOnThePage()
    {
        QFETCH(int, vertical);
        QFETCH(int, horizontal);
        QFETCH(QString, font);
        QFETCH(QPageSize::PageSizeId, paper);
        CheckMonthPrintout(vertical, horizontal, font, paper);
    }

    void statisticsReportStaysOnItsPages_data()
    {
        QTest::addColumn<int>("vertical");
        QTest::addColumn<int>("horizontal");
        QTest::addColumn<QString>("font");
        QTest::addColumn<bool>("longDescriptions");
        QTest::addColumn<QPageSize::PageSizeId>("paper");
        const QString widest = WidestFamily();
        QTest::newRow("margins 0 and 0") << 0 << 0 << u"Liberation Sans"_qs << false << QPageSize::A4;
        QTest::newRow("margins 10 and 10") << 10 << 10 << u"Liberation Sans"_qs << false << QPageSize::A4;
        QTest::newRow("widest font") << 2 << 1 << widest << false << QPageSize::A4;
        QTest::newRow("widest font, margins 10 and 10, long descriptions") << 10 << 10 << widest << true << QPageSize::A4;
        // Too narrow for the tables side by side.
        QTest::newRow("A5, widest font, margins 10 and 10") << 10 << 10 << widest << true << QPageSize::A5;
        QTest::newRow("A6, widest font, margins 10 and 10") << 10 << 10 << widest << true << QPageSize::A6;
    }

    void statisticsReportStaysOnItsPages()
    {
        QFETCH(int, vertical);
        QFETCH(int, horizontal);
        QFETCH(QString, font);
        QFETCH(bool, longDescriptions);
        QFETCH(QPageSize::PageSizeId, paper);
        CheckStatisticsPrintout(vertical, horizontal, font, longDescriptions, paper);
    }

    // Run once more with the fonts this machine has (test_print_installed_fonts):
    // the narrowest page, whatever family the rider chose.
    void everyInstalledFamily_data()
    {
        QTest::addColumn<QString>("font");
        for (const QString& family : TextFamilies())
            QTest::newRow(qPrintable(family)) << family;
    }

    void everyInstalledFamily()
    {
        QFETCH(QString, font);
        // The words' boxes come from the metrics the PDF gives the font, which
        // for some families reach up to a tenth of the size past those Qt lays
        // the lines out with.
        const double tolerance = 1.0;
        CheckMonthPrintout(10, 10, font, QPageSize::A5, tolerance);
        if (!QTest::currentTestFailed())
            CheckStatisticsPrintout(10, 10, font, true, QPageSize::A5, tolerance);
    }

    void statisticsReportKeepsItsBands_data()
    {
        QTest::addColumn<int>("vertical");
        QTest::addColumn<int>("horizontal");
        QTest::newRow("default margins") << 2 << 1;
        QTest::newRow("margins 0 and 0") << 0 << 0;
        QTest::newRow("margins 10 and 10") << 10 << 10;
    }

    // Texts that fit their columns stay where the columns are documented.
    void statisticsReportKeepsItsBands()
    {
        QFETCH(int, vertical);
        QFETCH(int, horizontal);
        struct Placement
        {
            QString word;
            int left, right, alignment;
        };
        const QList<Placement> placements = {
            {u"Giorni:"_qs, 0, 10, 0}, {u"KM/G:"_qs, 15, 100, 0},  {u"GIORNO"_qs, 0, 10, 0},
            {u"wd1"_qs, 0, 10, 0},     {u"band0"_qs, 40, 48, 1},   {u"G"_qs, 0, 4, 1},
            {u"31"_qs, 0, 4, 1},       {u"MESE"_qs, 40, 50, 0},    {u"m12"_qs, 40, 50, 0},
            {u"#"_qs, 30, 33, 1},      {u"5/3/2005"_qs, 33, 43, 1}, {u"99,9"_qs, 43, 49, 1},
            {u"DESCRIZIONE"_qs, 50, 100, 0}, {u"lungo"_qs, 50, 100, 0}, {u"ANNO"_qs, 0, 15, 0},
            {u"Totale"_qs, 0, 15, 0},   {u"TEMPO"_qs, 37, 49, 1},    {u"1:30"_qs, 37, 49, 1}};
        const auto [printer, path] = Printer();
        Reports::PrintStatistics(*printer, u"Stagione"_qs, SmallStatistics(2), PrintOptions(vertical, horizontal));
        const PdfText pdf = PdfText::Read(path);
        QCOMPARE(pdf.pages, 2);
        const QRectF area = PrintableArea(pdf, vertical, horizontal);
        for (const Placement& p : placements) {
            const PdfWord word = pdf.First(p.word);
            QVERIFY2(word.page >= 0, qPrintable(p.word));
            const double left = area.left() + area.width() * p.left / 100.0;
            const double right = area.left() + area.width() * p.right / 100.0;
            const double x = p.alignment == 1 ? (word.xMin + word.xMax) / 2 : word.xMin;
            QVERIFY2(qAbs(x - (p.alignment == 1 ? (left + right) / 2 : left)) < 0.6, qPrintable(Describe(word)));
        }
    }

    // The bikes under the years, as the window prints them; a log without bikes prints none (printCommands).
    void bikesPrintedUnderTheYears()
    {
        const QString path = m_dir.filePath(QStringLiteral("bikes%1.mdb").arg(++m_count));
        QCOMPARE(TestDatabase::Create(path), QString());
        QCOMPARE(TestDatabase::InsertRide(path, u"2005-03-02"_qs, 42.5, 0, u"lago"_qs, u"01:30:00"_qs), QString());
        QCOMPARE(TestDatabase::InsertRide(path, u"2005-03-09"_qs, 30, 0, u"colle"_qs), QString());
        const auto log = OpenRideLog(path);
        Bikes::SetRideBike(log->Connection(), 1, Bikes::AddBike(log->Connection(), {0, u"Corsa"_qs, 0.0, {}, false}));
        const QString pdfPath = m_dir.filePath(QStringLiteral("%1.pdf").arg(++m_count));
        const bool chosen = true;
        PrintContext context;
        context.options = [] { return PrintOptions(2, 1); };
        context.choosePrinter = ChoosePdf(pdfPath, chosen);
        TFormElaborazioneDati dialog(nullptr, 1990, *log, [] { return QDate(2005, 3, 15); }, context);
        dialog.show();
        dialog.findChild<QPushButton*>(u"BitBtnElabora"_qs)->click();
        ModalBoxes boxes;
        boxes.setDialogHandler([](QDialog* box) { box->accept(); });
        dialog.findChild<QPushButton*>(u"BitBtnStampaRisultati"_qs)->click();

        const PdfText pdf = PdfText::Read(pdfPath);
        QCOMPARE(pdf.pages, 2);
        QCOMPARE(pdf.Find(u"BICI"_qs).size(), 2); // the title and the heading
        QCOMPARE(pdf.Find(u"nessuna"_qs).size(), 1);
        const PdfWord title = pdf.First(u"BICI"_qs);
        QCOMPARE(title.page, pdf.First(u"ANNI"_qs).page);
        QVERIFY(title.yMin > pdf.First(u"Totale"_qs).yMax);
        QCOMPARE(pdf.LineOf(pdf.First(u"Corsa"_qs)), u"Corsa 1 42,5 1:30 42,50 28,3"_qs);
    }

    void printCommands_data()
    {
        QTest::addColumn<bool>("month"); // else the statistics
        QTest::addColumn<bool>("moved");  // to another month before the month is printed
        QTest::addColumn<bool>("described");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("month printed") << true << false << true << true;
        QTest::newRow("month printed after moving to another") << true << true << true << true;
        QTest::newRow("month, print dialog cancelled") << true << false << true << false;
        QTest::newRow("statistics printed") << false << false << true << true;
        QTest::newRow("statistics, description cancelled") << false << false << false << true;
        QTest::newRow("statistics, print dialog cancelled") << false << false << true << false;
    }

    void printCommands()
    {
        QFETCH(bool, month);
        QFETCH(bool, moved);
        QFETCH(bool, described);
        QFETCH(bool, chosen);
        const QString folder = m_dir.filePath(QStringLiteral("program%1").arg(++m_count));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(TestDatabase::CreateProgramFolder(folder), QString());
        const QString database = folder + u"/kilovento.mdb"_qs;
        QCOMPARE(TestDatabase::Exec(database, u"INSERT INTO Uscite (IDTipoUscita, Data, KM, Descrizione) "
                                               "VALUES (0, '2005-03-02', 42.5, 'lago'), (1, '2005-04-09', 30, 'colle')"_qs),
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
            Options options = form.CurrentOptions();
            options.printFont = u"Liberation Sans"_qs;
            form.ApplyOptions(options);
            if (moved)
                form.GoToMonth(4, 2005, false);
            form.SetStatusText(u"altro"_qs);
            form.findChild<QToolButton*>(u"BitBtnStampaMese"_qs)->click();
            QCOMPARE(MainWindow::StatusText(&form), u"Pronto."_qs);
        } else {
            const auto log = OpenRideLog(database);
            PrintContext context;
            context.options = [] {
                Options options = PrintOptions(2, 1);
                options.yearGoal = 100;
                return options;
            };
            context.setStatusText = [&](const QString& text) { statuses.append(text); };
            context.choosePrinter = ChoosePdf(pdfPath, chosen);
            TFormElaborazioneDati dialog(nullptr, 1990, *log, [] { return QDate(2005, 3, 15); }, context);
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
                // The proposed text shows whole.
                const auto* edit = input->findChild<QLineEdit*>();
                QVERIFY(edit->fontMetrics().horizontalAdvance(proposed) < edit->contentsRect().width() - 4);
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
        // The month: the ride and the total, and nothing of a month shown before.
        QVERIFY(!month ? rideKm > 0 : rideKm == (moved ? 0 : 2));
        // The statistics with the years, the goal's year marked as in the window.
        if (!month) {
            QCOMPARE(pdf.LineOf(pdf.First(u"(42%)"_qs)), u"2005 (42%) 1 42,5 0:00 42,50 n/d"_qs);
            QVERIFY(pdf.Find(u"BICI"_qs).isEmpty() && pdf.Find(u"nessuna"_qs).isEmpty()); // a log without bikes
        }
        const QStringList words = !month ? QStringList{u"Primavera"_qs, u"16/3/2005"_qs}
                                  : moved ? QStringList{u"Aprile"_qs, u"colle"_qs, u"MTB"_qs}
                                          : QStringList{u"Marzo"_qs, u"lago"_qs};
        for (const QString& word : words)
            QCOMPARE(pdf.First(word).page, 0);
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
