#include "platform/media/CaptureGraph.h"

#include "platform/foundation/MainThread.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/media/MediaInfo.h"
#include "platform/media/TestCaptureSources.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;

namespace lq {
namespace {

using Kind = CaptureGraph::Kind;

QString outputPath(const QString &name)
{
    const QString path = QDir(test::MediaFixtures::folder()).filePath(name);
    QFile::remove(path);
    return path;
}

void runFor(std::chrono::milliseconds time)
{
    runEventLoopUntil([] { return false; }, time);
}

std::optional<MediaInfo> probe(const QString &path)
{
    Error error;
    auto info = MediaInfo::probe(path, 10s, &error);
    EXPECT_TRUE(info) << path.toStdString() << ": " << error.localizedDescription().toStdString();
    return info;
}

// Records the given inputs into one file and collects what the graph reports.
struct Recording
{
    CaptureGraph graph;
    QList<QString> started;
    QList<std::pair<QString, Error>> finished;

    Recording()
    {
        QObject::connect(&graph, &CaptureGraph::fileStarted,
                         [this](const QString &path) { started.append(path); });
        QObject::connect(&graph, &CaptureGraph::fileFinished,
                         [this](const QString &path, const Error &error) {
                             finished.append({path, error});
                         });
    }

    bool start(const QString &path)
    {
        Error error;
        const bool ok = graph.startRecording(path, &error);
        EXPECT_TRUE(ok) << error.localizedDescription().toStdString();
        return ok && runEventLoopUntil([this] { return !started.isEmpty(); }, 5s);
    }

    bool stop()
    {
        const qsizetype before = finished.size();
        graph.stopRecording();
        return runEventLoopUntil([&] { return finished.size() > before; }, 10s);
    }
};

TEST(CaptureEncodingTest, TokensChooseEncoderRateAndChannels)
{
    const QString aac = QStringLiteral("avenc_aac");
    EXPECT_EQ(AudioEncoding::forToken(QStringLiteral("32")), (AudioEncoding{aac, 32000, 1}));
    EXPECT_EQ(AudioEncoding::forToken(QStringLiteral("256")), (AudioEncoding{aac, 256000, 0}));
    EXPECT_EQ(AudioEncoding::forToken(QStringLiteral("lossless")),
              (AudioEncoding{QStringLiteral("avenc_alac"), 0, 0}));
    for (const char *unknown : {"", "96", "Lossless", "64k"})
        EXPECT_EQ(AudioEncoding::forToken(QString::fromLatin1(unknown)),
                  (AudioEncoding{aac, 0, 0}));
    EXPECT_EQ(VideoEncoding::forToken(QStringLiteral("low")),
              (VideoEncoding{QSize(160, 120), 200}));
    EXPECT_EQ(VideoEncoding::forToken(QStringLiteral("hd")),
              (VideoEncoding{QSize(1280, 720), 3000}));
    EXPECT_EQ(VideoEncoding::forToken(QStringLiteral("HD")), VideoEncoding{});
}

TEST(CaptureGraphTest, MeanLevelClampsSilenceAndBadValues)
{
    EXPECT_FALSE(CaptureGraph::meanLevel({}));
    EXPECT_DOUBLE_EQ(*CaptureGraph::meanLevel({-20.0, -40.0}), -30.0);
    // Digital silence reads -700 dB; clamped, it weighs no more than -160.
    EXPECT_DOUBLE_EQ(*CaptureGraph::meanLevel({-700.0, -20.0}), -90.0);
    EXPECT_DOUBLE_EQ(*CaptureGraph::meanLevel({std::nan(""), -INFINITY}), -160.0);
}

TEST(RecordedDurationTest, CountsFromTheFileStartAndPausesForASwitch)
{
    RecordedDuration duration;
    EXPECT_FALSE(duration.seconds());
    duration.reach(5'000'000'000); // data before any file began
    EXPECT_FALSE(duration.seconds());
    duration.startFile(4'900'000'000);
    EXPECT_NEAR(*duration.seconds(), 0.1, 1e-9);
    duration.reach(4'950'000'000); // a late buffer of a slower stream
    duration.reach(5'200'000'000);
    EXPECT_NEAR(*duration.seconds(), 0.3, 1e-9);
    duration.awaitNextFile();
    duration.reach(5'300'000'000); // still the old file's data
    EXPECT_FALSE(duration.seconds());
    duration.startFile(5'300'000'000);
    EXPECT_FALSE(duration.seconds()); // no data in the new file yet
    duration.reach(5'400'000'000);
    EXPECT_NEAR(*duration.seconds(), 0.1, 1e-9);
    duration.reset();
    EXPECT_FALSE(duration.seconds());
}

TEST(CaptureGraphTest, RecordsSoundAndPictureIntoOneFile)
{
    Recording recording;
    recording.graph.addInput(Kind::Audio, GstCaptureDevices::kTestMicrophoneId, false);
    recording.graph.addInput(Kind::Video, GstCaptureDevices::kTestCameraId, false);
    recording.graph.setVideoEncoding(VideoEncoding::forToken(QStringLiteral("medium")));
    const QString path = outputPath(QStringLiteral("graph-av.mov"));
    ASSERT_TRUE(recording.start(path));
    runFor(1000ms);
    const std::optional<double> recorded = recording.graph.recordedDurationOfCurrentFile();
    ASSERT_TRUE(recorded);
    ASSERT_TRUE(recording.stop());
    EXPECT_EQ(recording.started, QList<QString>{path});
    ASSERT_EQ(recording.finished.size(), 1);
    EXPECT_EQ(recording.finished[0].first, path);
    EXPECT_TRUE(recording.finished[0].second.isNull());
    const auto info = probe(path);
    ASSERT_TRUE(info);
    EXPECT_GE(info->duration, *recorded - 0.05);
    ASSERT_EQ(info->audioStreams.size(), 1);
    ASSERT_EQ(info->videoStreams.size(), 1);
    EXPECT_EQ(info->videoStreams[0].codec, CodecId::kH264);
    EXPECT_EQ(info->videoStreams[0].width, 320);
    EXPECT_EQ(info->videoStreams[0].height, 240);
}

} // namespace
} // namespace lq
