#include "print/Reports.h"

#include "print/TZTPrint.h"
#include "util/Application.h"
#include "util/StringTable.h"

#include <algorithm>
#include <cmath>
#include <compare>

namespace {

using A = TZTPrint::Alignment;

// One column of a printed table as the report lays it out: its band in
// percent of the printable width, and its alignment.
struct Band
{
    int left, right;
    A alignment;
};

// A column as printed, in device units.
struct Column
{
    int left, right;
    A alignment;
};

// A font of the reports: points, the extra line spacing in device units, the style.
struct Style
{
    int points, lineSpacing;
    bool bold = false, italic = false, underline = false;
};

// Sets the reports' fonts on the printer and measures texts in them.
class Fonts
{
public:
    Fonts(TZTPrint& print, const QString& family) : print(print), m_family(family) {}

    void Use(const Style& style)
    {
        print.SetFont(m_family, style.points, style.lineSpacing, style.bold, style.italic, style.underline);
    }
    int Advance(const Style& style)
    {
        Use(style);
        return print.LineAdvance();
    }
    // Enough room between two columns.
    int Gap(const Style& style)
    {
        Use(style);
        return print.TextHeight() / 2;
    }
    int Widest(const Style& style, const QStringList& texts)
    {
        Use(style);
        int widest = 0;
        for (const QString& text : texts)
            widest = std::max(widest, print.TextWidth(text));
        return widest;
    }

    TZTPrint& print;

private:
    QString m_family;
};

// A last column running to the right edge holds a description, cut there when long.
bool OpenToTheEdge(const QList<Band>& bands, qsizetype i)
{
    return i == bands.size() - 1 && bands[i].right == 100;
}

QStringList ColumnTexts(const QList<QStringList>& rows, qsizetype column)
{
    QStringList texts;
    for (const QStringList& row : rows)
        texts.append(row.value(column));
    return texts;
}

// What each column needs: its widest text plus a gap; a column open to the edge
// needs room for its heading only.
QList<int> Needs(Fonts& fonts, const QList<Band>& bands, const Style& headingStyle, const QStringList& headings,
                 const Style& rowStyle, const QList<QStringList>& rows)
{
    const int gap = fonts.Gap(rowStyle);
    QList<int> needs;
    for (qsizetype i = 0; i < bands.size(); ++i) {
        const int rowsWidth = OpenToTheEdge(bands, i) ? 0 : fonts.Widest(rowStyle, ColumnTexts(rows, i));
        needs.append(std::max(fonts.Widest(headingStyle, {headings.value(i)}), rowsWidth) + gap);
    }
    return needs;
}

struct Columns
{
    QList<Column> columns;
    bool fit = true; // else cut at the right edge
};

// Each column at its band's edges where its need fits, else widened and
// the later columns pushed right, none starting left of `minLeft`. A table that
// then passes the right edge moves back left as far as `minLeft` allows.
Columns SizeColumns(const TZTPrint& print, const QList<Band>& bands, const QList<int>& needs, int minLeft)
{
    Columns sized;
    int previous = minLeft;
    for (qsizetype i = 0; i < bands.size(); ++i) {
        const int left = std::max(print.BandX(bands[i].left), previous);
        const int right = std::max(print.BandX(bands[i].right), left + needs[i]);
        sized.columns.append({left, right, bands[i].alignment});
        previous = right;
    }
    const int edge = print.BandX(100);
    const int shift = std::clamp(previous - edge, 0, sized.columns.first().left - minLeft);
    sized.fit = previous - shift <= edge;
    for (qsizetype i = 0; i < sized.columns.size(); ++i) {
        Column& column = sized.columns[i];
        column.right = OpenToTheEdge(bands, i) ? edge : std::min(column.right - shift, edge);
        column.left = std::min(column.left - shift, column.right);
    }
    return sized;
}

// Texts wider than their column are cut with an ellipsis, so none leaves its column.
void PrintCells(TZTPrint& print, const QList<Column>& columns, const QStringList& texts, bool newLine)
{
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        print.PrintTextAt(c.left, c.right, c.alignment, newLine && i == columns.size() - 1,
                          print.Elided(texts.value(i), c.right - c.left));
    }
}

// Where the footer's line starts, one footer line above the bottom margin; it
// leaves the footer's font set.
int FooterTop(TZTPrint& print, const Options& options)
{
    print.SetFont(options.printFont, 8, 0);
    return int(std::trunc(print.PageHeight() - print.PageHeight() * 0.01 * options.printVerticalMargin
                          - print.TextHeight()));
}

void PrintFooter(TZTPrint& print, const Options& options)
{
    print.SetPositionY(FooterTop(print, options));
    print.PrintLine(A::Centre, Reports::FooterText());
}

QString PageText(int page, int pages)
{
    return QStringLiteral("Pagina %1 di %2").arg(page).arg(pages);
}

// Whether a page's number fits on the footer's line, right of the centred
// credit; where it does not, it has a line of its own above.
bool PageNumberBesideFooter(TZTPrint& print, const Options& options)
{
    FooterTop(print, options);
    const int gap = print.TextWidth(QStringLiteral("  "));
    return print.TextWidth(Reports::FooterText()) + 2 * (print.TextWidth(PageText(999, 999)) + gap)
           <= print.BandX(100) - print.BandX(0);
}

const QList<Band> MonthBands = {{0, 12, A::Centre},  {13, 19, A::Centre}, {20, 26, A::Centre},
                                {27, 35, A::Centre}, {36, 42, A::Centre}, {43, 100, A::Left}};
const QStringList MonthHeadings = {QStringLiteral("Giorno"), QStringLiteral("Tipo"),  QStringLiteral("KM"),
                                   QStringLiteral("Durata"), QStringLiteral("KM/h"), QStringLiteral("Descrizione")};

// The statistics report's fonts.
const Style DescriptionStyle{20, 10, true};
const Style PeriodStyle{10, 10, false, true};
const Style KmTotalStyle{14, 0, true};
const Style TotalsStyle{12, 10};
const Style TitleStyle{10, 0, false, true, true};
const Style HeadingStyle{10, 5, false, true};
const Style RowStyle{10, 0};

// Columns too wide for the page are set smaller, a point at a time down to
// this size, rather than cut a figure.
constexpr int SmallestPoints = 6;

Style Smaller(Style style, int points)
{
    style.points -= points;
    return style;
}

// One line of a page: its font and its cells; no cells make an empty line.
// A line that wraps holds one text, which continues on further lines where
// it is wider than its column instead of being cut.
struct Line
{
    Style style;
    QList<Column> columns;
    QStringList texts;
    bool wraps = false;
};

struct Position
{
    int page = 0, y = 0;
    auto operator<=>(const Position&) const = default;
};

struct Placed
{
    Position at;
    Line line;
};

// Lays lines down the pages between the top margin and the footer. A line that
// does not fit starts a new page, after the lines set to repeat there.
class Flow
{
public:
    Flow(Fonts& fonts, QList<Placed>& placed, int top, int bottom, Position start)
        : m_fonts(fonts), m_placed(placed), m_top(top), m_bottom(bottom), m_at(start)
    {
    }

    void Add(const Line& line)
    {
        if (line.columns.isEmpty() && m_at.page > 0 && m_at.y == m_top)
            return; // atop a continued page an empty line would only push it down
        for (const Line& printed : Printed(line)) {
            const int advance = m_fonts.Advance(printed.style);
            if (m_at.y + advance > m_bottom && m_at.y > m_top) {
                m_at = {m_at.page + 1, m_top};
                for (const Line& repeated : m_repeated)
                    Place(repeated);
            }
            Place(printed);
        }
    }
    // Lines kept on one page where they fit there.
    void AddTogether(const QList<Line>& lines)
    {
        KeepRoomFor(Height(lines));
        for (const Line& line : lines)
            Add(line);
    }
    // Moves to a new page unless `height` fits below.
    void KeepRoomFor(int height)
    {
        if (m_at.y + height > m_bottom && m_at.y > m_top)
            m_at = {m_at.page + 1, m_top};
    }
    int Height(const QList<Line>& lines)
    {
        int height = 0;
        for (const Line& line : lines)
            height += int(Printed(line).size()) * m_fonts.Advance(line.style);
        return height;
    }
    void SetRepeated(const QList<Line>& lines) { m_repeated = lines; }
    Position At() const { return m_at; }

private:
    // The lines `line` takes on the page.
    QList<Line> Printed(const Line& line)
    {
        if (!line.wraps)
            return {line};
        m_fonts.Use(line.style);
        const Column& column = line.columns.first();
        QList<Line> lines;
        for (const QString& text : m_fonts.print.Wrapped(line.texts.first(), column.right - column.left))
            lines.append({line.style, line.columns, {text}});
        return lines;
    }

    void Place(const Line& line)
    {
        m_placed.append({m_at, line});
        m_at.y += m_fonts.Advance(line.style);
    }

    Fonts& m_fonts;
    QList<Placed>& m_placed;
    int m_top, m_bottom;
    Position m_at;
    QList<Line> m_repeated;
};

// A table of the statistics report, with the empty lines before its title.
struct Table
{
    int emptiesBefore;
    QString title;
    QList<Band> bands;
    QStringList headings;
    QList<QStringList> rows;
    bool totalLast = false; // the last row totals the others: set apart in bold
};

struct LaidOutTable
{
    Table table;
    Style title, heading, row;
    QList<Column> columns;
    int titleLeft;
    int columnsRight; // where its columns end
    int extent;       // how far right its texts reach, the title's included
    bool fit;
};

// A table from the page's left edge whose columns do not fit across the page
// is set smaller.
LaidOutTable LayOut(Fonts& fonts, const Table& table, int minLeft)
{
    const bool fromLeftEdge = minLeft <= fonts.print.BandX(0);
    for (int smaller = 0;; ++smaller) {
        const Style title = Smaller(TitleStyle, smaller), heading = Smaller(HeadingStyle, smaller),
                    row = Smaller(RowStyle, smaller);
        const Columns sized = SizeColumns(fonts.print, table.bands,
                                          Needs(fonts, table.bands, heading, table.headings, row, table.rows), minLeft);
        if (!sized.fit && fromLeftEdge && row.points > SmallestPoints)
            continue;
        // A title that would pass the right edge starts left of its columns, as far as `minLeft` allows.
        const int edge = fonts.print.BandX(100);
        const int titleWidth = fonts.Widest(title, {table.title});
        const int titleLeft = std::max(std::min(sized.columns.first().left, edge - titleWidth), minLeft);
        const int columnsRight = sized.columns.last().right;
        const int extent = std::max(columnsRight, titleLeft + titleWidth);
        return {table, title, heading, row, sized.columns, titleLeft, columnsRight, extent, sized.fit && extent <= edge};
    }
}

// The empty lines, the title, an empty line, the headings and the first row.
QList<Line> Opening(const LaidOutTable& laidOut, int edge)
{
    const Table& table = laidOut.table;
    const Line empty{laidOut.title, {}, {}};
    QList<Line> opening(table.emptiesBefore, empty);
    opening.append({laidOut.title, {{laidOut.titleLeft, edge, A::Left}}, {table.title}, true});
    opening.append(empty);
    opening.append({laidOut.heading, laidOut.columns, table.headings});
    if (!table.rows.isEmpty())
        opening.append({laidOut.row, laidOut.columns, table.rows.first()});
    return opening;
}

// The opening stays together; a table continued on a new page repeats its headings.
void Add(Flow& flow, const LaidOutTable& laidOut, int edge)
{
    flow.AddTogether(Opening(laidOut, edge));
    flow.SetRepeated({{laidOut.heading, laidOut.columns, laidOut.table.headings}});
    const qsizetype rows = laidOut.table.rows.size();
    for (qsizetype i = 1; i < rows; ++i) {
        Style style = laidOut.row;
        style.bold = laidOut.table.totalLast && i == rows - 1;
        flow.Add({style, laidOut.columns, laidOut.table.rows[i]});
    }
    flow.SetRepeated({});
}

// A table on the left and others one below another on the right, the first
// of them with its title on the line of the left one's; where the right ones
// do not fit beside the left one they follow below it.
Position TwoColumns(Fonts& fonts, QList<Placed>& placed, int top, int bottom, Position start, const Table& left,
                    const QList<Table>& right)
{
    TZTPrint& print = fonts.print;
    const int edge = print.BandX(100);
    const int gap = fonts.Gap(RowStyle);
    const LaidOutTable leftTable = LayOut(fonts, left, print.BandX(0));
    QList<LaidOutTable> rightTables;
    bool beside = true;
    for (const Table& table : right) {
        // Those below the first one are beside the left table's rows only.
        const int from = (rightTables.isEmpty() ? leftTable.extent : leftTable.columnsRight) + gap;
        rightTables.append(LayOut(fonts, table, from));
        beside = beside && rightTables.last().fit;
    }
    Flow leftFlow(fonts, placed, top, bottom, start);
    if (!beside) {
        Add(leftFlow, leftTable, edge);
        for (Table table : right) {
            table.emptiesBefore = std::max(table.emptiesBefore, 2);
            Add(leftFlow, LayOut(fonts, table, print.BandX(0)), edge);
        }
        return leftFlow.At();
    }
    // Both openings on one page, so that the titles share their line.
    leftFlow.KeepRoomFor(std::max(leftFlow.Height(Opening(leftTable, edge)),
                                  leftFlow.Height(Opening(rightTables.first(), edge))));
    Flow rightFlow(fonts, placed, top, bottom, leftFlow.At());
    Add(leftFlow, leftTable, edge);
    for (const LaidOutTable& table : rightTables)
        Add(rightFlow, table, edge);
    return std::max(leftFlow.At(), rightFlow.At());
}

// The last page a line was placed on; the first when there is none.
int LastPage(const QList<Placed>& placed)
{
    int last = 0;
    for (const Placed& p : placed)
        last = std::max(last, p.at.page);
    return last;
}

// Prints the placed lines page by page, each page closed by the footer and its number.
void PrintPages(Fonts& fonts, const QList<Placed>& placed, const Options& options)
{
    TZTPrint& print = fonts.print;
    const bool beside = PageNumberBesideFooter(print, options);
    const int pages = LastPage(placed) + 1;
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            fonts.print.NewPage();
        for (const Placed& p : placed) {
            if (p.at.page != page)
                continue;
            fonts.Use(p.line.style);
            fonts.print.SetPositionY(p.at.y);
            PrintCells(fonts.print, p.line.columns, p.line.texts, false);
        }
        PrintFooter(print, options);
        const int footer = FooterTop(print, options);
        print.SetPositionY(beside ? footer : footer - print.LineAdvance());
        print.PrintText(0, 100, A::Right, true, PageText(page + 1, pages));
    }
}

}

namespace Reports {

QString FooterText()
{
    return ApplicationTitle + StringTable::LoadStr(StringTable::PrintCredit);
}

void PrintMonth(QPrinter& printer, const ReportRows::Month& month, const Options& options)
{
    TZTPrint print(&printer);
    print.SetMargins(options.printVerticalMargin, options.printHorizontalMargin);
    print.BeginDoc();
    const QString& font = options.printFont;
    Fonts fonts(print, font);

    print.SetFont(font, 20, 0, true);
    print.PrintLine(A::Left, month.title);
    print.PrintLine(QStringLiteral(" "));

    Style headingStyle{12, 50, false, true};
    Style rideStyle{10, 20};
    const auto sizeColumns = [&] {
        return SizeColumns(print, MonthBands, Needs(fonts, MonthBands, headingStyle, MonthHeadings, rideStyle, month.rides),
                           print.BandX(0));
    };
    Columns sized = sizeColumns();
    for (; !sized.fit && rideStyle.points > SmallestPoints; sized = sizeColumns()) {
        headingStyle = Smaller(headingStyle, 1);
        rideStyle = Smaller(rideStyle, 1);
    }
    const QList<Column> columns = sized.columns;
    const auto headings = [&] {
        fonts.Use(headingStyle);
        PrintCells(print, columns, MonthHeadings, true);
    };
    headings();
    const int footerTop = FooterTop(print, options);
    fonts.Use(rideStyle);
    for (const QStringList& ride : month.rides) {
        if (print.PositionY() + print.LineAdvance() > footerTop) {
            PrintFooter(print, options);
            print.NewPage();
            headings();
            fonts.Use(rideStyle);
        }
        PrintCells(print, columns, ride, true);
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

// Laid out before it is printed: the tables side by side run onto further
// pages together, and a page can only be drawn before the next one starts.
void PrintStatistics(QPrinter& printer, const QString& description, const ReportRows::Statistics& statistics,
                     const Options& options)
{
    TZTPrint print(&printer);
    print.SetMargins(options.printVerticalMargin, options.printHorizontalMargin);
    print.BeginDoc();
    Fonts fonts(print, options.printFont);
    const int top = print.VerticalMarginPixels();
    // Above the footer, and above the page's number where that needs a line of its own.
    const int footer = FooterTop(print, options);
    const int bottom = PageNumberBesideFooter(print, options) ? footer : footer - print.LineAdvance();
    const int left = print.BandX(0);
    const int edge = print.BandX(100);
    QList<Placed> placed;
    const auto whole = [&](const Style& style, const QString& text) {
        return Line{style, {{left, edge, A::Left}}, {text}, true};
    };
    const auto empty = [](const Style& style) { return Line{style, {}, {}}; };
    // Every page opens with the description and the period; the others continue below them.
    const QList<Line> heading = {whole(DescriptionStyle, description), whole(PeriodStyle, statistics.period)};
    Flow opening(fonts, placed, top, bottom, {0, top});
    opening.AddTogether(heading);
    const int continued = opening.At().y;
    Flow flow(fonts, placed, continued, bottom, opening.At());
    flow.Add(empty(KmTotalStyle));
    flow.Add(whole(KmTotalStyle, QStringLiteral("KM: ") + statistics.kmTotali));
    flow.Add(empty(KmTotalStyle));
    const QList<Band> totalsBands = {{0, 10, A::Left}, {15, 100, A::Left}};
    const QList<QStringList> totals = {
        {QStringLiteral("Giorni: ") + statistics.giorni, QStringLiteral("KM/G: ") + statistics.kmg},
        {QStringLiteral("Uscite: ") + statistics.uscite, QStringLiteral("KM/U: ") + statistics.kmu}};
    // Side by side where both fit whole, else one below the other.
    const QList<int> totalsNeeds = {fonts.Widest(TotalsStyle, ColumnTexts(totals, 0)) + fonts.Gap(TotalsStyle),
                                    fonts.Widest(TotalsStyle, ColumnTexts(totals, 1))};
    const Columns totalsColumns = SizeColumns(print, totalsBands, totalsNeeds, left);
    for (const QStringList& row : totals) {
        if (totalsColumns.fit)
            flow.Add({TotalsStyle, totalsColumns.columns, row});
        else
            for (const QString& text : row)
                flow.Add(whole(TotalsStyle, text));
    }
    flow.Add(empty(TotalsStyle));
    flow.Add(empty(TotalsStyle));

    const Table weekdays{0, QStringLiteral("USCITE PER GIORNI SETTIMANALI"),
                         {{0, 10, A::Left}, {10, 18, A::Centre}, {18, 25, A::Centre}, {25, 35, A::Left}},
                         {QStringLiteral("GIORNO"), QStringLiteral("KM"), QStringLiteral("USC"), QStringLiteral("KM/U")},
                         statistics.weekdays};
    const Table tensOfKm{0, QStringLiteral("USCITE PER DECINE DI CHILOMETRI"),
                         {{40, 48, A::Centre}, {48, 58, A::Centre}},
                         {QStringLiteral("KM"), QStringLiteral("USCITE")}, statistics.tensOfKm};
    const Position y2 = TwoColumns(fonts, placed, continued, bottom, flow.At(), weekdays, {tensOfKm});

    const Table days{2, QStringLiteral("USCITE PER GIORNI MENSILI"),
                     {{0, 4, A::Centre}, {4, 12, A::Centre}, {12, 17, A::Centre}},
                     {QStringLiteral("G"), QStringLiteral("KM"), QStringLiteral("USC")}, statistics.daysOfMonth};
    const Table months{2, QStringLiteral("USCITE PER MESI"),
                       {{40, 50, A::Left}, {50, 58, A::Centre}, {58, 65, A::Centre}, {65, 75, A::Left}},
                       {QStringLiteral("MESE"), QStringLiteral("KM"), QStringLiteral("USC"), QStringLiteral("KM/U")},
                       statistics.months};
    const Table top10Table{2, QStringLiteral("TOP 10"),
                           {{30, 33, A::Centre}, {33, 43, A::Centre}, {43, 49, A::Centre}, {50, 100, A::Left}},
                           {QStringLiteral("#"), QStringLiteral("DATA"), QStringLiteral("KM"), QStringLiteral("DESCRIZIONE")},
                           statistics.top10};
    TwoColumns(fonts, placed, continued, bottom, y2, days, {months, top10Table});

    // The years on a page of their own, after everything else, and the bikes
    // under them in the same columns.
    const QList<Band> yearBands = {{0, 15, A::Left},    {15, 25, A::Centre}, {25, 37, A::Centre},
                                   {37, 49, A::Centre}, {49, 59, A::Centre}, {59, 69, A::Centre}};
    const auto figures = [](const QString& name) {
        return QStringList{name, QStringLiteral("USC"), QStringLiteral("KM"), QStringLiteral("TEMPO"),
                           QStringLiteral("KM/U"), QStringLiteral("KM/h")};
    };
    const Table years{0, QStringLiteral("USCITE PER ANNI"), yearBands, figures(QStringLiteral("ANNO")),
                      statistics.years, true};
    Flow yearsFlow(fonts, placed, continued, bottom, {LastPage(placed) + 1, continued});
    Add(yearsFlow, LayOut(fonts, years, left), edge);
    if (!statistics.bikes.isEmpty()) {
        const Table bikes{2, QStringLiteral("USCITE PER BICI"), yearBands, figures(QStringLiteral("BICI")),
                          statistics.bikes, true};
        Add(yearsFlow, LayOut(fonts, bikes, left), edge);
    }
    for (int page = 1; page <= LastPage(placed); ++page) {
        Flow repeated(fonts, placed, top, bottom, {page, top});
        for (const Line& line : heading)
            repeated.Add(line);
    }

    PrintPages(fonts, placed, options);
    print.EndDoc();
}

}
