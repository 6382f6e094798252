#pragma once

#include <QByteArrayView>

// The 16-bit check that closes a FIT file and, optionally, its header: the
// reflected polynomial 0xA001 from zero, over the bytes as stored.
namespace FitCrc {

// Continues `crc` over `bytes`; the check of a whole file is Of(file) == 0
// once its two closing bytes are included.
quint16 Of(QByteArrayView bytes, quint16 crc = 0);

} // namespace FitCrc
