#include "engines/LQVideoFitting.h"

#include <gtest/gtest.h>

namespace {

TEST(LQVideoFittingTest, PicturesFitTheBoxOnlyWhenOneNeedsIt)
{
    struct Case
    {
        QList<QSize> pictures;
        QList<QSize> fitted;
    };
    const QSize box(320, 240);
    const Case cases[] = {
        {{{640, 480}}, {{320, 240}}},
        {{{1280, 720}}, {{320, 180}}},
        {{{180, 240}}, {{180, 240}}},                         // fits as it is
        {{{160, 120}}, {{160, 120}}},                         // smaller, alone: unchanged
        {{{160, 120}, {320, 240}}, {{320, 240}, {320, 240}}}, // unlike: both grow
        {{{0, 0}}, {{320, 240}}},                             // no size: the box
        {{{320, 0}, {160, 120}}, {{320, 240}, {320, 240}}},
        {{{200, 400}}, {{120, 240}}}, // too tall
        {{}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.pictures.size()));
        EXPECT_EQ(fittedPictureSizes(c.pictures, box), c.fitted);
    }
}

} // namespace
