#pragma once

#include <QDateTime>

#include <optional>
#include <vector>

// A track's figures from its timed points, for the files that record points
// but no totals (GPX).
namespace TrackMeasure {

struct Point
{
    QDateTime time; // UTC
    double latitude = 0;
    double longitude = 0;
};
using Segment = std::vector<Point>;

struct Figures
{
    QDateTime start;
    double elapsedSeconds = 0;
    double movingSeconds = 0;
    double distanceMetres = 0;
};

// Beyond this the device is taken to have moved; nearer, it is jitter.
inline constexpr double StepMetres = 10.0;
// Points this close in time are averaged before the steps are taken.
inline constexpr qint64 SmoothingMSecs = 2000;
// Progress slower than this between counted points is a stop.
inline constexpr double MovingMetresPerSecond = 1.0;

double GreatCircleMetres(double latitude1, double longitude1, double latitude2, double longitude2);

// Every segment's points, in any order; a segment break carries neither
// distance nor moving time. Nothing when no segment has a point.
std::optional<Figures> Measure(std::vector<Segment> segments);

} // namespace TrackMeasure
