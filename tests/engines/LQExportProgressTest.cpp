#include "engines/LQExportProgress.h"

#include <gtest/gtest.h>

namespace {

TEST(LQExportProgressTest, TimeRemainingIsToldInWholeMinutes)
{
    struct Case
    {
        double fraction;
        double elapsed;
        std::optional<QString> text;
    };
    // The estimate is (1 - fraction) / (fraction / elapsed), cut to whole seconds.
    const Case cases[] = {
        {0.5, 30.0, QStringLiteral("Less than 1 minute")},  // 30 s
        {0.1, 30.0, QStringLiteral("4 minutes")},           // 270 s
        {0.25, 30.0, QStringLiteral("1 minute")},           // 90 s
        {0.2, 37.5, QStringLiteral("2 minutes")},           // 150 s
        {0.5, 59.0, QStringLiteral("Less than 1 minute")},  // 59 s
        {0.5, 119.9, QStringLiteral("1 minute")},           // 119.9 s, cut to 119
        {2.0, 121.0, QStringLiteral("Finishing")},          // -60.5 s
        {2.0, 118.0, QStringLiteral("Less than 1 minute")}, // -59 s
        {0.5, 599939.0, QStringLiteral("9998 minutes")},
        {0.5, 599941.0, std::nullopt}, // too far off to tell
        {0.0, 30.0, std::nullopt},     // no estimate yet
        {0.5, 0.0, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.fraction << " after " << c.elapsed << " s");
        EXPECT_EQ(exportTimeRemainingText(c.fraction, c.elapsed), c.text);
    }
}

} // namespace
