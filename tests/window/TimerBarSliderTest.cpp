#include "window/TimerBarSlider.h"

#include "platform/ui/NamedImages.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace Qt::StringLiterals;

TEST(SpeedSliderTest, ValueIsTheLogarithmOfTenTimesTheSpeed)
{
    const struct
    {
        double value;
        double speed;
        double tolerance;
    } cases[] = {{1.0, 1.0, 0.0}, {2.0, 10.0, 0.0}, {0.7, 0.501, 0.0005}, {2.7, 50.1, 0.05}};
    for (const auto &row : cases) {
        SCOPED_TRACE(row.value);
        SpeedSlider slider;
        slider.setValue(row.value);
        EXPECT_NEAR(slider.speed(), row.speed, row.tolerance);
        EXPECT_EQ(slider.speed(), SpeedSlider::speedForValue(row.value));
    }
    EXPECT_EQ(SpeedSlider().value(), 1.0); // normal speed at first
    EXPECT_EQ(SpeedSlider().speed(), 1.0);
}

TEST(SpeedSliderTest, ShowsASpeedWithinItsRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        double shown;
        double speed;
    } cases[] = {{1.1, 1.1},   {0.9, 0.9},    {2.0, 2.0},      {50.0, 50.0}, {0.4, 0.501},
                 {0.0, 0.501}, {-2.0, 0.501}, {100.0, 50.119}, {nan, 1.0}};
    for (const auto &row : cases) {
        SCOPED_TRACE(row.shown);
        SpeedSlider slider;
        QSignalSpy moved(&slider, &SpeedSlider::sliderMoved);
        slider.showSpeed(row.shown);
        EXPECT_NEAR(slider.speed(), row.speed, row.speed == row.shown ? 1e-6 : 0.0005);
        EXPECT_GE(slider.value(), SpeedSlider::kMinimumValue);
        EXPECT_LE(slider.value(), SpeedSlider::kMaximumValue);
        EXPECT_EQ(moved.count(), 0); // shown, not chosen by the user
    }
}

TEST(TimerBarSliderTest, LightingChangesTheKnobOnlyWhenItChanges)
{
    TimerBarSlider slider;
    EXPECT_EQ(slider.cell().knobImageName(), u"scrobber-handle"_s);
    const struct
    {
        bool lit;
        const char *image;
    } steps[] = {{true, "scrobber-handle-lit"},
                 {true, "scrobber-handle-lit"},
                 {false, "scrobber-handle"},
                 {false, "scrobber-handle"}};
    TimerBarSliderCell cell;
    bool wasLit = false;
    for (const auto &step : steps) {
        slider.setLit(step.lit);
        EXPECT_EQ(slider.cell().knobImageName(), QString::fromLatin1(step.image));
        EXPECT_EQ(cell.setLit(step.lit), step.lit != wasLit);
        wasLit = step.lit;
    }
    EXPECT_EQ(SpeedSliderCell().vertOffset(), -1.0);
    EXPECT_EQ(TimerBarSliderCell().vertOffset(), 0.0);
}

TEST(TimerBarSliderTest, ReportsTheUsersDragButNotTheProgramsUpdates)
{
    TimerBarSlider slider;
    slider.resize(114, 18); // the knob's left edge travels one pixel per percent
    slider.show();
    QSignalSpy moved(&slider, &TimerBarSlider::sliderMoved);
    slider.setValue(50.0);
    EXPECT_EQ(moved.count(), 0);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(57, 9));
    QTest::mouseMove(&slider, QPoint(77, 9));
    slider.setValue(10.0); // the position timer, while the user drags
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(77, 9));
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.at(0).at(0).toDouble(), 70.0);
    EXPECT_EQ(slider.value(), 70.0);
}

// The playhead's bar is the played colour left of the knob and the unplayed colour right of
// it; only a cap of either shows beyond the knob at the ends.
TEST(TimerBarSliderTest, BarIsPlayedLeftOfTheKnobAndUnplayedRightOfIt)
{
    const QColor played = lq::namedImage(u"playedslider"_s, 1.0).toImage().pixelColor(3, 3);
    const QColor unplayed = lq::namedImage(u"unplayedslider"_s, 1.0).toImage().pixelColor(3, 3);
    ASSERT_NE(played, unplayed);
    constexpr int kWidth = 200;
    const struct
    {
        double value;
        int x;
        bool played;
    } cases[] = {{0.0, 20, false}, {0.0, 195, false},  {100.0, 5, true}, {100.0, 180, true},
                 {50.0, 80, true}, {50.0, 120, false}, {25.0, 40, true}, {25.0, 70, false}};
    for (const qreal scale : {1.0, 2.0}) {
        for (const auto &row : cases) {
            SCOPED_TRACE(testing::Message() << row.value << " at " << row.x << " scale " << scale);
            TimerBarSlider slider;
            slider.resize(kWidth, 18);
            slider.setValue(row.value);
            QImage picture(QSize(kWidth, 18) * scale, QImage::Format_ARGB32_Premultiplied);
            picture.setDevicePixelRatio(scale);
            picture.fill(Qt::transparent);
            slider.render(&picture, QPoint(), QRegion(), QWidget::RenderFlags());
            EXPECT_EQ(picture.pixelColor(int(row.x * scale), int(9 * scale)),
                      row.played ? played : unplayed);
        }
    }
}

} // namespace
