#include "LegacyRig.h"
#include "engines/legacy/CaptureFailure.h"
#include "platform/media/TestCaptureSources.h"
#include "platform/media/VideoSurface.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;
using lq::test::LegacyRig;

namespace {

void runFor(std::chrono::milliseconds time)
{
    lq::runEventLoopUntil([] { return false; }, time);
}

TEST(WrenRecordingSessionTest, SavesSplitTheSessionAndNumbersGoOnInTheNextSession)
{
    LegacyRig legacy;
    auto &rig = legacy.rig;
    ASSERT_TRUE(rig.start(true, true));
    EXPECT_EQ(rig.owner.started, QList<QUrl>{QUrl::fromLocalFile(rig.stem())});
    // The save gets the file being written, which then ends.
    EXPECT_EQ(legacy.recordAndSave(600ms), QStringList{QStringLiteral("recording-1.0.mov")});
    legacy.recordAndSave(600ms);
    runFor(600ms);
    double now = 0.0;
    ASSERT_TRUE(rig.engine.nowInterval(&now));
    QStringList files;
    ASSERT_TRUE(rig.stop(&files));
    EXPECT_EQ(files,
              (QStringList{QStringLiteral("recording-1.0.mov"), QStringLiteral("recording-1.1.mov"),
                           QStringLiteral("recording-1.2.mov")}));
    EXPECT_EQ(rig.owner.started.size(), 1);
    EXPECT_EQ(rig.owner.completed, 1);
    // Each finished file's length is its movie's; the media time runs across the files.
    const QList<double> lengths = rig.engine.lengths().value_or(QList<double>());
    ASSERT_EQ(lengths.size(), 2);
    double total = 0.0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const auto info = rig.probe(files[i]);
        ASSERT_TRUE(info) << i;
        EXPECT_NEAR(lengths.value(i, info->duration), info->duration, 0.05) << i;
        total += info->duration;
    }
    EXPECT_NEAR(now, total, 0.8);

    // A stop right after the start waits for the first second.
    ASSERT_TRUE(rig.engine.startRecording(rig.stem(2), true, false));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(rig.stop(&files));
    EXPECT_LT(clock.elapsed(), 10'500);
    ASSERT_EQ(files, QStringList{QStringLiteral("recording-2.3.mov")});
    EXPECT_GT(rig.probe(files[0]).value_or(lq::MediaInfo()).duration, 0.9);
}

// Faults the capture layer reports for the file being written.
TEST(WrenRecordingSessionTest, EachCaptureFailureStopsReportsOrRetriesAsItShould)
{
    const struct
    {
        const char *name;
        int code;
        int discontinuitiesBefore;
        const char *report; // empty: none
        bool stops;
    } rows[] = {
        {"disk full", CaptureFailure::kDiskFull, 0,
         "Error, disk is full. Cannot continue recording.", true},
        {"device removed", CaptureFailure::kDeviceRemoved, 0, "", true},
        {"first discontinuity", CaptureFailure::kMediaDiscontinuity, 0, "", false},
        {"later discontinuity", CaptureFailure::kMediaDiscontinuity, 1, "Error recording to", true},
        {"configuration changed", CaptureFailure::kConfigurationChanged, 0, "", false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LegacyRig legacy;
        auto &rig = legacy.rig;
        for (int i = 0; i <= row.discontinuitiesBefore; ++i) {
            ASSERT_TRUE(rig.start(true, false));
            runFor(700ms);
            const int code =
                i < row.discontinuitiesBefore ? CaptureFailure::kMediaDiscontinuity : row.code;
            rig.engine.captureGraph()->failCurrentFile(
                lq::Error(CaptureFailure::kDomain, code, QStringLiteral("Injected.")));
            runFor(1500ms);
            if (i < row.discontinuitiesBefore) {
                QStringList ignored;
                ASSERT_TRUE(rig.stop(&ignored));
            }
        }
        EXPECT_EQ(rig.owner.stopRequests, row.stops ? 1 : 0);
        ASSERT_EQ(rig.errors.reports.size(), QString::fromLatin1(row.report).isEmpty() ? 0 : 1);
        if (!rig.errors.reports.isEmpty()) {
            EXPECT_TRUE(rig.errors.reports[0].message.startsWith(QString::fromLatin1(row.report)))
                << rig.errors.reports[0].message.toStdString();
        }
        const qsizetype before = legacy.partialNames().size();
        QStringList files;
        ASSERT_TRUE(rig.stop(&files));
        EXPECT_EQ(rig.engine.writingFile(), false);
        if (row.code == CaptureFailure::kMediaDiscontinuity && !row.stops) {
            // The media before the discontinuity stays in its own file.
            ASSERT_EQ(files.size(), 2);
            EXPECT_GT(rig.probe(files[0])->duration, 0.5);
            EXPECT_EQ(rig.engine.lengths()->size(), 1);
        } else {
            EXPECT_EQ(files.size(), before);
        }
    }
}

TEST(WrenRecordingSessionTest, LevelIsTheChannelMeanAndIdleWithoutSound)
{
    lq::TestCaptureSources::setToneLevels(-20.0, -40.0);
    LegacyRig legacy;
    auto &engine = legacy.rig.engine;
    ASSERT_TRUE(engine.previewAudio());
    EXPECT_FALSE(engine.previewAudio());
    EXPECT_TRUE(
        lq::runEventLoopUntil([&] { return std::abs(engine.audioLevel() + 30.0f) < 0.5f; }, 3s))
        << engine.audioLevel();
    EXPECT_TRUE(engine.stopAudioPreview());
    EXPECT_FALSE(engine.stopAudioPreview());
    runFor(300ms);
    EXPECT_EQ(engine.audioLevel(), LQRecSession::kIdleAudioLevel);
    lq::TestCaptureSources::setToneLevels(-20.0, -20.0);
}

TEST(WrenRecordingSessionTest, ASharedDeviceLosesOnlyItsSoundWhenTheAudioPreviewStops)
{
    ScopedEnvironment environment;
    environment.set("LUMAQUILL_TEST_MUXED_DEVICE", QStringLiteral("1"));
    LegacyRig legacy;
    auto &rig = legacy.rig;
    rig.selectAudioDevice(lq::GstCaptureDevices::kTestMuxedDeviceId);
    rig.selectVideoDevice(lq::GstCaptureDevices::kTestMuxedDeviceId);
    lq::VideoSurface view;
    view.resize(320, 240);
    rig.engine.setCaptureView(&view);

    ASSERT_TRUE(rig.engine.previewAudio());
    ASSERT_TRUE(rig.engine.previewVideo());
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return view.framesPresented() > 3; }, 5s));
    ASSERT_TRUE(rig.engine.stopAudioPreview());
    EXPECT_EQ(rig.engine.audioLevel(), LQRecSession::kIdleAudioLevel);
    const uint64_t frames = view.framesPresented();
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return view.framesPresented() > frames + 3; }, 5s));
    ASSERT_TRUE(rig.engine.stopVideoPreview());
    EXPECT_FALSE(rig.engine.captureGraph()->isRunning());
}

} // namespace
