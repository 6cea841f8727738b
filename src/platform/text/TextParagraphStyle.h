#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace lq {

// The paragraph style of the notes: text lists (their marker formats such as "{disc}", outermost
// first; the markers themselves are literal characters of the text), head indent, left tab stops
// and alignment, in points.
struct TextParagraphStyle
{
    enum class Alignment { Natural, Left, Right, Center, Justified };

    QStringList textLists;
    double headIndent = 0.0;
    QList<double> tabStops;
    Alignment alignment = Alignment::Natural;

    // The style a paragraph has by default: left tab stops every 28 points up to 336.
    static TextParagraphStyle defaultStyle();

    friend bool operator==(const TextParagraphStyle &a, const TextParagraphStyle &b);
};

} // namespace lq
