#include "window/PdfView.h"

#include "platform/foundation/MainThread.h"
#include "platform/pdf/PdfTestFiles.h"
#include "window/SlidesPages.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

class PdfViewTest : public testing::Test
{
protected:
    PdfViewTest()
    {
        const QString path = folder.filePath(u"slides.pdf"_s);
        EXPECT_TRUE(lq::test::writePdf(path, {QSize(400, 300), QSize(300, 400), QSize(400, 300)}));
        lq::Error error;
        pages = SlidesPages::open(path, &error);
        EXPECT_NE(pages, nullptr);
    }
    ~PdfViewTest() override { QThreadPool::globalInstance()->waitForDone(); }

    QTemporaryDir folder;
    std::shared_ptr<SlidesPages> pages;
};

TEST_F(PdfViewTest, PagesAreDrawnOffTheGuiThreadOnceForEachPageAndWidth)
{
    const struct
    {
        const char *name;
        int page;
        int width;
        bool drawnBefore;
    } requests[] = {
        {"first page", 0, 200, false},
        {"again", 0, 200, true},
        {"another width", 0, 300, false},
        {"another page", 1, 200, false},
    };
    for (const auto &r : requests) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(pages->cachedImage(r.page, r.width).isNull(), !r.drawnBefore);
        QImage handed;
        bool onGuiThread = false;
        QObject context;
        pages->requestImage(r.page, r.width, &context, [&](const QImage &image) {
            handed = image;
            onGuiThread = lq::isMainThread();
        });
        // Only a page drawn before is handed over at once.
        EXPECT_EQ(!handed.isNull(), r.drawnBefore);
        ASSERT_TRUE(
            lq::runEventLoopUntil([&] { return !handed.isNull(); }, std::chrono::seconds(5)));
        EXPECT_TRUE(onGuiThread);
        EXPECT_EQ(handed.width(), r.width);
        const QSizeF points = pages->pageSize(r.page);
        EXPECT_NEAR(handed.height(), r.width * points.height() / points.width(), 1.0);
    }
}

TEST_F(PdfViewTest, AnImageForAViewThatWentIsDropped)
{
    bool handed = false;
    {
        QObject context;
        pages->requestImage(2, 120, &context, [&](const QImage &) { handed = true; });
    }
    QThreadPool::globalInstance()->waitForDone();
    lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_FALSE(handed);
}

TEST_F(PdfViewTest, OnlyTheUsersPagingIsReported)
{
    PdfView view;
    view.resize(200, 150);
    view.setDocument(pages);
    QSignalSpy paged(&view, &PdfView::pageChanged);
    const struct
    {
        const char *name;
        std::function<void()> act;
        int page;
        QList<int> reported;
    } cases[] = {
        {"program turn", [&] { view.goToPage(2); }, 2, {}},
        {"key past the last page", [&] { QTest::keyClick(&view, Qt::Key_PageDown); }, 2, {}},
        {"key back", [&] { QTest::keyClick(&view, Qt::Key_PageUp); }, 1, {1}},
        {"Home", [&] { QTest::keyClick(&view, Qt::Key_Home); }, 0, {0}},
        {"key before the first page", [&] { QTest::keyClick(&view, Qt::Key_Up); }, 0, {}},
        {"program turn out of range", [&] { view.goToPage(3); }, 0, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        paged.clear();
        c.act();
        EXPECT_EQ(view.currentPage(), c.page);
        QList<int> reported;
        for (const QList<QVariant> &signal : paged)
            reported.append(signal.first().toInt());
        EXPECT_EQ(reported, c.reported);
    }
}

TEST_F(PdfViewTest, ZoomStepsScaleThePageAndAutoscaleFitsItAgain)
{
    PdfView view;
    view.resize(408, 308);
    view.setDocument(pages);
    // 400 by 300 points fit exactly inside the margins.
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 1.0);
    EXPECT_EQ(view.rowSizeForPage(0), QSize(408, 308));
    view.zoomIn();
    view.zoomIn();
    EXPECT_FALSE(view.autoScales());
    EXPECT_DOUBLE_EQ(view.scaleFactor(), PdfView::kZoomStep * PdfView::kZoomStep);
    EXPECT_EQ(view.rowSizeForPage(1),
              QSize(qRound(300 * view.scaleFactor()) + 8, qRound(400 * view.scaleFactor()) + 8));
    view.zoomOut();
    EXPECT_DOUBLE_EQ(view.scaleFactor(), PdfView::kZoomStep);
    int steps = 0;
    while (view.canZoomOut() && steps < 100) {
        view.zoomOut();
        ++steps;
    }
    EXPECT_GE(view.scaleFactor(), PdfView::kMinimumScale);
    const double smallest = view.scaleFactor();
    view.zoomOut();
    EXPECT_DOUBLE_EQ(view.scaleFactor(), smallest);
    view.setAutoScales(true);
    EXPECT_DOUBLE_EQ(view.scaleFactor(), 1.0);
}

} // namespace
