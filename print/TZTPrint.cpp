#include "print/TZTPrint.h"

#include "util/Exception.h"

#include <QPrinter>
#include <QTextLayout>

#include <cmath>

TZTPrint::TZTPrint(QPrinter* printer)
    : m_printer(printer)
{
}

TZTPrint::~TZTPrint()
{
    if (m_painter.isActive()) {
        m_printer->abort();
        m_painter.end();
    }
}

int TZTPrint::PageWidth() const
{
    return m_printer->width();
}

int TZTPrint::PageHeight() const
{
    return m_printer->height();
}

void TZTPrint::SetMargins(int verticalPercent, int horizontalPercent)
{
    m_verticalMarginPixels = int(std::trunc(PageHeight() * 0.01 * verticalPercent));
    m_horizontalMarginPixels = int(std::trunc(PageWidth() * 0.01 * horizontalPercent));
}

void TZTPrint::BeginDoc()
{
    if (!m_painter.begin(m_printer))
        throw Exception(QStringLiteral("La stampante non ha accettato il lavoro di stampa."));
    m_painter.setFont(m_font);
    m_y = m_verticalMarginPixels;
}

void TZTPrint::EndDoc()
{
    if (!m_painter.end() || m_printer->printerState() == QPrinter::Error)
        throw Exception(QStringLiteral("Il lavoro di stampa non è stato completato."));
}

void TZTPrint::NewPage()
{
    if (!m_printer->newPage())
        throw Exception(QStringLiteral("La stampante non ha accettato una nuova pagina."));
    m_y = m_verticalMarginPixels;
}

void TZTPrint::SetFont(const QString& name, int points, int lineSpacing, bool bold, bool italic, bool underline,
                       bool strikeOut)
{
    m_font = QFont(name, points);
    m_font.setBold(bold);
    m_font.setItalic(italic);
    m_font.setUnderline(underline);
    m_font.setStrikeOut(strikeOut);
    if (m_painter.isActive())
        m_painter.setFont(m_font);
    m_lineSpacing = lineSpacing;
}

int TZTPrint::TextHeight() const
{
    // The cell height of the font: the same for "A" as for any text.
    return QFontMetrics(m_font, m_printer).height();
}

int TZTPrint::TextWidth(const QString& text) const
{
    return QFontMetrics(m_font, m_printer).horizontalAdvance(text);
}

QString TZTPrint::Elided(const QString& text, int width) const
{
    return QFontMetrics(m_font, m_printer).elidedText(text, Qt::ElideRight, width);
}

QStringList TZTPrint::Wrapped(const QString& text, int width) const
{
    // The layout may measure a line a little wider than TextWidth does; a text
    // that fits by the measure its column was sized with stays whole.
    if (TextWidth(text) <= width)
        return {text};
    QTextLayout layout(text, m_font, m_printer);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

int TZTPrint::BandX(int percent) const
{
    const int printableWidth = PageWidth() - 2 * m_horizontalMarginPixels;
    return int(std::trunc(printableWidth * 0.01 * percent + m_horizontalMarginPixels));
}

void TZTPrint::PrintText(int leftPercent, int rightPercent, int alignment, bool newLine, const QString& text)
{
    PrintTextAt(BandX(leftPercent), BandX(rightPercent), alignment, newLine, text);
}

void TZTPrint::PrintTextAt(int xLeft, int xRight, int alignment, bool newLine, const QString& text)
{
    int x = xLeft;
    if (alignment == Centre)
        x = xLeft + int(std::floor((xRight - xLeft - TextWidth(text)) / 2.0));
    else if (alignment == Right)
        x = xRight - TextWidth(text);
    if (m_painter.isActive() && !text.isEmpty()) {
        // The top-left corner of the text at (x, line top): Qt draws on the baseline.
        m_painter.drawText(QPoint(x, m_y + QFontMetrics(m_font, m_printer).ascent()), text);
    }
    if (newLine)
        m_y += LineAdvance();
}

void TZTPrint::PrintLine(int alignment, const QString& text)
{
    PrintText(0, 100, alignment, true, text);
}

void TZTPrint::PrintLine(const QString& text)
{
    PrintLine(Left, text);
}
