#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

#include <optional>

class QLabel;

// The texts and placement of the information bar at the foot of a note's window.
namespace information_bar {

// The locale's long date without the weekday ("December 9, 2026" in English).
QString longDate(const QDate &date, const QLocale &locale);
// "Notes from <day>" for the day the recording began, "Today is <day>" without a recording.
QString notesDateText(const std::optional<QDate> &recordingBegan, const QDate &today,
                      const QLocale &locale);
QString charactersText(qsizetype length);
// "H:mm:ss" (hours not wrapped at a day); whole seconds, the rest dropped.
QString duration(double seconds);
// "Recorded: H:mm:ss".
QString recordedText(double seconds);

// Puts image after preceding's text (20 points after it) and field after image (overlapping it
// by one point); only the x positions change.
void positionPrecedingField(const QLabel *preceding, QLabel *image, QLabel *field);

} // namespace information_bar
