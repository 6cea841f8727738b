#pragma once

#include "platform/text/TextAttachment.h"
#include "platform/text/TextColor.h"
#include "platform/text/TextFont.h"
#include "platform/text/TextParagraphStyle.h"

#include <QFlags>

#include <cstdint>
#include <optional>

namespace lq {

// The attributes of a run of text; an absent value means the run does not have it.
struct TextAttributes
{
    enum Key {
        Font = 0x1,
        ForegroundColor = 0x2,
        BackgroundColor = 0x4,
        UnderlineStyle = 0x8,
        UnderlineColor = 0x10,
        Link = 0x20,
        ParagraphStyle = 0x40,
        Attachment = 0x80,
    };
    Q_DECLARE_FLAGS(Keys, Key)

    std::optional<TextFont> font;
    std::optional<TextColor> foregroundColor;
    std::optional<TextColor> backgroundColor;
    // The underline style number as it is stored (1 single, 2 thick, 9 double, pattern bits
    // 0x100 to 0x400, 0x8000 by word); kept verbatim, mapped to a Qt style only for display.
    std::optional<int64_t> underlineStyle;
    std::optional<TextColor> underlineColor;
    std::optional<QString> link;
    std::optional<TextParagraphStyle> paragraphStyle;
    std::optional<TextAttachment> attachment;

    bool isEmpty() const { return *this == TextAttributes(); }
    // Takes every value that other has.
    void add(const TextAttributes &other);
    void remove(Keys keys);

    friend bool operator==(const TextAttributes &, const TextAttributes &) = default;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TextAttributes::Keys)

} // namespace lq
