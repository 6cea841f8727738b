// The chrome of a note's window: the divider's strip along the bottom bar, the bar itself, the
// strip under the toolbar, the edit lock strip's backdrop and the slides pane's drop target,
// sampled in pictures at scales 1 and 2 that are written into the build folder.
#include "window/WindowChrome.h"

#include "PanesFixture.h"
#include "support/WidgetPictures.h"
#include "window/DragFileView.h"
#include "window/SidebarSection.h"

#include <QSplitter>
#include <QSplitterHandle>
#include <QTest>

namespace {

using namespace Qt::StringLiterals;

class WindowChromeTest : public lq::test::PanesTest
{
};

// Grey level of the pixel at point of widget, in a picture of the whole window at scale.
int greyAt(const QImage &picture, const QWidget &window, const QWidget &widget, QPoint point)
{
    const QPointF at = QPointF(widget.mapTo(&window, point)) * picture.devicePixelRatio();
    return qGray(picture.pixel(at.toPoint()));
}

TEST_F(WindowChromeTest, TheChromeIsDrawnWhereTheWindowPutsIt)
{
    DocumentWindow &w = window();
    w.resize(900, 560);
    w.editLockView->show();
    w.slidesSectionView->setExpanded(true);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QWidget &handle = *w.mainSplitView->handle(1);
    const QWidget &drop = *w.slidesDropTarget;
    const QWidget &lock = *w.editLockView;
    const QWidget &strip = *w.findChild<ToolbarExtension *>();
    const int foot = handle.height() - 1;
    const struct
    {
        const char *name;
        const QWidget &widget;
        QPoint point;
        int grey;
    } samples[] = {
        // The divider is dark grey along the bottom bar only.
        {"divider at its foot", handle, {handle.width() / 2, foot - 2}, 128},
        {"divider 21 pixels up", handle, {handle.width() / 2, foot - 21}, 128},
        {"drop target's top", drop, {drop.width() / 2, 1}, 37},
        {"drop target's foot", drop, {drop.width() / 2, drop.height() - 2}, 74},
        {"lock strip's top", lock, {lock.width() - 2, 0}, 246},
        {"lock strip's foot", lock, {lock.width() - 2, lock.height() - 1}, 213},
        {"toolbar strip's top", strip, {strip.width() / 2, 0}, 255},
        {"toolbar strip's foot", strip, {strip.width() / 2, strip.height() - 1}, 0},
    };
    for (const qreal scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage shot = lq::test::picture(w, scale);
        EXPECT_TRUE(shot.save(QCoreApplication::applicationDirPath() +
                              u"/window-chrome@%1x.png"_s.arg(scale)));
        for (const auto &sample : samples) {
            SCOPED_TRACE(sample.name);
            EXPECT_NEAR(greyAt(shot, w, sample.widget, sample.point), sample.grey, 3);
        }
        // Above the strip the divider shows what lies behind it.
        EXPECT_GT(std::abs(greyAt(shot, w, handle, {handle.width() / 2, foot - 40}) - 128), 20);
    }
}

} // namespace
