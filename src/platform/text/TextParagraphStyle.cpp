#include "platform/text/TextParagraphStyle.h"

#include <algorithm>

namespace lq {

TextParagraphStyle TextParagraphStyle::defaultStyle()
{
    TextParagraphStyle style;
    for (int stop = 1; stop <= 12; ++stop)
        style.tabStops.append(28.0 * stop);
    return style;
}

bool operator==(const TextParagraphStyle &a, const TextParagraphStyle &b)
{
    // Element by element: Qt 6.4 compares lists of numbers with memcmp, which may be handed the
    // null data of an empty list.
    return a.textLists == b.textLists && a.headIndent == b.headIndent &&
           std::equal(a.tabStops.begin(), a.tabStops.end(), b.tabStops.begin(), b.tabStops.end()) &&
           a.alignment == b.alignment;
}

} // namespace lq
