#include "preferences/CalendarDateFormat.h"

#include <QLocale>
#include <QTimeZone>

namespace lq {
namespace {

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString zoneOffset(const QDateTime &moment)
{
    const int seconds = moment.offsetFromUtc();
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("%1%2%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(twoDigits(minutes / 60), twoDigits(minutes % 60));
}

// The expansion of one code; empty when the code is unknown.
QString expand(QChar code, const QDateTime &moment)
{
    const QLocale english = QLocale::c();
    const QDate date = moment.date();
    const QTime time = moment.time();
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    switch (code.unicode()) {
    case '%':
        return QStringLiteral("%");
    case 'a':
        return english.dayName(date.dayOfWeek(), QLocale::ShortFormat);
    case 'A':
        return english.dayName(date.dayOfWeek(), QLocale::LongFormat);
    case 'b':
        return english.monthName(date.month(), QLocale::ShortFormat);
    case 'B':
        return english.monthName(date.month(), QLocale::LongFormat);
    case 'c':
        return expand(u'X', moment) + QLatin1Char(' ') + expand(u'x', moment);
    case 'd':
        return twoDigits(date.day());
    case 'e':
        return QString::number(date.day());
    case 'F':
        return QStringLiteral("%1").arg(time.msec(), 3, 10, QLatin1Char('0'));
    case 'H':
        return twoDigits(time.hour());
    case 'I':
        return twoDigits(hour12);
    case 'j':
        return QStringLiteral("%1").arg(date.dayOfYear(), 3, 10, QLatin1Char('0'));
    case 'm':
        return twoDigits(date.month());
    case 'M':
        return twoDigits(time.minute());
    case 'p':
        return time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
    case 'S':
        return twoDigits(time.second());
    case 'w':
        return QString::number(date.dayOfWeek() % 7);
    case 'x':
        return expand(u'm', moment) + QLatin1Char('/') + expand(u'd', moment) + QLatin1Char('/') +
               expand(u'y', moment);
    case 'X':
        return expand(u'H', moment) + QLatin1Char(':') + expand(u'M', moment) + QLatin1Char(':') +
               expand(u'S', moment);
    case 'y':
        return twoDigits(date.year() % 100);
    case 'Y':
        return QString::number(date.year());
    case 'Z':
        return moment.timeZoneAbbreviation();
    case 'z':
        return zoneOffset(moment);
    default:
        return {};
    }
}

} // namespace

QString formatCalendarDate(const QString &format, const QDateTime &moment)
{
    QString result = QStringLiteral(""); // an empty format gives an empty name, not none
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != QLatin1Char('%') || i + 1 == format.size()) {
            result += format[i];
            continue;
        }
        const QString expanded = expand(format[i + 1], moment);
        if (expanded.isEmpty())
            result += format.mid(i, 2);
        else
            result += expanded;
        ++i;
    }
    return result;
}

} // namespace lq
