#include "PdfText.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

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

QString PdfText::LineOf(const PdfWord& word) const
{
    QList<PdfWord> line;
    for (const PdfWord& w : words)
        if (w.page == word.page && qAbs(w.yMin - word.yMin) < 0.5)
            line.append(w);
    std::sort(line.begin(), line.end(), [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
    QStringList texts;
    for (const PdfWord& w : line)
        texts.append(w.text);
    return texts.join(u' ');
}

QString PdfText::Overlapping(double tolerance) const
{
    for (qsizetype i = 0; i < words.size(); ++i)
        for (qsizetype j = i + 1; j < words.size(); ++j) {
            const PdfWord& a = words[i];
            const PdfWord& b = words[j];
            const double across = std::min(a.xMax, b.xMax) - std::max(a.xMin, b.xMin);
            const double down = std::min(a.yMax, b.yMax) - std::max(a.yMin, b.yMin);
            if (a.page == b.page && across > tolerance && down > tolerance)
                return Describe(a) + QStringLiteral(" over ") + Describe(b);
        }
    return QString();
}

QList<PdfWord> PdfText::Outside(const QRectF& area, double tolerance) const
{
    QList<PdfWord> outside;
    for (const PdfWord& w : words)
        if (w.xMin < area.left() - tolerance || w.xMax > area.right() + tolerance || w.yMin < area.top() - tolerance
            || w.yMax > area.bottom() + tolerance)
            outside.append(w);
    return outside;
}

QString Describe(const PdfWord& word)
{
    return QStringLiteral("\"%1\" page %2 (%3,%4)-(%5,%6)")
        .arg(word.text)
        .arg(word.page + 1)
        .arg(word.xMin, 0, 'f', 1)
        .arg(word.yMin, 0, 'f', 1)
        .arg(word.xMax, 0, 'f', 1)
        .arg(word.yMax, 0, 'f', 1);
}
