#pragma once

#include <QString>
#include <QTextDocument>

#include <algorithm>

namespace lq {

// The document's characters from one position to another, read where they are: for a few
// characters of a long paragraph, without copying the paragraph.
inline QString documentCharacters(const QTextDocument &document, int from, int to)
{
    QString characters(std::max(0, to - from), Qt::Uninitialized);
    for (int i = from; i < to; ++i)
        characters[i - from] = document.characterAt(i);
    return characters;
}

} // namespace lq
