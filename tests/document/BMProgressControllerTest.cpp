#include "document/BMProgressController.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

TEST(BMProgressControllerTest, ShowPaintsTitleTextAndBarAtOnce)
{
    auto progress = BMProgressController::create(QStringLiteral("Saving"),
                                                 QStringLiteral("Saving the note, please wait."));
    EXPECT_EQ(progress->progressWindow()->windowTitle(), "Saving");
    EXPECT_EQ(progress->windowText()->text(), "Saving the note, please wait.");
    EXPECT_EQ(progress->progressBar()->minimum(), 0);
    EXPECT_EQ(progress->progressBar()->maximum(), 0);

    progress->show();
    // No further event processing: the caller's long work would start here.
    EXPECT_TRUE(progress->progressWindow()->isVisible());
    const QImage picture = progress->progressWindow()->grab().toImage();
    picture.save(QDir(QCoreApplication::applicationDirPath()).filePath("progress-window.png"));
    const QRect label = progress->windowText()->geometry();
    const QRgb background = picture.pixel(label.topLeft());
    int inked = 0;
    for (int y = label.top(); y <= label.bottom(); ++y) {
        for (int x = label.left(); x <= label.right(); ++x)
            inked += picture.pixel(x, y) != background;
    }
    EXPECT_GT(inked, 50);
    EXPECT_FALSE(progress->progressBar()->geometry().intersects(label));

    progress->hide();
    EXPECT_FALSE(progress->progressWindow()->isVisible());
}

} // namespace
