#include "document/InformationBar.h"

#include <QCoreApplication>
#include <QLabel>
#include <QRegularExpression>

#include <cmath>

namespace information_bar {

QString longDate(const QDate &date, const QLocale &locale)
{
    // The weekday and the separator after (or before) it go.
    static const QRegularExpression weekday(QStringLiteral("^d{4}[,.\\s]*|[,\\s]*d{4}"));
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(weekday);
    return locale.toString(date, format.trimmed());
}

QString notesDateText(const std::optional<QDate> &recordingBegan, const QDate &today,
                      const QLocale &locale)
{
    if (recordingBegan)
        return QCoreApplication::translate("MyDocument", "Notes from %1")
            .arg(longDate(*recordingBegan, locale));
    return QCoreApplication::translate("MyDocument", "Today is %1").arg(longDate(today, locale));
}

QString charactersText(qsizetype length)
{
    return QCoreApplication::translate("MyDocument", "Characters: %1").arg(length);
}

QString duration(double seconds)
{
    const auto whole = static_cast<long long>(std::floor(std::max(seconds, 0.0)));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(whole % 60, 2, 10, QLatin1Char('0'));
}

QString recordedText(double seconds)
{
    return QCoreApplication::translate("MyDocument", "Recorded: %1").arg(duration(seconds));
}

void positionPrecedingField(const QLabel *preceding, QLabel *image, QLabel *field)
{
    const int textWidth = preceding->fontMetrics().horizontalAdvance(preceding->text());
    image->move(preceding->x() + textWidth + 20, image->y());
    field->move(image->x() + image->width() - 1, field->y());
}

} // namespace information_bar
