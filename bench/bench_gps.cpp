// GPS benchmark: the reading of device files, timed against reading the same
// bytes and checking them.
//
//   bench_gps [files]     (default 1,000)
//
// Writes `files` FIT files of a long ride each (3 hours of records every
// second, as a bike computer writes them, with laps, the session and the
// activity) into a temporary folder. Our side is DeviceFiles::Read over all of
// them, every session checked; the raw side reads the same files from disk
// and checks their CRC, nothing more. The two alternate run by run, so load
// from elsewhere falls on both. For information, gpsbabel converting some of
// the same files to GPX, per file (left out, with a note, where it is missing).
//
// A missed goal is reported, not failed: the exit code is 0 whenever the
// measurement itself could be made and every file gave the session written.

#include "bench/BenchSupport.h"
#include "gps/DeviceFile.h"
#include "gps/FitCrc.h"
#include "tests/support/FitWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int RideSeconds = 3 * 3600;
constexpr int Runs = 5;
constexpr int GpsbabelFiles = 10;
constexpr int GpsbabelRuns = 3;
constexpr double ReadGoal = 3.0;

struct Ride
{
    QString path;
    QDateTime start;
    double distanceMetres;
};

// A ride of RideSeconds with a record a second, a lap an hour, the session
// and the activity, starting on day `index` after the first.
Ride WriteRide(const QString& folder, int index)
{
    const QDateTime start(QDate(2024, 1, 1).addDays(index), QTime(7, 0, index % 60), QTimeZone::utc());
    const quint32 t0 = FitWriter::Time(start);
    Bench::Random random;
    random.state += quint64(index);
    FitWriter fit;
    fit.FileId(t0);
    fit.Define(6, 20, {{253, FitWriter::UInt32}, {0, FitWriter::SInt32}, {1, FitWriter::SInt32},
                       {2, FitWriter::UInt16}, {3, FitWriter::UInt8}, {4, FitWriter::UInt8},
                       {5, FitWriter::UInt32}, {6, FitWriter::UInt16}, {7, FitWriter::UInt16},
                       {13, FitWriter::SInt8}});
    qint64 lat = 45 * 11930465LL, lon = 9 * 11930465LL; // semicircles
    quint32 distanceCm = 0;
    std::vector<quint32> lapDistances;
    for (int s = 0; s < RideSeconds; ++s) {
        const quint32 speed = 6000 + quint32(random.Below(4000)); // mm/s
        distanceCm += speed / 10;
        lat += random.Below(200) - 60;
        lon += random.Below(200) - 60;
        fit.Data(6, {t0 + quint32(s), quint64(quint32(qint32(lat))), quint64(quint32(qint32(lon))),
                     quint64(2500 + random.Below(1000)), quint64(120 + random.Below(50)), quint64(80 + random.Below(20)),
                     distanceCm, speed, quint64(150 + random.Below(150)), quint64(20)});
        if ((s + 1) % 3600 == 0) {
            const quint32 before = lapDistances.empty() ? 0 : lapDistances.back();
            fit.Lap(t0 + quint32(s + 1 - 3600), 2, 7, 3600000, 3600000, distanceCm - before);
            lapDistances.push_back(distanceCm);
        }
    }
    fit.Session(t0, 2, 7, RideSeconds * 1000, RideSeconds * 1000, distanceCm);
    fit.Activity(t0 + RideSeconds, t0 + RideSeconds + 3600);
    const QByteArray bytes = fit.File();
    Ride ride{QStringLiteral("%1/ride-%2.fit").arg(folder).arg(index, 4, 10, QLatin1Char('0')), start,
              distanceCm / 100.0};
    QFile file(ride.path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + ride.path.toStdString());
    return ride;
}

void ReadOurs(const std::vector<Ride>& rides)
{
    for (const Ride& ride : rides) {
        const DeviceFile file = DeviceFiles::Read(ride.path);
        if (!file.fault.isEmpty() || file.sessions.size() != 1 || file.sessions[0].start != ride.start
            || std::abs(file.sessions[0].distanceMetres - ride.distanceMetres) > 0.005
            || file.sessions[0].elapsedSeconds != RideSeconds || file.sessions[0].sport != u"cycling")
            throw std::runtime_error("the reader did not give the ride of " + ride.path.toStdString() + ": "
                                     + file.fault.toStdString());
    }
}

qint64 ReadRaw(const std::vector<Ride>& rides)
{
    qint64 bytes = 0;
    for (const Ride& ride : rides) {
        QFile file(ride.path);
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read " + ride.path.toStdString());
        const QByteArray content = file.readAll();
        if (content.size() < 14 || FitCrc::Of(content) != 0)
            throw std::runtime_error("wrong CRC in " + ride.path.toStdString());
        bytes += content.size();
    }
    return bytes;
}

void Gpsbabel(const QString& program, const std::vector<Ride>& rides, const QString& folder)
{
    for (const Ride& ride : rides) {
        QProcess process;
        process.start(program, {QStringLiteral("-i"), QStringLiteral("garmin_fit"), QStringLiteral("-f"), ride.path,
                                QStringLiteral("-o"), QStringLiteral("gpx"), QStringLiteral("-F"),
                                folder + QStringLiteral("/converted.gpx")});
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            throw std::runtime_error("gpsbabel failed on " + ride.path.toStdString() + ": "
                                     + process.readAllStandardError().toStdString());
    }
}

}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return Bench::Main(argc, argv, [&](qint64 count, const QTemporaryDir& dir) {
        if (argc < 2)
            count = 1000;
        std::vector<Ride> rides;
        const double writeMs = Bench::TimeMs([&] {
            for (int i = 0; i < count; ++i)
                rides.push_back(WriteRide(dir.path(), i));
        });
        std::printf("Wrote %lld FIT files of %d s of records each in %.0f ms\n", count, RideSeconds, writeMs);

        qint64 bytes = ReadRaw(rides); // warm-up: the files in the page cache, as just written
        ReadOurs(rides);
        std::vector<double> oursMs, rawMs;
        for (int run = 0; run < Runs; ++run) {
            rawMs.push_back(Bench::TimeMs([&] { bytes = ReadRaw(rides); }));
            oursMs.push_back(Bench::TimeMs([&] { ReadOurs(rides); }));
        }

        using Goal = Bench::Result::Goal;
        std::vector<Bench::Result> results{
            {"Read of every file (raw: read + CRC)", Runs, Bench::Median(oursMs), Bench::Median(rawMs),
             Goal::RatioAtMost, ReadGoal, "ms", "same sessions"},
            {"bytes read", 1, bytes / 1e6, {}, Goal::None, 0.0, "MB"}};

        const QString gpsbabel = QStandardPaths::findExecutable(QStringLiteral("gpsbabel"));
        std::string gpsbabelNote;
        if (gpsbabel.isEmpty()) {
            gpsbabelNote = "gpsbabel not installed: its comparison left out";
        } else {
            const std::vector<Ride> some(rides.begin(), rides.begin() + std::min<qsizetype>(GpsbabelFiles, count));
            const double files = double(some.size());
            std::vector<double> babelMs, oursSomeMs;
            for (int run = 0; run < GpsbabelRuns; ++run) {
                babelMs.push_back(Bench::TimeMs([&] { Gpsbabel(gpsbabel, some, dir.path()); }) / files);
                oursSomeMs.push_back(Bench::TimeMs([&] { ReadOurs(some); }) / files);
            }
            const double ours = Bench::Median(oursSomeMs), theirs = Bench::Median(babelMs);
            char note[96];
            std::snprintf(note, sizeof note, "we are %.0f times faster", theirs / ours);
            results.push_back({"  per file vs gpsbabel to GPX (raw: gpsbabel)", GpsbabelRuns, ours, theirs, Goal::None,
                               0.0, "ms", note});
        }
        Bench::PrintTable("GPS: " + std::to_string(count) + " FIT files of a 3-hour ride", results);
        if (!gpsbabelNote.empty())
            std::printf("%s\n", gpsbabelNote.c_str());
    });
}
