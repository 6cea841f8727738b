#include "platform/media/FrameGrabber.h"

#include "platform/media/GStreamer.h"
#include "platform/media/SampleImage.h"

#include <QScopeGuard>
#include <QUrl>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

#include <algorithm>

namespace lq {
namespace {

// How long the player may take to show a picture after opening or seeking.
constexpr GstClockTime kWait = 10 * GST_SECOND;

Error grabError(const QString &path)
{
    return Error(QStringLiteral("media"), 60,
                 QStringLiteral("The picture of %1 could not be read.").arg(path));
}

} // namespace

QImage FrameGrabber::frameAt(const QString &path, double seconds, Error *error)
{
    for (const char *name : {"playbin", "videoconvert", "appsink", "fakesink"}) {
        if (!GStreamer::hasElement(QString::fromLatin1(name), error))
            return {};
    }
    GError *parseError = nullptr;
    GstElement *pictures = gst_parse_bin_from_description(
        "videoconvert ! video/x-raw,format=RGBx ! appsink name=frames sync=false", TRUE,
        &parseError);
    if (!pictures) {
        g_clear_error(&parseError);
        setError(error, grabError(path));
        return {};
    }
    GstElement *player = gst_element_factory_make("playbin", nullptr);
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    g_object_set(player, "uri", uri.constData(), "video-sink", pictures, "audio-sink",
                 gst_element_factory_make("fakesink", nullptr), nullptr);
    const auto stop = qScopeGuard([player] {
        gst_element_set_state(player, GST_STATE_NULL);
        gst_object_unref(player);
    });

    const auto settled = [player] {
        return gst_element_get_state(player, nullptr, nullptr, kWait) == GST_STATE_CHANGE_SUCCESS;
    };
    gst_element_set_state(player, GST_STATE_PAUSED);
    const auto position = gint64(std::max(0.0, seconds) * double(GST_SECOND));
    if (!settled() ||
        !gst_element_seek_simple(player, GST_FORMAT_TIME,
                                 GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                 position) ||
        !settled()) {
        setError(error, grabError(path));
        return {};
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pictures), "frames");
    GstSample *sample = gst_app_sink_try_pull_preroll(GST_APP_SINK(sink), kWait);
    gst_object_unref(sink);
    const QImage image = sample ? imageFromSample(sample) : QImage();
    if (sample)
        gst_sample_unref(sample);
    if (image.isNull())
        setError(error, grabError(path));
    return image;
}

} // namespace lq
