// Renders the program's SVG icons into pixel files (forms/PixelFile.h) at
// build time, so that the windows take ready pixels instead of parsing and
// drawing SVG, or decoding an image format, at start-up.
//
//   render_icons <svg> <width>x<height>=<file> [<width>x<height>=<file> ...]
//
// A file named "*.png" is written as PNG instead, for the icon theme of an
// installed package.
//
// Drawn by Qt's own SVG icon engine, as the program drew them before: the
// picture keeps its proportions and is centred in the size asked for.

#include "forms/PixelFile.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QRegularExpression>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: render_icons <svg> <width>x<height>=<file>...\n");
        return 2;
    }
    const QIcon icon(arguments.first());
    const QRegularExpression output(QStringLiteral("^(\\d+)x(\\d+)=(.+)$"));
    for (const QString& argument : arguments.mid(1)) {
        const QRegularExpressionMatch match = output.match(argument);
        if (!match.hasMatch()) {
            std::fprintf(stderr, "render_icons: not <width>x<height>=<file>: %s\n", qPrintable(argument));
            return 2;
        }
        const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
        const QPixmap pixmap = icon.pixmap(size, 1.0);
        QFile file(match.captured(3));
        const bool png = match.captured(3).endsWith(QStringLiteral(".png"));
        if (pixmap.isNull() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || (png ? !pixmap.save(&file, "PNG") : file.write(PixelFile::Encode(pixmap.toImage())) < 0)
            || !file.flush()) {
            std::fprintf(stderr, "render_icons: cannot render %s into %s\n", qPrintable(arguments.first()),
                         qPrintable(match.captured(3)));
            return 1;
        }
    }
    return 0;
}
