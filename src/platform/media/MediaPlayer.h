#pragma once

#include "platform/foundation/Error.h"

#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

using GstElement = struct _GstElement;
using GstMessage = struct _GstMessage;

namespace lq {

class BusWatch;
class VideoSurface;

// Plays media files one after the other as one timeline: a single file through playbin, several
// through a splitting source reading exactly the files given (they must hold the same kinds of
// streams). Sound keeps its pitch at every rate. Made, used and destroyed on the main thread;
// the end and failure handlers run there too, from the event loop.
class MediaPlayer
{
public:
    // Opens files paused at their start, ready to play; null with an error when they cannot be
    // played. Pictures go to surface when one is given and the files have video.
    static std::unique_ptr<MediaPlayer> open(const QStringList &files, VideoSurface *surface,
                                             Error *error);
    ~MediaPlayer();
    MediaPlayer(const MediaPlayer &) = delete;
    MediaPlayer &operator=(const MediaPlayer &) = delete;

    // Called once the timeline's end (its start when playing backwards) has been reached; the
    // player has paused there by then.
    void setEndHandler(std::function<void()> handler) { m_endHandler = std::move(handler); }
    // Called when playback failed; the player has paused by then.
    void setFailureHandler(std::function<void(const Error &)> handler)
    {
        m_failureHandler = std::move(handler);
    }

    // Sends pictures to another surface (none: pictures are dropped), keeping position, rate
    // and whether it plays.
    bool setVideoSurface(VideoSurface *surface, Error *error);

    // Plays at rate from the current position; negative rates play backwards, 0 pauses.
    bool setRate(double rate, Error *error = nullptr);
    // Plays at rate from seconds (0: moves there paused).
    bool playFrom(double seconds, double rate, Error *error = nullptr);
    void pause() { setRate(0.0); }
    // 0 while paused.
    double rate() const { return m_rate; }

    // Moves exactly to seconds (clamped to the timeline) and waits until the picture and sound
    // there are ready.
    bool seek(double seconds, Error *error = nullptr);
    // Follows the pipeline's running time from the last seek, so it is right from the first
    // moment of play in either direction (the sound sink's own report is not: in backward play
    // at a rate other than 1 it counts from a wrong origin until it has played a buffer). While
    // playing, the position never moves against the rate's direction.
    std::optional<double> position() const;
    double duration() const { return m_duration; }

    // The gain of the player's own sound, kept when the video surface changes: 1 is the files'
    // own level, up to 10 amplifies (peaks are limited below full scale).
    double volume() const { return m_volume; }
    void setVolume(double volume);

private:
    struct Files;
    MediaPlayer();
    bool build(VideoSurface *surface, Error *error);
    void tearDown();
    bool seekAt(double seconds, double rate, Error *error);
    bool start(double rate, Error *error);
    void handleMessage(GstMessage *message);

    std::shared_ptr<Files> m_files;
    GstElement *m_pipeline = nullptr;
    GstElement *m_gain = nullptr; // the sound's volume element, in the pipeline
    double m_volume = 1.0;
    std::unique_ptr<BusWatch> m_watch;
    double m_duration = 0.0;
    double m_rate = 0.0;
    // Where and at which rate the last seek started playing; GStreamer plays at it when resumed.
    // Its sequence number marks the end reached in that stretch (0: no seek yet).
    uint32_t m_segmentSeqnum = 0;
    double m_segmentStart = 0.0;
    double m_segmentRate = 1.0;
    // The last position reported, or moved to: the bound the next report keeps to while
    // playing, and the answer when the pipeline has no running time.
    mutable std::optional<double> m_reported;
    std::function<void()> m_endHandler;
    std::function<void(const Error &)> m_failureHandler;
};

} // namespace lq
