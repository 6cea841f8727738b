#include "model/ConsistentDate.h"

#include "platform/foundation/ClockSource.h"

#include <gtest/gtest.h>

namespace {

class ConsistentDateTest : public testing::Test
{
protected:
    void SetUp() override
    {
        clock.setWallNow(lq::Date(500'000'000.0));
        previous = lq::ClockSource::setCurrent(&clock);
    }
    void TearDown() override { lq::ClockSource::setCurrent(previous); }

    lq::ManualClockSource clock;
    const lq::ClockSource *previous = nullptr;
};

TEST_F(ConsistentDateTest, ElapsedFollowsTheMonotonicClockWhenTheWallClockIsSetBack)
{
    const ConsistentDate start = ConsistentDate::now();
    clock.advance(2.0);
    clock.setWallNow(clock.wallNow().addingTimeInterval(-3600.0));
    EXPECT_DOUBLE_EQ(start.elapsed(), 2.0);

    const ConsistentDate now = start.elapsedDate();
    EXPECT_EQ(now.absTime(), clock.monotonicNanoseconds());
    EXPECT_DOUBLE_EQ(now.date().secondsSinceReferenceDate(), 500'000'002.0);
}

TEST_F(ConsistentDateTest, ElapsedOfADateAheadIsNegative)
{
    const ConsistentDate later = ConsistentDate::now().addTimeInterval(5.0);
    clock.advance(1.0);
    EXPECT_DOUBLE_EQ(later.elapsed(), -4.0);
}

TEST_F(ConsistentDateTest, AddTimeIntervalMovesBothReadings)
{
    const ConsistentDate start = ConsistentDate::now();
    const struct
    {
        double seconds;
        int64_t nanoseconds;
    } cases[] = {{-1.5, -1'500'000'000},
                 {0.0, 0},
                 {2.25, 2'250'000'000},
                 {1.0000000009, 1'000'000'000}, // the magnitude is cut to whole nanoseconds
                 {-1.0000000009, -1'000'000'000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds);
        const ConsistentDate moved = start.addTimeInterval(c.seconds);
        EXPECT_EQ(static_cast<int64_t>(moved.absTime() - start.absTime()), c.nanoseconds);
        EXPECT_DOUBLE_EQ(moved.date().secondsSinceReferenceDate(),
                         start.date().secondsSinceReferenceDate() + c.seconds);
        EXPECT_NEAR(moved.timeIntervalSinceDate(start), c.seconds, 1e-6);
        EXPECT_NEAR(moved.elapsed(), -c.seconds, 1e-9);
    }
}

TEST_F(ConsistentDateTest, AddingNothingGivesAnEqualSeparateValue)
{
    ConsistentDate start = ConsistentDate::now();
    ConsistentDate same = start.addTimeInterval(0.0);
    EXPECT_EQ(same.date(), start.date());
    EXPECT_EQ(same.absTime(), start.absTime());
    same.setAbsTime(0);
    EXPECT_NE(start.absTime(), 0u);
}

TEST_F(ConsistentDateTest, NonFiniteIntervalsLeaveTheMonotonicReadingInRange)
{
    const ConsistentDate start = ConsistentDate::now();
    EXPECT_EQ(start.addTimeInterval(std::nan("")).absTime(), start.absTime());
    EXPECT_GT(start.addTimeInterval(1e300).absTime(), start.absTime());
}

TEST_F(ConsistentDateTest, DateWithDateKeepsTheStoredWallDateButCountsFromNow)
{
    const lq::Date stored(400'000'000.0);
    const ConsistentDate restored = ConsistentDate::dateWithDate(stored);
    EXPECT_EQ(restored.date(), stored);
    EXPECT_EQ(restored.absTime(), clock.monotonicNanoseconds());
    EXPECT_DOUBLE_EQ(restored.elapsed(), 0.0);

    const ConsistentDate now = ConsistentDate::now();
    EXPECT_DOUBLE_EQ(now.timeIntervalSinceDate(restored), 100'000'000.0);
    EXPECT_EQ(restored.dateByAddingTimeInterval(60.0), lq::Date(400'000'060.0));
    EXPECT_EQ(restored.description(), stored.description());
}

} // namespace
