#include "shared/WindowFitting.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(WindowFittingTest, FitRectMovesAndShrinksIntoTheVisibleFrame)
{
    const QRect visible(0, 25, 1440, 875);
    struct Case
    {
        const char *what;
        QRect frame;
        QRect fitted;
    };
    const Case cases[] = {
        {"already fits", {100, 100, 800, 600}, {100, 100, 800, 600}},
        {"exactly the visible frame", visible, visible},
        {"too wide", {200, 100, 2000, 600}, {0, 100, 1440, 600}},
        {"too tall", {100, 300, 800, 1000}, {100, 25, 800, 875}},
        {"off the right edge", {1000, 100, 800, 600}, {640, 100, 800, 600}},
        {"off the bottom edge", {100, 700, 800, 600}, {100, 300, 800, 600}},
        {"off the left and top edges", {-300, -50, 800, 600}, {0, 25, 800, 600}},
        {"as wide as the visible frame, shifted", {10, 100, 1440, 600}, {0, 100, 1440, 600}},
        {"too big both ways", {-10, -10, 3000, 2000}, visible},
    };
    for (const Case &c : cases) {
        const FittedRect result = fitRect(c.frame, visible);
        EXPECT_EQ(result.rect, c.fitted) << c.what;
        EXPECT_EQ(result.changed, c.fitted != c.frame) << c.what;
    }
}

// On the offscreen platform windows have fake frame margins; the fit works on the frame.
TEST(WindowFittingTest, FitsAShownWindowIntoItsScreen)
{
    QWidget window;
    window.setGeometry(100, 100, 300, 200);
    window.show();
    const QRect visible = window.screen()->availableGeometry();

    window.resize(visible.width() + 500, 200);
    fitWindowInScreen(&window);
    QRect frame = window.frameGeometry();
    EXPECT_EQ(frame.x(), visible.x());
    EXPECT_EQ(frame.width(), visible.width());
    EXPECT_TRUE(visible.contains(frame));

    window.resize(200, 150);
    window.move(visible.right() - 100, 100);
    fitWindowInScreen(&window);
    frame = window.frameGeometry();
    EXPECT_EQ(frame.right(), visible.right());
    EXPECT_EQ(window.size(), QSize(200, 150));

    const QRect fitting = window.frameGeometry();
    fitWindowInScreen(&window);
    EXPECT_EQ(window.frameGeometry(), fitting);
}

TEST(WindowFittingTest, CentresOverTheDocumentWindowOrTheScreen)
{
    QWidget document;
    document.setGeometry(200, 150, 400, 300);
    document.show();
    QWidget window;
    window.resize(100, 80);
    window.show();

    fitWindowToDocument(&window, &document);
    EXPECT_EQ(window.frameGeometry().center(), document.frameGeometry().center());

    fitWindowToDocument(&window, nullptr);
    EXPECT_EQ(window.frameGeometry().center(),
              QApplication::primaryScreen()->availableGeometry().center());
}

TEST(WindowFittingTest, ACascadedWindowStepsFromThePreviousOneAndStaysInTheVisibleFrame)
{
    const QRect visible(0, 0, 1280, 1000);
    struct Case
    {
        const char *what;
        QSize size;
        QRect previous;
        QRect cascaded;
    };
    const Case cases[] = {
        {"one step right and down", {900, 650}, {40, 30, 900, 650}, {64, 54, 900, 650}},
        {"past the bottom: back to the top left",
         {900, 650},
         {100, 340, 900, 650},
         {0, 0, 900, 650}},
        {"past the right edge: back to the top left",
         {900, 650},
         {370, 10, 900, 650},
         {0, 0, 900, 650}},
        {"taller than the screen: as tall as it",
         {900, 1200},
         {0, 0, 900, 1000},
         {0, 0, 900, 1000}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(cascadedFrame(c.size, c.previous, 24, visible), c.cascaded) << c.what;
}

} // namespace
