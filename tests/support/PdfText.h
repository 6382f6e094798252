#pragma once

#include <QList>
#include <QRectF>
#include <QString>

// The words of a PDF with their boxes in points, as `pdftotext -bbox` reads them.
struct PdfWord
{
    int page = 0; // from 0
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

struct PdfText
{
    QList<PdfWord> words;
    int pages = 0;
    double pageWidth = 0, pageHeight = 0;

    static PdfText Read(const QString& pdfPath);
    // The words equal to `text`, in reading order.
    QList<PdfWord> Find(const QString& text) const;
    PdfWord First(const QString& text) const;
    // The words of `word`'s line on its page, left to right, joined by blanks.
    QString LineOf(const PdfWord& word) const;

    // Two words of one page whose boxes overlap by more than `tolerance`
    // points across and down, as a text for a failure message; empty when none do.
    QString Overlapping(double tolerance) const;
    // The words that reach more than `tolerance` points outside `area`.
    QList<PdfWord> Outside(const QRectF& area, double tolerance) const;
};

// "text" page n (x1,y1)-(x2,y2), for failure messages.
QString Describe(const PdfWord& word);
