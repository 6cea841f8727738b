#include "platform/foundation/Date.h"

#include "platform/foundation/ClockSource.h"

#include <algorithm>
#include <cmath>

namespace lq {

Date Date::now()
{
    return ClockSource::current().wallNow();
}

Date Date::fromQDateTime(const QDateTime &dateTime)
{
    return fromSecondsSince1970(static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0);
}

Date Date::fromSecondsSince1970(double seconds)
{
    return Date(seconds - kSecondsFrom1970To2001);
}

double Date::secondsSince1970() const
{
    return m_seconds + kSecondsFrom1970To2001;
}

QDateTime Date::toQDateTime() const
{
    return QDateTime::fromMSecsSinceEpoch(
        static_cast<qint64>(std::llround(secondsSince1970() * 1000.0)), Qt::UTC);
}

QString Date::description() const
{
    return toQDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
}

Date clockEpoch()
{
    return Date::fromQDateTime(QDateTime(QDate(2008, 1, 1), QTime(0, 0), Qt::LocalTime));
}

QString formatClockTime(Date date, bool remaining)
{
    // Counted from the epoch rather than read as a time of day, so that hours go on past a day
    // and a date before the epoch shows as zero instead of the evening before.
    const qint64 milliseconds = std::llround(date.timeIntervalSince(clockEpoch()) * 1000.0);
    const qint64 seconds = std::max<qint64>(milliseconds, 0) / 1000;
    const QLatin1Char zero('0');
    const QString text = QStringLiteral("%1:%2:%3")
                             .arg(seconds / 3600)
                             .arg(seconds / 60 % 60, 2, 10, zero)
                             .arg(seconds % 60, 2, 10, zero);
    return remaining ? QLatin1Char('-') + text : text;
}

} // namespace lq
