#include "gps/TrackMeasure.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace TrackMeasure {

namespace {

constexpr double EarthRadiusMetres = 6371008.8;

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

double Seconds(const QDateTime& from, const QDateTime& to) { return double(from.msecsTo(to)) / 1000.0; }

// Each point replaced by the mean of the points within SmoothingMSecs of it.
// A standing device's white noise shrinks by the square root of the points
// averaged (five at one a second), while a ride's curves, a few metres of
// arc either side, keep their length. Sparse recordings are left as they are.
Segment Smoothed(const Segment& points)
{
    Segment smoothed;
    smoothed.reserve(points.size());
    size_t first = 0, last = 0; // the window [first, last)
    for (const Point& point : points) {
        while (points[first].time.msecsTo(point.time) > SmoothingMSecs)
            ++first;
        while (last < points.size() && point.time.msecsTo(points[last].time) <= SmoothingMSecs)
            ++last;
        double latitude = 0, longitudeOffset = 0;
        for (size_t i = first; i < last; ++i) {
            latitude += points[i].latitude;
            // Offsets from this point, so that a track across the 180th meridian averages near it.
            longitudeOffset += std::remainder(points[i].longitude - point.longitude, 360.0);
        }
        const double count = double(last - first);
        smoothed.push_back({point.time, latitude / count,
                            std::remainder(point.longitude + longitudeOffset / count, 360.0)});
    }
    return smoothed;
}

} // namespace

double GreatCircleMetres(double latitude1, double longitude1, double latitude2, double longitude2)
{
    const double halfLatitude = std::sin(Radians(latitude2 - latitude1) / 2);
    const double halfLongitude = std::sin(Radians(longitude2 - longitude1) / 2);
    const double a = halfLatitude * halfLatitude
                     + std::cos(Radians(latitude1)) * std::cos(Radians(latitude2)) * halfLongitude * halfLongitude;
    return 2 * EarthRadiusMetres * std::asin(std::min(1.0, std::sqrt(a)));
}

std::optional<Figures> Measure(std::vector<Segment> segments)
{
    std::erase_if(segments, [](const Segment& segment) { return segment.empty(); });
    if (segments.empty())
        return std::nullopt;
    const auto earlier = [](const Point& a, const Point& b) { return a.time < b.time; };
    for (Segment& segment : segments)
        std::stable_sort(segment.begin(), segment.end(), earlier);
    std::stable_sort(segments.begin(), segments.end(),
                     [](const Segment& a, const Segment& b) { return a.front().time < b.front().time; });

    Figures figures;
    figures.start = segments.front().front().time;
    QDateTime end = figures.start;
    for (const Segment& segment : segments) {
        end = std::max(end, segment.back().time);
        // A point counts once it lies StepMetres from the last counted one:
        // the distance runs from counted point to counted point, and the time
        // between them is moving time when the progress is fast enough. A
        // stop, however long, is one slow step; jitter never makes a step.
        const Segment points = Smoothed(segment);
        const Point* counted = &points.front();
        for (const Point& point : points) {
            const double metres =
                GreatCircleMetres(counted->latitude, counted->longitude, point.latitude, point.longitude);
            if (metres <= StepMetres)
                continue;
            const double seconds = Seconds(counted->time, point.time);
            figures.distanceMetres += metres;
            if (metres >= MovingMetresPerSecond * seconds)
                figures.movingSeconds += seconds;
            counted = &point;
        }
    }
    figures.elapsedSeconds = Seconds(figures.start, end);
    // Segments recorded over one another cannot move for longer than the whole.
    figures.movingSeconds = std::min(figures.movingSeconds, figures.elapsedSeconds);
    return figures;
}

} // namespace TrackMeasure
