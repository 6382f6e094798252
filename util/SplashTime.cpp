#include "util/SplashTime.h"

#include <algorithm>
#include <chrono>

SplashTime::SplashTime(Clock clock, qint64 minimumMs)
    : m_clock(std::move(clock)), m_minimumMs(minimumMs)
{
}

SplashTime::Clock SplashTime::SteadyClock()
{
    return [] {
        using namespace std::chrono;
        return qint64(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
}

void SplashTime::Start()
{
    m_start = m_clock();
}

qint64 SplashTime::RemainingMs() const
{
    return std::clamp<qint64>(m_minimumMs - (m_clock() - m_start), 0, m_minimumMs);
}
