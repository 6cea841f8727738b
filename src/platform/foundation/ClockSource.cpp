#include "platform/foundation/ClockSource.h"

#include "platform/foundation/ReplaceableService.h"

#include <chrono>
#include <cmath>

namespace lq {
namespace {

const SystemClockSource &systemClock()
{
    static const SystemClockSource clock;
    return clock;
}

ReplaceableService<const ClockSource> installedClock;

} // namespace

const ClockSource &ClockSource::current()
{
    return installedClock.current(systemClock());
}

const ClockSource *ClockSource::setCurrent(const ClockSource *clock)
{
    return installedClock.install(clock);
}

Date SystemClockSource::wallNow() const
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const double seconds = std::chrono::duration<double>(sinceEpoch).count();
    return Date::fromSecondsSince1970(seconds);
}

uint64_t SystemClockSource::monotonicNanoseconds() const
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(sinceStart).count());
}

void ManualClockSource::advance(double seconds)
{
    m_wall = m_wall.addingTimeInterval(seconds);
    const auto nanoseconds = static_cast<int64_t>(std::llround(seconds * 1e9));
    m_monotonic = static_cast<uint64_t>(static_cast<int64_t>(m_monotonic) + nanoseconds);
}

} // namespace lq
