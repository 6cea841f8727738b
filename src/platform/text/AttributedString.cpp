#include "platform/text/AttributedString.h"

namespace lq {

void addAttributes(AttributedString &string, TextRange range, const TextAttributes &attributes)
{
    string.modify(range, [&](TextAttributes &run) { run.add(attributes); });
}

void removeAttributes(AttributedString &string, TextRange range, TextAttributes::Keys keys)
{
    string.modify(range, [&](TextAttributes &run) { run.remove(keys); });
}

} // namespace lq
