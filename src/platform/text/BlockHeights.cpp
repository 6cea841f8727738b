#include "platform/text/BlockHeights.h"

#include <algorithm>
#include <bit>

namespace lq {

void BlockHeights::setHeight(int index, double height)
{
    const double delta = height - m_heights[size_t(index)];
    if (delta == 0)
        return;
    m_heights[size_t(index)] = height;
    for (size_t i = size_t(index) + 1; i < m_tree.size(); i += i & (~i + 1))
        m_tree[i] += delta;
}

double BlockHeights::top(int index) const
{
    double sum = 0;
    for (size_t i = size_t(index); i > 0; i -= i & (~i + 1))
        sum += m_tree[i];
    return sum;
}

int BlockHeights::indexAt(double y) const
{
    if (m_heights.empty())
        return -1;
    // The number of blocks that end at or above y, found by descending the tree.
    size_t position = 0;
    double rest = y;
    for (size_t step = std::bit_floor(m_heights.size()); step > 0; step >>= 1) {
        const size_t next = position + step;
        if (next < m_tree.size() && m_tree[next] <= rest) {
            position = next;
            rest -= m_tree[next];
        }
    }
    return int(std::min(position, m_heights.size() - 1));
}

void BlockHeights::replace(int index, int removed, const std::vector<double> &heights)
{
    const auto first = m_heights.begin() + index;
    m_heights.erase(first, first + removed);
    m_heights.insert(m_heights.begin() + index, heights.begin(), heights.end());
    rebuild();
}

void BlockHeights::rebuild()
{
    m_tree.assign(m_heights.size() + 1, 0.0);
    for (size_t i = 1; i < m_tree.size(); ++i) {
        m_tree[i] += m_heights[i - 1];
        const size_t parent = i + (i & (~i + 1));
        if (parent < m_tree.size())
            m_tree[parent] += m_tree[i];
    }
}

} // namespace lq
