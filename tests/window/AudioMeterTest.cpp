#include "window/AudioMeter.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int kHeight = 20;

QImage render(AudioMeter &meter, int width)
{
    meter.resize(width, kHeight);
    QImage image(width, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    meter.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image;
}

// The bar is blue; the empty boxes are grey.
bool isLit(const QImage &image, int x)
{
    const QColor colour = image.pixelColor(x, kHeight - 5);
    return colour.blue() - colour.red() > 60;
}

int countLitBoxes(const QImage &image, double area)
{
    int lit = 0;
    const double box = area / AudioMeter::kBoxCount;
    for (int i = 0; i < AudioMeter::kBoxCount; ++i)
        lit += isLit(image, int(box * i + box / 2.0)) ? 1 : 0;
    return lit;
}

TEST(AudioMeterTest, LevelsLightWholeBoxes)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        float level;
        int lit;
    } cases[] = {{-100.0f, 0}, {-60.0f, 0}, {-54.1f, 0}, {-54.0f, 1}, {-35.0f, 4}, {-30.0f, 5},
                 {-0.1f, 9},   {0.0f, 10},  {nan, 0},    {-inf, 0},   {inf, 10}};
    AudioMeter meter;
    meter.setMeterEnabled(true);
    for (const auto &levelCase : cases) {
        SCOPED_TRACE(levelCase.level);
        meter.setLevelValue(levelCase.level);
        const QImage image = render(meter, 101);
        EXPECT_EQ(countLitBoxes(image, 100.0), levelCase.lit);
        EXPECT_EQ(std::min(AudioMeter::litBoxes(levelCase.level), 10), levelCase.lit);
        // Drawing raises anything below the floor, and what is not a number, to the floor.
        if (!(levelCase.level >= AudioMeter::kFloorLevel))
            EXPECT_EQ(meter.levelValue(), AudioMeter::kFloorLevel);
        else
            EXPECT_EQ(meter.levelValue(), levelCase.level);
    }
}

TEST(AudioMeterTest, AboveZeroTheBarRunsIntoTheSparePixels)
{
    AudioMeter meter;
    meter.setMeterEnabled(true);
    meter.setLevelValue(6.0f);
    const QImage image = render(meter, 105); // boxes end at 100.5
    EXPECT_EQ(AudioMeter::litBoxes(6.0f), 11);
    EXPECT_EQ(AudioMeter::barWidth(6.0f, 105), 105.0); // 110, held to the view
    EXPECT_TRUE(isLit(image, 103));
    EXPECT_EQ(countLitBoxes(image, 100.0), 10);
    EXPECT_EQ(AudioMeter::barWidth(std::numeric_limits<float>::infinity(), 105), 105.0);
}

TEST(AudioMeterTest, DisabledShowsOnlyTheGreyBoxesAndKeepsTheLevel)
{
    AudioMeter meter;
    EXPECT_FALSE(meter.meterEnabled());
    EXPECT_EQ(meter.levelValue(), AudioMeter::kFloorLevel);
    meter.setLevelValue(-100.0f);
    const QImage image = render(meter, 101);
    EXPECT_EQ(countLitBoxes(image, 100.0), 0);
    EXPECT_EQ(meter.levelValue(), -100.0f);
    meter.setLevelValue(0.0f);
    EXPECT_EQ(countLitBoxes(render(meter, 101), 100.0), 0);
    // The grey fills every box.
    const QColor grey = render(meter, 101).pixelColor(55, kHeight - 5);
    EXPECT_EQ(grey.red(), grey.blue());
    EXPECT_GT(grey.red(), 100);
}

TEST(AudioMeterTest, BoxesAreWholePixelsWideWithOneLeftForTheOutline)
{
    EXPECT_EQ(AudioMeter::boxAreaWidth(95), 90.0);
    EXPECT_EQ(AudioMeter::boxAreaWidth(101), 100.0);
    EXPECT_EQ(AudioMeter::boxAreaWidth(100), 90.0);
    EXPECT_EQ(AudioMeter::boxAreaWidth(0), 0.0);
    EXPECT_EQ(AudioMeter::boxAreaWidth(std::nan("")), 0.0);

    AudioMeter meter;
    const QImage image = render(meter, 95);
    // Outlines at x = 0.5, 9.5, ... 90.5 cover pixel columns 0, 9, ... 90; the strip is drawn
    // from the bottom of the view, whatever its height.
    const QColor outline = QColor::fromRgbF(0.237f, 0.276f, 0.319f);
    for (int x = 0; x <= 90; x += 9) {
        SCOPED_TRACE(x);
        const QColor seen = image.pixelColor(x, kHeight - 5);
        EXPECT_NEAR(seen.red(), outline.red(), 2);
        EXPECT_NEAR(seen.blue(), outline.blue(), 2);
    }
    EXPECT_NE(image.pixelColor(4, kHeight - 5), image.pixelColor(9, kHeight - 5));
    EXPECT_EQ(image.pixelColor(50, 2), QColor(Qt::white));           // above the strip
    EXPECT_EQ(image.pixelColor(93, kHeight - 5), QColor(Qt::white)); // past the boxes
}

} // namespace
