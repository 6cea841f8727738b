// The render that copies: each file is only parsed, and the streams of one kind are joined one
// file after the other into the muxer, so nothing is decoded or encoded.
#include "platform/foundation/ThreadHandOver.h"
#include "platform/media/GStreamer.h"
#include "platform/media/MovieEncoding.h"
#include "platform/media/RenderGraph.h"

#include <gst/gst.h>

#include <array>
#include <mutex>
#include <vector>

namespace lq {
namespace {

using movie_encoding::indexOf;
using movie_encoding::kKinds;
using movie_encoding::StreamKind;

// The caps of the streams of a file that the render keeps, by kind; empty where it has none.
std::array<QString, 2> keptCaps(const MediaInfo &info, bool soundOnly)
{
    std::array<QString, 2> caps;
    if (!info.audioStreams.isEmpty())
        caps[0] = info.audioStreams.first().caps;
    if (!soundOnly && !info.videoStreams.isEmpty())
        caps[1] = info.videoStreams.first().caps;
    return caps;
}

bool muxerTakes(GstElement *muxer, StreamKind kind, const QString &capsText)
{
    GstPadTemplate *padTemplate = gst_element_class_get_pad_template(
        GST_ELEMENT_GET_CLASS(muxer), movie_encoding::muxPadTemplate(kind));
    GstCaps *caps = gst_caps_from_string(capsText.toUtf8().constData());
    GstCaps *accepted = padTemplate ? gst_pad_template_get_caps(padTemplate) : nullptr;
    const bool takes = caps && accepted && gst_caps_can_intersect(caps, accepted);
    if (caps)
        gst_caps_unref(caps);
    if (accepted)
        gst_caps_unref(accepted);
    return takes;
}

// Set up on the calling thread before the pipeline starts, read by the streaming threads.
const int kSourcesReady = 0;

// One file: the joiners' pads waiting for its streams, by kind.
using Source = movie_encoding::JoinedSource;

void onParsedPad(GstElement *, GstPad *pad, gpointer data)
{
    takeOver(&kSourcesReady);
    movie_encoding::linkToJoiner(pad, *static_cast<Source *>(data));
}

class CopyingGraph final : public RenderGraph
{
public:
    using RenderGraph::RenderGraph;
    ~CopyingGraph() override
    {
        // No streaming thread is left once stopped; the lock orders what they did before this.
        gst_element_set_state(pipeline(), GST_STATE_NULL);
        const std::lock_guard lock(mutex);
        for (Source &source : sources) {
            for (GstPad *pad : source.joinerPads) {
                if (pad)
                    gst_object_unref(pad);
            }
        }
    }

    std::vector<Source> sources;
    std::mutex mutex;
};

} // namespace

namespace render_graph {

const char *muxerFor(RenderSettings::Container container)
{
    return container == RenderSettings::Container::QuickTime ? "qtmux" : "mp4mux";
}

bool canCopy(const MediaComposition &timeline, const RenderSettings &settings)
{
    if (!settings.copyWhenPossible || timeline.isEmpty() || !GStreamer::initialize())
        return false;
    const std::array<QString, 2> first =
        keptCaps(timeline.segments().first().info, settings.soundOnly);
    for (const CompositionSegment &segment : timeline.segments()) {
        const MediaInfo &info = segment.info;
        if (segment.isGap || info.audioStreams.size() > 1 ||
            (!settings.soundOnly && info.videoStreams.size() > 1) ||
            keptCaps(info, settings.soundOnly) != first)
            return false;
    }
    if (first[0].isEmpty() && first[1].isEmpty())
        return false;
    GstElement *muxer = gst_element_factory_make(muxerFor(settings.container), nullptr);
    if (!muxer)
        return false;
    gst_object_ref_sink(muxer);
    bool takes = true;
    for (StreamKind kind : kKinds) {
        const QString &caps = first[indexOf(kind)];
        takes = takes && (caps.isEmpty() || muxerTakes(muxer, kind, caps));
    }
    gst_object_unref(muxer);
    return takes;
}

std::unique_ptr<RenderGraph> makeCopying(const MediaComposition &timeline,
                                         const RenderSettings &settings, const QString &output,
                                         Error *error)
{
    const char *muxerName = muxerFor(settings.container);
    if (!movie_encoding::hasElements({"filesrc", "parsebin", "concat", muxerName, "filesink"},
                                     error))
        return nullptr;
    auto graph = std::make_unique<CopyingGraph>(gst_pipeline_new(nullptr));
    GstElement *pipeline = graph->pipeline();
    GstElement *muxer = movie_encoding::addElement(pipeline, muxerName);
    gst_element_link(muxer, movie_encoding::addElement(pipeline, "filesink", output));

    const std::array<QString, 2> kept =
        keptCaps(timeline.segments().first().info, settings.soundOnly);
    std::array<GstElement *, 2> joiners{};
    for (StreamKind kind : kKinds) {
        if (kept[indexOf(kind)].isEmpty())
            continue;
        GstElement *joiner = movie_encoding::addElement(pipeline, "concat");
        joiners[indexOf(kind)] = joiner;
        GstPad *joined = gst_element_get_static_pad(joiner, "src");
        GstElement *queue = movie_encoding::makeBranch(movie_encoding::queueDescription(), error);
        const bool linked =
            queue && movie_encoding::linkThroughBranch(pipeline, muxer, kind, joined, queue, error);
        gst_object_unref(joined);
        if (!linked)
            return nullptr;
    }
    // The joiners play their pads in the order they were asked for: the files' order.
    graph->sources.resize(size_t(timeline.segments().size()));
    for (size_t i = 0; i < graph->sources.size(); ++i) {
        Source &source = graph->sources[i];
        source.pipeline = pipeline;
        source.mutex = &graph->mutex;
        for (size_t index = 0; index < joiners.size(); ++index) {
            if (joiners[index])
                source.joinerPads[index] =
                    gst_element_request_pad_simple(joiners[index], "sink_%u");
        }
        GstElement *reader =
            movie_encoding::addElement(pipeline, "filesrc", timeline.segments()[qsizetype(i)].path);
        GstElement *parser = movie_encoding::addElement(pipeline, "parsebin");
        gst_element_link(reader, parser);
        g_signal_connect(parser, "pad-added", G_CALLBACK(onParsedPad), &source);
    }
    handOver(&kSourcesReady);
    return graph;
}

} // namespace render_graph
} // namespace lq
