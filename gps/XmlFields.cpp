#include "gps/XmlFields.h"

#include <cmath>

namespace XmlFields {

std::optional<Timestamp> Time(QStringView text)
{
    const QString trimmed = text.trimmed().toString();
    const qsizetype clock = trimmed.indexOf(u'T');
    const bool zoned = trimmed.endsWith(u'Z') || (clock >= 0 && (trimmed.indexOf(u'+', clock) >= 0
                                                                  || trimmed.indexOf(u'-', clock) >= 0));
    // No zone: the clock reading itself is UTC. Read as this machine's local
    // time, it would shift, or not exist in a daylight-saving gap.
    const QDateTime time = QDateTime::fromString(zoned ? trimmed : trimmed + u'Z', Qt::ISODateWithMs);
    if (!time.isValid() || time.timeSpec() == Qt::LocalTime)
        return std::nullopt;
    Timestamp stamp{time.toUTC(), std::nullopt};
    if (time.timeSpec() == Qt::OffsetFromUTC)
        stamp.utcOffsetSeconds = time.offsetFromUtc();
    return stamp;
}

std::optional<double> Number(QStringView text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool IsElement(const QXmlStreamReader& xml, QStringView namespaceUri, QStringView name)
{
    return xml.isStartElement() && xml.name() == name && xml.namespaceUri() == namespaceUri;
}

QString Text(QXmlStreamReader& xml)
{
    return xml.readElementText(QXmlStreamReader::IncludeChildElements);
}

QString Fault(const QXmlStreamReader& xml)
{
    QString why;
    switch (xml.error()) {
    case QXmlStreamReader::CustomError:
        why = xml.errorString();
        break;
    case QXmlStreamReader::PrematureEndOfDocumentError:
        why = QStringLiteral("file troncato");
        break;
    case QXmlStreamReader::UnexpectedElementError:
        why = QStringLiteral("elemento inatteso");
        break;
    case QXmlStreamReader::NotWellFormedError:
    case QXmlStreamReader::NoError:
        why = QStringLiteral("XML non valido");
        break;
    }
    return QStringLiteral("file danneggiato: riga %1, %2").arg(xml.lineNumber()).arg(why);
}

} // namespace XmlFields
