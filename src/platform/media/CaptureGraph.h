#pragma once

#include "platform/foundation/Error.h"
#include "platform/media/CaptureEncoding.h"
#include "platform/media/RecordedDuration.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>
#include <mutex>
#include <optional>

using GstElement = struct _GstElement;
using GstMessage = struct _GstMessage;
using GstPad = struct _GstPad;

namespace lq {

class BusWatch;
class VideoSurface;

// One capture pipeline: the inputs, the level and preview branches, and while recording the
// encoders into a splitting movie writer whose fragments survive a crash. Inputs and encodings
// are described first and take effect when the graph starts. Lives on the main thread, where
// all its signals are emitted.
class CaptureGraph : public QObject
{
    Q_OBJECT
public:
    enum class Kind { Audio, Video };

    explicit CaptureGraph(QObject *parent = nullptr);
    ~CaptureGraph() override;

    // A muxed device given for both kinds is opened once; given for one kind only, its other
    // output is discarded.
    void addInput(Kind kind, const QString &uniqueId, bool muxed);
    void removeInput(Kind kind);
    bool hasInput(Kind kind) const;
    void setAudioEncoding(const AudioEncoding &encoding) { m_audioEncoding = encoding; }
    void setVideoEncoding(const VideoEncoding &encoding) { m_videoEncoding = encoding; }
    // Where the picture of the preview goes; none discards it.
    void setPreviewSurface(VideoSurface *surface);

    // Runs the inputs with their level and preview branches.
    bool start(Error *error);
    // Stops at once; a recording in progress is not finished.
    void stop();
    bool isRunning() const { return m_pipeline != nullptr; }

    // (Re)starts the graph recording into firstPath; fileStarted follows once data is written.
    bool startRecording(const QString &firstPath, Error *error);
    bool isRecording() const { return m_recording; }
    // Closes the current file at the next possible point and continues into nextPath.
    void switchFile(const QString &nextPath);
    // Reports the file being written as finished with error while the recording goes on into it,
    // as a capture layer does for faults that have no cause here (a media discontinuity).
    void failCurrentFile(const Error &error);
    // Ends the recording with end-of-stream into the writer; fileFinished follows for the last
    // file once it is complete. The previews keep running.
    void stopRecording();

    // The media time of the file being written; nothing before its first data.
    std::optional<double> recordedDurationOfCurrentFile() const { return m_duration.seconds(); }
    // The RMS level in decibels of each input channel, measured every 0.1 s, with digital
    // silence clamped to kSilenceLevel; empty before the first measurement.
    QList<double> channelLevels() const { return m_levels; }

    // Loads the elements of a recording (encoders, writer) on a worker thread, once per process,
    // so that the first recording after start does not wait for their libraries. Any thread.
    static void preloadElements();

    static constexpr double kSilenceLevel = -160.0;
    // The mean of channel levels, each clamped to kSilenceLevel first; nothing for no channel.
    static std::optional<double> meanLevel(const QList<double> &levels);

Q_SIGNALS:
    // secondsAgo: how long before the signal, on the pipeline's clock, the file's first data was
    // captured.
    void fileStarted(const QString &path, double secondsAgo);
    // error is null for a cleanly finished file. A device that fails while recording finishes
    // the file with its error; a failing writer abandons it.
    void fileFinished(const QString &path, const lq::Error &error);

private:
    struct Input
    {
        QString uniqueId;
        bool muxed = false;
    };
    struct Branches;

    bool build(bool recording, Error *error);
    void onMessage(GstMessage *message);
    void onFragmentClosed(const QString &path);
    void onError(GstMessage *message);
    bool isFromInput(GstMessage *message) const;
    void finishRecording(const QString &path, const Error &error);
    QString takeNextLocation();

    std::optional<Input> m_inputs[2];
    AudioEncoding m_audioEncoding = AudioEncoding::forToken(QString());
    VideoEncoding m_videoEncoding;
    QPointer<VideoSurface> m_surface;

    GstElement *m_pipeline = nullptr;
    std::unique_ptr<BusWatch> m_watch;
    std::unique_ptr<Branches> m_branches;
    RecordedDuration m_duration;
    QList<double> m_levels;

    bool m_recording = false;
    bool m_stopping = false;
    bool m_fileOpened = false;
    QString m_requestedPath;
    Error m_finishError;
    QTimer m_finishGuard;

    // The writer asks for file names on its streaming thread.
    mutable std::mutex m_locationMutex;
    QString m_nextLocation;
    QString m_lastLocation;
};

} // namespace lq
