#include "model/StampWalk.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Kind = StampWalk::Step::Kind;

std::unique_ptr<EventTimeline>
stamps(std::initializer_list<std::tuple<int32_t, int32_t, double>> list)
{
    std::vector<WrenTimeStampPtr> result;
    uint32_t index = 0;
    for (const auto &[type, session, offset] : list) {
        result.push_back(type == WrenTimeStampTypeKey
                             ? WrenTimeStamp::initWithKey(index++, session, offset)
                             : WrenTimeStamp::initWithSlide(2, session, offset));
    }
    auto timeline = std::make_unique<EventTimeline>();
    timeline->assign(result);
    return timeline;
}

constexpr int32_t K = WrenTimeStampTypeKey;
constexpr int32_t S = WrenTimeStampTypeSlide;

TEST(StampWalkTest, FirstStampAheadStaysInTheSession)
{
    const auto list = stamps({{K, 0, 2.0}, {K, 0, 8.0}, {K, 1, 3.0}, {K, 1, 6.0}});
    EXPECT_EQ(StampWalk(*list, 0, 5.0, 1.0f).firstAhead(), 1u);
    EXPECT_EQ(StampWalk(*list, 0, 8.0, 1.0f).firstAhead(), std::nullopt); // next is session 1
    EXPECT_EQ(StampWalk(*list, 1, 5.0, -1.0f).firstAhead(), 2u);
    EXPECT_EQ(StampWalk(*list, 1, 3.0, -1.0f).firstAhead(), std::nullopt); // next is session 0
    EXPECT_EQ(StampWalk(*list, 1, 0.0, 1.0f).firstAhead(), 2u);
    EXPECT_EQ(StampWalk(EventTimeline(), 0, 0.0, 1.0f).firstAhead(), std::nullopt);
}

TEST(StampWalkTest, IntervalIsTheDistanceOverTheSpeed)
{
    const auto list = stamps({{K, 0, 13.0}});
    EXPECT_DOUBLE_EQ(StampWalk(*list, 0, 10.0, 2.0f).intervalTo(*(*list)[0]), 1.5);
    EXPECT_DOUBLE_EQ(StampWalk(*list, 0, 10.0, 0.5f).intervalTo(*(*list)[0]), 6.0);
    EXPECT_DOUBLE_EQ(StampWalk(*list, 0, 21.0, -4.0f).intervalTo(*(*list)[0]), 2.0);
}

TEST(StampWalkTest, StepsAfterAStamp)
{
    const auto list = stamps({{K, 0, 1.0}, {S, 0, 5.0}, {K, 0, 6.0}, {K, 0, 20.0}, {K, 1, 1.0}});
    struct Case
    {
        const char *name;
        int64_t from;
        double now;
        float speed;
        Kind kind;
        size_t position;
        double interval;
    };
    const Case cases[] = {
        {"before the first stamp", -1, 0.0, 1.0f, Kind::Arm, 0, 1.0},
        {"a passed slide is shown at once", 0, 10.0, 1.0f, Kind::HandleNow, 1, 0.0},
        {"a passed key still fires, at once", 1, 10.0, 1.0f, Kind::Arm, 2, 0.0},
        {"a key ahead is waited for", 2, 10.0, 1.0f, Kind::Arm, 3, 10.0},
        {"the next session ends the walk", 3, 19.0, 1.0f, Kind::End, 0, 0.0},
        {"the last stamp ends the walk", 4, 0.0, 1.0f, Kind::End, 0, 0.0},
        {"backwards to a stamp behind", 3, 10.0, -2.0f, Kind::Arm, 2, 2.0},
        {"backwards from the first stamp", 0, 0.5, -1.0f, Kind::End, 0, 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const StampWalk::Step step = StampWalk(*list, 0, c.now, c.speed).after(c.from);
        EXPECT_EQ(step.kind, c.kind);
        if (step.kind != Kind::End) {
            EXPECT_EQ(step.position, c.position);
            EXPECT_DOUBLE_EQ(step.interval, c.interval);
        }
    }
}

TEST(StampWalkTest, BackwardsAcrossASessionBoundaryEndsTheWalk)
{
    const auto list = stamps({{S, 0, 2.0}, {K, 0, 8.0}, {K, 1, 3.0}, {K, 1, 6.0}});
    EXPECT_EQ(StampWalk(*list, 1, 2.0, -4.0f).after(2).kind, Kind::End);
    // An out-of-order stamp of a session already passed is stepped over.
    const auto unordered = stamps({{K, 1, 1.0}, {K, 0, 9.0}, {K, 1, 5.0}});
    const StampWalk::Step step = StampWalk(*unordered, 1, 2.0, 1.0f).after(0);
    EXPECT_EQ(step.kind, Kind::StepOver);
    EXPECT_EQ(StampWalk(*unordered, 1, 2.0, 1.0f).after(1).position, 2u);
}

} // namespace
