#pragma once

#include "platform/text/AttributedRuns.h"
#include "platform/text/TextAttributes.h"

namespace lq {

// A copy of rich text as a value: for copies, archives, the pasteboard and the exporters. The
// live text is TextStorage.
using AttributedString = AttributedRuns<TextAttributes>;

// Gives every part of range the values that attributes has.
void addAttributes(AttributedString &string, TextRange range, const TextAttributes &attributes);
void removeAttributes(AttributedString &string, TextRange range, TextAttributes::Keys keys);

} // namespace lq
