#include "platform/text/TextParagraphStyle.h"

namespace lq {

TextParagraphStyle TextParagraphStyle::defaultStyle()
{
    TextParagraphStyle style;
    for (int stop = 1; stop <= 12; ++stop)
        style.tabStops.append(28.0 * stop);
    return style;
}

} // namespace lq
