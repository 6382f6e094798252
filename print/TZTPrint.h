#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <QStringList>

class QPrinter;

// A line printer over a printer's page: text goes into horizontal bands given
// in percent of the printable width, aligned within them, line by line from
// the top margin down. Positions are in the printer's device units; fonts in
// points, measured with the printer's own metrics.
class TZTPrint
{
public:
    enum Alignment { Left = 0, Centre = 1, Right = 2 };

    explicit TZTPrint(QPrinter* printer);
    // Aborts the job when it is still open, so nothing half printed is sent.
    ~TZTPrint();
    TZTPrint(const TZTPrint&) = delete;
    TZTPrint& operator=(const TZTPrint&) = delete;

    void SetMargins(int verticalPercent, int horizontalPercent);
    // Opens the job and moves to the top margin; throws Exception when the printer refuses.
    void BeginDoc();
    // Sends the job; throws Exception when it fails.
    void EndDoc();
    // Continues on a new page, at the top margin.
    void NewPage();

    void SetFont(const QString& name, int points, int lineSpacing, bool bold = false, bool italic = false,
                 bool underline = false, bool strikeOut = false);
    void PrintText(int leftPercent, int rightPercent, int alignment, bool newLine, const QString& text);
    // The same in a band given in device units.
    void PrintTextAt(int xLeft, int xRight, int alignment, bool newLine, const QString& text);
    void PrintLine(int alignment, const QString& text);
    void PrintLine(const QString& text);

    // The top of the current line, and the page, in device units.
    int PositionY() const { return m_y; }
    void SetPositionY(int y) { m_y = y; }
    int PageWidth() const;
    int PageHeight() const;
    int TextHeight() const;             // of "A" in the current font
    int TextWidth(const QString& text) const;
    int LineAdvance() const { return TextHeight() + m_lineSpacing; }
    // The x of a band edge given in percent of the printable width.
    int BandX(int percent) const;
    // `text` cut with an ellipsis to fit `width` in the current font.
    QString Elided(const QString& text, int width) const;
    // `text` broken into lines that fit `width` in the current font, at blanks
    // where it can be; nothing of it is left out.
    QStringList Wrapped(const QString& text, int width) const;
    int VerticalMarginPixels() const { return m_verticalMarginPixels; }

private:
    QPrinter* m_printer;
    QPainter m_painter;
    QFont m_font;
    int m_lineSpacing = 0;
    int m_verticalMarginPixels = 0;
    int m_horizontalMarginPixels = 0;
    int m_y = 0;
};
