#pragma once

#include <QDateTime>
#include <QString>

namespace lq {

// Formats a moment with the % codes of a calendar-date format, in English names:
// %% %a %A %b %B %c %d %e %F (milliseconds) %H %I %j %m %M %p %S %w %x %X %y %Y %Z %z.
// Unknown codes are copied as they stand.
QString formatCalendarDate(const QString &format, const QDateTime &moment);

} // namespace lq
