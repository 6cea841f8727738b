#pragma once

#include <QtGlobal>

namespace lq {

// A range of UTF-16 positions of a text: paragraph ends count as one character, attachments are
// U+FFFC.
struct TextRange
{
    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }
    bool contains(qsizetype index) const { return index >= location && index < end(); }
    friend bool operator==(const TextRange &, const TextRange &) = default;
};

} // namespace lq
