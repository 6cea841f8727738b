#pragma once

#include "engines/LQRecSession.h"
#include "engines/legacy/PartialFileJoin.h"
#include "engines/legacy/PartialFiles.h"
#include "platform/media/CaptureGraph.h"

#include <QSize>
#include <QTimer>

#include <atomic>
#include <mutex>

class PrefsController;

namespace lq {
class CaptureDevices;
}

// The legacy family's recording engine. One capture graph serves the previews and the
// recording; adding or removing an input stops the graph, changes its inputs and starts it again.
// A session is written into partial files: a save while recording continues in a new file, and
// once a session has many files they are joined in the background (PartialFileJoin). Lives on
// the main thread; stopRecording, nowInterval, prepareToSave and the flags may be used from any
// thread.
class WrenRecordingSession final : public LQRecSession
{
    Q_OBJECT
public:
    struct Services
    {
        PrefsController *preferences = nullptr;
        lq::CaptureDevices *devices = nullptr;
    };

    // With the shared preferences and devices.
    WrenRecordingSession();
    explicit WrenRecordingSession(Services services);
    ~WrenRecordingSession() override;

    bool previewAudio() override;
    bool previewVideo() override;
    bool stopAudioPreview() override;
    bool stopVideoPreview() override;
    bool startRecording(const QString &fileStem, bool audio, bool video) override;
    // files may be null; it is left empty when writing never began.
    bool stopRecording(QStringList *files) override;
    bool nowInterval(double *seconds) override;
    void resetSession() override;
    bool prepareToSave(QStringList *files) override;
    void startMerge() override;

    std::optional<QList<double>> lengths() const override { return m_files.lengths(); }
    bool shouldPreviewAudio() const override { return m_shouldPreviewAudio.load(); }
    bool shouldPreviewVideo() const override { return m_shouldPreviewVideo.load(); }
    bool currentlyRecording() const override { return m_currentlyRecording.load(); }
    bool writingFile() const override { return m_writingFile.load(); }
    bool currentlySaving() const override { return m_currentlySaving.load(); }

    // For tests: the graph being used (faults are injected there), the file list, and the join.
    lq::CaptureGraph *captureGraph() const { return m_graph; }
    PartialFiles &partialFiles() { return m_files; }
    void waitForJoin() { m_join.wait(); }

private:
    using Kind = lq::CaptureGraph::Kind;

    bool addDevice(const QString &uniqueId, Kind kind);
    void removeDevice(Kind kind);
    bool startGraph();
    void bindPreview();
    void restorePreviews();
    bool switchToNextFile();
    void finishSession();
    void updateAudioLevels();
    void stopForError();
    void onFileStarted(const QString &path, double secondsAgo);
    void onFileFinished(const QString &path, const lq::Error &error);
    std::optional<double> currentFileDuration() const;

    Services m_services;
    lq::CaptureGraph *m_graph = nullptr;
    mutable std::mutex m_graphMutex; // the pointer, read by nowInterval on any thread
    QSize m_captureSize;
    PartialFiles m_files;
    PartialFileJoin m_join;
    QString m_stem;

    std::atomic<bool> m_shouldPreviewAudio{false};
    std::atomic<bool> m_shouldPreviewVideo{false};
    std::atomic<bool> m_currentlyRecording{false};
    std::atomic<bool> m_writingFile{false};
    std::atomic<bool> m_currentlySaving{false};
    bool m_startedRecording = false;
    std::atomic<bool> m_previouslyGotTime{false};
    int m_recordingFailures = 0; // retries used in the engine's life

    QTimer m_levelTimer;
    QTimer m_retryTimer;
};
