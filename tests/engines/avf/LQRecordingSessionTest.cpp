#include "engines/avf/LQRecordingSession.h"

#include "RecordingRig.h"
#include "platform/media/TestCaptureSources.h"
#include "platform/media/VideoSurface.h"
#include "shared/ScopedEnvironment.h"

#include <QElapsedTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;
using lq::CodecId::kAac;
using lq::CodecId::kAlac;
using lq::test::RecordingRig;

namespace {

void runFor(std::chrono::milliseconds time)
{
    lq::runEventLoopUntil([] { return false; }, time);
}

TEST(LQRecordingSessionTest, SizeLimitIsExceededOnlyAboveIt)
{
    EXPECT_FALSE(LQRecordingSession::exceedsSizeLimit(0));
    EXPECT_FALSE(LQRecordingSession::exceedsSizeLimit(100'000'000));
    EXPECT_TRUE(LQRecordingSession::exceedsSizeLimit(100'000'001));
    EXPECT_TRUE(LQRecordingSession::exceedsSizeLimit(40'001, 40'000));
}

TEST(LQRecordingSessionTest, AspectFitKeepsTheWiderSideAndCentres)
{
    const QRectF frame(0, 0, 400, 400);
    EXPECT_EQ(LQRecordingSession::aspectFitFrame(frame, QSizeF(640, 480)), QRectF(0, 50, 400, 300));
    EXPECT_EQ(LQRecordingSession::aspectFitFrame(frame, QSizeF(120, 160)), QRectF(50, 0, 300, 400));
    // Ratios within 0.001 leave the frame alone, and so does anything without area.
    EXPECT_EQ(LQRecordingSession::aspectFitFrame(QRectF(0, 0, 320, 240), QSizeF(640, 480.2)),
              QRectF(0, 0, 320, 240));
    for (const auto &[badFrame, size] : {std::pair{QRectF(0, 0, 320, 0), QSizeF(640, 480)},
                                         std::pair{QRectF(0, 0, 320, 240), QSizeF(0, 0)},
                                         std::pair{QRectF(0, 0, 320, 240), QSizeF(640, 0)},
                                         std::pair{QRectF(0, 0, 320, 240), QSizeF(NAN, 480)}})
        EXPECT_EQ(LQRecordingSession::aspectFitFrame(badFrame, size), badFrame);
}

struct AudioCase
{
    const char *token;
    QString codec;
    int channels;
};

TEST(LQRecordingSessionTest, EachAudioQualityRecordsItsEncoding)
{
    const AudioCase cases[] = {{"32", kAac, 1},  {"64", kAac, 2},        {"128", kAac, 2},
                               {"256", kAac, 2}, {"lossless", kAlac, 2}, {"unknown", kAac, 2}};
    RecordingRig rig;
    for (const AudioCase &audioCase : cases) {
        SCOPED_TRACE(audioCase.token);
        rig.selectAudioQuality(QString::fromLatin1(audioCase.token));
        QStringList files;
        ASSERT_TRUE(rig.record(1000ms, true, false, &files));
        ASSERT_EQ(files, QStringList{QStringLiteral("recording-1.0.mov")});
        const auto info = rig.probe(files[0]);
        ASSERT_TRUE(info);
        ASSERT_EQ(info->audioStreams.size(), 1);
        EXPECT_TRUE(info->videoStreams.isEmpty());
        EXPECT_EQ(info->audioStreams[0].codec, audioCase.codec);
        EXPECT_EQ(info->audioStreams[0].channels, audioCase.channels);
        EXPECT_GT(info->duration, 0.8);
    }
}

struct VideoCase
{
    const char *token;
    QString camera;
    QSize size;
};

TEST(LQRecordingSessionTest, EachVideoQualityRecordsItsSize)
{
    const VideoCase cases[] = {
        {"low", lq::GstCaptureDevices::kTestCameraId, QSize(160, 120)},
        {"medium", lq::GstCaptureDevices::kTestCameraId, QSize(320, 240)},
        {"high", lq::GstCaptureDevices::kTestCameraId, QSize(640, 480)},
        {"hd", lq::GstCaptureDevices::kTestCameraHDId, QSize(1280, 720)},
        // Unknown: the camera's own size.
        {"unknown", lq::GstCaptureDevices::kTestCameraHDId, QSize(1280, 720)},
    };
    RecordingRig rig;
    for (const VideoCase &videoCase : cases) {
        SCOPED_TRACE(videoCase.token);
        rig.selectVideoDevice(videoCase.camera);
        rig.selectVideoQuality(QString::fromLatin1(videoCase.token));
        QStringList files;
        ASSERT_TRUE(rig.record(1000ms, false, true, &files));
        const auto info = rig.probe(files.value(0));
        ASSERT_TRUE(info);
        ASSERT_EQ(info->videoStreams.size(), 1);
        EXPECT_TRUE(info->audioStreams.isEmpty());
        EXPECT_EQ(info->videoStreams[0].codec, lq::CodecId::kH264);
        EXPECT_EQ(QSize(info->videoStreams[0].width, info->videoStreams[0].height), videoCase.size);
    }
}

// Samples nowInterval while recording and checks it against the wall clock.
struct IntervalWatch
{
    QElapsedTimer wall;
    double last = 0.0;
    int samples = 0;
    bool decreased = false;
    bool ahead = false;

    void sample(LQRecordingSession &engine)
    {
        double seconds = 0.0;
        if (!engine.nowInterval(&seconds))
            return;
        ++samples;
        decreased = decreased || seconds < last;
        ahead = ahead || seconds > wall.elapsed() / 1000.0 + 0.2;
        last = seconds;
    }
};

TEST(LQRecordingSessionTest, SwitchesFilesPastTheSizeLimitAndKeepsTheTimeWhole)
{
    RecordingRig rig;
    rig.selectAudioQuality(QStringLiteral("256"));
    rig.engine.setSizeCheck(40'000, 500ms);
    IntervalWatch watch;
    // From before the start: what the start itself took (long under the sanitizers) counts.
    watch.wall.start();
    ASSERT_TRUE(rig.start(true, false));
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { watch.sample(rig.engine); });
    sampler.start(50);
    runFor(4500ms);
    sampler.stop();
    double recorded = 0.0;
    ASSERT_TRUE(rig.engine.nowInterval(&recorded));

    QStringList files;
    ASSERT_TRUE(rig.engine.stopRecording(&files));
    // Still writing until the last file is finished.
    EXPECT_TRUE(rig.engine.writingFile());
    EXPECT_FALSE(rig.engine.currentlyRecording());
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return rig.owner.completed > 0; }, 15s));
    EXPECT_FALSE(rig.engine.writingFile());

    EXPECT_GT(watch.samples, 40);
    EXPECT_FALSE(watch.decreased);
    EXPECT_FALSE(watch.ahead);
    ASSERT_GE(files.size(), 3);
    double total = 0.0;
    for (int i = 0; i < files.size(); ++i) {
        EXPECT_EQ(files[i], QStringLiteral("recording-1.%1.mov").arg(i));
        const auto info = rig.probe(files[i]);
        ASSERT_TRUE(info);
        total += info->duration;
    }
    EXPECT_NEAR(total, recorded, 0.1);
    // One start and one completion for the session, whatever the switches.
    ASSERT_EQ(rig.owner.started.size(), 1);
    EXPECT_EQ(rig.owner.started[0], QUrl::fromLocalFile(rig.stem() + QStringLiteral("0.mov")));
    runFor(200ms);
    EXPECT_EQ(rig.owner.completed, 1);
    EXPECT_EQ(rig.owner.stopped, 0);
    EXPECT_TRUE(rig.errors.reports.isEmpty());
}

TEST(LQRecordingSessionTest, AnUnselectedDeviceIsRefusedWhenOnlyTheSelectedOneMayRecord)
{
    RecordingRig rig;
    rig.defaults->setBool(QStringLiteral("onlySelectedDevice"), true);
    rig.defaults->setString(QStringLiteral("audioDevice"), QStringLiteral("X"));
    EXPECT_FALSE(rig.engine.startRecording(rig.stem(), true, false));
    ASSERT_EQ(rig.errors.reports.size(), 1);
    EXPECT_EQ(rig.errors.reports[0].message,
              QStringLiteral("Error, selected audio recording device is not connected. Please "
                             "connect it and try again"));
    EXPECT_FALSE(rig.errors.reports[0].retry);
    EXPECT_FALSE(rig.engine.currentlyRecording());
    EXPECT_FALSE(rig.engine.writingFile());
    runFor(300ms);
    EXPECT_TRUE(QDir(rig.folder.path()).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(rig.owner.started.isEmpty());

    // The selected device itself records.
    rig.defaults->setString(QStringLiteral("audioDevice"),
                            lq::GstCaptureDevices::kTestMicrophoneId);
    QStringList files;
    EXPECT_TRUE(rig.record(300ms, true, false, &files));
    EXPECT_EQ(rig.errors.reports.size(), 1);
}

TEST(LQRecordingSessionTest, LevelIsTheMeanOfTheChannelsAndIdleAfterThePreview)
{
    lq::TestCaptureSources::setToneLevels(-20.0, -40.0);
    RecordingRig rig;
    EXPECT_EQ(rig.engine.audioLevel(), LQRecSession::kIdleAudioLevel);
    ASSERT_TRUE(rig.engine.previewAudio());
    EXPECT_TRUE(rig.engine.shouldPreviewAudio());
    EXPECT_TRUE(
        lq::runEventLoopUntil([&] { return std::abs(rig.engine.audioLevel() + 30.0f) < 0.5f; }, 2s))
        << rig.engine.audioLevel();
    EXPECT_TRUE(rig.engine.stopAudioPreview());
    EXPECT_FALSE(rig.engine.stopAudioPreview());
    EXPECT_EQ(rig.engine.audioLevel(), LQRecSession::kIdleAudioLevel);
    runFor(300ms);
    EXPECT_EQ(rig.engine.audioLevel(), LQRecSession::kIdleAudioLevel);
    lq::TestCaptureSources::setToneLevels(-20.0, -20.0);
}

TEST(LQRecordingSessionTest, AMuxedDeviceIsOpenedOnceAndMeasuresNoLevel)
{
    ScopedEnvironment environment;
    environment.set("LUMAQUILL_TEST_MUXED_DEVICE", QStringLiteral("1"));
    RecordingRig rig;
    rig.selectAudioDevice(lq::GstCaptureDevices::kTestMuxedDeviceId);
    rig.selectVideoDevice(lq::GstCaptureDevices::kTestMuxedDeviceId);
    QWidget view;
    view.resize(320, 240);
    rig.engine.setCaptureView(&view);

    ASSERT_TRUE(rig.engine.previewAudio());
    ASSERT_TRUE(rig.engine.previewVideo());
    auto surface = [&] { return view.findChild<lq::VideoSurface *>(); };
    ASSERT_TRUE(
        lq::runEventLoopUntil([&] { return surface() && surface()->framesPresented() > 3; }, 5s));
    EXPECT_EQ(rig.engine.audioLevel(), LQRecSession::kIdleAudioLevel);

    // The picture goes on without the sound.
    ASSERT_TRUE(rig.engine.stopAudioPreview());
    EXPECT_TRUE(rig.engine.shouldPreviewVideo());
    ASSERT_TRUE(
        lq::runEventLoopUntil([&] { return surface() && surface()->framesPresented() > 3; }, 5s));
    EXPECT_EQ(view.findChildren<lq::VideoSurface *>().size(), 1);

    QStringList files;
    ASSERT_TRUE(rig.record(1000ms, true, true, &files));
    const auto info = rig.probe(files.value(0));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->audioStreams.size(), 1);
    EXPECT_EQ(info->videoStreams.size(), 1);
    // The wanted preview is back after the session.
    EXPECT_TRUE(
        lq::runEventLoopUntil([&] { return surface() && surface()->framesPresented() > 3; }, 5s));
}

TEST(LQRecordingSessionTest, ADeviceLostMidRecordingFinishesTheFileAndReportsIt)
{
    RecordingRig rig;
    ASSERT_TRUE(rig.start(true, false));
    runFor(1200ms);
    lq::TestCaptureSources::setConnected(lq::GstCaptureDevices::kTestMicrophoneId, false);
    const bool completed = lq::runEventLoopUntil([&] { return rig.owner.completed > 0; }, 10s);
    lq::TestCaptureSources::setConnected(lq::GstCaptureDevices::kTestMicrophoneId, true);
    ASSERT_TRUE(completed);
    EXPECT_EQ(rig.owner.stopped, 1);
    EXPECT_FALSE(rig.engine.currentlyRecording());
    EXPECT_FALSE(rig.engine.writingFile());
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !rig.errors.reports.isEmpty(); }, 2s));
    ASSERT_EQ(rig.errors.reports.size(), 1);
    EXPECT_TRUE(rig.errors.reports[0].message.startsWith(QStringLiteral("Error recording to ") +
                                                         rig.stem()))
        << rig.errors.reports[0].message.toStdString();
    EXPECT_FALSE(rig.errors.reports[0].retry);
    // What was recorded before is kept; the recording object's stop finds the names.
    const auto info = rig.probe(QStringLiteral("recording-1.0.mov"));
    ASSERT_TRUE(info);
    EXPECT_GT(info->duration, 1.0);
    QStringList files;
    EXPECT_TRUE(rig.engine.stopRecording(&files));
    EXPECT_EQ(files, QStringList{QStringLiteral("recording-1.0.mov")});
}

TEST(LQRecordingSessionTest, StopAcceptsNoOutArgumentAndAnOwnerThatAnswersNothing)
{
    RecordingRig rig;
    LQRecSessionOwner silent;
    rig.engine.setOwner(&silent);
    ASSERT_TRUE(rig.engine.startRecording(rig.stem(), true, false));
    ASSERT_TRUE(lq::runEventLoopUntil(
        [&] {
            double s;
            return rig.engine.nowInterval(&s);
        },
        5s));
    EXPECT_TRUE(rig.engine.stopRecording(nullptr));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !rig.engine.writingFile(); }, 10s));
    QStringList files;
    EXPECT_TRUE(rig.engine.prepareToSave(&files));
    EXPECT_EQ(files, QStringList{QStringLiteral("recording-1.0.mov")});
    EXPECT_TRUE(rig.engine.prepareToSave(nullptr));
}

TEST(LQRecordingSessionTest, EverySessionNumbersItsFilesFromZero)
{
    RecordingRig rig;
    rig.selectAudioQuality(QStringLiteral("256"));
    rig.engine.setSizeCheck(40'000, 500ms);
    const auto fileCount = [&] {
        QStringList files;
        rig.engine.prepareToSave(&files);
        return files.size();
    };
    ASSERT_TRUE(rig.start(true, false));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return fileCount() >= 2; }, 15s));
    QStringList first;
    ASSERT_TRUE(rig.stop(&first));
    ASSERT_GE(first.size(), 2);
    EXPECT_EQ(first[0], QStringLiteral("recording-1.0.mov"));
    EXPECT_EQ(first[1], QStringLiteral("recording-1.1.mov"));

    rig.engine.setSizeCheck(LQRecordingSession::kSizeLimit, LQRecordingSession::kSizeCheckPeriod);
    const qsizetype started = rig.owner.started.size();
    ASSERT_TRUE(rig.engine.startRecording(rig.stem(2), true, false));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return rig.owner.started.size() > started; }, 10s));
    EXPECT_EQ(rig.owner.started.last(), QUrl::fromLocalFile(rig.stem(2) + QStringLiteral("0.mov")));
    runFor(500ms);
    QStringList second;
    ASSERT_TRUE(rig.stop(&second));
    EXPECT_EQ(second, QStringList{QStringLiteral("recording-2.0.mov")});
    const auto info = rig.probe(second.value(0));
    ASSERT_TRUE(info);
    EXPECT_GT(info->duration, 0.3);
}

} // namespace
