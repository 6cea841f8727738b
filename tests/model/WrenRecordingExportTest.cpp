#include "model/WrenRecordingTestSupport.h"
#include "platform/pdf/PdfTestFiles.h"
#include "support/FakeExportProgress.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

using Family = LQEngineFactory::Family;

// Sessions [two files, none, one file], their files in the temporary folder.
class RecordingExportTest : public lq::test::RecordingTestBase
{
protected:
    RecordingExportTest()
    {
        addSessionWithMedia(recording, 3.0, true);
        recording.setRecordingFiles(
            QStringList{QStringLiteral("recording-0.0.mov"), QStringLiteral("recording-0.1.mov")},
            0);
        recording.addSession(finishedSession(4.0, false, false));
        addSessionWithMedia(recording, 5.0, false);
    }

    QString file(const QString &name) const { return tempDir.filePath(name); }

    WrenRecording recording;
    lq::test::FakeExportProgress progress;
};

TEST_F(RecordingExportTest, AFreshEngineOfTheRightFamilyExportsTheSessionsWithTheirGaps)
{
    struct Case
    {
        const char *name;
        Family runs;
        bool playable;
        bool dropRecording;
        Family exporter;
    };
    const Case cases[] = {
        {"today's media", Family::Modern, true, false, Family::Modern},
        {"media today's engine cannot play", Family::Modern, false, false, Family::Legacy},
        {"the legacy engines run", Family::Legacy, true, false, Family::Legacy},
        {"only the length", Family::Modern, true, true, Family::Modern},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        lq::test::FakeEngineFactory engines(c.runs);
        recording.setAVFPlayable(c.playable);
        QList<LQMediaElement> exported;
        engines.onExport = [&](lq::test::FakePlaySession &engine) {
            exported = engine.mediaElements;
            EXPECT_EQ(engine.tempDir(), tempDir.path());
            EXPECT_EQ(engine.exports.first().size, QSize(320, 240));
        };
        EXPECT_TRUE(recording.exportMedia(file(QStringLiteral("out.mov")),
                                          QStringLiteral("h264_export"), progress, QSize(320, 240),
                                          c.dropRecording));
        EXPECT_EQ(engines.playbackFamilies, QList{c.exporter});
        ASSERT_EQ(exported.size(), c.dropRecording ? 3 : 4);
        QList<LQMediaElement> expected;
        if (c.dropRecording) {
            for (int32_t k = 0; k < 3; ++k)
                expected.append(std::static_pointer_cast<GapEntry>(recording.session(k)));
        } else {
            expected = {file(QStringLiteral("recording-0.0.mov")),
                        file(QStringLiteral("recording-0.1.mov")),
                        std::static_pointer_cast<GapEntry>(recording.session(1)),
                        file(QStringLiteral("recording-2.0.mov"))};
        }
        EXPECT_EQ(exported, expected);
    }
}

TEST_F(RecordingExportTest, CancellingReachesTheEngineOnlyWhileItExports)
{
    lq::test::FakeEngineFactory engines;
    recording.setAVFPlayable(true);
    engines.playbackScript.exportMedia = false;
    int exports = 0;
    engines.onExport = [&](lq::test::FakePlaySession &engine) {
        ++exports;
        EXPECT_EQ(engine.exports.first().size, std::nullopt);
        recording.cancelExporting();
        EXPECT_EQ(engine.calls.last(), QStringLiteral("cancelExporting"));
    };
    EXPECT_FALSE(recording.exportMedia(file(QStringLiteral("out.m4a")),
                                       QStringLiteral("m4a_export"), progress));
    EXPECT_EQ(exports, 1);
    recording.cancelExporting(); // the engine is gone: nothing to reach

    // A list the engine refuses is not exported.
    engines.playbackScript.addMediaPaths = false;
    EXPECT_FALSE(recording.exportMedia(file(QStringLiteral("out.m4a")),
                                       QStringLiteral("m4a_export"), progress));
    EXPECT_EQ(exports, 1);
}

TEST_F(RecordingExportTest, SlideImagesAreWrittenOnlyForANoteWithSlides)
{
    const QString images = file(QStringLiteral("web"));
    ASSERT_TRUE(QDir().mkpath(images));
    EXPECT_FALSE(recording.exportSlidesImagesToPath(images));
    ASSERT_TRUE(lq::test::writePdf(file(QStringLiteral("source.pdf")), {{300, 200}, {300, 200}}));
    ASSERT_TRUE(recording.addSlides(file(QStringLiteral("source.pdf"))));
    EXPECT_TRUE(recording.exportSlidesImagesToPath(images));
    EXPECT_EQ(QDir(images + QStringLiteral("/slides")).entryList(QDir::Files, QDir::Name),
              (QStringList{QStringLiteral("1.png"), QStringLiteral("2.png")}));
}

} // namespace
