#include "document/PlaybackUnderline.h"

#include <algorithm>

namespace playback_underline {

bool isBreak(QChar c)
{
    return c.isSpace();
}

lq::TextRange wordForChar(const CharacterAt &characterAt, qsizetype length, qsizetype position)
{
    position = std::clamp<qsizetype>(position, 0, length);
    if (position < length && isBreak(characterAt(position)))
        return {position + 1, 0};
    qsizetype start = position;
    while (start > 0 && !isBreak(characterAt(start - 1)))
        --start;
    qsizetype end = position;
    while (end < length && !isBreak(characterAt(end)))
        ++end;
    return {start, end - start};
}

std::optional<lq::TextRange> rangeToUnderline(const CharacterAt &characterAt, qsizetype length,
                                              qsizetype index, bool wholeWord)
{
    if (index < 0 || index >= length)
        return std::nullopt;
    if (!wholeWord)
        return isBreak(characterAt(index)) ? std::nullopt
                                           : std::optional<lq::TextRange>({index, 1});
    qsizetype last = index;
    while (last >= 0 && isBreak(characterAt(last)))
        --last;
    if (last < 0)
        return std::nullopt;
    qsizetype first = last;
    while (first > 0 && !isBreak(characterAt(first - 1)))
        --first;
    return lq::TextRange{first, last - first + 1};
}

void shiftPositions(std::vector<qsizetype> &positions, lq::TextRange range,
                    qsizetype replacementLength)
{
    std::vector<qsizetype> moved;
    moved.reserve(positions.size());
    for (const qsizetype position : positions) {
        if (position < range.location)
            moved.push_back(position);
        else if (position >= range.end())
            moved.push_back(position + replacementLength - range.length);
    }
    positions = std::move(moved);
}

} // namespace playback_underline
