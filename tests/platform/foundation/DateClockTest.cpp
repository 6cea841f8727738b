#include "platform/foundation/ClockSource.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Log.h"
#include "support/LogCapture.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace lq {
namespace {

using namespace Qt::StringLiterals;

TEST(DateTest, ClockEpochIsTheStartOf2008InTheLocalZone)
{
    EXPECT_EQ(clockEpoch().toQDateTime(), QDateTime(QDate(2008, 1, 1), QTime(0, 0)));
}

struct ClockText
{
    double seconds; // from the clock epoch
    bool remaining;
    const char *text;
};

TEST(DateTest, FormatClockTime)
{
    const std::vector<ClockText> table{
        {3725.4, false, "1:02:05"},
        {3725.4, true, "-1:02:05"},
        {0.0, false, "0:00:00"},
        {59.999, false, "0:00:59"},
        {3726.0, false, "1:02:06"}, // not 1:02:05 from rounding far from the 1970 origin
        {36000.0, false, "10:00:00"},
        {25 * 3600.0 + 1.0, false, "25:00:01"}, // hours go on past a day
        {-1.0, true, "-0:00:00"},               // not the evening before
    };
    for (const ClockText &row : table)
        EXPECT_EQ(formatClockTime(clockEpoch().addingTimeInterval(row.seconds), row.remaining)
                      .toStdString(),
                  row.text)
            << row.seconds;
}

TEST(DateTest, ConvertsToAndFromQDateTime)
{
    const QDateTime utc(QDate(2021, 6, 15), QTime(12, 34, 56, 789), Qt::UTC);
    EXPECT_EQ(Date::fromQDateTime(utc).toQDateTime(), utc);
    EXPECT_EQ(Date::fromQDateTime(utc.toTimeZone(QTimeZone("Asia/Kolkata"))),
              Date::fromQDateTime(utc));

    EXPECT_EQ(Date(0.0).toQDateTime(), QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(Date::fromSecondsSince1970(0.0).secondsSinceReferenceDate(), -kSecondsFrom1970To2001);
    EXPECT_EQ(Date(-0.25).toQDateTime().toMSecsSinceEpoch(), 978307199750);
    EXPECT_NEAR(Date::fromQDateTime(Date(12345.678).toQDateTime()).secondsSinceReferenceDate(),
                12345.678, 1e-6);
    EXPECT_EQ(Date(90061.5).description(), u"2001-01-02 01:01:01 +0000"_s);
    EXPECT_EQ(Date(10.0).timeIntervalSince(Date(4.0)), 6.0);
}

TEST(ClockSourceTest, ManualClockStandsInForTheSystemClocks)
{
    EXPECT_NE(dynamic_cast<const SystemClockSource *>(&ClockSource::current()), nullptr);
    ManualClockSource manual;
    manual.setWallNow(Date(100.0));
    manual.setMonotonicNanoseconds(5'000'000'000);
    const ClockSource *previous = ClockSource::setCurrent(&manual);
    EXPECT_EQ(Date::now(), Date(100.0));
    manual.advance(1.5);
    EXPECT_EQ(Date::now(), Date(101.5));
    EXPECT_EQ(ClockSource::current().monotonicNanoseconds(), 6'500'000'000u);
    manual.advance(-0.5);
    EXPECT_EQ(ClockSource::current().monotonicNanoseconds(), 6'000'000'000u);
    EXPECT_EQ(ClockSource::setCurrent(previous), &manual);
    EXPECT_NE(&ClockSource::current(), &manual);
}

TEST(LogTest, SinksCaptureAndRestore)
{
    test::LogCapture outer;
    {
        test::LogCapture inner;
        std::vector<std::thread> threads;
        for (int i = 0; i < 4; ++i)
            threads.emplace_back([i] { log(u"line %1"_s.arg(i)); });
        for (std::thread &thread : threads)
            thread.join();
        EXPECT_EQ(inner.lines().size(), 4);
        EXPECT_TRUE(inner.contains(u"line 3"_s));
    }
    log(u"after"_s);
    EXPECT_EQ(outer.lines(), QStringList{u"after"_s});
}

TEST(ErrorTest, CarriesItsUnderlyingErrors)
{
    EXPECT_TRUE(Error().isNull());
    const Error cause(u"file"_s, 2, u"The file “a” is missing."_s);
    const Error top(u"document"_s, 1, u"The note could not be saved."_s);
    const Error chained = top.withUnderlyingError(cause.withUnderlyingError(Error(u"x"_s, 3, {})));
    EXPECT_EQ(top.underlyingError(), nullptr);
    EXPECT_FALSE(chained.isNull());
    EXPECT_EQ(chained.localizedDescription(), top.localizedDescription());
    EXPECT_EQ(chained.recoveryOptions(), QStringList{u"OK"_s});
    ASSERT_NE(chained.underlyingError(), nullptr);
    EXPECT_EQ(chained.underlyingError()->domain(), u"file"_s);
    EXPECT_EQ(chained.underlyingError()->code(), 2);
    ASSERT_NE(chained.underlyingError()->underlyingError(), nullptr);
    EXPECT_EQ(chained.underlyingError()->underlyingError()->code(), 3);
}

} // namespace
} // namespace lq
