#include "PdfText.h"

#include <QProcess>
#include <QRegularExpression>

PdfText PdfText::Read(const QString& pdfPath)
{
    PdfText result;
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdfPath, QStringLiteral("-")});
    if (!process.waitForFinished(30000))
        return result;
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    static const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">"));
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"(-?[\\d.]+)\" yMin=\"(-?[\\d.]+)\" xMax=\"(-?[\\d.]+)\" yMax=\"(-?[\\d.]+)\">([^<]*)</word>"));
    const QStringList pages = html.split(QStringLiteral("<page "));
    for (qsizetype p = 1; p < pages.size(); ++p) {
        const QRegularExpressionMatch size = page.match(QStringLiteral("<page ") + pages[p]);
        result.pageWidth = size.captured(1).toDouble();
        result.pageHeight = size.captured(2).toDouble();
        auto it = word.globalMatch(pages[p]);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            QString text = m.captured(5);
            text.replace(QStringLiteral("&lt;"), QStringLiteral("<")).replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            result.words.append({int(p - 1), text, m.captured(1).toDouble(), m.captured(2).toDouble(),
                                 m.captured(3).toDouble(), m.captured(4).toDouble()});
        }
    }
    result.pages = int(pages.size() - 1);
    return result;
}

QList<PdfWord> PdfText::Find(const QString& text) const
{
    QList<PdfWord> found;
    for (const PdfWord& w : words)
        if (w.text == text)
            found.append(w);
    return found;
}

PdfWord PdfText::First(const QString& text) const
{
    const QList<PdfWord> found = Find(text);
    return found.isEmpty() ? PdfWord{-1, QString(), -1, -1, -1, -1} : found.first();
}
