#include "soundserver/SoundPipelines.h"

#include "platform/foundation/Error.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/GStreamer.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

namespace lq::test {
namespace {

constexpr GstClockTime kDecodeLimit = 30 * GST_SECOND;
constexpr GstClockTime kStartLimit = 10 * GST_SECOND;

QByteArray toAnalysis()
{
    return QStringLiteral("audioconvert ! audioresample ! "
                          "audio/x-raw,format=F32LE,rate=%1,channels=1 ! "
                          "appsink name=analysis sync=false")
        .arg(kAnalysisRate)
        .toUtf8();
}

QString messageOf(GError *error)
{
    const QString message = QString::fromUtf8(error->message);
    g_error_free(error);
    return message;
}

// The first error the pipeline posted, waiting up to timeout for it or for the end of stream;
// empty at the end of stream, a sentence when neither came.
QString errorOrEnd(GstElement *pipeline, GstClockTime timeout)
{
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message = gst_bus_timed_pop_filtered(
        bus, timeout, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    gst_object_unref(bus);
    if (!message)
        return QStringLiteral("The pipeline came to no end.");
    QString text;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        text = messageOf(error);
    }
    gst_message_unref(message);
    return text;
}

QString errorPosted(GstElement *pipeline)
{
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    gst_object_unref(bus);
    if (!message)
        return {};
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    gst_message_unref(message);
    return messageOf(error);
}

bool initialize(QString *why)
{
    Error error;
    if (GStreamer::initialize(&error))
        return true;
    *why = error.localizedDescription();
    return false;
}

} // namespace

SoundCapture::SoundCapture(GstElement *pipeline) : m_pipeline(pipeline)
{
    GstElement *sink = gst_bin_get_by_name(GST_BIN(m_pipeline), "analysis");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink *appSink, gpointer data) {
        GstSample *sample = gst_app_sink_pull_sample(appSink);
        if (!sample)
            return GST_FLOW_EOS;
        GstMapInfo map;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            auto *samples = static_cast<Samples *>(data);
            const auto *first = reinterpret_cast<const float *>(map.data);
            std::lock_guard lock(samples->mutex);
            samples->values.insert(samples->values.end(), first, first + map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &m_samples, nullptr);
    gst_object_unref(sink);
}

SoundCapture::~SoundCapture()
{
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
}

std::vector<float> SoundCapture::decode(const QString &path, QString *why)
{
    if (!initialize(why))
        return {};
    GError *error = nullptr;
    GstElement *pipeline =
        gst_parse_launch(("filesrc name=file ! decodebin ! " + toAnalysis()).constData(), &error);
    if (error) {
        *why = messageOf(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return {};
    }
    GstElement *file = gst_bin_get_by_name(GST_BIN(pipeline), "file");
    g_object_set(file, "location", path.toUtf8().constData(), nullptr);
    gst_object_unref(file);
    SoundCapture capture(pipeline);
    if (!capture.play(why))
        return {};
    *why = errorOrEnd(pipeline, kDecodeLimit);
    return why->isEmpty() ? capture.take() : std::vector<float>();
}

std::unique_ptr<SoundCapture> SoundCapture::record(GstElement *source, QString *why)
{
    GstElement *pipeline = gst_pipeline_new(nullptr);
    gst_bin_add(GST_BIN(pipeline), source);
    GError *error = nullptr;
    GstElement *analysis = gst_parse_bin_from_description(toAnalysis().constData(), TRUE, &error);
    if (!analysis) {
        *why = messageOf(error);
        gst_object_unref(pipeline);
        return nullptr;
    }
    gst_bin_add(GST_BIN(pipeline), analysis);
    if (!gst_element_link(source, analysis)) {
        *why = QStringLiteral("The source gives no sound that can be analysed.");
        gst_object_unref(pipeline);
        return nullptr;
    }
    std::unique_ptr<SoundCapture> capture(new SoundCapture(pipeline));
    return capture->play(why) ? std::move(capture) : nullptr;
}

bool SoundCapture::play(QString *why)
{
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
        return true;
    *why = errorPosted(m_pipeline);
    if (why->isEmpty())
        *why = QStringLiteral("The pipeline could not start.");
    return false;
}

std::vector<float> SoundCapture::stop(QString *why)
{
    *why = errorPosted(m_pipeline);
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    return take();
}

std::vector<float> SoundCapture::take()
{
    std::lock_guard lock(m_samples.mutex);
    return std::exchange(m_samples.values, {});
}

std::unique_ptr<TonePlayer> TonePlayer::play(double frequency, QString *why)
{
    if (!initialize(why))
        return nullptr;
    GError *error = nullptr;
    GstElement *tone = gst_parse_bin_from_description(
        QStringLiteral("audiotestsrc is-live=true freq=%1 ! audioconvert ! audioresample")
            .arg(frequency)
            .toUtf8()
            .constData(),
        TRUE, &error);
    if (!tone) {
        *why = messageOf(error);
        return nullptr;
    }
    GstElement *pipeline = gst_pipeline_new(nullptr);
    gst_bin_add(GST_BIN(pipeline), tone);
    Error sinkError;
    GstElement *sink = AudioOutput::makeSink(&sinkError);
    if (!sink) {
        *why = sinkError.localizedDescription();
        gst_object_unref(pipeline);
        return nullptr;
    }
    gst_bin_add(GST_BIN(pipeline), sink);
    std::unique_ptr<TonePlayer> player(new TonePlayer(pipeline));
    if (!gst_element_link(tone, sink)) {
        *why = QStringLiteral("The tone cannot go into the sound output.");
        return nullptr;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const GstStateChangeReturn state =
        gst_element_get_state(pipeline, nullptr, nullptr, kStartLimit);
    if (state == GST_STATE_CHANGE_FAILURE || state == GST_STATE_CHANGE_ASYNC) {
        *why = errorPosted(pipeline);
        if (why->isEmpty())
            *why = QStringLiteral("The tone did not start playing.");
        return nullptr;
    }
    return player;
}

TonePlayer::~TonePlayer()
{
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
}

} // namespace lq::test
