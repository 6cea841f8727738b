#include "platform/ui/DoubleSlider.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace lq {
namespace {

// Draws nothing: these tests are about values and signals.
class BareSlider : public DoubleSlider
{
protected:
    void paintSlider(QPainter &, const QRectF &, const QRectF &) override {}
};

// 114 pixels wide: the knob's left edge travels over 100 pixels, one per unit of 0..100.
struct SliderFixture
{
    SliderFixture()
    {
        slider.setRange(0.0, 100.0);
        slider.resize(114, 18);
        slider.show();
    }
    BareSlider slider;
    QSignalSpy moved{&slider, &DoubleSlider::sliderMoved};
};

TEST(DoubleSliderTest, HoldsDoublesExactlyWithinItsRange)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct
    {
        double set;
        double read;
    } cases[] = {{12.345678901234, 12.345678901234},
                 {100.0, 100.0},
                 {100.5, 100.0},
                 {-3.0, 0.0},
                 {inf, 100.0},
                 {-inf, 0.0},
                 {nan, 0.0}};
    for (const auto &row : cases) {
        SCOPED_TRACE(row.set);
        BareSlider slider;
        slider.setRange(0.0, 100.0);
        slider.setValue(row.set);
        EXPECT_EQ(slider.value(), row.read);
    }
    BareSlider slider;
    slider.setValue(0.25);
    slider.setRange(2.0, 1.0); // the wrong way round: swapped, the value pulled in
    EXPECT_EQ(slider.minimum(), 1.0);
    EXPECT_EQ(slider.maximum(), 2.0);
    EXPECT_EQ(slider.value(), 1.0);
}

// The program's updates never come back as user actions; the user's always do.
TEST(DoubleSliderTest, SignalsOnlyTheUsersChanges)
{
    const struct
    {
        const char *what;
        std::function<void(BareSlider &)> act;
        int signals;
        double value;
    } cases[] = {
        {"setValue", [](BareSlider &s) { s.setValue(70.0); }, 0, 70.0},
        {"setRange", [](BareSlider &s) { s.setRange(0.0, 10.0); }, 0, 10.0},
        {"click on the bar jumps the knob's centre there",
         [](BareSlider &s) { QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(87, 9)); }, 1, 80.0},
        {"click on the knob leaves it",
         [](BareSlider &s) { QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(53, 9)); }, 0, 50.0},
        {"drag the knob",
         [](BareSlider &s) {
             QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(53, 9));
             QTest::mouseMove(&s, QPoint(63, 9));
             QTest::mouseMove(&s, QPoint(73, 9));
             QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(73, 9));
         },
         2, 70.0},
        {"drag beyond the end",
         [](BareSlider &s) {
             QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(53, 9));
             QTest::mouseMove(&s, QPoint(400, 9));
             QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(400, 9));
         },
         1, 100.0},
        {"right button",
         [](BareSlider &s) { QTest::mouseClick(&s, Qt::RightButton, {}, QPoint(87, 9)); }, 0, 50.0},
        {"arrow key", [](BareSlider &s) { QTest::keyClick(&s, Qt::Key_Right); }, 1, 51.0},
        {"page key", [](BareSlider &s) { QTest::keyClick(&s, Qt::Key_PageDown); }, 1, 40.0},
        {"home key", [](BareSlider &s) { QTest::keyClick(&s, Qt::Key_Home); }, 1, 0.0},
        {"end key", [](BareSlider &s) { QTest::keyClick(&s, Qt::Key_End); }, 1, 100.0},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.what);
        SliderFixture fixture;
        fixture.slider.setValue(50.0);
        row.act(fixture.slider);
        EXPECT_EQ(fixture.moved.count(), row.signals);
        EXPECT_DOUBLE_EQ(fixture.slider.value(), row.value);
        if (!fixture.moved.isEmpty()) {
            EXPECT_EQ(fixture.moved.last().at(0).toDouble(), fixture.slider.value());
        }
        EXPECT_FALSE(fixture.slider.isSliderDown());
    }
}

// A position timer must not pull the knob from under the mouse.
TEST(DoubleSliderTest, IgnoresTheProgramWhileTheUserHoldsTheKnob)
{
    SliderFixture fixture;
    QSignalSpy pressed(&fixture.slider, &DoubleSlider::sliderPressed);
    QSignalSpy released(&fixture.slider, &DoubleSlider::sliderReleased);
    fixture.slider.setValue(50.0);
    QTest::mousePress(&fixture.slider, Qt::LeftButton, {}, QPoint(53, 9));
    EXPECT_TRUE(fixture.slider.isSliderDown());
    fixture.slider.setValue(10.0);
    EXPECT_EQ(fixture.slider.value(), 50.0);
    QTest::mouseRelease(&fixture.slider, Qt::LeftButton, {}, QPoint(53, 9));
    fixture.slider.setValue(10.0);
    EXPECT_EQ(fixture.slider.value(), 10.0);
    EXPECT_EQ(pressed.count(), 1);
    EXPECT_EQ(released.count(), 1);

    // Hidden while held, it gets no release: the drag ends with it.
    QTest::mousePress(&fixture.slider, Qt::LeftButton, {}, QPoint(20, 9));
    fixture.slider.hide();
    EXPECT_FALSE(fixture.slider.isSliderDown());
    EXPECT_EQ(released.count(), 2);
    fixture.slider.setValue(30.0);
    EXPECT_EQ(fixture.slider.value(), 30.0);
}

} // namespace
} // namespace lq
