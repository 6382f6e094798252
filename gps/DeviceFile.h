#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// One activity as a device recorded it: what the file says, before it is
// judged as a ride.
struct DeviceSession
{
    QDateTime start;                      // UTC
    std::optional<int> utcOffsetSeconds;  // local time minus UTC, where the file records it (possibly absurd)
    // Lower-case names as the FIT profile spells them ("cycling", "e_biking",
    // "running", "transition", "walking", "generic"...); a TCX "Biking" is
    // "cycling", "Running" "running", "Other" "other"; empty where the file
    // names no sport (GPX).
    QString sport;
    // The FIT profile's names ("road", "mountain", "gravel_cycling",
    // "commuting", "indoor_cycling", "virtual_activity", "generic"...); empty
    // where the file names none.
    QString subSport;
    double distanceMetres = 0;
    double timerSeconds = 0;   // moving time: pauses and stops left out
    double elapsedSeconds = 0; // first to last moment of the activity

    QDateTime End() const { return start.addMSecs(qint64(elapsedSeconds * 1000.0)); }
    bool operator==(const DeviceSession&) const = default;
};

// What one file holds. A file that cannot be read carries the reason, as the
// rider reads it ("file danneggiato: ..."), and no session: a file is never
// half read.
struct DeviceFile
{
    QString path;
    std::vector<DeviceSession> sessions;
    QString fault; // empty when the file was read
};

// The readers take bytes and give sessions; none touches the database.
namespace DeviceFiles {

// By the file's extension (".fit", ".gpx", ".tcx", each optionally ".gz"),
// else by its first bytes.
DeviceFile Read(const QString& path);

DeviceFile ReadFit(QByteArrayView bytes);
DeviceFile ReadGpx(QByteArrayView bytes);
DeviceFile ReadTcx(QByteArrayView bytes);

} // namespace DeviceFiles
