#include "gps/FitCrc.h"

#include <array>

namespace {

// Four bytes a step: the check runs over every byte of every file imported.
constexpr std::array<std::array<quint16, 256>, 4> MakeTables()
{
    std::array<std::array<quint16, 256>, 4> tables{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        quint16 crc = quint16(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        tables[0][byte] = crc;
    }
    for (unsigned byte = 0; byte < 256; ++byte)
        for (int k = 1; k < 4; ++k)
            tables[k][byte] = quint16((tables[k - 1][byte] >> 8) ^ tables[0][tables[k - 1][byte] & 0xFF]);
    return tables;
}

constexpr auto Tables = MakeTables();

} // namespace

namespace FitCrc {

quint16 Of(QByteArrayView bytes, quint16 crc)
{
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* const end = at + bytes.size();
    while (end - at >= 4) {
        const unsigned low = (crc ^ at[0]) & 0xFF;
        const unsigned high = ((crc >> 8) ^ at[1]) & 0xFF;
        crc = quint16(Tables[3][low] ^ Tables[2][high] ^ Tables[1][at[2]] ^ Tables[0][at[3]]);
        at += 4;
    }
    while (at != end)
        crc = quint16((crc >> 8) ^ Tables[0][(crc ^ *at++) & 0xFF]);
    return crc;
}

} // namespace FitCrc
