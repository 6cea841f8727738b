#include "model/TimelineMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Position = TimelineMap::Position;

void expectPosition(const Position &actual, const Position &expected)
{
    EXPECT_EQ(actual.session, expected.session);
    EXPECT_NEAR(actual.offset, expected.offset, 1e-5);
}

TEST(TimelineMapTest, PercentagesLandInTheirSession)
{
    const TimelineMap map({10.0, 20.0});
    struct Case
    {
        double percentage;
        Position expected;
    };
    const Case cases[] = {
        {50.0, {1, 5.0}},         {100.0, {1, 20.0}},
        {100.0 / 3.0, {0, 10.0}}, // exactly the boundary: the end of the earlier session
        {0.0, {0, 0.0}},          {-5.0, {0, 0.0}},
        {150.0, {1, 20.0}},       {std::numeric_limits<double>::quiet_NaN(), {0, 0.0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.percentage);
        expectPosition(map.positionAtPercentage(c.percentage), c.expected);
    }
    // The float percentages the playhead uses keep the boundary in the earlier session too.
    expectPosition(map.positionAtPercentage(float(100.0 / 3.0)), {0, 10.0});
    EXPECT_NEAR(map.percentageAt({1, 5.0}), 50.0, 1e-9);
    EXPECT_DOUBLE_EQ(map.startOf(1), 10.0);
}

TEST(TimelineMapTest, ZeroLengthTimelineStaysAtTheStart)
{
    for (const std::vector<double> &lengths :
         {std::vector<double>{}, std::vector<double>{0.0}, std::vector<double>{0.0, 0.0},
          std::vector<double>{-3.0}}) {
        const TimelineMap map(lengths);
        EXPECT_EQ(map.percentageRate(), 0.0);
        for (double percentage : {0.0, 50.0, 100.0}) {
            expectPosition(map.positionAtPercentage(percentage), {0, 0.0});
            EXPECT_EQ(map.percentageAt({0, 0.0}), 0.0);
            EXPECT_FALSE(std::isnan(map.percentageAt({0, 0.0})));
        }
    }
    // Empty sessions among others take no room.
    const TimelineMap map({0.0, 10.0, 0.0});
    expectPosition(map.positionAtPercentage(50.0), {1, 5.0});
}

TEST(TimelineMapTest, StopNearTheEndRewinds)
{
    struct Case
    {
        double percentage;
        double length;
        bool rewinds;
    };
    const Case cases[] = {
        {99.5, 100.0, true},  {98.5, 100.0, false}, {99.0, 100.0, false}, {99.4, 1600.0, false},
        {99.6, 1600.0, true}, {100.0, 0.0, true},   {0.0, 0.0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.percentage << "% of " << c.length << " s");
        EXPECT_EQ(TimelineMap::rewindsAfterStop(c.percentage, c.length), c.rewinds);
    }
}

TEST(TimelineMapTest, JumpsNeverGoBeforeTheStart)
{
    EXPECT_DOUBLE_EQ(TimelineMap::jumpBackTarget(112.0, 30.0), 82.0);
    EXPECT_DOUBLE_EQ(TimelineMap::jumpBackTarget(30.0, 30.0), 0.0);
    EXPECT_DOUBLE_EQ(TimelineMap::jumpBackTarget(5.0, 30.0), 0.0);
    EXPECT_DOUBLE_EQ(TimelineMap::withLeadIn(7.0, 10.0), 0.0);
    EXPECT_DOUBLE_EQ(TimelineMap::withLeadIn(25.0, 10.0), 15.0);
    EXPECT_DOUBLE_EQ(TimelineMap::withLeadIn(25.0, -4.0), 25.0);

    const TimelineMap map({10.0, 20.0});
    EXPECT_TRUE(map.startsOver({1, 19.5}));
    EXPECT_FALSE(map.startsOver({1, 18.5}));
    EXPECT_FALSE(map.startsOver({0, 9.5})); // not the last session
}

} // namespace
