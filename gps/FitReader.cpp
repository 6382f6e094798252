// FIT decoder, written here from the published description of the FIT
// protocol and profile. It does not use Garmin's FIT SDK, whose licence
// forbids redistribution and disclosure of its source.

#include "gps/DeviceFile.h"
#include "gps/FitCrc.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

// FIT times count seconds from 1989-12-31 00:00 UTC; smaller than this, they
// count from the moment the device was switched on and name no date.
constexpr qint64 FitEpoch = 631065600;
constexpr quint32 FirstDate = 0x10000000;

// Record messages further apart than this enclose a pause: their gap counts in
// the elapsed time only. Devices that pause by themselves stop recording, and
// those that record sparsely while moving do so every few seconds.
constexpr quint32 PauseSeconds = 30;

enum GlobalMessage : quint16 {
    SportMessage = 12,
    SessionMessage = 18,
    LapMessage = 19,
    RecordMessage = 20,
    ActivityMessage = 34,
};
constexpr quint8 TimestampField = 253;

struct Damaged
{
    QString why;
};

[[noreturn]] void Fail(const QString& why)
{
    throw Damaged{why};
}

[[noreturn]] void FailAt(qsizetype offset)
{
    Fail(QStringLiteral("messaggio non valido al byte %1").arg(offset));
}

// A field of a definition that the reader takes.
struct Field
{
    quint8 number = 0;
    quint8 size = 0;
    quint8 baseType = 0;
    int offset = 0; // from the first byte after the record header
};

struct Definition
{
    bool defined = false;
    bool bigEndian = false;
    quint16 global = 0;
    int size = 0; // of a data message, developer fields included
    std::optional<Field> timestamp;
    std::vector<Field> fields;
};

// Which fields of which message the reader takes; the timestamp of every
// message is kept apart for the compressed headers.
bool Wanted(quint16 global, quint8 field)
{
    switch (global) {
    case SportMessage:
        return field == 0 || field == 1;
    case SessionMessage:
        return field == 2 || (field >= 5 && field <= 9);
    case LapMessage:
        return field == 2 || (field >= 7 && field <= 9) || field == 25 || field == 39;
    case RecordMessage:
        return field == 5;
    case ActivityMessage:
        return field == 5;
    default:
        return false;
    }
}

// A value as stored, or nothing when it is the base type's "invalid" value or
// the field is too short for its type.
std::optional<double> Value(const unsigned char* at, const Field& field, bool bigEndian)
{
    const quint8 type = field.baseType & 0x1F;
    static constexpr std::array<quint8, 17> Sizes = {1, 1, 1, 2, 2, 4, 4, 1, 4, 8, 1, 2, 4, 1, 8, 8, 8};
    if (type >= Sizes.size() || type == 7 || field.size < Sizes[type])
        return std::nullopt; // strings and unknown types carry nothing the reader takes
    const int size = Sizes[type];
    quint64 raw = 0;
    for (int i = 0; i < size; ++i)
        raw |= quint64(at[bigEndian ? size - 1 - i : i]) << (8 * i);
    switch (type) {
    case 0:  // enum
    case 2:  // uint8
    case 13: // byte
        return raw == 0xFF ? std::nullopt : std::optional<double>(double(raw));
    case 1: // sint8
        return raw == 0x7F ? std::nullopt : std::optional<double>(double(qint8(raw)));
    case 3: // sint16
        return raw == 0x7FFF ? std::nullopt : std::optional<double>(double(qint16(raw)));
    case 4: // uint16
        return raw == 0xFFFF ? std::nullopt : std::optional<double>(double(raw));
    case 5: // sint32
        return raw == 0x7FFFFFFF ? std::nullopt : std::optional<double>(double(qint32(raw)));
    case 6: // uint32
        return raw == 0xFFFFFFFF ? std::nullopt : std::optional<double>(double(raw));
    case 8: { // float32
        if (raw == 0xFFFFFFFF)
            return std::nullopt;
        float value;
        const quint32 bits = quint32(raw);
        std::memcpy(&value, &bits, sizeof value);
        return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    }
    case 9: { // float64
        if (raw == ~quint64(0))
            return std::nullopt;
        double value;
        std::memcpy(&value, &raw, sizeof value);
        return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    }
    case 10: // uint8z
    case 11: // uint16z
    case 12: // uint32z
    case 16: // uint64z
        return raw == 0 ? std::nullopt : std::optional<double>(double(raw));
    case 14: // sint64
        return raw == 0x7FFFFFFFFFFFFFFFull ? std::nullopt : std::optional<double>(double(qint64(raw)));
    case 15: // uint64
        return raw == ~quint64(0) ? std::nullopt : std::optional<double>(double(raw));
    }
    return std::nullopt;
}

QString Named(const char* const* names, size_t count, const char* prefix, double value)
{
    const auto number = qint64(value);
    if (number >= 0 && size_t(number) < count && names[number])
        return QString::fromLatin1(names[number]);
    return QString::fromLatin1(prefix) + QString::number(number);
}

// The profile's names for the values of its "sport" and "sub_sport" types.
QString SportName(double value)
{
    static const char* const Names[] = {
        "generic", "running", "cycling", "transition", "fitness_equipment", "swimming", "basketball", "soccer",
        "tennis", "american_football", "training", "walking", "cross_country_skiing", "alpine_skiing",
        "snowboarding", "rowing", "mountaineering", "hiking", "multisport", "paddling", "flying", "e_biking",
        "motorcycling", "boating", "driving", "golf", "hang_gliding", "horseback_riding", "hunting", "fishing",
        "inline_skating", "rock_climbing", "sailing", "ice_skating", "sky_diving", "snowshoeing", "snowmobiling",
        "stand_up_paddleboarding", "surfing", "wakeboarding", "water_skiing", "kayaking", "rafting", "windsurfing",
        "kitesurfing", "tactical", "jumpmaster", "boxing", "floor_climbing", nullptr, nullptr, nullptr, nullptr,
        "diving"};
    return Named(Names, std::size(Names), "sport_", value);
}

QString SubSportName(double value)
{
    static const char* const Names[] = {
        "generic", "treadmill", "street", "trail", "track", "spin", "indoor_cycling", "road", "mountain",
        "downhill", "recumbent", "cyclocross", "hand_cycling", "track_cycling", "indoor_rowing", "elliptical",
        "stair_climbing", "lap_swimming", "open_water", "flexibility_training", "strength_training", "warm_up",
        "match", "exercise", "challenge", "indoor_skiing", "cardio_training", "indoor_walking", "e_bike_fitness",
        "bmx", "casual_walking", "speed_walking", "bike_to_run_transition", "run_to_bike_transition",
        "swim_to_bike_transition", "atv", "motocross", "backcountry", "resort", "rc_drone", "wingsuit",
        "whitewater", "skate_skiing", "yoga", "pilates", "indoor_running", "gravel_cycling", "e_bike_mountain",
        "commuting", "mixed_surface", "navigate", "track_me", "map", "single_gas_diving", "multi_gas_diving",
        "gauge_diving", "apnea_diving", "apnea_hunting", "virtual_activity", "obstacle"};
    return Named(Names, std::size(Names), "sub_sport_", value);
}

QDateTime DateOf(double fitTime)
{
    if (fitTime < FirstDate)
        return {};
    return QDateTime::fromSecsSinceEpoch(FitEpoch + qint64(fitTime), QTimeZone::utc());
}

// What one message says, by field number.
class Message
{
public:
    Message(const unsigned char* content, const Definition& definition)
        : m_content(content), m_definition(definition)
    {
    }

    std::optional<double> operator[](quint8 number) const
    {
        for (const Field& field : m_definition.fields)
            if (field.number == number)
                return Value(m_content + field.offset, field, m_definition.bigEndian);
        return std::nullopt;
    }

private:
    const unsigned char* m_content;
    const Definition& m_definition;
};

// The messages of one FIT file (one header, its data, its check), gathered
// into its sessions.
class FileReader
{
public:
    void Read(const unsigned char* data, qsizetype size, qsizetype base);
    std::vector<DeviceSession> Sessions() const;

private:
    void Take(const Definition& definition, const unsigned char* content, std::optional<quint32> timestamp);

    struct Summary
    {
        std::optional<double> start, timestamp;
        std::optional<double> sport, subSport;
        double elapsedMs = 0, timerMs = 0, distanceCm = 0;
    };
    // Without its start time, a summary's end (its timestamp) less its length.
    static std::optional<double> StartOf(const Summary& summary)
    {
        if (summary.start || !summary.timestamp)
            return summary.start;
        return *summary.timestamp - std::floor(summary.elapsedMs / 1000.0);
    }

    std::array<Definition, 16> m_definitions;
    std::optional<quint32> m_lastTimestamp;

    std::vector<Summary> m_sessions;
    std::vector<Summary> m_laps;
    std::optional<double> m_sport, m_subSport;
    std::optional<double> m_activityTime, m_activityLocalTime;
    // The record messages: first and last time, moving time, last distance.
    std::optional<quint32> m_firstRecord, m_previousRecord, m_lastRecord;
    quint64 m_movingSeconds = 0;
    std::optional<double> m_recordDistanceCm;
};

void FileReader::Read(const unsigned char* data, qsizetype size, qsizetype base)
{
    qsizetype at = 0;
    while (at < size) {
        const qsizetype start = at;
        const quint8 header = data[at++];
        if (header & 0x80) {
            // Compressed timestamp: five bits of seconds after the last full timestamp.
            Definition& definition = m_definitions[(header >> 5) & 0x03];
            if (!definition.defined || size - at < definition.size)
                FailAt(base + start);
            std::optional<quint32> timestamp;
            if (m_lastTimestamp) {
                const quint32 offset = header & 0x1F;
                quint32 value = (*m_lastTimestamp & ~quint32(0x1F)) + offset;
                if (offset < (*m_lastTimestamp & 0x1F))
                    value += 0x20;
                timestamp = m_lastTimestamp = value;
            }
            Take(definition, data + at, timestamp);
            at += definition.size;
        } else if (header & 0x40) {
            Definition& definition = m_definitions[header & 0x0F];
            if (size - at < 5)
                FailAt(base + start);
            const quint8 architecture = data[at + 1];
            if (architecture > 1)
                FailAt(base + start);
            definition = Definition();
            definition.bigEndian = architecture == 1;
            definition.global = definition.bigEndian ? quint16(data[at + 2] << 8 | data[at + 3])
                                                     : quint16(data[at + 3] << 8 | data[at + 2]);
            const int count = data[at + 4];
            at += 5;
            if (size - at < 3 * count)
                FailAt(base + start);
            int offset = 0;
            for (int i = 0; i < count; ++i, at += 3) {
                const Field field{data[at], data[at + 1], data[at + 2], offset};
                offset += field.size;
                if (field.number == TimestampField)
                    definition.timestamp = field;
                else if (Wanted(definition.global, field.number))
                    definition.fields.push_back(field);
            }
            if (header & 0x20) {
                // Developer fields: only their sizes matter here.
                if (size - at < 1)
                    FailAt(base + start);
                const int developerCount = data[at++];
                if (size - at < 3 * developerCount)
                    FailAt(base + start);
                for (int i = 0; i < developerCount; ++i, at += 3)
                    offset += data[at + 1];
            }
            definition.size = offset;
            definition.defined = true;
        } else {
            const Definition& definition = m_definitions[header & 0x0F];
            if (!definition.defined || size - at < definition.size)
                FailAt(base + start);
            std::optional<quint32> timestamp;
            if (definition.timestamp) {
                if (const std::optional<double> value = Value(data + at + definition.timestamp->offset,
                                                              *definition.timestamp, definition.bigEndian))
                    timestamp = m_lastTimestamp = quint32(*value);
            }
            Take(definition, data + at, timestamp);
            at += definition.size;
        }
    }
}

void FileReader::Take(const Definition& definition, const unsigned char* content, std::optional<quint32> timestamp)
{
    const Message message(content, definition);
    switch (definition.global) {
    case SessionMessage:
    case LapMessage: {
        const bool session = definition.global == SessionMessage;
        Summary summary;
        summary.start = message[2];
        if (timestamp)
            summary.timestamp = double(*timestamp);
        summary.sport = message[session ? 5 : 25];
        summary.subSport = message[session ? 6 : 39];
        summary.elapsedMs = message[7].value_or(0);
        summary.timerMs = message[8].value_or(0);
        summary.distanceCm = message[9].value_or(0);
        (session ? m_sessions : m_laps).push_back(summary);
        break;
    }
    case RecordMessage:
        if (timestamp) {
            if (!m_firstRecord) {
                m_firstRecord = m_lastRecord = timestamp;
            } else {
                if (*timestamp > *m_previousRecord && *timestamp - *m_previousRecord <= PauseSeconds)
                    m_movingSeconds += *timestamp - *m_previousRecord;
                m_lastRecord = std::max(*m_lastRecord, *timestamp);
            }
            m_previousRecord = timestamp;
        }
        if (const std::optional<double> distance = message[5])
            m_recordDistanceCm = distance;
        break;
    case SportMessage:
        m_sport = message[0];
        m_subSport = message[1];
        break;
    case ActivityMessage:
        if (timestamp)
            m_activityTime = double(*timestamp);
        m_activityLocalTime = message[5];
        break;
    default:
        break;
    }
}

std::vector<DeviceSession> FileReader::Sessions() const
{
    std::vector<DeviceSession> sessions;
    std::optional<int> offset;
    // Local time less UTC, when the activity's time is a date: the difference
    // to a device-relative time means nothing.
    if (m_activityTime && *m_activityTime >= FirstDate && m_activityLocalTime)
        offset = int(qint64(*m_activityLocalTime) - qint64(*m_activityTime));
    const auto session = [&](std::optional<double> start, std::optional<double> sport,
                             std::optional<double> subSport, double elapsedMs, double timerMs, double distanceCm) {
        DeviceSession s;
        if (start)
            s.start = DateOf(*start);
        s.utcOffsetSeconds = offset;
        if (sport)
            s.sport = SportName(*sport);
        if (subSport)
            s.subSport = SubSportName(*subSport);
        s.elapsedSeconds = elapsedMs / 1000.0;
        s.timerSeconds = timerMs / 1000.0;
        s.distanceMetres = distanceCm / 100.0;
        sessions.push_back(s);
    };

    if (!m_sessions.empty()) {
        for (const Summary& s : m_sessions) {
            session(StartOf(s), s.sport, s.subSport, s.elapsedMs, s.timerMs, s.distanceCm);
        }
    } else if (!m_laps.empty()) {
        Summary all;
        for (const Summary& lap : m_laps) {
            if (!all.start)
                all.start = StartOf(lap);
            if (!all.sport) {
                all.sport = lap.sport;
                all.subSport = lap.subSport;
            }
            all.elapsedMs += lap.elapsedMs;
            all.timerMs += lap.timerMs;
            all.distanceCm += lap.distanceCm;
        }
        if (!all.sport) {
            all.sport = m_sport;
            all.subSport = m_subSport;
        }
        session(all.start, all.sport, all.subSport, all.elapsedMs, all.timerMs, all.distanceCm);
    } else if (m_firstRecord) {
        session(double(*m_firstRecord), m_sport, m_subSport, (qint64(*m_lastRecord) - *m_firstRecord) * 1000.0,
                m_movingSeconds * 1000.0, m_recordDistanceCm.value_or(0));
    }
    return sessions;
}

quint32 Little32(const unsigned char* at)
{
    return quint32(at[0]) | quint32(at[1]) << 8 | quint32(at[2]) << 16 | quint32(at[3]) << 24;
}

} // namespace

namespace DeviceFiles {

DeviceFile ReadFit(QByteArrayView bytes)
{
    DeviceFile file;
    const auto* const data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    try {
        if (size == 0)
            Fail(QStringLiteral("file vuoto"));
        qsizetype at = 0;
        std::vector<DeviceSession> sessions;
        do {
            // A file may chain several FIT files; what follows the last one is
            // another only when it opens with a header's length.
            const qsizetype left = size - at;
            const quint8 headerSize = data[at];
            if (headerSize != 12 && headerSize != 14)
                Fail(QStringLiteral("intestazione non valida"));
            if (left < headerSize)
                Fail(QStringLiteral("file troncato"));
            if (std::memcmp(data + at + 8, ".FIT", 4) != 0)
                Fail(QStringLiteral("intestazione non valida"));
            if (headerSize == 14) {
                const quint16 stored = quint16(data[at + 12] | data[at + 13] << 8);
                if (stored != 0 && stored != FitCrc::Of(bytes.sliced(at, 12)))
                    Fail(QStringLiteral("intestazione non valida"));
            }
            const quint32 dataSize = Little32(data + at + 4);
            if (quint64(left) < quint64(headerSize) + dataSize + 2)
                Fail(QStringLiteral("file troncato"));
            if (FitCrc::Of(bytes.sliced(at, headerSize + dataSize + 2)) != 0)
                Fail(QStringLiteral("CRC non valido"));
            FileReader reader;
            reader.Read(data + at + headerSize, dataSize, at + headerSize);
            for (DeviceSession& session : reader.Sessions())
                sessions.push_back(std::move(session));
            at += headerSize + qsizetype(dataSize) + 2;
        } while (at < size && (data[at] == 12 || data[at] == 14));
        file.sessions = std::move(sessions);
    } catch (const Damaged& damaged) {
        file.fault = QStringLiteral("file danneggiato: ") + damaged.why;
    }
    return file;
}

} // namespace DeviceFiles
