#include "model/ConsistentDate.h"

#include "platform/foundation/ClockSource.h"

#include <cmath>
#include <limits>

namespace {

// |seconds| as whole nanoseconds; a magnitude beyond the clock's range is held at its end.
uint64_t wholeNanoseconds(double seconds)
{
    const double magnitude = std::fabs(seconds) * 1e9;
    if (std::isnan(magnitude))
        return 0;
    constexpr auto kMaximum = static_cast<double>(std::numeric_limits<int64_t>::max());
    if (magnitude >= kMaximum)
        return static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    return static_cast<uint64_t>(magnitude);
}

} // namespace

ConsistentDate ConsistentDate::now()
{
    const lq::ClockSource &clock = lq::ClockSource::current();
    return ConsistentDate(clock.wallNow(), clock.monotonicNanoseconds());
}

ConsistentDate ConsistentDate::dateWithDate(lq::Date date)
{
    ConsistentDate result = now();
    result.m_date = date;
    return result;
}

double ConsistentDate::elapsed() const
{
    // Unsigned subtraction wraps; read as signed it is the difference either way round.
    const uint64_t current = lq::ClockSource::current().monotonicNanoseconds();
    const auto nanoseconds = static_cast<int64_t>(current - m_absTime);
    return static_cast<double>(nanoseconds) * 1e-9;
}

ConsistentDate ConsistentDate::elapsedDate() const
{
    return addTimeInterval(elapsed());
}

ConsistentDate ConsistentDate::addTimeInterval(double seconds) const
{
    const uint64_t nanoseconds = wholeNanoseconds(seconds);
    const uint64_t absTime = seconds < 0 ? m_absTime - nanoseconds : m_absTime + nanoseconds;
    return ConsistentDate(m_date.addingTimeInterval(seconds), absTime);
}

lq::Date ConsistentDate::dateByAddingTimeInterval(double seconds) const
{
    return m_date.addingTimeInterval(seconds);
}

double ConsistentDate::timeIntervalSinceDate(const ConsistentDate &other) const
{
    return m_date.timeIntervalSince(other.m_date);
}

QString ConsistentDate::description() const
{
    return m_date.description();
}
