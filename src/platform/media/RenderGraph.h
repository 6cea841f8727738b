#pragma once

// The pipelines behind MediaRender: one that copies the files' streams into a new container,
// and one that encodes a timeline with its gaps through GStreamer Editing Services.

#include "platform/foundation/Error.h"
#include "platform/media/MediaRender.h"

#include <QString>

#include <memory>

using GstElement = struct _GstElement;

namespace lq {

// A pipeline writing one render, and what its streaming threads use while it runs.
class RenderGraph
{
public:
    explicit RenderGraph(GstElement *pipeline);
    virtual ~RenderGraph(); // stops the pipeline and lets go of it
    RenderGraph(const RenderGraph &) = delete;
    RenderGraph &operator=(const RenderGraph &) = delete;

    GstElement *pipeline() const { return m_pipeline; }

private:
    GstElement *m_pipeline;
};

namespace render_graph {

// The container's muxer.
const char *muxerFor(RenderSettings::Container container);

// Whether the streams the render keeps can be copied: the timeline is files alone, each with at
// most one stream of each kind kept, all alike, which the container's muxer takes.
bool canCopy(const MediaComposition &timeline, const RenderSettings &settings);
// Joins the files' streams, copied, into output.
std::unique_ptr<RenderGraph> makeCopying(const MediaComposition &timeline,
                                         const RenderSettings &settings, const QString &output,
                                         Error *error);
// Encodes the timeline, gaps filled, into output.
std::unique_ptr<RenderGraph> makeEncoding(const MediaComposition &timeline,
                                          const RenderSettings &settings, const QString &output,
                                          Error *error);

} // namespace render_graph
} // namespace lq
