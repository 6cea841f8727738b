#include "platform/text/BlockHeights.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <vector>

namespace {

// Blocks replaced, inserted, removed and resized: every top and every block found at a height
// is the one a plain sum of the heights gives.
TEST(BlockHeightsTest, TopsAndBlocksAtHeightsFollowEveryChange)
{
    lq::BlockHeights heights;
    std::vector<double> plain;
    struct Step
    {
        const char *name;
        std::function<void()> change;
    };
    const auto replace = [&](int index, int removed, std::vector<double> added) {
        heights.replace(index, removed, added);
        plain.erase(plain.begin() + index, plain.begin() + index + removed);
        plain.insert(plain.begin() + index, added.begin(), added.end());
    };
    const auto resize = [&](int index, double height) {
        heights.setHeight(index, height);
        plain[size_t(index)] = height;
    };
    const Step steps[] = {
        {"first blocks",
         [&] {
             replace(0, 0, {14, 28, 14, 40, 14, 0, 14});
         }},
        {"one taller", [&] { resize(3, 56); }},
        {"one empty", [&] { resize(0, 0); }},
        {"blocks inserted in the middle",
         [&] {
             replace(2, 0, {7, 7, 7});
         }},
        {"blocks removed", [&] { replace(1, 4, {}); }},
        {"blocks replaced at the end",
         [&] {
             replace(int(plain.size()) - 2, 2, {100, 1, 2});
         }},
        {"many blocks", [&] { replace(0, int(plain.size()), std::vector<double>(1000, 14)); }},
        {"one in the middle taller", [&] { resize(500, 30); }},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        ASSERT_EQ(heights.count(), int(plain.size()));
        double top = 0;
        for (int i = 0; i < int(plain.size()); ++i) {
            EXPECT_EQ(heights.top(i), top) << i;
            // A block is found from its top to just before the next one; empty ones are passed.
            if (plain[size_t(i)] > 0) {
                EXPECT_EQ(heights.indexAt(top), i) << i;
                EXPECT_EQ(heights.indexAt(top + plain[size_t(i)] - 0.5), i) << i;
            }
            top += plain[size_t(i)];
        }
        EXPECT_EQ(heights.total(), top);
        EXPECT_EQ(heights.indexAt(-5), 0);
        EXPECT_EQ(heights.indexAt(top + 5), int(plain.size()) - 1);
    }
}

} // namespace
