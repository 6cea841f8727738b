#include "platform/text/ParagraphLines.h"

#include <algorithm>
#include <cmath>

namespace lq {

ParagraphLines::Estimate ParagraphLines::average() const
{
    if (m_lines.empty() || m_knownEnd <= 0)
        return m_estimate;
    const double count = double(m_lines.size());
    return {m_tops.back() / count, double(m_knownEnd) / count};
}

double ParagraphLines::height() const
{
    const double known = m_tops.empty() ? 0.0 : m_tops.back();
    const int rest = m_length - m_knownEnd;
    if (rest <= 0)
        return known;
    const Estimate estimate = average();
    return known + std::ceil(double(rest) / estimate.charactersPerLine) * estimate.lineHeight;
}

int ParagraphLines::positionAt(double y) const
{
    const double known = m_tops.empty() ? 0.0 : m_tops.back();
    if (y < known) {
        const size_t line = size_t(lineAt(y)) + 1;
        return line < m_lines.size() ? m_lines[line].start : m_knownEnd;
    }
    const Estimate estimate = average();
    const double lines = std::floor((y - known) / std::max(estimate.lineHeight, 1.0)) + 1;
    return int(std::min(double(m_length), m_knownEnd + lines * estimate.charactersPerLine));
}

int ParagraphLines::lineAt(double y) const
{
    if (m_lines.empty())
        return -1;
    const auto after = std::upper_bound(m_tops.begin(), m_tops.end() - 1, y);
    return std::max(0, int(after - m_tops.begin()) - 1);
}

int ParagraphLines::lineOf(int position) const
{
    const auto after = std::upper_bound(m_lines.begin(), m_lines.end(), position,
                                        [](int p, const Line &line) { return p < line.start; });
    return std::max(0, int(after - m_lines.begin()) - 1);
}

void ParagraphLines::edit(int position, int removed, int added)
{
    const int delta = added - removed;
    m_length += delta;
    if (size_t(m_staleFrom) < m_lines.size()) {
        // A change before the last was laid out: the lines from the first stale one are dropped
        // (its start lies before both changes).
        m_knownEnd = std::min(m_knownEnd, m_lines[size_t(m_staleFrom)].start);
        m_lines.resize(size_t(m_staleFrom));
        m_movedFrom.reset();
        updateTops();
    }
    if (m_lines.empty()) {
        m_knownEnd = 0;
        return;
    }
    // The line before the changed one may break differently too (a word joined or split).
    const int changed = lineOf(position);
    m_staleFrom = std::min(m_staleFrom, std::max(0, changed - 1));
    if (position >= m_knownEnd) {
        m_movedFrom.reset();
        return;
    }
    // Lines whose text lies wholly after the change keep their breaks if they keep their start.
    const auto moved =
        std::lower_bound(m_lines.begin() + changed, m_lines.end(), position + removed,
                         [](const Line &line, int p) { return line.start < p; });
    for (auto line = moved; line != m_lines.end(); ++line)
        line->start += delta;
    const size_t movedFrom = size_t(moved - m_lines.begin());
    if (m_knownEnd >= position + removed) {
        m_knownEnd += delta;
        m_movedFrom = std::max(movedFrom, m_movedFrom.value_or(0));
        if (*m_movedFrom >= m_lines.size())
            m_movedFrom.reset();
    } else {
        m_knownEnd = position;
        m_movedFrom.reset();
    }
}

void ParagraphLines::begin(int fromLine)
{
    m_fresh.assign(m_lines.begin(),
                   m_lines.begin() + std::clamp<std::ptrdiff_t>(fromLine, 0, resumeLine()));
    m_agreedAt.reset();
}

void ParagraphLines::add(Line line, int end)
{
    m_fresh.push_back(line);
    if (m_fresh.size() <= size_t(m_staleFrom) || !m_movedFrom || m_agreedAt)
        return;
    const auto found =
        std::lower_bound(m_lines.begin() + std::ptrdiff_t(*m_movedFrom), m_lines.end(), end,
                         [](const Line &old, int p) { return old.start < p; });
    if (found != m_lines.end() && found->start == end)
        m_agreedAt = size_t(found - m_lines.begin());
}

bool ParagraphLines::settled() const
{
    if (m_fresh.size() <= size_t(m_staleFrom))
        return size_t(m_staleFrom) >= m_lines.size();
    return m_agreedAt || !m_movedFrom;
}

void ParagraphLines::finish(int laidOutEnd)
{
    const size_t firstChanged = std::min(size_t(m_staleFrom), m_fresh.size());
    const size_t freshLines = m_fresh.size();
    std::vector<Line> lines = std::move(m_fresh);
    bool agreed = false;
    if (m_agreedAt) {
        // The new lines may go on past where they agreed: the old ones stand from their end.
        const auto from =
            std::lower_bound(m_lines.begin() + std::ptrdiff_t(*m_agreedAt), m_lines.end(),
                             laidOutEnd, [](const Line &old, int p) { return old.start < p; });
        agreed = from != m_lines.end() && from->start == laidOutEnd;
        if (agreed)
            lines.insert(lines.end(), from, m_lines.end());
    } else if (size_t(m_staleFrom) >= m_lines.size() && lines.size() < m_lines.size()) {
        // Laid out less far than before, nothing changed: the old lines further on stand.
        lines.insert(lines.end(), m_lines.begin() + std::ptrdiff_t(lines.size()), m_lines.end());
        laidOutEnd = m_knownEnd;
    }
    if (!agreed)
        m_knownEnd = laidOutEnd;
    m_lines = std::move(lines);
    m_staleFrom = int(m_lines.size());
    m_movedFrom.reset();
    m_agreedAt.reset();
    updateTops();
    m_changedTop = m_tops[std::min(firstChanged, m_lines.size())];
    m_changedBottom = agreed ? m_tops[freshLines] : height();
}

void ParagraphLines::updateTops()
{
    m_tops.assign(m_lines.size() + 1, 0.0);
    for (size_t i = 0; i < m_lines.size(); ++i)
        m_tops[i + 1] = m_tops[i] + m_lines[i].height;
}

} // namespace lq
