#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cmath>

// A GPX track as a device writes one: `points` points due north, each
// `stepMetres` and `stepSeconds` after the one before, from `start` (UTC).
// Along a meridian every reader's great-circle distance is the same.
inline QByteArray GpxTrack(const QDateTime& start, int points, double stepMetres, int stepSeconds,
                           const QString& name = QStringLiteral("Giro"))
{
    constexpr double EarthRadius = 6371000.0;
    const double stepDegrees = stepMetres / EarthRadius * 180.0 / M_PI;
    QByteArray gpx = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"test\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                     "<trk><name>" + name.toUtf8() + "</name><trkseg>\n";
    for (int i = 0; i < points; ++i)
        gpx += QStringLiteral("<trkpt lat=\"%1\" lon=\"9.0\"><time>%2</time></trkpt>\n")
                   .arg(45.0 + i * stepDegrees, 0, 'f', 9)
                   .arg(start.addSecs(qint64(i) * stepSeconds).toUTC().toString(Qt::ISODate))
                   .toUtf8();
    return gpx + "</trkseg></trk>\n</gpx>\n";
}

// A ride of `km` (to the 10 m) over `minutes`, at a steady pace.
inline QByteArray GpxRide(const QDateTime& start, double km, int minutes)
{
    const int points = minutes * 6 + 1; // one every 10 s
    return GpxTrack(start, points, km * 1000.0 / (points - 1), 10);
}
