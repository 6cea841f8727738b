#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

namespace lq {

// The lines of a long paragraph, known from its layouts: each line's first character (in the
// paragraph) and height, from the first line on, as far as a layout went; the rest of the
// paragraph is estimated from the lines known. A text change keeps the lines before it and moves
// those after it, so that a new layout can stop breaking lines where its breaks agree with the
// old ones again.
class ParagraphLines
{
public:
    struct Line
    {
        int start = 0;
        double height = 0;
    };

    // The estimate before any line is known: lines of that height and number of characters.
    struct Estimate
    {
        double lineHeight = 0;
        double charactersPerLine = 1;
    };

    ParagraphLines(int length, Estimate estimate) : m_length(length), m_estimate(estimate) {}

    int length() const { return m_length; }
    // The lines known, from the first; those from staleFrom() on may differ in a new layout.
    const std::vector<Line> &lines() const { return m_lines; }
    int knownEnd() const { return m_knownEnd; }
    int staleFrom() const { return m_staleFrom; }
    // The paragraph's height: the known lines and an estimate of the rest.
    double height() const;
    double lineTop(int line) const { return m_tops[size_t(line)]; }
    // The known line at y within the paragraph (the last known one past them).
    int lineAt(double y) const;
    // The known line holding position (the last known one past them).
    int lineOf(int position) const;
    // The position that ends the line at height y (estimated past the known lines).
    int positionAt(double y) const;

    // A text change: removed characters at position replaced by added ones.
    void edit(int position, int removed, int added);

    // The first line a layout must lay out anew: the first stale one, else the first not known.
    int resumeLine() const { return std::min(m_staleFrom, int(m_lines.size())); }
    // Where a line starts (knownEnd() for the one after the last known).
    int lineStart(int line) const
    {
        return size_t(line) < m_lines.size() ? m_lines[size_t(line)].start : m_knownEnd;
    }

    // A new layout from a line (at most resumeLine()): begin(), then add() each line laid out in
    // order (with the position after it) until settled() once past what is needed, then finish().
    void begin(int fromLine);
    void add(Line line, int end);
    // Whether the lines known after those added stand as they are: the new breaks agree with
    // the old ones again, or nothing changed further on.
    bool settled() const;
    void finish(int laidOutEnd);
    // The span of heights in the paragraph that the last layout changed.
    double changedTop() const { return m_changedTop; }
    double changedBottom() const { return m_changedBottom; }

private:
    void updateTops();
    // The known lines' averages, or the estimate's without any.
    Estimate average() const;

    int m_length;
    Estimate m_estimate;
    std::vector<Line> m_lines;
    std::vector<double> m_tops{0.0}; // the top of each known line, and the end of the last
    int m_knownEnd = 0;
    int m_staleFrom = 0;
    // Old lines from this index on were moved by the changes and may agree with new ones.
    std::optional<size_t> m_movedFrom;
    // While a layout runs: the new lines, and where the old ones agreed.
    std::vector<Line> m_fresh;
    std::optional<size_t> m_agreedAt;
    double m_changedTop = 0;
    double m_changedBottom = 0;
};

} // namespace lq
