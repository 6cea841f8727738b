#include "window/TimeView.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <limits>

namespace {

using namespace Qt::StringLiterals;

struct LengthController : TimeViewController
{
    double recordingLength() const override { return length; }
    double length = 0.0;
};

lq::Date clock(double seconds)
{
    return lq::clockEpoch().addingTimeInterval(seconds);
}

struct Field
{
    Field()
    {
        caption.setText(u"Elapsed"_s);
        view.setController(&controller);
        view.setToolbarItemLabel(&caption);
        view.setObjectValue(clock(30.0));
    }
    void press() { QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(5, 5)); }
    void release() { QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(5, 5)); }

    LengthController controller;
    QLabel caption;
    TimeView view;
};

TEST(TimeViewTest, HoldingTheMouseShowsTheTotalTime)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct
    {
        const char *what;
        double length;
        std::function<void(Field &)> whilePressed;
        const char *pressedText;
        const char *releasedText;
    } cases[] = {
        {"total", 3725.0, [](Field &) {}, "1:02:05", "0:00:30"},
        {"past a day", 25 * 3600.0, [](Field &) {}, "25:00:00", "0:00:30"},
        {"no recording yet", 0.0, [](Field &) {}, "0:00:00", "0:00:30"},
        {"clock runs while held: the last time shows on release", 3725.0,
         [](Field &f) {
             f.view.setObjectValue(clock(31.0));
             f.view.setObjectValue(clock(32.0));
         },
         "1:02:05", "0:00:32"},
        {"the clock set to nothing while held", 3725.0,
         [](Field &f) { f.view.setObjectValue(std::nullopt); }, "1:02:05", "0:00:00"},
        {"negative length shows nothing new", -1.0, [](Field &) {}, "0:00:30", "0:00:30"},
        {"negative length, clock runs", -1.0, [](Field &f) { f.view.setObjectValue(clock(31.0)); },
         "0:00:31", "0:00:31"},
        {"length not a number", nan, [](Field &) {}, "0:00:30", "0:00:30"},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.what);
        Field field;
        field.controller.length = row.length;
        field.press();
        row.whilePressed(field);
        EXPECT_EQ(field.view.text(), QString::fromLatin1(row.pressedText));
        EXPECT_EQ(field.caption.text(), u"Total Time"_s);
        field.release();
        EXPECT_EQ(field.view.text(), QString::fromLatin1(row.releasedText));
        EXPECT_EQ(field.caption.text(), u"Elapsed"_s);
        EXPECT_FALSE(field.view.isShowingTotal());
    }
}

TEST(TimeViewTest, StartsAtTheEpochAndShowsNoValueAsZero)
{
    TimeView view;
    EXPECT_EQ(view.text(), u"0:00:00"_s);
    EXPECT_EQ(view.currentObject(), lq::clockEpoch());
    EXPECT_EQ(view.toolTip(), u"Click to see total recorded duration"_s);
    view.setObjectValue(clock(3725.0));
    EXPECT_EQ(view.text(), u"1:02:05"_s);
    view.setObjectValue(std::nullopt);
    EXPECT_EQ(view.text(), u"0:00:00"_s);
    EXPECT_EQ(view.currentObject(), lq::clockEpoch());

    // Without a controller or a caption a press changes nothing, and the right button is not a
    // press.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(view.text(), u"0:00:00"_s);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(5, 5));
    Field field;
    QTest::mouseClick(&field.view, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(field.caption.text(), u"Elapsed"_s);
}

} // namespace
