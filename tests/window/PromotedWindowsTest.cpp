#include "PanesFixture.h"
#include "platform/foundation/UndoManager.h"
#include "support/FakeUiServices.h"
#include "support/WidgetPictures.h"
#include "window/AspectPane.h"
#include "window/LQVideoView.h"
#include "window/PDFMiniView.h"
#include "window/PromotedWindow.h"
#include "window/QTCaptureMiniView.h"
#include "window/QTMovieMiniView.h"
#include "window/SidebarSection.h"

#include <QDir>
#include <QScreen>
#include <QTest>
#include <QToolButton>

namespace {

using namespace Qt::StringLiterals;

class PromotedWindowsTest : public lq::test::PanesTest
{
protected:
    PromotedWindowsTest()
    {
        video->setNaturalSize(QSizeF(640, 480));
        window().show();
    }

    ~PromotedWindowsTest() override { delete video.data(); }

    QWidget *sidebarVideoArea() const { return window().videoDisplayView; }
    bool inSidebar() const { return video->parentWidget() == sidebarVideoArea(); }
    bool inVideoWindow() const
    {
        return video->parentWidget() == controller->videoWindow().contentView();
    }

    void openVideoSection(bool open) const { window().videoSectionView->setExpanded(open); }

    QPointer<LQVideoView> video = new LQVideoView;
    lq::test::CountingBeeper beeper;
};

TEST_F(PromotedWindowsTest, TheVideoViewGoesToTheSidebarOnlyWhileItsSectionIsOpen)
{
    const struct
    {
        const char *name;
        bool sectionOpen;
        bool windowShown;
        bool expectSidebar;
    } cases[] = {
        {"section open", true, false, true},
        {"section shut: parked", false, false, false},
        {"window shown", true, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        openVideoSection(c.sectionOpen);
        controller->videoWindow().setVisible(c.windowShown);
        controller->setVideoView(video);
        EXPECT_EQ(inSidebar(), c.expectSidebar);
        EXPECT_EQ(inVideoWindow(), !c.expectSidebar);
        EXPECT_EQ(video->controller(), controller.get());
        controller->videoWindow().hide();
    }
    // Nothing left in the sidebar when the view goes.
    openVideoSection(true);
    controller->setVideoView(video);
    controller->setVideoView(nullptr);
    EXPECT_TRUE(sidebarVideoArea()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).isEmpty());
}

TEST_F(PromotedWindowsTest, OpenPanesTakeTheProportionsOfTheirVideoOrSlides)
{
    controller->setSlidesPath(makeSlides(2));
    controller->showSlide(1);
    const struct
    {
        const char *name;
        std::optional<QSizeF> natural;
        double videoRatio;
    } cases[] = {
        {"wide video", QSizeF(1280, 720), 16.0 / 9},
        {"unknown size", std::nullopt, 16.0 / 9},
        {"square video", QSizeF(480, 480), 1.0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        video->setNaturalSize(c.natural);
        controller->expandVideoSection();
        window().slidesSectionView->setExpanded(true);
        controller->setVideoView(video);
        lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(20));
        // Inside the pane's one-pixel margins.
        const auto ratioOf = [](const QWidget *pane) {
            return (pane->width() - 2.0) / (pane->height() - 2.0);
        };
        EXPECT_NEAR(ratioOf(sidebarVideoArea()), c.videoRatio, 0.02);
        EXPECT_NEAR(ratioOf(window().slidesPane), 400.0 / 300.0, 0.02);
    }
}

TEST_F(PromotedWindowsTest, DoubleClickPromotesTheVideoAndClosingBringsItBack)
{
    const struct
    {
        const char *name;
        bool sectionOpen;
        bool backInSidebar;
    } cases[] = {{"section open", true, true}, {"section shut", false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        openVideoSection(true);
        controller->setVideoView(video);
        QTest::mouseDClick(video, Qt::LeftButton);
        EXPECT_TRUE(controller->videoWindow().isVisible());
        EXPECT_TRUE(inVideoWindow());
        EXPECT_TRUE(video->toolTip().isEmpty());
        EXPECT_TRUE(viewItems().contains(u"Close Video Window"_s));
        openVideoSection(c.sectionOpen);
        controller->videoWindow().close();
        EXPECT_EQ(inSidebar(), c.backInSidebar);
        EXPECT_EQ(inVideoWindow(), !c.backInSidebar);
        EXPECT_EQ(video->toolTip(), u"Double-click to promote Video to its own window."_s);
        EXPECT_TRUE(viewItems().contains(u"Promote Video to Window"_s));
    }
}

TEST_F(PromotedWindowsTest, TheLegacyEnginesVideoViewsArePromotedAlike)
{
    std::unique_ptr<QWidget> capture = std::make_unique<QTCaptureMiniView>();
    std::unique_ptr<QWidget> movie = std::make_unique<QTMovieMiniView>();
    openVideoSection(true);
    window().show();
    for (QWidget *view : {capture.get(), movie.get()}) {
        SCOPED_TRACE(view->metaObject()->className());
        controller->setVideoView(view);
        QTest::mouseDClick(view, Qt::LeftButton);
        EXPECT_EQ(view->parentWidget(), controller->videoWindow().contentView());
        controller->videoWindow().close();
        EXPECT_EQ(view->parentWidget(), sidebarVideoArea());
    }
    controller->setVideoView(nullptr);
}

TEST_F(PromotedWindowsTest, DoubleClickOnTheSlidePromotesTheSlides)
{
    controller->setSlidesPath(makeSlides(2));
    controller->showSlide(2);
    window().slidesSectionView->setExpanded(true);
    QTest::mouseDClick(window().slidesPDFMiniView, Qt::LeftButton);
    EXPECT_TRUE(controller->slidesWindow().isVisible());
    EXPECT_EQ(controller->slidesPDFView().currentPage(), 1);
    EXPECT_TRUE(viewItems().contains(u"Close Slides Window"_s));
    // The sidebar keeps its slide.
    EXPECT_TRUE(window().slidesPDFMiniView->isVisible());
}

TEST_F(PromotedWindowsTest, TheVideoDisclosureParksAndBringsBackTheView)
{
    openVideoSection(true);
    controller->setVideoView(video);
    QTest::mouseClick(window().videoSectionView->disclosureButton(), Qt::LeftButton);
    EXPECT_TRUE(inVideoWindow());
    EXPECT_FALSE(controller->videoWindow().isVisible());
    QTest::mouseClick(window().videoSectionView->disclosureButton(), Qt::LeftButton);
    EXPECT_TRUE(inSidebar());
}

TEST_F(PromotedWindowsTest, TheViewMenuItemsPromoteAndCloseForTheActiveWindow)
{
    const auto trigger = [this](const QString &title) {
        window().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
        for (QAction *item : mainMenu.menuTitled(u"View"_s)->actions()) {
            if (item->text() == title)
                item->trigger();
        }
    };
    const struct
    {
        const char *name;
        PromotedWindow *window;
        QString promote;
        QString close;
    } cases[] = {
        {"slides", &controller->slidesWindow(), u"Promote Slides to Window"_s,
         u"Close Slides Window"_s},
        {"video", &controller->videoWindow(), u"Promote Video to Window"_s,
         u"Close Video Window"_s},
    };
    // Without slides or a video to show, the items are refused when they fire.
    for (const auto &c : cases) {
        trigger(c.promote);
        EXPECT_FALSE(c.window->isVisible()) << c.name;
    }
    controller->setSlidesPath(makeSlides(2));
    controller->setVideoView(video);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        trigger(c.promote);
        EXPECT_TRUE(c.window->isVisible());
        EXPECT_TRUE(viewItems().contains(c.close));
        trigger(c.close);
        EXPECT_FALSE(c.window->isVisible());
        EXPECT_TRUE(viewItems().contains(c.promote));
    }
    EXPECT_EQ(beeper.beeps, 0);
}

TEST_F(PromotedWindowsTest, ZoomItemsAreInTheViewMenuOnlyWhileAPromotedWindowIsActive)
{
    const QStringList promote{u"Promote Slides to Window"_s, u"Promote Video to Window"_s};
    const struct
    {
        const char *name;
        PromotedWindow *window;
        QStringList added;
    } cases[] = {
        {"slides", &controller->slidesWindow(), {u"Zoom In"_s, u"Zoom Out"_s}},
        {"video",
         &controller->videoWindow(),
         {u"Zoom In"_s, u"Zoom Out"_s, u"Zoom to Actual Size"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Twice in a row still adds one set.
        controller->windowKeyChanged(c.window, true);
        controller->windowKeyChanged(c.window, true);
        EXPECT_EQ(viewItems(), promote + c.added);
        EXPECT_TRUE(smaller->shortcut().isEmpty());
        controller->windowKeyChanged(c.window, false);
        EXPECT_EQ(viewItems(), promote);
        EXPECT_EQ(smaller->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Minus));
    }
    controller->windowKeyChanged(nullptr, true);
    EXPECT_EQ(viewItems(), promote);
}

TEST_F(PromotedWindowsTest, AControllerGoingWithAnActiveWindowTakesItsZoomItems)
{
    controller->setVideoView(video);
    controller->moveVideoToWindowAndShow(true);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&controller->videoWindow()));
    ASSERT_TRUE(viewItems().contains(u"Zoom In"_s));
    controller.reset();
    EXPECT_FALSE(viewItems().contains(u"Zoom In"_s));
    EXPECT_EQ(smaller->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Minus));
}

TEST_F(PromotedWindowsTest, CtrlMinusInTheActiveVideoWindowZoomsOutNotTheFont)
{
    int smallerFired = 0;
    QObject::connect(smaller, &QAction::triggered, [&] { ++smallerFired; });
    openVideoSection(true);
    controller->setVideoView(video);
    controller->moveVideoToWindowAndShow(true);
    PromotedWindow &videoWindow = controller->videoWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&videoWindow));
    EXPECT_TRUE(viewItems().contains(u"Zoom Out"_s));
    videoWindow.setContentSize(QSize(400, 300));
    QTest::keyClick(&videoWindow, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(videoWindow.contentSize(), QSize(286, 214));
    EXPECT_EQ(smallerFired, 0);
}

TEST_F(PromotedWindowsTest, VideoZoomStopsAtTheScreenAndAtTheMinimumWidthWithABeep)
{
    openVideoSection(true);
    controller->setVideoView(video);
    controller->moveVideoToWindowAndShow(true);
    PromotedWindow &videoWindow = controller->videoWindow();
    videoWindow.setContentSize(QSize(400, 300));
    const QSize screen = videoWindow.screen()->availableGeometry().size();
    QSize last;
    for (int step = 0; step < 10 && beeper.beeps == 0; ++step) {
        last = videoWindow.contentSize();
        controller->zoomVideoIn();
    }
    EXPECT_EQ(beeper.beeps, 1);
    EXPECT_EQ(videoWindow.contentSize(), last);
    EXPECT_LE(videoWindow.frameGeometry().width(), screen.width());
    EXPECT_LE(videoWindow.frameGeometry().height(), screen.height());
    EXPECT_NEAR(double(last.width()) / last.height(), 4.0 / 3, 0.01);

    for (int step = 0; step < 20 && beeper.beeps == 1; ++step) {
        last = videoWindow.contentSize();
        controller->zoomVideoOut();
    }
    EXPECT_EQ(beeper.beeps, 2);
    EXPECT_EQ(videoWindow.contentSize(), last);
    EXPECT_LT(last.width() / 1.4, 80.0);
    EXPECT_GE(last.width(), 80);
}

TEST_F(PromotedWindowsTest, ActualSizeNeedsAKnownNaturalSize)
{
    openVideoSection(true);
    controller->setVideoView(video);
    controller->moveVideoToWindowAndShow(true);
    PromotedWindow &videoWindow = controller->videoWindow();
    const struct
    {
        const char *name;
        std::optional<QSizeF> natural;
        QSize expected;
        int beeps;
    } cases[] = {
        {"known", QSizeF(320, 240), QSize(320, 240), 0},
        {"empty", QSizeF(0, 0), QSize(500, 300), 1},
        {"unknown", std::nullopt, QSize(500, 300), 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        videoWindow.setContentSize(QSize(500, 300));
        video->setNaturalSize(c.natural);
        beeper.beeps = 0;
        controller->zoomVideoNatural();
        EXPECT_EQ(videoWindow.contentSize(), c.expected);
        EXPECT_EQ(beeper.beeps, c.beeps);
    }
}

TEST_F(PromotedWindowsTest, SlidesZoomThePageOnceTheWindowFillsTheScreen)
{
    controller->setSlidesPath(makeSlides(2));
    controller->showSlide(1);
    controller->promoteSlidesToWindow();
    PromotedWindow &slidesWindow = controller->slidesWindow();
    PdfView &view = controller->slidesPDFView();
    for (int step = 0; step < 10 && controller->slidesZoomLevel() == 0; ++step)
        controller->zoomSlidesIn();
    ASSERT_EQ(controller->slidesZoomLevel(), 1);
    const double zoomed = view.scaleFactor();
    controller->zoomSlidesIn();
    EXPECT_EQ(controller->slidesZoomLevel(), 2);
    EXPECT_NEAR(view.scaleFactor(), zoomed * PdfView::kZoomStep, 1e-9);

    controller->zoomSlidesOut();
    EXPECT_EQ(controller->slidesZoomLevel(), 1);
    EXPECT_NEAR(view.scaleFactor(), zoomed, 1e-9);
    controller->zoomSlidesOut();
    EXPECT_EQ(controller->slidesZoomLevel(), 0);
    EXPECT_EQ(slidesWindow.contentSize(), view.rowSizeForPage(0));
    // Then the window itself shrinks, the page fitted to it.
    const QSize before = slidesWindow.contentSize();
    controller->zoomSlidesOut();
    EXPECT_LT(slidesWindow.contentSize().width(), before.width());
    EXPECT_TRUE(view.autoScales());
    EXPECT_EQ(beeper.beeps, 0);
}

// Adds slides, turns them with undo and redo, promotes the slides and the video, and keeps
// pictures of the windows in the build folder.
TEST_F(PromotedWindowsTest, PicturesOfTheWindowWithSlidesAndWithVideo)
{
    controller->setSlidesPath(makeSlides(4));
    controller->expandSlidesSection();
    controller->showSlide(1);
    for (const uint32_t slide : {2u, 3u}) {
        controller->showSlide(slide);
        lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(5));
    }
    document->undoManager()->undo();
    document->undoManager()->redo();
    document->undoManager()->undo();
    EXPECT_EQ(controller->slideNum(), 2u);

    auto *picture = new QWidget(video);
    picture->setAutoFillBackground(true);
    QPalette palette = picture->palette();
    palette.setColor(QPalette::Window, QColor(200, 120, 40));
    picture->setPalette(palette);
    controller->expandVideoSection();
    controller->setVideoView(video);
    const auto settled = [this] {
        return window().slidesPDFMiniView->pageReady() && !window().slidesPDFMiniView->isHidden();
    };
    ASSERT_TRUE(lq::runEventLoopUntil(settled, std::chrono::seconds(5)));
    lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(600));
    const QDir out(QCoreApplication::applicationDirPath());
    const QImage withSlides = window().grab().toImage();
    EXPECT_GT(lq::test::colourCount(withSlides), 8);
    EXPECT_TRUE(withSlides.save(out.filePath(u"window-with-slides-and-video.png"_s)));
    EXPECT_TRUE(lq::test::picture(window(), 2.0)
                    .save(out.filePath(u"window-with-slides-and-video@2x.png"_s)));

    controller->promoteSlidesToWindow();
    controller->QTMiniViewDoubleClicked();
    PdfView &promoted = controller->slidesPDFView();
    ASSERT_TRUE(
        lq::runEventLoopUntil([&] { return promoted.pageReady(); }, std::chrono::seconds(5)));
    const QImage slides = controller->slidesWindow().grab().toImage();
    const QImage videoPicture = controller->videoWindow().grab().toImage();
    EXPECT_GT(lq::test::colourCount(slides), 8);
    EXPECT_GT(lq::test::colourCount(videoPicture), 1);
    EXPECT_TRUE(slides.save(out.filePath(u"slides-window.png"_s)));
    EXPECT_TRUE(videoPicture.save(out.filePath(u"video-window.png"_s)));
    EXPECT_TRUE(window().grab().toImage().save(out.filePath(u"window-after-promotion.png"_s)));
}

} // namespace
