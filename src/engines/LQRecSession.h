#pragma once

#include "engines/LQRecSessionOwner.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

class BMRecordingErrorHandler;
class QWidget;

// A recording engine: captures into the media files of a session. Made with a plain
// constructor on the main thread, then given its owner, error handler and capture view before
// anything else is asked of it.
class LQRecSession : public QObject
{
    Q_OBJECT
    Q_PROPERTY(float audioLevel READ audioLevel WRITE setAudioLevel NOTIFY audioLevelChanged)

public:
    static constexpr float kIdleAudioLevel = -60.0f;

    explicit LQRecSession(QObject *parent = nullptr);
    ~LQRecSession() override;

    // Monitoring with the preferred devices while nothing records; true when it is on.
    virtual bool previewAudio() = 0;
    virtual bool previewVideo() = 0;
    // True when that preview was on and is now off; the other one goes on.
    virtual bool stopAudioPreview() = 0;
    virtual bool stopVideoPreview() = 0;

    // Begins the first media file of a session, named from fileStem (LQMediaFileNames); false
    // when nothing records.
    virtual bool startRecording(const QString &fileStem, bool audio, bool video) = 0;
    // Ends the session's recording; files receives the last path components of all its media
    // files in recording order. Only while currentlyRecording().
    virtual bool stopRecording(QStringList *files) = 0;
    // The recorded media time of the current session across all its files.
    virtual bool nowInterval(double *seconds) = 0;
    // Rebuilds the capture machinery from scratch.
    virtual void resetSession() = 0;
    // Before a save: the names of the current or last session's files as they stand now.
    virtual bool prepareToSave(QStringList *files) = 0;
    // Lets an engine that splits a session into many files join them.
    virtual void startMerge() = 0;

    // Not owned; set once right after creation.
    LQRecSessionOwner *owner() const { return m_owner; }
    void setOwner(LQRecSessionOwner *owner) { m_owner = owner; }
    BMRecordingErrorHandler *errorHandler() const { return m_errorHandler; }
    void setErrorHandler(BMRecordingErrorHandler *handler) { m_errorHandler = handler; }
    // The host of the live picture.
    QWidget *captureView() const;
    void setCaptureView(QWidget *view);

    // Per-file lengths in seconds of the session; nullopt when unknown.
    virtual std::optional<QList<double>> lengths() const = 0;
    virtual bool shouldPreviewAudio() const = 0;
    virtual bool shouldPreviewVideo() const = 0;
    virtual bool currentlyRecording() const = 0;
    // The session's last file is not finished yet: callers wait before saving or playing.
    virtual bool writingFile() const = 0;
    // A save-time file switch is under way: callers wait.
    virtual bool currentlySaving() const = 0;

    // The input level in decibels, kIdleAudioLevel when idle. Any thread may set it;
    // audioLevelChanged follows on the main thread.
    float audioLevel() const { return m_audioLevel.load(); }
    void setAudioLevel(float decibels);

    // A background join of files runs; autosaving waits for it.
    bool merging() const { return m_merging.load(); }
    void setMerging(bool merging) { m_merging.store(merging); }
    // Asks a running join to give up.
    bool cancelMerging() const { return m_cancelMerging.load(); }
    void setCancelMerging(bool cancel) { m_cancelMerging.store(cancel); }

Q_SIGNALS:
    void audioLevelChanged(float decibels);

protected:
    // The owner callbacks, each sent only when the owner is set and answers it.
    void sendDidStartRecordingToOutputFile(const QUrl &url, double secondsAgo);
    void sendSessionRecordingCompleted();
    LQRecordingController *ownerController();
    void sendRecordingStopped();
    // With "onlySelectedDevice" on, a device other than the one the user selected is refused
    // with a report to the error handler; answers whether uniqueId may be used.
    bool mayUseDevice(bool audio, const QString &uniqueId);

private:
    bool ownerAnswers(LQRecSessionOwner::Callback callback) const;

    LQRecSessionOwner *m_owner = nullptr;
    BMRecordingErrorHandler *m_errorHandler = nullptr;
    QPointer<QWidget> m_captureView;
    std::atomic<float> m_audioLevel{kIdleAudioLevel};
    std::atomic<bool> m_merging{false};
    std::atomic<bool> m_cancelMerging{false};
};
