#include "RecordingRig.h"
#include "platform/media/MediaPlayer.h"
#include "platform/media/PipelineRunner.h"

#include <QCoreApplication>
#include <QProcess>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

using namespace std::chrono_literals;

namespace {

// The child records into this stem until it is killed.
const char *const kChildStemVariable = "LUMAQUILL_CRASH_CHILD_STEM";
constexpr auto kRecordedBeforeKill = 10s;
constexpr double kMostSecondsLost = 2.0;

// Decodes the whole file and answers the end time of its last sample.
double decodedSeconds(const QString &path)
{
    lq::Error error;
    GstElement *pipeline =
        gst_parse_launch(QStringLiteral("filesrc location=\"%1\" ! decodebin ! fakesink name=sink")
                             .arg(path)
                             .toUtf8()
                             .constData(),
                         nullptr);
    EXPECT_NE(pipeline, nullptr);
    if (!pipeline)
        return 0.0;
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstPad *input = gst_element_get_static_pad(sink, "sink");
    auto *end = new std::atomic<GstClockTime>(0);
    gst_pad_add_probe(
        input, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
            if (GST_BUFFER_PTS_IS_VALID(buffer) && GST_BUFFER_DURATION_IS_VALID(buffer))
                static_cast<std::atomic<GstClockTime> *>(data)->store(GST_BUFFER_PTS(buffer) +
                                                                      GST_BUFFER_DURATION(buffer));
            return GST_PAD_PROBE_OK;
        },
        end, [](gpointer data) { delete static_cast<std::atomic<GstClockTime> *>(data); });
    gst_object_unref(input);
    gst_object_unref(sink);
    const bool ran =
        lq::PipelineRunner::run(pipeline, 10s, QStringLiteral("Could not decode"), &error);
    EXPECT_TRUE(ran) << error.localizedDescription().toStdString();
    const double seconds = double(end->load()) / double(GST_SECOND);
    gst_object_unref(pipeline);
    return seconds;
}

TEST(CrashSafetyTest, ChildRecordsUntilKilled)
{
    const QString stem = qEnvironmentVariable(kChildStemVariable);
    if (stem.isEmpty())
        GTEST_SKIP() << "run by KilledRecordingLeavesAPlayableFile";
    lq::test::RecordingRig rig;
    ASSERT_TRUE(rig.engine.startRecording(stem, true, false));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !rig.owner.started.isEmpty(); }, 10s));
    std::printf("recording\n");
    std::fflush(stdout);
    lq::runEventLoopUntil([] { return false; }, 60s);
}

TEST(CrashSafetyTest, KilledRecordingLeavesAPlayableFile)
{
    QTemporaryDir folder;
    const QString stem = QDir(folder.path()).filePath(QStringLiteral("recording-1."));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(kChildStemVariable), stem);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=CrashSafetyTest.ChildRecordsUntilKilled")});
    QByteArray output;
    ASSERT_TRUE(lq::runEventLoopUntil(
        [&] {
            output += child.readAllStandardOutput();
            return output.contains("\nrecording\n");
        },
        20s))
        << output.toStdString();
    lq::runEventLoopUntil([] { return false; }, kRecordedBeforeKill);
    child.kill();
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    const QString path = stem + QStringLiteral("0.mov");
    lq::Error error;
    const auto info = lq::MediaInfo::probe(path, 10s, &error);
    ASSERT_TRUE(info) << error.localizedDescription().toStdString();
    EXPECT_EQ(info->audioStreams.size(), 1);
    const double asked = std::chrono::duration<double>(kRecordedBeforeKill).count();
    EXPECT_GE(info->duration, asked - kMostSecondsLost);
    EXPECT_GE(decodedSeconds(path), asked - kMostSecondsLost);

    // Our player plays it to the end of what was kept.
    auto player = lq::MediaPlayer::open({path}, nullptr, &error);
    ASSERT_TRUE(player) << error.localizedDescription().toStdString();
    bool ended = false;
    player->setEndHandler([&] { ended = true; });
    double reached = 0.0;
    ASSERT_TRUE(player->playFrom(0.0, 8.0));
    ASSERT_TRUE(lq::runEventLoopUntil(
        [&] {
            reached = std::max(reached, player->position().value_or(0.0));
            return ended;
        },
        30s));
    EXPECT_GE(reached, asked - kMostSecondsLost);
}

} // namespace
