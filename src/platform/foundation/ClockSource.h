#pragma once

#include "platform/foundation/Date.h"

#include <cstdint>

namespace lq {

// The wall clock and the monotonic clock, replaceable as one in tests.
class ClockSource
{
public:
    virtual ~ClockSource() = default;

    virtual Date wallNow() const = 0;
    // Nanoseconds on a clock that never jumps (CLOCK_MONOTONIC).
    virtual uint64_t monotonicNanoseconds() const = 0;

    // The clock every caller reads; the system clocks unless a test installed another.
    static const ClockSource &current();
    // Installs a clock (nullptr restores the system clocks); answers the previous one.
    static const ClockSource *setCurrent(const ClockSource *clock);
};

class SystemClockSource final : public ClockSource
{
public:
    Date wallNow() const override;
    uint64_t monotonicNanoseconds() const override;
};

// A clock for tests: both readings move only when told to.
class ManualClockSource final : public ClockSource
{
public:
    Date wallNow() const override { return m_wall; }
    uint64_t monotonicNanoseconds() const override { return m_monotonic; }

    void setWallNow(Date date) { m_wall = date; }
    void setMonotonicNanoseconds(uint64_t nanoseconds) { m_monotonic = nanoseconds; }
    // Moves both clocks forward together, as real time passing does.
    void advance(double seconds);

private:
    Date m_wall{0.0};
    uint64_t m_monotonic = 1'000'000'000'000ULL;
};

} // namespace lq
