#include "window/WindowZoom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace window_zoom;

void expectSize(QSizeF actual, QSizeF expected)
{
    EXPECT_NEAR(actual.width(), expected.width(), 0.01);
    EXPECT_NEAR(actual.height(), expected.height(), 0.01);
}

TEST(WindowZoomTest, ZoomingInGrowsUntilTheScreenLimitsIt)
{
    const QSizeF screen(800, 600);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct
    {
        const char *name;
        QSizeF current;
        std::optional<QSizeF> largest;
        bool slides;
        std::optional<double> ratio;
        QSizeF expected;
        bool atLimit;
    } cases[] = {
        {"room to grow", {400, 300}, screen, false, 4.0 / 3, {560, 420}, false},
        {"again", {560, 420}, screen, false, 4.0 / 3, {784, 588}, false},
        {"height limited, aspect kept", {784, 588}, screen, false, 4.0 / 3, {800, 600}, false},
        {"at the limit", {800, 600}, screen, false, 4.0 / 3, {800, 600}, true},
        {"wide video, height then width limited",
         {700, 300},
         screen,
         false,
         16.0 / 9,
         {800, 450},
         false},
        {"no aspect: proportional", {784, 588}, screen, false, std::nullopt, {800, 600}, false},
        {"zero ratio: proportional", {784, 588}, screen, false, 0.0, {800, 600}, false},
        {"NaN ratio: proportional", {784, 588}, screen, false, nan, {800, 600}, false},
        {"infinite ratio: proportional", {784, 588}, screen, false, inf, {800, 600}, false},
        {"slides below the limit", {500, 500}, screen, true, std::nullopt, {600, 600}, false},
        {"slides at the limit keep their width",
         {500, 600},
         screen,
         true,
         std::nullopt,
         {700, 600},
         true},
        {"no screen", {400, 300}, std::nullopt, false, 4.0 / 3, {560, 420}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ZoomIn zoom = zoomedIn(c.current, c.largest, c.slides, c.ratio);
        expectSize(zoom.size, c.expected);
        EXPECT_EQ(zoom.atLimit, c.atLimit);
        EXPECT_TRUE(std::isfinite(zoom.size.width()) && std::isfinite(zoom.size.height()));
    }
}

TEST(WindowZoomTest, ZoomingOutStopsAVideoAtItsMinimumWidth)
{
    const struct
    {
        const char *name;
        QSizeF current;
        bool video;
        std::optional<QSizeF> expected;
    } cases[] = {
        {"video", {560, 420}, true, QSizeF(400, 300)},
        {"video just wide enough", {112, 84}, true, QSizeF(80, 60)},
        {"video too narrow", {111, 84}, true, std::nullopt},
        {"slides have no minimum", {70, 50}, false, QSizeF(50, 35.714)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<QSizeF> zoom = zoomedOut(c.current, c.video);
        ASSERT_EQ(zoom.has_value(), c.expected.has_value());
        if (zoom)
            expectSize(*zoom, *c.expected);
    }
}

TEST(WindowZoomTest, TheNaturalSizeIsTakenAsFarAsTheScreenAllows)
{
    const QSizeF screen(800, 600);
    const struct
    {
        const char *name;
        std::optional<QSizeF> natural;
        std::optional<QSizeF> largest;
        std::optional<QSizeF> expected;
        bool beep;
    } cases[] = {
        {"fits", QSizeF(640, 480), screen, QSizeF(640, 480), false},
        {"too wide", QSizeF(1600, 900), screen, QSizeF(800, 450), true},
        {"too tall", QSizeF(600, 1200), screen, QSizeF(300, 600), true},
        {"too wide and tall", QSizeF(1000, 900), screen, QSizeF(666.67, 600), true},
        {"no screen", QSizeF(1600, 900), std::nullopt, QSizeF(1600, 900), false},
        {"unknown", std::nullopt, screen, std::nullopt, false},
        {"zero", QSizeF(0, 0), screen, std::nullopt, false},
        {"zero height", QSizeF(640, 0), screen, std::nullopt, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<NaturalZoom> zoom = zoomedToNatural(c.natural, c.largest);
        ASSERT_EQ(zoom.has_value(), c.expected.has_value());
        if (!zoom)
            continue;
        expectSize(zoom->size, *c.expected);
        EXPECT_EQ(zoom->beep, c.beep);
    }
}

} // namespace
