#pragma once

#include "platform/foundation/Error.h"
#include "platform/media/MediaComposition.h"

#include <QSize>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace lq {

// What a render writes.
struct RenderSettings
{
    enum class Container { QuickTime, Mpeg4 };

    Container container = Container::QuickTime;
    // Pictures stay out.
    bool soundOnly = false;
    // The files' streams are copied as they are when the timeline is files alone whose streams
    // are alike and fit the container; otherwise (and always without this) they are encoded:
    // sound as AAC, pictures as H.264.
    bool copyWhenPossible = false;
    // Encoded pictures have this size (without one, the timeline's natural size), each picture
    // scaled into it in its own proportions between black bands.
    std::optional<QSize> frameSize;
    // Encoded pictures per second; without one, those of the timeline's first picture stream.
    std::optional<int> frameRate;

    bool operator==(const RenderSettings &) const = default;
};

class RenderGraph;

// One render of a timeline into a movie or sound file: its files one after the other, its gaps
// as silence (and black pictures where the timeline has pictures). The file is written under a
// hidden temporary name beside the destination, which it replaces only once complete: a failed
// or cancelled render leaves the destination, and any file there, as it was. The media run on
// GStreamer's threads; the render is started, polled and cancelled on one thread.
class MediaRender
{
public:
    enum class State { Running, Written, Failed, Cancelled };

    // Starts writing timeline to destination; null, with an error, when it cannot start.
    static std::unique_ptr<MediaRender> start(const MediaComposition &timeline,
                                              const RenderSettings &settings,
                                              const QString &destination, Error *error);
    // Whether the render of timeline with settings copies the streams rather than encoding.
    static bool copiesStreams(const MediaComposition &timeline, const RenderSettings &settings);

    ~MediaRender(); // cancels a render still running
    MediaRender(const MediaRender &) = delete;
    MediaRender &operator=(const MediaRender &) = delete;

    // Waits at most wait for the render to end; answers where it stands, with the reason of a
    // failure.
    State poll(std::chrono::milliseconds wait, Error *error = nullptr);
    // How much of the timeline has been written, 0 to 1.
    double progress() const;
    // Stops the render and removes what it wrote.
    void cancel();

private:
    MediaRender(std::unique_ptr<RenderGraph> graph, QString temporaryPath, QString destination,
                double duration);
    void finish(State state);

    std::unique_ptr<RenderGraph> m_graph;
    QString m_temporaryPath;
    QString m_destination;
    double m_duration = 0.0;
    State m_state = State::Running;
    Error m_error;
};

} // namespace lq
