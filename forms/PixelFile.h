#pragma once

#include <QByteArray>
#include <QImage>

#include <cstring>

// The icons are stored as the pixels the screen takes, so that showing one
// reads no image format: no decoder runs and no image plugin is loaded at
// start-up. A file is its width and height, then the premultiplied ARGB32
// pixels row by row, all in the byte order of the machine that built it.
namespace PixelFile {

struct Header
{
    quint32 width;
    quint32 height;
};

inline QByteArray Encode(const QImage& picture)
{
    const QImage pixels = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const Header header{quint32(pixels.width()), quint32(pixels.height())};
    QByteArray file(reinterpret_cast<const char*>(&header), sizeof header);
    for (int y = 0; y < pixels.height(); ++y)
        file.append(reinterpret_cast<const char*>(pixels.constScanLine(y)), pixels.width() * 4);
    return file;
}

// A null image for anything that is not a whole pixel file.
inline QImage Decode(const QByteArray& file)
{
    Header header;
    if (file.size() < qsizetype(sizeof header))
        return QImage();
    std::memcpy(&header, file.constData(), sizeof header);
    constexpr quint32 Largest = 4096;
    if (header.width == 0 || header.height == 0 || header.width > Largest || header.height > Largest
        || file.size() != qsizetype(sizeof header + qsizetype(header.width) * header.height * 4))
        return QImage();
    QImage pixels(int(header.width), int(header.height), QImage::Format_ARGB32_Premultiplied);
    const char* row = file.constData() + sizeof header;
    for (int y = 0; y < pixels.height(); ++y, row += pixels.width() * 4)
        std::memcpy(pixels.scanLine(y), row, size_t(pixels.width()) * 4);
    return pixels;
}

}
