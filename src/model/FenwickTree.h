#pragma once

#include <cstddef>
#include <utility>
#include <vector>

// Counts in a row of slots: the sum of the counts before a slot, the slot in which a running
// count reaches a value, and a change of one count, each in logarithmic time.
class FenwickTree
{
public:
    // Replaces every count, in linear time.
    void assign(const std::vector<size_t> &counts);
    size_t slotCount() const { return m_tree.size(); }
    void add(size_t slot, std::ptrdiff_t delta);
    // The sum of the counts of the slots before end.
    size_t prefix(size_t end) const;
    // The slot holding unit (counted from 0, below the total of all counts), and the sum of the
    // counts of the slots before it.
    std::pair<size_t, size_t> find(size_t unit) const;

private:
    std::vector<size_t> m_tree; // node i + 1 of the tree is m_tree[i]
    size_t m_topStep = 0;       // the largest power of two not above the number of slots
};
