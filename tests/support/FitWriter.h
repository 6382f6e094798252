#pragma once

// FIT files of the tests' and benchmarks' own making, written from the
// protocol description apart from the reader: definitions in either byte
// order, developer fields, compressed timestamps, and the profile's messages
// the import reads.

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

#include <map>
#include <vector>

class FitWriter
{
public:
    enum BaseType : quint8 {
        Enum = 0x00,
        SInt8 = 0x01,
        UInt8 = 0x02,
        SInt16 = 0x83,
        UInt16 = 0x84,
        SInt32 = 0x85,
        UInt32 = 0x86,
        UInt32z = 0x8C,
    };
    struct Field
    {
        quint8 number;
        quint8 baseType;
        bool operator==(const Field&) const = default;
    };

    // Seconds since 1989-12-31 00:00 UTC.
    static quint32 Time(const QDateTime& utc);
    // The FIT check: a 16-entry table, a nibble at a time.
    static quint16 Crc(QByteArrayView bytes, quint16 crc = 0);

    // Local message `local` (0-15) from now on carries global message
    // `global` with `fields`, then developer fields of `developerSizes` bytes.
    void Define(quint8 local, quint16 global, std::vector<Field> fields, std::vector<quint8> developerSizes = {},
                bool bigEndian = false);
    // One value per field of the definition, in order; developer bytes filled.
    void Data(quint8 local, const std::vector<quint64>& values);
    // The same with a compressed-timestamp header (local 0-3) holding `seconds`' five low bits.
    void Compressed(quint8 local, quint32 seconds, const std::vector<quint64>& values);
    // Bytes as they are, for malformed content.
    void Raw(QByteArrayView bytes) { m_data += bytes; }

    // The profile's messages, each defined on its own local type at first use.
    void FileId(quint32 created);
    void Session(quint32 start, quint8 sport, quint8 subSport, quint32 elapsedMs, quint32 timerMs, quint32 distanceCm);
    void Lap(quint32 start, quint8 sport, quint8 subSport, quint32 elapsedMs, quint32 timerMs, quint32 distanceCm);
    void Record(quint32 timestamp, quint32 distanceCm);
    void Sport(quint8 sport, quint8 subSport);
    void Activity(quint32 timestamp, quint32 localTimestamp);

    // Header, messages and the closing check. A 12-byte header has no check of
    // its own; a 14-byte one has one, or zero without `headerCrc`.
    QByteArray File(int headerSize = 14, bool headerCrc = true) const;

private:
    struct Definition
    {
        quint16 global;
        std::vector<Field> fields;
        std::vector<quint8> developerSizes;
        bool bigEndian;
    };
    void Ensure(quint8 local, quint16 global, const std::vector<Field>& fields);
    void Values(const Definition& definition, const std::vector<quint64>& values);

    std::map<int, Definition> m_definitions;
    QByteArray m_data;
};
