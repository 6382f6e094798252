#include "print/Reports.h"

#include "print/TZTPrint.h"
#include "util/Application.h"
#include "util/Formats.h"
#include "util/StringTable.h"

#include <cmath>
#include <functional>

namespace {

using A = TZTPrint::Alignment;

// One column of a printed table: its band and alignment.
struct Band
{
    int left, right;
    A alignment;
};

void PrintRow(TZTPrint& print, const QList<Band>& bands, const QStringList& texts)
{
    for (qsizetype i = 0; i < bands.size(); ++i)
        print.PrintText(bands[i].left, bands[i].right, bands[i].alignment, i == bands.size() - 1, texts.value(i));
}

// The footer, one footer line above the bottom margin.
void PrintFooter(TZTPrint& print, const Options& options)
{
    print.SetFont(options.printFont, 8, 0);
    print.SetPositionY(int(std::trunc(print.PageHeight() - print.PageHeight() * 0.01 * options.printVerticalMargin
                                      - print.TextHeight())));
    print.PrintLine(A::Centre, Reports::FooterText());
}

// Where the footer's line starts, measured in its own font.
int FooterTop(TZTPrint& print, const Options& options, const std::function<void()>& restoreFont)
{
    print.SetFont(options.printFont, 8, 0);
    const int top = int(std::trunc(print.PageHeight() - print.PageHeight() * 0.01 * options.printVerticalMargin
                                   - print.TextHeight()));
    restoreFont();
    return top;
}

const QList<Band> MonthBands = {{0, 12, A::Centre},  {13, 19, A::Centre}, {20, 26, A::Centre},
                                {27, 35, A::Centre}, {36, 42, A::Centre}, {43, 100, A::Left}};
const QStringList MonthHeadings = {QStringLiteral("Giorno"), QStringLiteral("Tipo"),  QStringLiteral("KM"),
                                   QStringLiteral("Durata"), QStringLiteral("KM/h"), QStringLiteral("Descrizione")};

}

namespace Reports {

QString FooterText()
{
    return ApplicationTitle + StringTable::LoadStr(StringTable::PrintCredit);
}

QString PeriodText(TDateTime start, TDateTime end)
{
    return QStringLiteral("(Periodo dal %1 al %2)").arg(Formats::Date(start), Formats::Date(end));
}

void PrintMonth(QPrinter& printer, const Month& month, const Options& options)
{
    TZTPrint print(&printer);
    print.SetMargins(options.printVerticalMargin, options.printHorizontalMargin);
    print.BeginDoc();
    const QString& font = options.printFont;

    print.SetFont(font, 20, 0, true);
    print.PrintLine(A::Left, month.title);
    print.PrintLine(QStringLiteral(" "));

    const auto headings = [&] {
        print.SetFont(font, 12, 50, false, true);
        PrintRow(print, MonthBands, MonthHeadings);
    };
    const auto rideFont = [&] { print.SetFont(font, 10, 20); };
    headings();
    rideFont();
    const int footerTop = FooterTop(print, options, rideFont);
    for (const QStringList& ride : month.rides) {
        if (print.PositionY() + print.LineAdvance() > footerTop) {
            PrintFooter(print, options);
            print.NewPage();
            headings();
            rideFont();
        }
        PrintRow(print, MonthBands, ride);
    }

    // The totals stay together, on a new page if they do not fit under the rides.
    const int totalsHeight = [&] {
        print.SetFont(font, 14, 60, true);
        const int first = 2 * print.LineAdvance();
        print.SetFont(font, 12, 60, true);
        return first + 3 * print.LineAdvance();
    }();
    if (print.PositionY() + totalsHeight > footerTop) {
        PrintFooter(print, options);
        print.NewPage();
    }
    print.SetFont(font, 14, 60, true);
    print.PrintLine(QStringLiteral(" "));
    print.PrintLine(QStringLiteral("KM: ") + month.km);
    print.SetFont(font, 12, 60, true);
    print.PrintLine(QStringLiteral("Uscite: ") + month.uscite);
    print.PrintLine(QStringLiteral("KM/G: ") + month.kmg);
    print.PrintLine(QStringLiteral("KM/U: ") + month.kmu);

    PrintFooter(print, options);
    print.EndDoc();
}

void PrintStatistics(QPrinter& printer, const Statistics& statistics, const Options& options)
{
    TZTPrint print(&printer);
    print.SetMargins(options.printVerticalMargin, options.printHorizontalMargin);
    print.BeginDoc();
    const QString& font = options.printFont;
    const auto titleFont = [&] { print.SetFont(font, 10, 0, false, true, true); };
    const auto headingFont = [&] { print.SetFont(font, 10, 5, false, true); };
    const auto rowFont = [&] { print.SetFont(font, 10, 0); };
    // A section: its title, an empty line, the headings and the rows.
    const auto section = [&](int empties, const Band& title, const QString& caption, const QList<Band>& bands,
                             const QStringList& headings, const QList<QStringList>& rows) {
        titleFont();
        for (int i = 0; i < empties; ++i)
            print.PrintLine(QString());
        print.PrintText(title.left, title.right, title.alignment, true, caption);
        print.PrintLine(QString());
        headingFont();
        PrintRow(print, bands, headings);
        rowFont();
        for (const QStringList& row : rows)
            PrintRow(print, bands, row);
    };

    print.SetFont(font, 20, 10, true);
    print.PrintLine(statistics.description);
    print.SetFont(font, 10, 10, false, true);
    print.PrintLine(statistics.period);

    print.SetFont(font, 14, 0, true);
    print.PrintLine(QString());
    print.PrintLine(QStringLiteral("KM: ") + statistics.kmTotali);
    print.PrintLine(QString());
    print.SetFont(font, 12, 10);
    print.PrintText(0, 10, A::Left, false, QStringLiteral("Giorni: ") + statistics.giorni);
    print.PrintText(15, 100, A::Left, true, QStringLiteral("KM/G: ") + statistics.kmg);
    print.PrintText(0, 10, A::Left, false, QStringLiteral("Uscite: ") + statistics.uscite);
    print.PrintText(15, 100, A::Left, true, QStringLiteral("KM/U: ") + statistics.kmu);
    print.PrintLine(QString());
    print.PrintLine(QString());

    const int y1 = print.PositionY();
    section(0, {0, 45, A::Left}, QStringLiteral("USCITE PER GIORNI SETTIMANALI"),
            {{0, 10, A::Left}, {10, 18, A::Centre}, {18, 25, A::Centre}, {25, 35, A::Left}},
            {QStringLiteral("GIORNO"), QStringLiteral("KM"), QStringLiteral("USC"), QStringLiteral("KM/U")},
            statistics.weekdays);
    const int yA = print.PositionY();

    print.SetPositionY(y1);
    QList<QStringList> tens;
    for (const QStringList& row : statistics.tensOfKm)
        if (row.value(1).toInt() != 0)
            tens.append(row);
    section(0, {40, 100, A::Left}, QStringLiteral("USCITE PER DECINE DI CHILOMETRI"),
            {{40, 48, A::Centre}, {48, 58, A::Centre}}, {QStringLiteral("KM"), QStringLiteral("USCITE")}, tens);

    const int y2 = std::max(yA, print.PositionY());
    print.SetPositionY(y2);
    section(2, {0, 100, A::Left}, QStringLiteral("USCITE PER GIORNI MENSILI"),
            {{0, 4, A::Centre}, {4, 12, A::Centre}, {12, 17, A::Centre}},
            {QStringLiteral("G"), QStringLiteral("KM"), QStringLiteral("USC")}, statistics.daysOfMonth);

    print.SetPositionY(y2);
    section(2, {40, 100, A::Left}, QStringLiteral("USCITE PER MESI"),
            {{40, 50, A::Left}, {50, 58, A::Centre}, {58, 65, A::Centre}, {65, 75, A::Left}},
            {QStringLiteral("MESE"), QStringLiteral("KM"), QStringLiteral("USC"), QStringLiteral("KM/U")},
            statistics.months);
    QList<QStringList> top10;
    for (qsizetype i = 0; i < statistics.top10.size(); ++i) {
        const QStringList& row = statistics.top10[i];
        top10.append({row.value(0), Formats::Date(statistics.top10Dates.value(i)), row.value(2), row.value(3)});
    }
    section(2, {30, 100, A::Left}, QStringLiteral("TOP 10"),
            {{30, 33, A::Centre}, {33, 43, A::Centre}, {43, 49, A::Centre}, {50, 100, A::Left}},
            {QStringLiteral("#"), QStringLiteral("DATA"), QStringLiteral("KM"), QStringLiteral("DESCRIZIONE")}, top10);

    PrintFooter(print, options);
    print.EndDoc();
}

}
