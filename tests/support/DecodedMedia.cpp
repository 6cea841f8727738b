#include "support/DecodedMedia.h"

#include "platform/foundation/Error.h"
#include "platform/foundation/ThreadHandOver.h"
#include "platform/media/PipelineRunner.h"

#include <QFile>

#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>

namespace lq::test {
namespace {

struct Decoding
{
    GstElement *pipeline = nullptr;
    std::optional<GstClockTime> pictureAt;
    std::mutex mutex;
    DecodedMedia result;
};

struct Sink
{
    Decoding *decoding = nullptr;
    bool video = false;
};

GstPadProbeReturn onDecodedBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *sink = static_cast<Sink *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    takeOver(buffer);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const GstClockTime end =
        GST_BUFFER_DURATION_IS_VALID(buffer) ? pts + GST_BUFFER_DURATION(buffer) : pts;
    Decoding &decoding = *sink->decoding;
    const std::lock_guard lock(decoding.mutex);
    DecodedMedia &result = decoding.result;
    double &last = sink->video ? result.videoEnd : result.audioEnd;
    last = std::max(last, double(end) / double(GST_SECOND));
    if (sink->video) {
        if (result.pictures++ == 0)
            result.videoStart = double(pts) / double(GST_SECOND);
        if (decoding.pictureAt && result.picture.isNull() && pts >= *decoding.pictureAt) {
            GstCaps *caps = gst_pad_get_current_caps(pad);
            GstVideoInfo video;
            GstMapInfo map;
            if (caps && gst_video_info_from_caps(&video, caps) &&
                gst_buffer_map(buffer, &map, GST_MAP_READ)) {
                result.picture = QImage(map.data, video.width, video.height, int(video.stride[0]),
                                        QImage::Format_RGBX8888)
                                     .copy();
                gst_buffer_unmap(buffer, &map);
            }
            if (caps)
                gst_caps_unref(caps);
        }
    }
    handOver(buffer);
    return GST_PAD_PROBE_OK;
}

void onDecodedPad(GstElement *, GstPad *pad, gpointer data)
{
    auto *decoding = static_cast<Decoding *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    const bool video =
        caps && g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/");
    if (caps)
        gst_caps_unref(caps);
    const char *description = video ? "queue ! videoconvert ! video/x-raw,format=RGBx ! "
                                      "fakesink name=out sync=false"
                                    : "queue ! fakesink name=out sync=false";
    GstElement *branch = gst_parse_bin_from_description(description, TRUE, nullptr);
    GstElement *out = gst_bin_get_by_name(GST_BIN(branch), "out");
    GstPad *outPad = gst_element_get_static_pad(out, "sink");
    gst_pad_add_probe(outPad, GST_PAD_PROBE_TYPE_BUFFER, onDecodedBuffer, new Sink{decoding, video},
                      [](gpointer sink) { delete static_cast<Sink *>(sink); });
    gst_object_unref(outPad);
    gst_object_unref(out);
    gst_bin_add(GST_BIN(decoding->pipeline), branch);
    GstPad *input = gst_element_get_static_pad(branch, "sink");
    gst_pad_link(pad, input);
    gst_object_unref(input);
    gst_element_sync_state_with_parent(branch);
}

} // namespace

DecodedMedia decodeToEnd(const QString &path, std::optional<double> pictureAt)
{
    Decoding decoding;
    if (pictureAt)
        decoding.pictureAt = GstClockTime(*pictureAt * double(GST_SECOND));
    decoding.pipeline = gst_pipeline_new(nullptr);
    GstElement *reader = gst_element_factory_make("filesrc", nullptr);
    g_object_set(reader, "location", QFile::encodeName(path).constData(), nullptr);
    GstElement *decoder = gst_element_factory_make("decodebin", nullptr);
    gst_bin_add_many(GST_BIN(decoding.pipeline), reader, decoder, nullptr);
    gst_element_link(reader, decoder);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(onDecodedPad), &decoding);
    Error error;
    const bool ran = PipelineRunner::run(decoding.pipeline, std::chrono::minutes(2),
                                         QStringLiteral("Could not decode"), &error);
    EXPECT_TRUE(ran) << path.toStdString() << ": " << error.localizedDescription().toStdString();
    gst_object_unref(decoding.pipeline);
    const std::lock_guard lock(decoding.mutex);
    decoding.result.decoded = ran;
    return decoding.result;
}

} // namespace lq::test
