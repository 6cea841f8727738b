#include "model/FenwickTree.h"

#include <bit>

void FenwickTree::assign(const std::vector<size_t> &counts)
{
    m_tree = counts;
    const size_t slots = m_tree.size();
    for (size_t node = 1; node <= slots; ++node) {
        const size_t parent = node + (node & -node);
        if (parent <= slots)
            m_tree[parent - 1] += m_tree[node - 1];
    }
    m_topStep = slots == 0 ? 0 : std::bit_floor(slots);
}

void FenwickTree::add(size_t slot, std::ptrdiff_t delta)
{
    for (size_t node = slot + 1; node <= m_tree.size(); node += node & -node)
        m_tree[node - 1] += static_cast<size_t>(delta);
}

size_t FenwickTree::prefix(size_t end) const
{
    size_t sum = 0;
    for (size_t node = end; node > 0; node -= node & -node)
        sum += m_tree[node - 1];
    return sum;
}

std::pair<size_t, size_t> FenwickTree::find(size_t unit) const
{
    size_t slot = 0;
    size_t before = 0;
    for (size_t step = m_topStep; step > 0; step >>= 1) {
        const size_t node = slot + step;
        if (node <= m_tree.size() && before + m_tree[node - 1] <= unit) {
            slot = node;
            before += m_tree[node - 1];
        }
    }
    return {slot, before};
}
