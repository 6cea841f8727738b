#include "platform/media/MediaRender.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/GStreamer.h"
#include "platform/media/RenderGraph.h"

#include <QFileInfo>

#include <gst/gst.h>

#include <algorithm>

namespace lq {
namespace {

enum ErrorCode { RenderFailed = 70, WouldNotStart };

QString failurePrefix(const QString &destination)
{
    return QStringLiteral("Could not write “%1”").arg(QFileInfo(destination).fileName());
}

Error renderError(int code, const QString &destination, const QString &reason)
{
    QString message = failurePrefix(destination) + QStringLiteral(": ") + reason.trimmed();
    if (!message.endsWith(QLatin1Char('.')))
        message += QLatin1Char('.');
    return Error(QStringLiteral("media"), code, message);
}

QString messageReason(GstMessage *message)
{
    GError *failure = nullptr;
    gst_message_parse_error(message, &failure, nullptr);
    const QString reason = failure ? QString::fromUtf8(failure->message) : QStringLiteral("failed");
    g_clear_error(&failure);
    return reason;
}

} // namespace

RenderGraph::RenderGraph(GstElement *pipeline)
    : m_pipeline(GST_ELEMENT(gst_object_ref_sink(pipeline)))
{}

RenderGraph::~RenderGraph()
{
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_object_unref(m_pipeline);
}

bool MediaRender::copiesStreams(const MediaComposition &timeline, const RenderSettings &settings)
{
    return render_graph::canCopy(timeline, settings);
}

std::unique_ptr<MediaRender> MediaRender::start(const MediaComposition &timeline,
                                                const RenderSettings &settings,
                                                const QString &destination, Error *error)
{
    if (!GStreamer::initialize(error))
        return nullptr;
    const QString temporaryPath = temporaryPathBeside(destination);
    std::unique_ptr<RenderGraph> graph =
        copiesStreams(timeline, settings)
            ? render_graph::makeCopying(timeline, settings, temporaryPath, error)
            : render_graph::makeEncoding(timeline, settings, temporaryPath, error);
    if (!graph)
        return nullptr;
    std::unique_ptr<MediaRender> render(
        new MediaRender(std::move(graph), temporaryPath, destination, timeline.duration()));
    if (gst_element_set_state(render->m_graph->pipeline(), GST_STATE_PLAYING) ==
        GST_STATE_CHANGE_FAILURE) {
        render->finish(State::Failed);
        setError(error,
                 renderError(WouldNotStart, destination, QStringLiteral("it would not start")));
        return nullptr;
    }
    return render;
}

MediaRender::MediaRender(std::unique_ptr<RenderGraph> graph, QString temporaryPath,
                         QString destination, double duration)
    : m_graph(std::move(graph))
    , m_temporaryPath(std::move(temporaryPath))
    , m_destination(std::move(destination))
    , m_duration(duration)
{}

MediaRender::~MediaRender()
{
    cancel();
}

MediaRender::State MediaRender::poll(std::chrono::milliseconds wait, Error *error)
{
    if (m_state == State::Running) {
        GstBus *bus = gst_element_get_bus(m_graph->pipeline());
        GstMessage *message =
            gst_bus_timed_pop_filtered(bus, GstClockTime(std::chrono::nanoseconds(wait).count()),
                                       GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        gst_object_unref(bus);
        if (message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
            finish(State::Written);
        } else if (message) {
            m_error = renderError(RenderFailed, m_destination, messageReason(message));
            finish(State::Failed);
        }
        if (message)
            gst_message_unref(message);
    }
    if (m_state == State::Failed)
        setError(error, m_error);
    return m_state;
}

double MediaRender::progress() const
{
    if (m_state == State::Written)
        return 1.0;
    gint64 position = 0;
    if (m_state != State::Running || m_duration <= 0.0 ||
        !gst_element_query_position(m_graph->pipeline(), GST_FORMAT_TIME, &position) ||
        position < 0)
        return 0.0;
    return std::clamp(double(position) / double(GST_SECOND) / m_duration, 0.0, 1.0);
}

void MediaRender::cancel()
{
    if (m_state == State::Running)
        finish(State::Cancelled);
}

void MediaRender::finish(State state)
{
    gst_element_set_state(m_graph->pipeline(), GST_STATE_NULL);
    FileOperations &files = FileOperations::current();
    if (state == State::Written && !files.replace(m_temporaryPath, m_destination, &m_error))
        state = State::Failed;
    if (state != State::Written && files.exists(m_temporaryPath))
        files.remove(m_temporaryPath, nullptr);
    m_state = state;
}

} // namespace lq
