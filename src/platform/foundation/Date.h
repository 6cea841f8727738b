#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

namespace lq {

// A calendar moment as seconds since 2001-01-01 00:00:00 UTC, with sub-millisecond precision.
class Date
{
public:
    constexpr Date() = default;
    constexpr explicit Date(double secondsSinceReferenceDate) : m_seconds(secondsSinceReferenceDate)
    {}

    static Date now(); // the wall clock of the current ClockSource
    static Date fromQDateTime(const QDateTime &dateTime);
    static Date fromSecondsSince1970(double seconds);

    constexpr double secondsSinceReferenceDate() const { return m_seconds; }
    double secondsSince1970() const;
    QDateTime toQDateTime() const;

    constexpr Date addingTimeInterval(double seconds) const { return Date(m_seconds + seconds); }
    constexpr double timeIntervalSince(Date other) const { return m_seconds - other.m_seconds; }

    QString description() const; // "2001-01-01 00:00:00 +0000"

    friend constexpr bool operator==(Date, Date) = default;
    friend constexpr auto operator<=>(Date, Date) = default;

private:
    double m_seconds = 0.0;
};

// Seconds between 1970-01-01 and 2001-01-01 (UTC).
inline constexpr double kSecondsFrom1970To2001 = 978307200.0;

// Every shown time counts from 2008-01-01 00:00:00 in the local time zone.
Date clockEpoch();

// "H:mm:ss" for a date counted from the clock epoch; "-H:mm:ss" when remaining is true.
QString formatClockTime(Date date, bool remaining = false);

} // namespace lq

Q_DECLARE_METATYPE(lq::Date)
