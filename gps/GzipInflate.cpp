#include "gps/GzipInflate.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace GzipInflate {

bool IsGzip(QByteArrayView bytes)
{
    return bytes.size() >= 2 && quint8(bytes[0]) == 0x1F && quint8(bytes[1]) == 0x8B;
}

Result Inflate(QByteArrayView compressed, qint64 limit)
{
    Result result;
    z_stream stream{};
    // Window bits 15 + 16: gzip members only, not raw zlib streams.
    if (inflateInit2(&stream, 15 + 16) != Z_OK) {
        result.fault = QStringLiteral("file danneggiato: archivio gzip non leggibile");
        return result;
    }
    const std::unique_ptr<z_stream, int (*)(z_stream*)> end(&stream, inflateEnd);
    const auto fail = [&](const char* why) {
        result.bytes.clear();
        result.fault = QStringLiteral("file danneggiato: ") + QString::fromUtf8(why);
        return result;
    };
    if (!IsGzip(compressed))
        return fail("archivio gzip non valido");

    qsizetype consumed = 0;
    QByteArray& out = result.bytes;
    out.resize(std::min<qint64>(std::max<qint64>(compressed.size() * 4, 4096), limit + 1));
    qint64 produced = 0;
    for (;;) {
        // zlib counts in 32-bit units: feed the input a gigabyte at a time.
        const qsizetype chunk = std::min<qsizetype>(compressed.size() - consumed, 1 << 30);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data() + consumed));
        stream.avail_in = uInt(chunk);
        if (produced == out.size()) {
            if (produced > limit)
                return fail("contenuto decompresso troppo grande");
            out.resize(std::min<qint64>(qint64(out.size()) * 2, limit + 1));
        }
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        stream.avail_out = uInt(std::min<qint64>(out.size() - produced, 1 << 30));
        const uInt outBefore = stream.avail_out;
        const int rc = inflate(&stream, Z_NO_FLUSH);
        consumed += chunk - stream.avail_in;
        produced += outBefore - stream.avail_out;
        if (produced > limit)
            return fail("contenuto decompresso troppo grande");
        if (rc == Z_STREAM_END) {
            // Another member may follow; anything else after the last one is ignored.
            if (!IsGzip(compressed.sliced(consumed)))
                break;
            inflateReset(&stream);
        } else if (rc == Z_BUF_ERROR && consumed == compressed.size() && stream.avail_out > 0) {
            return fail("archivio gzip troncato");
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            return fail("archivio gzip non valido");
        }
    }
    out.resize(produced);
    return result;
}

} // namespace GzipInflate
