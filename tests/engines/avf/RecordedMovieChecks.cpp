#include "RecordedMovieChecks.h"

#include "platform/foundation/MainThread.h"
#include "platform/foundation/ThreadHandOver.h"
#include "platform/media/MediaInfo.h"
#include "platform/media/MediaPlayer.h"
#include "platform/media/PipelineRunner.h"

#include <QDir>
#include <QFileInfo>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

using namespace std::chrono_literals;

namespace lq::test {
namespace {

// Remembers the end of the last buffer that reaches the sink called name.
std::atomic<GstClockTime> *watchEnd(GstElement *pipeline, const char *name)
{
    auto *end = new std::atomic<GstClockTime>(0);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), name);
    if (!sink)
        return end; // the file has no stream of that kind
    GstPad *input = gst_element_get_static_pad(sink, "sink");
    // The streaming thread starts through GStreamer, whose locks the thread checker cannot see.
    handOver(end, [] {});
    gst_pad_add_probe(
        input, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            takeOver(data);
            GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
            if (GST_BUFFER_PTS_IS_VALID(buffer) && GST_BUFFER_DURATION_IS_VALID(buffer))
                static_cast<std::atomic<GstClockTime> *>(data)->store(GST_BUFFER_PTS(buffer) +
                                                                      GST_BUFFER_DURATION(buffer));
            return GST_PAD_PROBE_OK;
        },
        end, nullptr);
    gst_object_unref(input);
    gst_object_unref(sink);
    return end;
}

} // namespace

QStringList sessionFiles(const QString &stem)
{
    QStringList files;
    for (int number = 0; QFileInfo::exists(stem + QStringLiteral("%1.mov").arg(number)); ++number)
        files.append(stem + QStringLiteral("%1.mov").arg(number));
    return files;
}

DecodedLength decodedLength(const QString &path)
{
    // A branch for each kind of stream the file holds.
    Error error;
    const std::optional<MediaInfo> info = MediaInfo::probe(path, 10s, &error);
    EXPECT_TRUE(info) << path.toStdString() << ": " << error.localizedDescription().toStdString();
    if (!info)
        return {};
    QString description =
        QStringLiteral("filesrc location=\"%1\" ! decodebin name=decoder").arg(path);
    if (!info->audioStreams.isEmpty())
        description += QStringLiteral(" decoder. ! queue ! audio/x-raw ! fakesink name=audio");
    if (!info->videoStreams.isEmpty())
        description += QStringLiteral(" decoder. ! queue ! video/x-raw ! fakesink name=video");
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
    EXPECT_NE(pipeline, nullptr);
    if (!pipeline)
        return {};
    std::unique_ptr<std::atomic<GstClockTime>> audio(watchEnd(pipeline, "audio"));
    std::unique_ptr<std::atomic<GstClockTime>> video(watchEnd(pipeline, "video"));
    const bool ran = PipelineRunner::run(pipeline, 20s, QStringLiteral("Could not decode"), &error);
    EXPECT_TRUE(ran) << path.toStdString() << ": " << error.localizedDescription().toStdString();
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return {double(audio->load()) / double(GST_SECOND), double(video->load()) / double(GST_SECOND)};
}

void expectPlaysSoundAndPictures(const QStringList &files, double seconds)
{
    ASSERT_FALSE(files.isEmpty());
    double described = 0.0;
    DecodedLength decoded;
    for (const QString &path : files) {
        SCOPED_TRACE(path.toStdString());
        Error error;
        const auto info = MediaInfo::probe(path, 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_EQ(info->audioStreams.size(), 1);
        EXPECT_EQ(info->videoStreams.size(), 1);
        described += info->duration;
        const DecodedLength file = decodedLength(path);
        // Within a file sound and pictures end together, give or take the last fragment.
        EXPECT_NEAR(file.audio, file.video, 1.1);
        decoded.audio += file.audio;
        decoded.video += file.video;
    }
    EXPECT_GE(described, seconds);
    EXPECT_GE(decoded.audio, seconds);
    EXPECT_GE(decoded.video, seconds);

    // Our player plays all of them to the end of what was kept.
    Error error;
    auto player = MediaPlayer::open(files, nullptr, &error);
    ASSERT_TRUE(player) << error.localizedDescription().toStdString();
    EXPECT_GE(player->duration(), seconds);
    bool ended = false;
    player->setEndHandler([&] { ended = true; });
    double reached = 0.0;
    ASSERT_TRUE(player->playFrom(0.0, 8.0));
    ASSERT_TRUE(runEventLoopUntil(
        [&] {
            reached = std::max(reached, player->position().value_or(0.0));
            return ended;
        },
        30s));
    EXPECT_GE(reached, seconds);
}

} // namespace lq::test
