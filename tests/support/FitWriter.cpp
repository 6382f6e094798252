#include "FitWriter.h"

#include <QTimeZone>

#include <stdexcept>

namespace {

int SizeOf(quint8 baseType)
{
    static const int Sizes[] = {1, 1, 1, 2, 2, 4, 4, 1, 4, 8, 1, 2, 4, 1, 8, 8, 8};
    return Sizes[baseType & 0x1F];
}

// A summary's timestamp: its end, invalid with its start.
quint64 End(quint32 start, quint32 elapsedMs)
{
    return start == 0xFFFFFFFF || elapsedMs == 0xFFFFFFFF ? 0xFFFFFFFF : start + elapsedMs / 1000;
}

void Append(QByteArray& out, quint64 value, int size, bool bigEndian)
{
    for (int i = 0; i < size; ++i)
        out += char(value >> (8 * (bigEndian ? size - 1 - i : i)));
}

}

quint32 FitWriter::Time(const QDateTime& utc)
{
    return quint32(utc.toSecsSinceEpoch() - QDateTime(QDate(1989, 12, 31), QTime(0, 0), QTimeZone::utc()).toSecsSinceEpoch());
}

quint16 FitWriter::Crc(QByteArrayView bytes, quint16 crc)
{
    static const quint16 Table[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
                                      0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400};
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        quint16 tmp = Table[crc & 0xF];
        crc = (crc >> 4) & 0x0FFF;
        crc = crc ^ tmp ^ Table[byte & 0xF];
        tmp = Table[crc & 0xF];
        crc = (crc >> 4) & 0x0FFF;
        crc = crc ^ tmp ^ Table[(byte >> 4) & 0xF];
    }
    return crc;
}

void FitWriter::Define(quint8 local, quint16 global, std::vector<Field> fields, std::vector<quint8> developerSizes,
                       bool bigEndian)
{
    m_data += char(0x40 | (developerSizes.empty() ? 0 : 0x20) | (local & 0x0F));
    m_data += char(0);
    m_data += char(bigEndian ? 1 : 0);
    Append(m_data, global, 2, bigEndian);
    m_data += char(fields.size());
    for (const Field& field : fields) {
        m_data += char(field.number);
        m_data += char(SizeOf(field.baseType));
        m_data += char(field.baseType);
    }
    if (!developerSizes.empty()) {
        m_data += char(developerSizes.size());
        for (size_t i = 0; i < developerSizes.size(); ++i) {
            m_data += char(i);                 // field number
            m_data += char(developerSizes[i]); // size
            m_data += char(0);                 // developer data index
        }
    }
    m_definitions[local] = Definition{global, std::move(fields), std::move(developerSizes), bigEndian};
}

void FitWriter::Values(const Definition& definition, const std::vector<quint64>& values)
{
    if (values.size() != definition.fields.size())
        throw std::logic_error("FitWriter: one value per field");
    for (size_t i = 0; i < values.size(); ++i)
        Append(m_data, values[i], SizeOf(definition.fields[i].baseType), definition.bigEndian);
    for (const quint8 size : definition.developerSizes)
        m_data += QByteArray(size, char(0x5A));
}

void FitWriter::Data(quint8 local, const std::vector<quint64>& values)
{
    m_data += char(local & 0x0F);
    Values(m_definitions.at(local), values);
}

void FitWriter::Compressed(quint8 local, quint32 seconds, const std::vector<quint64>& values)
{
    m_data += char(0x80 | (local & 0x03) << 5 | (seconds & 0x1F));
    Values(m_definitions.at(local), values);
}

void FitWriter::Ensure(quint8 local, quint16 global, const std::vector<Field>& fields)
{
    const auto it = m_definitions.find(local);
    if (it == m_definitions.end() || it->second.global != global || it->second.fields != fields
        || !it->second.developerSizes.empty() || it->second.bigEndian)
        Define(local, global, fields);
}

void FitWriter::FileId(quint32 created)
{
    Ensure(0, 0, {{0, Enum}, {1, UInt16}, {2, UInt16}, {3, UInt32z}, {4, UInt32}});
    Data(0, {4, 255, 1, 12345, created});
}

void FitWriter::Session(quint32 start, quint8 sport, quint8 subSport, quint32 elapsedMs, quint32 timerMs,
                        quint32 distanceCm)
{
    Ensure(1, 18, {{253, UInt32}, {2, UInt32}, {5, Enum}, {6, Enum}, {7, UInt32}, {8, UInt32}, {9, UInt32}});
    Data(1, {End(start, elapsedMs), start, sport, subSport, elapsedMs, timerMs, distanceCm});
}

void FitWriter::Lap(quint32 start, quint8 sport, quint8 subSport, quint32 elapsedMs, quint32 timerMs,
                    quint32 distanceCm)
{
    Ensure(2, 19, {{253, UInt32}, {2, UInt32}, {7, UInt32}, {8, UInt32}, {9, UInt32}, {25, Enum}, {39, Enum}});
    Data(2, {End(start, elapsedMs), start, elapsedMs, timerMs, distanceCm, sport, subSport});
}

void FitWriter::Record(quint32 timestamp, quint32 distanceCm)
{
    Ensure(3, 20, {{253, UInt32}, {5, UInt32}});
    Data(3, {timestamp, distanceCm});
}

void FitWriter::Sport(quint8 sport, quint8 subSport)
{
    Ensure(4, 12, {{0, Enum}, {1, Enum}});
    Data(4, {sport, subSport});
}

void FitWriter::Activity(quint32 timestamp, quint32 localTimestamp)
{
    Ensure(5, 34, {{253, UInt32}, {0, UInt32}, {1, UInt16}, {5, UInt32}});
    Data(5, {timestamp, 0, 1, localTimestamp});
}

QByteArray FitWriter::File(int headerSize, bool headerCrc) const
{
    QByteArray file;
    file += char(headerSize);
    file += char(0x20);          // protocol 2.0
    Append(file, 2132, 2, false); // profile 21.32
    Append(file, quint64(m_data.size()), 4, false);
    file += ".FIT";
    if (headerSize == 14)
        Append(file, headerCrc ? Crc(file) : 0, 2, false);
    file += m_data;
    Append(file, Crc(file), 2, false);
    return file;
}
