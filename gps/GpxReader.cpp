#include "gps/DeviceFile.h"
#include "gps/TrackMeasure.h"
#include "gps/XmlFields.h"

#include <QXmlStreamReader>

// A GPX file is one session: its tracks and segments are the pieces of one
// recording (a device starts a new segment where it was paused), so their
// points are measured together, a break between segments carrying neither
// distance nor moving time. Only timed track points count; waypoints and
// routes are plans, not rides. Elements are matched in the root's namespace,
// whatever the version (1.0, 1.1 or none) and prefix, so that extensions of
// other namespaces are never mistaken for the track's own.

namespace {

// A track's <type>, where it names a sport plainly, as the device profile
// spells it; anything else names none.
QString SportOfType(const QString& type)
{
    const QString word = type.trimmed().toLower();
    if (word.contains(u"cycl") || word.contains(u"bik") || word == u"ride")
        return QStringLiteral("cycling");
    if (word.contains(u"run"))
        return QStringLiteral("running");
    if (word.contains(u"walk"))
        return QStringLiteral("walking");
    if (word.contains(u"hik"))
        return QStringLiteral("hiking");
    return QString();
}

class GpxParser
{
public:
    explicit GpxParser(QByteArrayView bytes) : m_xml(QByteArray::fromRawData(bytes.data(), bytes.size())) {}

    DeviceFile Read()
    {
        DeviceFile file;
        if (m_xml.readNextStartElement()) {
            if (m_xml.name() != u"gpx")
                m_xml.raiseError(QStringLiteral("non è un file GPX"));
            m_namespace = m_xml.namespaceUri().toString();
            while (m_xml.readNextStartElement()) {
                if (Is(u"trk"))
                    ReadTrack();
                else
                    m_xml.skipCurrentElement();
            }
        }
        // What follows the root must still be well formed.
        while (!m_xml.atEnd())
            m_xml.readNext();
        if (m_xml.hasError()) {
            file.fault = XmlFields::Fault(m_xml);
            return file;
        }
        if (const auto figures = TrackMeasure::Measure(std::move(m_segments))) {
            DeviceSession session;
            session.start = figures->start;
            session.utcOffsetSeconds = m_utcOffsetSeconds;
            session.sport = m_sport;
            session.distanceMetres = figures->distanceMetres;
            session.timerSeconds = figures->movingSeconds;
            session.elapsedSeconds = figures->elapsedSeconds;
            file.sessions.push_back(session);
        }
        return file;
    }

private:
    QXmlStreamReader m_xml;
    QString m_namespace;
    std::vector<TrackMeasure::Segment> m_segments;
    QString m_sport;
    QDateTime m_firstTime;
    std::optional<int> m_utcOffsetSeconds; // that of the first timed point

    bool Is(QStringView name) const { return XmlFields::IsElement(m_xml, m_namespace, name); }

    void ReadTrack()
    {
        while (m_xml.readNextStartElement()) {
            if (Is(u"trkseg")) {
                m_segments.emplace_back();
                ReadSegment();
            } else if (Is(u"type") && m_sport.isEmpty()) {
                m_sport = SportOfType(XmlFields::Text(m_xml));
            } else {
                m_xml.skipCurrentElement();
            }
        }
    }

    void ReadSegment()
    {
        while (m_xml.readNextStartElement()) {
            if (Is(u"trkpt"))
                ReadPoint();
            else
                m_xml.skipCurrentElement();
        }
    }

    void ReadPoint()
    {
        const auto latitude = XmlFields::Number(m_xml.attributes().value(QLatin1StringView("lat")));
        const auto longitude = XmlFields::Number(m_xml.attributes().value(QLatin1StringView("lon")));
        if (!latitude || !longitude || std::abs(*latitude) > 90 || std::abs(*longitude) > 180) {
            m_xml.raiseError(QStringLiteral("coordinate non valide"));
            return;
        }
        std::optional<XmlFields::Timestamp> time;
        while (m_xml.readNextStartElement()) {
            if (Is(u"time")) {
                const QString text = XmlFields::Text(m_xml);
                time = XmlFields::Time(text);
                if (!time) {
                    m_xml.raiseError(QStringLiteral("ora non valida: «%1»").arg(text.trimmed().left(40)));
                    return;
                }
            } else {
                m_xml.skipCurrentElement();
            }
        }
        if (!time)
            return;
        if (!m_firstTime.isValid() || time->utc < m_firstTime) {
            m_firstTime = time->utc;
            m_utcOffsetSeconds = time->utcOffsetSeconds;
        }
        m_segments.back().push_back({time->utc, *latitude, *longitude});
    }
};

} // namespace

DeviceFile DeviceFiles::ReadGpx(QByteArrayView bytes)
{
    return GpxParser(bytes).Read();
}
