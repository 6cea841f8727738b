#include "platform/ui/WindowFrameString.h"

#include <QWidget>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

TEST(WindowFrameStringTest, FramesAreWrittenFromTheBottomLeftOfThePrimaryScreen)
{
    const struct
    {
        QRect frame;
        QRect screen;
        QRect primary;
        QString string;
    } cases[] = {
        {{100, 50, 800, 600},
         {0, 0, 1440, 900},
         {0, 0, 1440, 900},
         u"100 250 800 600 0 0 1440 900 "_s},
        {{0, 0, 1440, 900}, {0, 0, 1440, 900}, {0, 0, 1440, 900}, u"0 0 1440 900 0 0 1440 900 "_s},
        // A second screen above the primary one.
        {{10, -700, 300, 200},
         {0, -1080, 1920, 1080},
         {0, 0, 1440, 900},
         u"10 1400 300 200 0 900 1920 1080 "_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.string.toStdString());
        EXPECT_EQ(lq::frameString(c.frame, c.screen, c.primary), c.string);
        EXPECT_EQ(lq::frameFromString(c.string, c.primary), c.frame);
    }
}

TEST(WindowFrameStringTest, StringsWithoutAFrameAreRefused)
{
    const QRect primary(0, 0, 1440, 900);
    const QString strings[] = {u""_s,         u"1 2 3"_s,       u"a b c d"_s,  u"1 2 0 4"_s,
                               u"1 2 3 -4"_s, u"1e300 2 3 4"_s, u"nan 2 3 4"_s};
    for (const QString &string : strings)
        EXPECT_FALSE(lq::frameFromString(string, primary)) << string.toStdString();
    // Four numbers are enough; fractions are rounded.
    EXPECT_EQ(lq::frameFromString(u"10.4 20.6 300 200"_s, primary), QRect(10, 679, 300, 200));

    QWidget window;
    window.setGeometry(20, 30, 200, 100);
    EXPECT_FALSE(lq::setWindowFrameFromString(&window, u"junk"_s));
    EXPECT_EQ(window.geometry(), QRect(20, 30, 200, 100));
    ASSERT_TRUE(lq::setWindowFrameFromString(&window, lq::windowFrameString(&window)));
    EXPECT_EQ(window.geometry(), QRect(20, 30, 200, 100));
}

} // namespace
