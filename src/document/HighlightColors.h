#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>

#include <optional>

namespace lq {
class UserDefaults;
}

// The highlighter's recent colours, most recent first, kept in the user defaults under
// "highlightColorDefaults" (shared by every window) as a list of data items, one colour each.
// The list has no length limit; the picker shows its first five.
namespace highlight_colors {

inline constexpr char kDefaultsKey[] = "highlightColorDefaults";

// Yellow, cyan, orange, green and red, in this order.
const QList<QColor> &defaultColors();

// The stored colours in stored order, then the default colours equal to none of them. An item
// that does not decode is skipped.
QList<QColor> workingList(const lq::UserDefaults &defaults);
void store(lq::UserDefaults &defaults, const QList<QColor> &colors);
// Back to the default colours.
void reset(lq::UserDefaults &defaults);

// One item: the colour exactly (its colour model and components).
QByteArray encode(const QColor &color);
std::optional<QColor> decode(const QByteArray &item);

} // namespace highlight_colors
