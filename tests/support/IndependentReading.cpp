#include "support/IndependentReading.h"

#include "platform/foundation/Error.h"
#include "platform/media/GStreamer.h"
#include "platform/media/PipelineRunner.h"

#include <QProcess>
#include <QRegularExpression>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

namespace lq::test {
namespace {

constexpr int kTimeLimitMs = 60'000;

// The output of a GStreamer program, or nothing when it did not end well in time.
std::optional<QString> outputOf(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(kTimeLimitMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << process.errorString().toStdString();
        process.kill();
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAll());
}

// "H:MM:SS.nnnnnnnnn" in seconds.
double secondsOf(const QString &time)
{
    const QStringList parts = time.split(QLatin1Char(':'));
    return parts.size() != 3
               ? 0.0
               : parts[0].toDouble() * 3600 + parts[1].toDouble() * 60 + parts[2].toDouble();
}

// The end of the last buffer that reaches a sink, in running time.
struct StreamEnd
{
    std::mutex mutex;
    GstSegment segment{};
    std::optional<GstClockTime> end;

    std::optional<double> seconds()
    {
        const std::lock_guard lock(mutex);
        return end ? std::optional<double>(double(*end) / GST_SECOND) : std::nullopt;
    }
};

GstPadProbeReturn onSinkData(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *stream = static_cast<StreamEnd *>(data);
    const std::lock_guard lock(stream->mutex);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT)
            gst_event_copy_segment(event, &stream->segment);
        return GST_PAD_PROBE_OK;
    }
    const GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!GST_BUFFER_PTS_IS_VALID(buffer))
        return GST_PAD_PROBE_OK;
    const GstClockTime end =
        GST_BUFFER_PTS(buffer) +
        (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
    const GstClockTime running =
        gst_segment_to_running_time(&stream->segment, GST_FORMAT_TIME, end);
    if (GST_CLOCK_TIME_IS_VALID(running))
        stream->end = std::max(stream->end.value_or(0), running);
    return GST_PAD_PROBE_OK;
}

void watchEnd(GstElement *pipeline, const char *name, StreamEnd *stream)
{
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), name);
    if (!sink)
        return;
    {
        // Locked too: the streaming threads start through GStreamer, out of the thread checker's
        // sight.
        const std::lock_guard lock(stream->mutex);
        gst_segment_init(&stream->segment, GST_FORMAT_TIME);
    }
    GstPad *input = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        input, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        onSinkData, stream, nullptr);
    gst_object_unref(input);
    gst_object_unref(sink);
}

} // namespace

std::optional<double> discoveredDuration(const QString &path)
{
    const std::optional<QString> output = outputOf(QStringLiteral("gst-discoverer-1.0"), {path});
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("Duration: ([0-9:.]+)"))
                                              .match(output.value_or(QString()));
    if (!match.hasMatch())
        return std::nullopt;
    return secondsOf(match.captured(1));
}

QStringList discoveredStreams(const QString &path)
{
    const std::optional<QString> output = outputOf(QStringLiteral("gst-discoverer-1.0"), {path});
    static const QRegularExpression stream(
        QStringLiteral("^ *(audio|video) #\\d+: (.+?)(?: \\(.*\\))?$"),
        QRegularExpression::MultilineOption);
    QStringList streams;
    for (const QRegularExpressionMatch &m : stream.globalMatch(output.value_or(QString())))
        streams.append(m.captured(1) + QStringLiteral(": ") + m.captured(2));
    return streams;
}

DecodedEnds decodeToTheEnd(const QString &path, bool sound, bool pictures)
{
    QString description = QStringLiteral("filesrc location=\"%1\" ! decodebin name=d").arg(path);
    if (sound)
        description += QStringLiteral(" d. ! queue ! audio/x-raw ! fakesink name=sound sync=false");
    if (pictures)
        description +=
            QStringLiteral(" d. ! queue ! video/x-raw ! fakesink name=pictures sync=false");
    GstElement *pipeline = GStreamer::initialize()
                               ? gst_parse_launch(description.toUtf8().constData(), nullptr)
                               : nullptr;
    if (!pipeline) {
        ADD_FAILURE() << "Could not decode " << path.toStdString();
        return {};
    }
    StreamEnd soundEnd;
    StreamEnd picturesEnd;
    watchEnd(pipeline, "sound", &soundEnd);
    watchEnd(pipeline, "pictures", &picturesEnd);
    Error error;
    EXPECT_TRUE(PipelineRunner::run(pipeline, std::chrono::milliseconds(kTimeLimitMs),
                                    QStringLiteral("Could not decode"), &error))
        << path.toStdString() << ": " << error.localizedDescription().toStdString();
    gst_object_unref(pipeline);
    return {soundEnd.seconds(), picturesEnd.seconds()};
}

} // namespace lq::test
