#pragma once

#include <cstddef>
#include <vector>

namespace lq {

// The heights of a text's blocks in order, answering a block's top and the block at a height in
// logarithmic time (a Fenwick tree of the heights). A change of one height is logarithmic too;
// blocks inserted or removed rebuild the tree, which is linear with a small constant.
class BlockHeights
{
public:
    int count() const { return int(m_heights.size()); }
    double height(int index) const { return m_heights[size_t(index)]; }
    void setHeight(int index, double height);
    // The sum of the heights before index (index may be count()).
    double top(int index) const;
    double total() const { return top(count()); }
    // The block whose span holds y (the first for y below 0, the last for y past the end);
    // -1 when there is none.
    int indexAt(double y) const;
    // Replaces removed blocks from index by the heights given.
    void replace(int index, int removed, const std::vector<double> &heights);

private:
    void rebuild();

    std::vector<double> m_heights;
    std::vector<double> m_tree; // 1-based Fenwick sums
};

} // namespace lq
