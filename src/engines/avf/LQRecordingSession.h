#pragma once

#include "engines/LQRecSession.h"
#include "platform/media/CaptureGraph.h"

#include <QPointer>
#include <QRectF>
#include <QSize>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <mutex>

class PrefsController;

namespace lq {
class CaptureDevices;
class VideoSurface;
} // namespace lq

// The recording engine of today's media stack: records each session into one or more movie
// files, starting a new file whenever the current one has grown past the size limit, measures
// the input level every 0.1 s and shows the live picture in the capture view. Devices and
// qualities come from the preferences at every rebuild of the capture graph. Lives on the main
// thread; nowInterval, prepareToSave and the state flags may be asked from any thread. A
// finished file's length is read in the background and counts once it is known.
class LQRecordingSession final : public LQRecSession
{
    Q_OBJECT
public:
    struct Services
    {
        PrefsController *preferences = nullptr;
        lq::CaptureDevices *devices = nullptr;
    };

    static constexpr qint64 kSizeLimit = 100'000'000; // bytes
    static constexpr std::chrono::seconds kSizeCheckPeriod{60};

    // With the shared preferences and devices.
    LQRecordingSession();
    explicit LQRecordingSession(Services services);
    ~LQRecordingSession() override;

    bool previewAudio() override;
    bool previewVideo() override;
    bool stopAudioPreview() override;
    bool stopVideoPreview() override;
    bool startRecording(const QString &fileStem, bool audio, bool video) override;
    // files may be null.
    bool stopRecording(QStringList *files) override;
    bool nowInterval(double *seconds) override;
    void resetSession() override;
    bool prepareToSave(QStringList *files) override;
    void startMerge() override {}

    std::optional<QList<double>> lengths() const override { return std::nullopt; }
    bool shouldPreviewAudio() const override { return m_shouldPreviewAudio.load(); }
    bool shouldPreviewVideo() const override { return m_shouldPreviewVideo.load(); }
    bool currentlyRecording() const override { return m_currentlyRecording.load(); }
    bool writingFile() const override { return m_writingFile.load(); }
    bool currentlySaving() const override { return false; }

    // Whether a file of that many bytes is to be followed by a new one.
    static bool exceedsSizeLimit(qint64 bytes, qint64 limit = kSizeLimit);
    // The picture's frame fitted to size's aspect ratio inside frame; frame itself when the
    // ratios agree within 0.001 or either has no area.
    static QRectF aspectFitFrame(const QRectF &frame, const QSizeF &size);
    // Tests shorten the size check.
    void setSizeCheck(qint64 limitBytes, std::chrono::milliseconds period);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A fresh graph with the preferred devices of the kinds asked for; false when one is missing.
    bool rebuildWithDevices(bool audio, bool video);
    bool addDevice(const QString &uniqueId, lq::CaptureGraph::Kind kind);
    bool addDeviceOnMain(const QString &uniqueId, lq::CaptureGraph::Kind kind);
    bool startGraph();
    void destroySession();
    void createCaptureLayer();
    void waitWhileWritingFile();
    QString nextFile();
    QStringList lastPathForRecFiles() const;
    void resetPreview();
    void sizeCheck();
    void updateAudioLevels();
    void stopForError();
    void reportError(const QString &path, const lq::Error &error);
    void onFileStarted(const QString &path, double secondsAgo);
    void onFileFinished(const QString &path, const lq::Error &error);
    // A finished file's length, read in the background, for the session it belongs to.
    void setFileLength(int session, const QString &path, double seconds);
    void endRecordingState();

    Services m_services;
    lq::CaptureGraph *m_graph = nullptr;
    QPointer<lq::VideoSurface> m_preview;
    QSize m_captureSize;

    mutable std::recursive_mutex m_lock; // the files, their lengths and the graph pointer
    QStringList m_recFiles;
    QString m_recFileStem;
    int m_recFileNumber = 0;
    QList<double> m_fileLengths; // one entry per finished (or switching) file
    int m_sessionNumber = 0;     // counts the sessions started

    // Read through the interface from any thread.
    std::atomic<bool> m_shouldPreviewAudio{false};
    std::atomic<bool> m_shouldPreviewVideo{false};
    std::atomic<bool> m_currentlyRecording{false};
    std::atomic<bool> m_writingFile{false};

    QTimer m_levelTimer;
    QTimer m_sizeCheckTimer;
    qint64 m_sizeLimit = kSizeLimit;
};
