#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>
#include <QXmlStreamReader>

#include <optional>

// What the GPX and TCX readers share: their fields' texts as values, and a
// damaged file's fault as the rider reads it.
namespace XmlFields {

struct Timestamp
{
    QDateTime utc;
    std::optional<int> utcOffsetSeconds; // where the text gives a numeric offset; "Z" gives none
};

// An XML Schema dateTime: "Z", "+02:00" or no zone (taken as UTC), with or
// without a fraction of a second.
std::optional<Timestamp> Time(QStringView text);
std::optional<double> Number(QStringView text);

// Whether the reader stands on the start of `name` in the document's own namespace.
bool IsElement(const QXmlStreamReader& xml, QStringView namespaceUri, QStringView name);

// The text of the element the reader stands on, its children's included.
QString Text(QXmlStreamReader& xml);

// "file danneggiato: riga N, <why>" for the reader's error: its own words
// where the reader raised one, else the XML fault's.
QString Fault(const QXmlStreamReader& xml);

} // namespace XmlFields
