// FIT decoder, written here from the published description of the FIT
// protocol and profile. It does not use Garmin's FIT SDK, whose licence
// forbids redistribution and disclosure of its source.

#include "gps/DeviceFile.h"
#include "gps/FitCrc.h"

#include <QTimeZone>
#include <QtEndian>

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

// A field of a definition that the reader takes, with how its value is
// stored, worked out once per definition.
struct Field
{
    enum Kind : quint8 { Unsigned, Signed, Float };

    quint8 number = 0;
    quint8 width = 0; // of one value; 0 for strings, unknown types and short fields
    Kind kind = Unsigned;
    quint64 invalid = 0;
    int offset = 0; // from the first byte after the record header
};

Field Describe(quint8 number, quint8 size, quint8 baseType, int offset)
{
    struct Type
    {
        quint8 width;
        Field::Kind kind;
        quint64 invalid;
    };
    // By the base type's number, its low five bits.
    static constexpr std::array<Type, 17> Types = {{
        {1, Field::Unsigned, 0xFF},                 // enum
        {1, Field::Signed, 0x7F},                   // sint8
        {1, Field::Unsigned, 0xFF},                 // uint8
        {2, Field::Signed, 0x7FFF},                 // sint16
        {2, Field::Unsigned, 0xFFFF},               // uint16
        {4, Field::Signed, 0x7FFFFFFF},             // sint32
        {4, Field::Unsigned, 0xFFFFFFFF},           // uint32
        {0, Field::Unsigned, 0},                    // string
        {4, Field::Float, 0xFFFFFFFF},              // float32
        {8, Field::Float, ~quint64(0)},             // float64
        {1, Field::Unsigned, 0},                    // uint8z
        {2, Field::Unsigned, 0},                    // uint16z
        {4, Field::Unsigned, 0},                    // uint32z
        {1, Field::Unsigned, 0xFF},                 // byte
        {8, Field::Signed, 0x7FFFFFFFFFFFFFFFull},  // sint64
        {8, Field::Unsigned, ~quint64(0)},          // uint64
        {8, Field::Unsigned, 0},                    // uint64z
    }};
    Field field;
    field.number = number;
    field.offset = offset;
    if (const quint8 type = baseType & 0x1F; type < Types.size() && size >= Types[type].width) {
        field.width = Types[type].width;
        field.kind = Types[type].kind;
        field.invalid = Types[type].invalid;
    }
    return field;
}

// A value as stored (the first of an array), or nothing when it is its
// type's "invalid" value or the reader cannot take it.
std::optional<double> Value(const unsigned char* at, const Field& field, bool bigEndian)
{
    quint64 raw;
    switch (field.width) {
    case 1:
        raw = at[0];
        break;
    case 2:
        raw = bigEndian ? qFromBigEndian<quint16>(at) : qFromLittleEndian<quint16>(at);
        break;
    case 4:
        raw = bigEndian ? qFromBigEndian<quint32>(at) : qFromLittleEndian<quint32>(at);
        break;
    case 8:
        raw = bigEndian ? qFromBigEndian<quint64>(at) : qFromLittleEndian<quint64>(at);
        break;
    default:
        return std::nullopt;
    }
    if (raw == field.invalid)
        return std::nullopt;
    switch (field.kind) {
    case Field::Unsigned:
        return double(raw);
    case Field::Signed: {
        const int unused = 64 - 8 * field.width;
        return double(qint64(raw << unused) >> unused);
    }
    case Field::Float: {
        double value;
        if (field.width == 4) {
            float single;
            const quint32 bits = quint32(raw);
            std::memcpy(&single, &bits, sizeof single);
            value = single;
        } else {
            std::memcpy(&value, &raw, sizeof value);
        }
        return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
    }
    }
    return std::nullopt;
}

struct Definition
{
    bool defined = false;
    bool bigEndian = false;
    quint16 global = 0;
    bool taken = false; // its data messages say something the reader takes
    int size = 0;       // of a data message, developer fields included
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
    // The record messages are many and needed only in files without sessions
    // and laps: read once without them, and again with them where needed.
    explicit FileReader(bool records) : m_records(records) {}

    void Read(const unsigned char* data, qsizetype size, qsizetype base);
    bool NeedsRecords() const { return !m_records && m_sessions.empty() && m_laps.empty(); }
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

    const bool m_records;
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
            if (definition.taken)
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
                const Field field = Describe(data[at], data[at + 1], data[at + 2], offset);
                offset += data[at + 1];
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
            definition.taken = definition.global == SportMessage || definition.global == SessionMessage
                               || definition.global == LapMessage || definition.global == ActivityMessage
                               || (m_records && definition.global == RecordMessage);
        } else {
            const Definition& definition = m_definitions[header & 0x0F];
            if (!definition.defined || size - at < definition.size)
                FailAt(base + start);
            std::optional<quint32> timestamp;
            if (definition.timestamp) {
                const std::optional<double> value =
                    Value(data + at + definition.timestamp->offset, *definition.timestamp, definition.bigEndian);
                if (value && *value >= 0 && *value <= 0xFFFFFFFF)
                    timestamp = m_lastTimestamp = quint32(*value);
            }
            if (definition.taken)
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
            FileReader reader(false);
            reader.Read(data + at + headerSize, dataSize, at + headerSize);
            std::vector<DeviceSession> read = reader.Sessions();
            if (reader.NeedsRecords()) {
                FileReader withRecords(true);
                withRecords.Read(data + at + headerSize, dataSize, at + headerSize);
                read = withRecords.Sessions();
            }
            for (DeviceSession& session : read)
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
