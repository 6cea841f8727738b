#pragma once

#include "platform/text/TextRange.h"

#include <QChar>

#include <functional>
#include <optional>
#include <vector>

// The rules of the playback underline, over a text read one character at a time.
namespace playback_underline {

using CharacterAt = std::function<QChar(qsizetype)>;

// Whitespace and line ends end a word.
bool isBreak(QChar c);

// The word around position: from one past the nearest break at or before it (or 0) to the first
// break at or after it (or the end). On a break, the empty range just after it.
lq::TextRange wordForChar(const CharacterAt &characterAt, qsizetype length, qsizetype position);

// What a highlight at index underlines: index alone, or with wholeWord the word that ends at or
// before index (from its start to its last character at or before index). Nothing when that
// would start on a break, or when no word lies at or before index.
std::optional<lq::TextRange> rangeToUnderline(const CharacterAt &characterAt, qsizetype length,
                                              qsizetype index, bool wholeWord);

// Moves underlined positions over a replacement of range by replacementLength characters: those
// before it stay, those after it move with the text, those inside it are dropped.
void shiftPositions(std::vector<qsizetype> &positions, lq::TextRange range,
                    qsizetype replacementLength);

} // namespace playback_underline
