#include "gps/DeviceFile.h"
#include "gps/GzipInflate.h"
#include "util/SystemErrors.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

// No ride needs more; beyond it a file would only fill the memory.
constexpr qint64 SizeLimit = qint64(1) << 30;

enum class Format { Unknown, Fit, Gpx, Tcx };

Format ByName(const QString& name)
{
    if (name.endsWith(u".fit", Qt::CaseInsensitive))
        return Format::Fit;
    if (name.endsWith(u".gpx", Qt::CaseInsensitive))
        return Format::Gpx;
    if (name.endsWith(u".tcx", Qt::CaseInsensitive))
        return Format::Tcx;
    return Format::Unknown;
}

// By the first bytes: a FIT header, or the root element of an XML file after
// its byte-order mark, declaration, comments and blanks.
Format ByContent(QByteArrayView bytes)
{
    if (bytes.size() >= 12 && (bytes[0] == 12 || bytes[0] == 14) && bytes.sliced(8, 4) == ".FIT")
        return Format::Fit;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    for (;;) {
        while (!bytes.isEmpty() && (bytes[0] == ' ' || bytes[0] == '\t' || bytes[0] == '\r' || bytes[0] == '\n'))
            bytes = bytes.sliced(1);
        const char* close = bytes.startsWith("<?") ? "?>" : bytes.startsWith("<!--") ? "-->" : nullptr;
        if (!close)
            break;
        const qsizetype end = bytes.indexOf(close);
        if (end < 0)
            return Format::Unknown;
        bytes = bytes.sliced(end + qstrlen(close));
    }
    const auto opens = [&](QByteArrayView name) {
        return bytes.size() > name.size() + 1 && bytes[0] == '<' && bytes.sliced(1, name.size()) == name
               && QByteArrayView(" \t\r\n>/").contains(bytes[name.size() + 1]);
    };
    if (opens("gpx"))
        return Format::Gpx;
    if (opens("TrainingCenterDatabase"))
        return Format::Tcx;
    return Format::Unknown;
}

DeviceFile Faulty(const QString& path, const QString& fault)
{
    DeviceFile file;
    file.path = path;
    file.fault = fault;
    return file;
}

QString CannotRead(int error, const QString& technical)
{
    const QString words = SystemErrorWords(error);
    return QStringLiteral("impossibile leggere il file: ")
           + (words.isEmpty() ? technical : words + QStringLiteral(" (") + technical + u')');
}

} // namespace

namespace DeviceFiles {

DeviceFile Read(const QString& path)
{
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly))
        return Faulty(path, CannotRead(errno, input.errorString()));
    if (input.size() > SizeLimit)
        return Faulty(path, QStringLiteral("impossibile leggere il file: più grande di 1 GiB"));
    errno = 0;
    QByteArray bytes = input.readAll();
    if (input.error() != QFileDevice::NoError)
        return Faulty(path, CannotRead(errno, input.errorString()));
    input.close();

    QString name = QFileInfo(path).fileName();
    const bool named = name.endsWith(u".gz", Qt::CaseInsensitive);
    if (named || (ByName(name) == Format::Unknown && GzipInflate::IsGzip(bytes))) {
        GzipInflate::Result inflated = GzipInflate::Inflate(bytes, SizeLimit);
        if (!inflated.fault.isEmpty())
            return Faulty(path, inflated.fault);
        bytes = std::move(inflated.bytes);
        if (named)
            name.chop(3);
    }

    Format format = ByName(name);
    if (format == Format::Unknown)
        format = ByContent(bytes);
    DeviceFile file;
    switch (format) {
    case Format::Fit:
        file = ReadFit(bytes);
        break;
    case Format::Gpx:
        file = ReadGpx(bytes);
        break;
    case Format::Tcx:
        file = ReadTcx(bytes);
        break;
    case Format::Unknown:
        file.fault = QStringLiteral("file danneggiato: formato non riconosciuto");
        break;
    }
    file.path = path;
    return file;
}

} // namespace DeviceFiles
