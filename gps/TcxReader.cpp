#include "gps/DeviceFile.h"
#include "gps/XmlFields.h"

#include <QXmlStreamReader>

// A TCX file holds its totals lap by lap: every <Activity>, wherever it sits
// (a multisport session nests them), is one session whose distance and
// moving time are its laps' sums. Elements are matched in the root's
// namespace, so that a lap's extensions are never taken for its totals.

namespace {

// The schema's "Biking", "Running" and "Other", any writer's spelling of them.
QString SportOf(const QString& attribute)
{
    const QString sport = attribute.trimmed().toLower();
    return sport == u"biking" ? QStringLiteral("cycling") : sport;
}

class TcxParser
{
public:
    explicit TcxParser(QByteArrayView bytes) : m_xml(QByteArray::fromRawData(bytes.data(), bytes.size())) {}

    DeviceFile Read()
    {
        DeviceFile file;
        if (m_xml.readNextStartElement()) {
            if (m_xml.name() != u"TrainingCenterDatabase")
                m_xml.raiseError(QStringLiteral("non è un file TCX"));
            m_namespace = m_xml.namespaceUri().toString();
        }
        while (!m_xml.atEnd()) {
            if (m_xml.readNext() == QXmlStreamReader::StartElement && Is(u"Activity"))
                ReadActivity(file);
        }
        if (m_xml.hasError())
            return {QString(), {}, XmlFields::Fault(m_xml)};
        return file;
    }

private:
    QXmlStreamReader m_xml;
    QString m_namespace;

    bool Is(QStringView name) const { return XmlFields::IsElement(m_xml, m_namespace, name); }

    std::optional<XmlFields::Timestamp> ReadTime(const QString& text)
    {
        const auto time = XmlFields::Time(text);
        if (!time)
            m_xml.raiseError(QStringLiteral("ora non valida: «%1»").arg(text.trimmed().left(40)));
        return time;
    }

    double ReadNumber()
    {
        const QString text = XmlFields::Text(m_xml);
        const auto number = XmlFields::Number(text);
        if (!number || *number < 0)
            m_xml.raiseError(QStringLiteral("numero non valido: «%1»").arg(text.trimmed().left(40)));
        return number.value_or(0);
    }

    struct Activity
    {
        std::optional<XmlFields::Timestamp> id, firstLapStart;
        QDateTime lastPoint;
        double distanceMetres = 0;
        double timerSeconds = 0;
    };

    void ReadActivity(DeviceFile& file)
    {
        Activity activity;
        DeviceSession session;
        session.sport = SportOf(m_xml.attributes().value(QLatin1StringView("Sport")).toString());
        while (m_xml.readNextStartElement()) {
            if (Is(u"Id"))
                activity.id = ReadTime(XmlFields::Text(m_xml));
            else if (Is(u"Lap"))
                ReadLap(activity);
            else
                m_xml.skipCurrentElement();
        }
        if (m_xml.hasError())
            return;
        const auto start = activity.id ? activity.id : activity.firstLapStart;
        if (!start) {
            m_xml.raiseError(QStringLiteral("attività senza ora di inizio"));
            return;
        }
        session.start = start->utc;
        session.utcOffsetSeconds = start->utcOffsetSeconds;
        session.distanceMetres = activity.distanceMetres;
        session.timerSeconds = activity.timerSeconds;
        session.elapsedSeconds = activity.lastPoint.isValid() && activity.lastPoint >= session.start
                                     ? double(session.start.msecsTo(activity.lastPoint)) / 1000.0
                                     : activity.timerSeconds;
        file.sessions.push_back(session);
    }

    void ReadLap(Activity& activity)
    {
        const QString lapStart = m_xml.attributes().value(QLatin1StringView("StartTime")).toString();
        if (!activity.firstLapStart && !lapStart.isEmpty())
            activity.firstLapStart = ReadTime(lapStart);
        while (m_xml.readNextStartElement()) {
            if (Is(u"TotalTimeSeconds"))
                activity.timerSeconds += ReadNumber();
            else if (Is(u"DistanceMeters"))
                activity.distanceMetres += ReadNumber();
            else if (Is(u"Track"))
                ReadTrack(activity);
            else
                m_xml.skipCurrentElement();
        }
    }

    void ReadTrack(Activity& activity)
    {
        while (m_xml.readNextStartElement()) {
            if (!Is(u"Trackpoint")) {
                m_xml.skipCurrentElement();
                continue;
            }
            while (m_xml.readNextStartElement()) {
                if (!Is(u"Time")) {
                    m_xml.skipCurrentElement();
                    continue;
                }
                const auto time = ReadTime(XmlFields::Text(m_xml));
                if (time && (!activity.lastPoint.isValid() || time->utc > activity.lastPoint))
                    activity.lastPoint = time->utc;
            }
        }
    }
};

} // namespace

DeviceFile DeviceFiles::ReadTcx(QByteArrayView bytes)
{
    return TcxParser(bytes).Read();
}
