#pragma once

#include "platform/text/TextParagraphStyle.h"

#include <QString>

#include <optional>

namespace lq::text_lists {

// The marker formats of the notes' lists: a bullet, or the item number and a full stop.
inline const QString kBulletFormat = QStringLiteral("{disc}");
inline const QString kNumberFormat = QStringLiteral("{decimal}.");

// The marker of item number (counted from 1) in a list of that format: "{disc}" gives U+2022,
// "{decimal}." gives "1.", "2.", ...; any text around the placeholder is kept.
QString markerForItemNumber(const QString &format, int number);

// The style of a paragraph made a list item of one list: its style (or the default one) with the
// first tab stop replaced by stops at 11 and 36 points, a head indent of 36 points and that list.
TextParagraphStyle listItemStyle(const std::optional<TextParagraphStyle> &style,
                                 const QString &format);
// The style of a list item taken out of its list: the two stops the list added give way to the
// default first stop again, and the hanging indent goes. The stops that exist are all that is
// taken off.
TextParagraphStyle styleOutsideList(const TextParagraphStyle &style);

} // namespace lq::text_lists
