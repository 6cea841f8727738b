#pragma once

#include "platform/foundation/Date.h"

#include <QString>

#include <cstdint>

// A wall-clock date that also keeps the monotonic clock reading of its making, so that the
// time elapsed since then does not jump when the system clock is changed. Both readings come
// from lq::ClockSource::current(); monotonic readings are nanoseconds.
class ConsistentDate
{
public:
    // Now, on both clocks.
    static ConsistentDate now();
    // The given wall-clock date, with the monotonic reading of now: elapsed() counts from this
    // call, not from the given date.
    static ConsistentDate dateWithDate(lq::Date date);

    lq::Date date() const { return m_date; }
    void setDate(lq::Date date) { m_date = date; }
    uint64_t absTime() const { return m_absTime; }
    void setAbsTime(uint64_t nanoseconds) { m_absTime = nanoseconds; }

    // Seconds since the monotonic reading; negative for a reading still ahead.
    double elapsed() const;
    // Now, as seen from this date on the monotonic clock.
    ConsistentDate elapsedDate() const;
    // Both readings moved by seconds (whole nanoseconds on the monotonic clock).
    ConsistentDate addTimeInterval(double seconds) const;
    lq::Date dateByAddingTimeInterval(double seconds) const;
    // Compares the wall-clock dates only.
    double timeIntervalSinceDate(const ConsistentDate &other) const;
    QString description() const;

private:
    ConsistentDate(lq::Date date, uint64_t absTime) : m_date(date), m_absTime(absTime) {}

    lq::Date m_date;
    uint64_t m_absTime = 0;
};
