#include "platform/text/TextAttributes.h"

namespace lq {

namespace {

template <class T>
void take(std::optional<T> &value, const std::optional<T> &other)
{
    if (other)
        value = other;
}

} // namespace

void TextAttributes::add(const TextAttributes &other)
{
    take(font, other.font);
    take(foregroundColor, other.foregroundColor);
    take(backgroundColor, other.backgroundColor);
    take(underlineStyle, other.underlineStyle);
    take(underlineColor, other.underlineColor);
    take(link, other.link);
    take(paragraphStyle, other.paragraphStyle);
    take(attachment, other.attachment);
}

void TextAttributes::remove(Keys keys)
{
    if (keys & Font)
        font.reset();
    if (keys & ForegroundColor)
        foregroundColor.reset();
    if (keys & BackgroundColor)
        backgroundColor.reset();
    if (keys & UnderlineStyle)
        underlineStyle.reset();
    if (keys & UnderlineColor)
        underlineColor.reset();
    if (keys & Link)
        link.reset();
    if (keys & ParagraphStyle)
        paragraphStyle.reset();
    if (keys & Attachment)
        attachment.reset();
}

} // namespace lq
