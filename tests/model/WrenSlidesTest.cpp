#include "model/WrenSlides.h"

#include "platform/foundation/FileOperations.h"
#include "platform/pdf/PdfTestFiles.h"
#include "support/LogCapture.h"
#include "support/ScriptedAlertPresenter.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using lq::test::contentsOf;
using lq::test::pageSizesOf;
using lq::test::writeContents;
using lq::test::writePdf;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAre;

const QList<QSize> kOldPages{{300, 200}, {310, 200}, {320, 200}};
const QList<QSize> kNewPages{{400, 500}, {410, 500}};

class WrenSlidesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(writePdf(pathOf("slides.pdf"), kOldPages));
        ASSERT_TRUE(writePdf(pathOf("new.pdf"), kNewPages));
        slides.setPath(pathOf("slides.pdf"));
        slidesBefore = contentsOf(pathOf("slides.pdf"));
    }

    void TearDown() override
    {
        if (failing)
            lq::FileOperations::setCurrent(previousOperations);
    }

    QString pathOf(const QString &name) const { return folder.filePath(name); }

    QStringList entries(const QString &subfolder = QString()) const
    {
        return QDir(folder.filePath(subfolder))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // Makes every file operation of that kind on that path fail from now on.
    void failOperation(const QString &operation, const QString &path)
    {
        failing = std::make_unique<lq::FailingFileOperations>(
            [operation, path](const QString &op, const QString &target) {
                return op == operation && (path.isEmpty() || target == path);
            });
        previousOperations = lq::FileOperations::setCurrent(failing.get());
    }

    QTemporaryDir folder;
    WrenSlides slides;
    QByteArray slidesBefore;
    lq::test::ScriptedAlertPresenter alerts;
    lq::test::LogCapture log;
    std::unique_ptr<lq::FailingFileOperations> failing;
    lq::FileOperations *previousOperations = nullptr;
};

TEST_F(WrenSlidesTest, ReplacesTheSlidesByTheNewFile)
{
    EXPECT_TRUE(slides.addSlides(pathOf("new.pdf")));
    EXPECT_EQ(contentsOf(pathOf("slides.pdf")), contentsOf(pathOf("new.pdf")));
    EXPECT_THAT(entries(), UnorderedElementsAre("slides.pdf", "new.pdf"));
    EXPECT_EQ(alerts.count(), 0);

    // Also when there are no slides yet.
    slides.setPath(pathOf("fresh.pdf"));
    EXPECT_TRUE(slides.addSlides(pathOf("new.pdf"), WrenSlides::kReplaceMode));
    EXPECT_THAT(pageSizesOf(pathOf("fresh.pdf")), ElementsAre(QSize(400, 500), QSize(410, 500)));
}

TEST_F(WrenSlidesTest, PutsTheNewPagesInFrontOrAfter)
{
    const QList<QSize> inFront{{400, 500}, {410, 500}, {300, 200}, {310, 200}, {320, 200}};
    const QList<QSize> after{{300, 200}, {310, 200}, {320, 200}, {400, 500}, {410, 500}};
    for (const auto &[mode, expected] :
         {std::pair{2, inFront}, std::pair{3, after}, std::pair{0, after}, std::pair{-1, after}}) {
        ASSERT_TRUE(writePdf(pathOf("slides.pdf"), kOldPages));
        EXPECT_TRUE(slides.addSlides(pathOf("new.pdf"), mode)) << "mode " << mode;
        EXPECT_EQ(pageSizesOf(pathOf("slides.pdf")), expected) << "mode " << mode;
        EXPECT_THAT(entries(), UnorderedElementsAre("slides.pdf", "new.pdf")) << "mode " << mode;
    }
    EXPECT_THAT(log.lines(), IsEmpty());
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(WrenSlidesTest, MergesDespiteCopiesLeftByAnInterruptedMerge)
{
    ASSERT_TRUE(writeContents(pathOf("slides.pdf.old"), "stale"));
    ASSERT_TRUE(writeContents(pathOf("slides.pdf.new"), "stale"));
    EXPECT_TRUE(slides.addSlides(pathOf("new.pdf"), WrenSlides::kAppendMode));
    EXPECT_EQ(pageSizesOf(pathOf("slides.pdf")).size(), 5);
    EXPECT_THAT(entries(), UnorderedElementsAre("slides.pdf", "new.pdf"));
}

TEST_F(WrenSlidesTest, AcceptsAPdfReachedThroughLinks)
{
    // The resolved name decides, not the link's.
    ASSERT_TRUE(QFile::link(pathOf("new.pdf"), pathOf("middle.PDF")));
    ASSERT_TRUE(QFile::link(pathOf("middle.PDF"), pathOf("link")));
    EXPECT_TRUE(slides.addSlides(pathOf("link"), WrenSlides::kInsertInFrontMode));
    EXPECT_EQ(pageSizesOf(pathOf("slides.pdf")).size(), 5);
    EXPECT_TRUE(slides.addSlides(pathOf("middle.PDF")));
    EXPECT_EQ(contentsOf(pathOf("slides.pdf")), contentsOf(pathOf("new.pdf")));
}

TEST_F(WrenSlidesTest, RefusalsLeaveTheSlidesUntouched)
{
    ASSERT_TRUE(writePdf(pathOf("capitals.PDF"), kNewPages));
    ASSERT_TRUE(writeContents(pathOf("text.pdf"), "This is no PDF.\n"));
    ASSERT_TRUE(QFile::link(pathOf("gone.pdf"), pathOf("dangling.pdf")));
    QDir(folder.path()).mkdir("folder.pdf");
    struct Case
    {
        QString file;
        int mode;
        QString logLine; // empty: no line is required
    };
    const Case cases[] = {
        {"capitals.PDF", 1, "Could not add slides, file is not a PDF\n"},
        {"capitals.PDF", 2, "Could not add slides, file is not a PDF\n"},
        {"text.pdf", 1, {}},
        {"text.pdf", 3, {}},
        {"folder.pdf", 1, {}},
        {"dangling.pdf", 1, "Could not resolve " + pathOf("dangling.pdf") + "\n"},
        {"missing.pdf", 2, "Could not resolve " + pathOf("missing.pdf") + "\n"},
    };
    const QStringList entriesBefore = entries();
    for (const Case &c : cases) {
        log.clear();
        EXPECT_FALSE(slides.addSlides(pathOf(c.file), c.mode)) << qPrintable(c.file);
        EXPECT_EQ(contentsOf(pathOf("slides.pdf")), slidesBefore) << qPrintable(c.file);
        EXPECT_EQ(entries(), entriesBefore) << qPrintable(c.file);
        if (!c.logLine.isEmpty()) {
            EXPECT_THAT(log.lines(), ElementsAre(c.logLine)) << qPrintable(c.file);
        }
    }
    EXPECT_EQ(alerts.count(), 0);

    WrenSlides withoutPath;
    EXPECT_FALSE(withoutPath.addSlides(pathOf("new.pdf")));
}

TEST_F(WrenSlidesTest, MergesNeedExistingReadableSlides)
{
    for (const int mode : {2, 3}) {
        slides.setPath(pathOf("none.pdf"));
        log.clear();
        EXPECT_FALSE(slides.addSlides(pathOf("new.pdf"), mode));
        EXPECT_FALSE(QFile::exists(pathOf("none.pdf")));
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines().first().startsWith("Failed to copy old slides file, "));

        ASSERT_TRUE(writeContents(pathOf("broken.pdf"), "no PDF"));
        slides.setPath(pathOf("broken.pdf"));
        log.clear();
        EXPECT_FALSE(slides.addSlides(pathOf("new.pdf"), mode));
        EXPECT_EQ(contentsOf(pathOf("broken.pdf")), "no PDF");
        EXPECT_THAT(log.lines(), ElementsAre("Failed to parse pdf\n"));
        EXPECT_THAT(entries(), UnorderedElementsAre("slides.pdf", "new.pdf", "broken.pdf"));
    }
}

TEST_F(WrenSlidesTest, FailedFileOperationsLeaveTheSlidesUntouched)
{
    struct Case
    {
        const char *name;
        int mode;
        QString operation;
        QString path; // empty: any path
        QString logStart;
        bool showsAlert;
    };
    const QString slidesPath = pathOf("slides.pdf");
    const Case cases[] = {
        {"copy of the replacement", 1, "copy", {}, {}, true},
        {"replace of the slides", 1, "replace", slidesPath, {}, true},
        {"sync of the folder", 1, "sync", folder.path(), {}, true},
        {"copy of the old slides", 2, "copy", slidesPath + ".old",
         "Failed to copy old slides file, ", false},
        {"copy of the new file", 2, "copy", slidesPath + ".new", {}, true},
        {"replace by the merged file", 3, "replace", slidesPath, "Failed to write merged slides, ",
         false},
    };
    for (const Case &c : cases) {
        failOperation(c.operation, c.path);
        log.clear();
        const int alertsBefore = alerts.count();
        EXPECT_FALSE(slides.addSlides(pathOf("new.pdf"), c.mode)) << c.name;
        lq::FileOperations::setCurrent(previousOperations);
        failing.reset();

        EXPECT_EQ(contentsOf(slidesPath), slidesBefore) << c.name;
        EXPECT_THAT(entries(), UnorderedElementsAre("slides.pdf", "new.pdf")) << c.name;
        if (c.logStart.isEmpty()) {
            EXPECT_THAT(log.lines(), IsEmpty()) << c.name;
        } else {
            ASSERT_EQ(log.lines().size(), 1) << c.name;
            EXPECT_TRUE(log.lines().first().startsWith(c.logStart)) << c.name;
        }
        ASSERT_EQ(alerts.count() - alertsBefore, c.showsAlert ? 1 : 0) << c.name;
        if (c.showsAlert) {
            const lq::AlertRequest alert = alerts.last().request;
            EXPECT_FALSE(alerts.last().asSheet) << c.name;
            EXPECT_TRUE(alert.messageText.startsWith("Error copying PDF: ")) << c.name;
            EXPECT_TRUE(alert.messageText.endsWith(".")) << c.name;
            EXPECT_EQ(alert.buttons, QStringList{"OK"}) << c.name;
        }
    }
}

TEST_F(WrenSlidesTest, LogsCopiesThatCannotBeRemovedAfterAMerge)
{
    struct Case
    {
        QString copy;
        QString logStart;
    };
    const Case cases[] = {
        {".old", "Could not remove old slides file: "},
        {".new", "Failed to remove temporary PDF file, continuing: "},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(writePdf(pathOf("slides.pdf"), kOldPages));
        failOperation("remove", pathOf("slides.pdf") + c.copy);
        log.clear();
        EXPECT_TRUE(slides.addSlides(pathOf("new.pdf"), WrenSlides::kAppendMode));
        lq::FileOperations::setCurrent(previousOperations);
        failing.reset();
        EXPECT_EQ(pageSizesOf(pathOf("slides.pdf")).size(), 5);
        ASSERT_EQ(log.lines().size(), 1);
        EXPECT_TRUE(log.lines().first().startsWith(c.logStart)) << qPrintable(log.lines().first());
        QFile::remove(pathOf("slides.pdf") + c.copy);
    }
}

TEST_F(WrenSlidesTest, RemovesTheSlidesFile)
{
    slides.removeSlides();
    EXPECT_FALSE(QFile::exists(pathOf("slides.pdf")));
    slides.removeSlides(); // nothing left to remove: ignored
    WrenSlides().removeSlides();
    EXPECT_THAT(entries(), UnorderedElementsAre("new.pdf"));
}

class WrenSlidesExportTest : public WrenSlidesTest
{
protected:
    QSize imageSize(const QString &path) const { return QImage(pathOf(path)).size(); }
};

TEST_F(WrenSlidesExportTest, WritesEveryPageFullSizeAndSmall)
{
    ASSERT_TRUE(writePdf(pathOf("slides.pdf"), {{720, 540}, {300, 400}}));
    ASSERT_TRUE(QDir(folder.path()).mkdir("web"));
    EXPECT_TRUE(slides.exportSlidesImagesToPath(pathOf("web")));
    EXPECT_THAT(entries("web/slides"), UnorderedElementsAre("fullsize", "1.png", "2.png"));
    EXPECT_THAT(entries("web/slides/fullsize"), UnorderedElementsAre("1.png", "2.png"));
    EXPECT_EQ(imageSize("web/slides/fullsize/1.png"), QSize(720, 540));
    EXPECT_EQ(imageSize("web/slides/1.png"), QSize(320, 240));
    EXPECT_EQ(imageSize("web/slides/fullsize/2.png"), QSize(300, 400));
    EXPECT_EQ(imageSize("web/slides/2.png"), QSize(320, 427));
    EXPECT_EQ(QImage(pathOf("web/slides/1.png")).pixelColor(160, 120).toRgb(), QColor(30, 90, 160));
    EXPECT_THAT(log.lines(), IsEmpty());
}

TEST_F(WrenSlidesExportTest, WritesOnlyTheFoldersForADocumentWithoutPages)
{
    ASSERT_TRUE(lq::test::writePdfWithoutPages(pathOf("slides.pdf")));
    EXPECT_TRUE(slides.exportSlidesImagesToPath(folder.path()));
    EXPECT_THAT(entries("slides"), ElementsAre("fullsize"));
    EXPECT_THAT(entries("slides/fullsize"), IsEmpty());
}

TEST_F(WrenSlidesExportTest, RefusesAnExistingSlidesFolder)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir("slides"));
    EXPECT_FALSE(slides.exportSlidesImagesToPath(folder.path()));
    EXPECT_THAT(entries("slides"), IsEmpty());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(
        log.lines().first().startsWith("While exporting, failed to create directory for slides: "));

    log.clear();
    EXPECT_FALSE(slides.exportSlidesImagesToPath(pathOf("missing/folder")));
    EXPECT_FALSE(QFile::exists(pathOf("missing")));
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(WrenSlidesExportTest, NeedsReadableSlides)
{
    for (const QString &path : {pathOf("absent.pdf"), pathOf("new.pdf") + "x", QString()}) {
        slides.setPath(path);
        log.clear();
        EXPECT_FALSE(slides.exportSlidesImagesToPath(folder.path()));
        EXPECT_THAT(log.lines(), ElementsAre("Failed to create image representation of slides.\n"));
    }
    EXPECT_FALSE(QFile::exists(pathOf("slides")));
}

} // namespace
