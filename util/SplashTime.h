#pragma once

#include <QtGlobal>

#include <functional>

// How long the splash screen still has to stay up: at least the minimum time
// since it was shown, so a quick start still shows it, while a slow start
// keeps it until the main window is built.
class SplashTime
{
public:
    static constexpr qint64 MinimumMs = 3000;
    // Milliseconds from any fixed point, never going back.
    using Clock = std::function<qint64()>;

    explicit SplashTime(Clock clock = SteadyClock(), qint64 minimumMs = MinimumMs);

    static Clock SteadyClock();

    // The splash has just been painted.
    void Start();
    // 0 once the minimum has passed since Start().
    qint64 RemainingMs() const;

private:
    Clock m_clock;
    qint64 m_minimumMs;
    qint64 m_start = 0;
};
