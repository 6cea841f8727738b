#include "platform/media/PipelineRunner.h"

#include "platform/media/GStreamer.h"

#include <gst/gst.h>

namespace lq {
namespace {

const QString kErrorDomain = QStringLiteral("media");

enum ErrorCode { BadDescription = 20, PipelineFailed, PipelineTimedOut };

Error runError(int code, const QString &prefix, const QString &reason)
{
    QString message = prefix + QStringLiteral(": ") + reason.trimmed();
    if (!message.endsWith(QLatin1Char('.')))
        message += QLatin1Char('.');
    return Error(kErrorDomain, code, message);
}

QString messageReason(GstMessage *message)
{
    GError *failure = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &failure, &debug);
    const QString reason = failure ? QString::fromUtf8(failure->message) : QStringLiteral("failed");
    g_clear_error(&failure);
    g_free(debug);
    return reason;
}

} // namespace

bool PipelineRunner::run(const QString &description, std::chrono::milliseconds timeLimit,
                         Error *error)
{
    if (!GStreamer::initialize(error))
        return false;
    GError *failure = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &failure);
    const QString prefix = QStringLiteral("The media pipeline “%1” failed").arg(description);
    if (failure) {
        setError(error, runError(BadDescription, prefix, QString::fromUtf8(failure->message)));
        g_clear_error(&failure);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    const bool ran = run(pipeline, timeLimit, prefix, error);
    gst_object_unref(pipeline);
    return ran;
}

bool PipelineRunner::run(GstElement *pipeline, std::chrono::milliseconds timeLimit,
                         const QString &failurePrefix, Error *error)
{
    GstBus *bus = gst_element_get_bus(pipeline);
    bool finished = false;
    Error failure;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        failure = runError(PipelineFailed, failurePrefix, QStringLiteral("it would not start"));

    const auto deadline = std::chrono::steady_clock::now() + timeLimit;
    while (failure.isNull() && !finished) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            failure = runError(PipelineTimedOut, failurePrefix,
                               QStringLiteral("it did not finish in time"));
            break;
        }
        GstMessage *message = gst_bus_timed_pop_filtered(
            bus, GstClockTime(left.count()), GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!message)
            continue;
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS)
            finished = true;
        else
            failure = runError(PipelineFailed, failurePrefix, messageReason(message));
        gst_message_unref(message);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    if (!finished)
        setError(error, failure);
    return finished;
}

} // namespace lq
