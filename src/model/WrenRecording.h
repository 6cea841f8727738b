#pragma once

#include "engines/GapEntry.h"
#include "engines/LQRecSessionOwner.h"
#include "model/RecordingOwner.h"
#include "model/WrenSlides.h"
#include "model/WrenTimeStamp.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/Guarded.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"

#include <QMap>
#include <QMetaObject>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class BMRecordingErrorHandler;
class LQPlaySession;
class LQRecSession;
class MediaPlayabilityCheck;
class OldMediaConversion;
class RecordingWindowController;
class WrenEvents;

namespace lq {
class KeyedUnarchiver;
class Timer;
class UndoManager;
} // namespace lq

// The recording object of one note: its sessions, the media file names of each session, the
// event store and the slides, the engines, and the stamping of every text and slide change.
//
// Main thread, except that a save on another thread calls prepareToSave, allRecordingFiles,
// forgetRecordingFile, currentRecordingFile and resetExistingSessions; the session list and the
// file lists are guarded for them.
class WrenRecording final : public QObject,
                            public lq::Archivable,
                            public LQRecSessionOwner,
                            public WrenTimerSessionOwner
{
    Q_OBJECT
    Q_PROPERTY(lq::Date clockTime READ clockTime WRITE setClockTime NOTIFY clockTimeChanged)
    Q_PROPERTY(float percentageDone READ percentageDone NOTIFY percentageDoneChanged)
    Q_PROPERTY(float selectedPlaybackSpeed READ selectedPlaybackSpeed WRITE setSelectedPlaybackSpeed
                   NOTIFY selectedPlaybackSpeedChanged)

public:
    using SessionPtr = std::shared_ptr<WrenTimerSession>;
    using RecordingFiles = QMap<int32_t, QStringList>;

    static constexpr char kArchiveClassName[] = "WrenRecording";

    // A new note's recording: no sessions, no files, an empty event store.
    WrenRecording();
    ~WrenRecording() override;

    static lq::ArchivablePtr initWithCoder(lq::KeyedUnarchiver &coder);
    QStringList archiveClassNames() const override;
    void encodeWithCoder(lq::KeyedArchiver &coder) const override;

    // Whether name is one plain file name, fit to be joined to a media folder.
    static bool isPlainFileName(const QString &name);

    // Wiring
    void setOwner(RecordingOwner *owner);
    RecordingOwner *owner() const { return m_owner; }
    void setErrorHandler(BMRecordingErrorHandler *handler);
    BMRecordingErrorHandler *errorHandler() const { return m_errorHandler; }
    void loadController(RecordingWindowController *controller);
    LQRecordingController *controller() override;
    RecordingWindowController *windowController() const { return m_controller; }
    // Not owned; the old-media check needs both.
    void setMediaPlayabilityCheck(MediaPlayabilityCheck *check) { m_playability = check; }
    void setOldMediaConversion(OldMediaConversion *conversion) { m_conversion = conversion; }
    // Stops what runs and lets go of the window controller.
    void close();

    // Media files
    bool setURL(const QUrl &url);
    QUrl packageURL() const;
    QString tempDir() const;
    void setTempDir(const QString &folder);
    // The folder of a session's media: the package for a saved session, else the temporary
    // folder; empty when that folder is missing.
    QString mediaPathWithSession(int32_t session, bool forceTemp = false) const;
    QString slidesFileName() const;
    QString currentRecordingFile() const;
    bool addRecordingFilesForSession(int32_t session, QStringList *paths) const;
    QStringList allRecordingFiles() const;
    QList<LQMediaElement> allRecordingFilesWithEmpties() const;
    bool forgetRecordingFile(const QString &path);
    // Undoable; an empty list removes the session's entry.
    void setRecordingFiles(const std::optional<QStringList> &files, int32_t session);
    RecordingFiles recordingFiles() const;
    // The session's media now lie in the temporary folder only.
    void markSessionNotSaved(int32_t session);
    void checkRecordingFiles();

    // Saving
    bool prepareToSave();
    void resetExistingSessions();
    int32_t lastSessionBeingSaved() const { return m_lastSessionBeingSaved.load(); }
    bool isCorrupt() const { return m_isCorrupt.load(); }
    void setIsCorrupt(bool corrupt) { m_isCorrupt.store(corrupt); }

    // Sessions: the start and stop flows and playback drive these.
    std::vector<SessionPtr> timerSessions() const;
    int32_t sessionCount() const;
    SessionPtr session(int32_t index) const;
    // Appends a session; it gets this object as owner, the undo manager and error handler.
    void addSession(const SessionPtr &session);
    int32_t currentSession() const { return m_currentSession.load(); }
    void setCurrentSession(int32_t session) { m_currentSession.store(session); }
    bool recording() const { return m_recording.load(); }
    void setRecording(bool recording);
    bool playing() const { return m_playing.load(); }
    void setPlaying(bool playing);
    LQPlaySession *playerSession() const { return m_playerSession.get(); }
    // A player for the current media: none on the modern path while they are not playable.
    LQPlaySession *loadPlayer();
    void dropPlayer();
    LQRecSession *recordingSession() const { return m_recordingSession.get(); }
    void stopPlayback() override;
    double intervalForPreviousSessions() const;

    // Stamping
    WrenTimeStampPtr getCurrentTSofType(int32_t type, uint32_t index);
    bool recordKeyEventsForRange(uint32_t location, uint32_t length, const QString &replacement);
    bool recordSlideEventForSlide(uint32_t slide);
    std::optional<uint32_t> lastCharBeforeNow();
    void removeAllSlidesEvents();
    // Arms the one-shot timer of the next stamp after the current position while playing.
    void resetEventTimer();

    // Queries
    WrenEvents &events() const { return *m_events; }
    WrenSlides &slides() { return m_slides; }
    bool hasSlides() const { return !m_slides.path().isEmpty(); }
    bool slidesSaved() const { return m_slidesSaved; }
    bool hasAudio() const;
    bool hasVideo() const;
    bool videoRecorded() const { return m_videoRecorded; }
    void setVideoRecorded(bool recorded) { m_videoRecorded = recorded; }
    std::optional<ConsistentDate> recordingBeginning() const;
    bool AVFPlayable() const { return m_avfPlayable.load(); }
    void setAVFPlayable(bool playable) { m_avfPlayable.store(playable); }
    bool loadingComplete() const { return m_loadingComplete; }
    bool closing() const { return m_closing; }
    bool recordingSpinningUp() const { return m_recordingSpinningUp.load(); }
    void setRecordingSpinningUp(bool spinningUp) { m_recordingSpinningUp.store(spinningUp); }
    lq::Date clockTime() const;
    void setClockTime(lq::Date clockTime);
    float percentageDone() const { return m_percentageDone.load(); }
    float selectedPlaybackSpeed() const { return m_selectedPlaybackSpeed; }
    void setSelectedPlaybackSpeed(float speed);
    float playbackSpeed() const { return m_playbackSpeed; }
    void mergeRecordings();
    bool merging() const;
    // Marks the document edited.
    void addChange();

    // Engine owner callbacks
    bool answers(LQRecSessionOwner::Callback callback) const override;
    void didStartRecordingToOutputFile(const QUrl &url) override;
    void sessionRecordingCompleted(LQRecSession *engine) override;
    // Session owner callbacks
    bool answers(WrenTimerSessionOwner::Callback callback) const override;
    void sessionPlaybackStopped() override;

    // Stops a running recording through the controller, else running playback.
    void systemSleeping();

Q_SIGNALS:
    void clockTimeChanged(lq::Date clockTime);
    void percentageDoneChanged(float percentage);
    void selectedPlaybackSpeedChanged(float speed);

private:
    bool ownerAnswers(RecordingOwner::Callback callback) const;
    lq::UndoManager *ownerUndoManager() const;
    void adoptSession(const SessionPtr &session);
    void observeSessionClock(const SessionPtr &session);
    void removeControllerObservations();
    void updateWorkspaceObservation();
    // The entry of a character typed with no session current.
    WrenTimeStampPtr idleEntry(uint32_t location, uint32_t position, bool replacing,
                               const std::vector<WrenTimeStampPtr> &entries) const;
    std::optional<double> currentOffset(WrenTimerSession &session);
    bool sessionHasMedia(const WrenTimerSession &session) const;
    QString mediaPathLocked(int32_t session, bool forceTemp) const;
    bool addRecordingFilesLocked(int32_t session, QStringList *paths) const;
    void reloadAfterReset();
    QStringList unplayableFiles(int32_t session, const QString &folder) const;
    bool convertOldMedia(const QMap<int32_t, QStringList> &failed);
    bool convertOneFile(int32_t session, const QString &name);
    void eventTimerFired(const WrenTimeStampPtr &stamp);
    static bool decodeSessions(lq::KeyedUnarchiver &coder, WrenRecording &recording);
    static bool decodeRecordingFiles(lq::KeyedUnarchiver &coder, WrenRecording &recording);
    static bool decodeEvents(lq::KeyedUnarchiver &coder, WrenRecording &recording);

    // Guards m_timerSessions, m_recordingFiles, the change counts and m_reloadAfterReset.
    mutable std::mutex m_modelMutex;
    std::vector<SessionPtr> m_timerSessions;
    RecordingFiles m_recordingFiles;
    std::map<const WrenTimerSession *, uint64_t> m_changeCounts;
    std::map<const WrenTimerSession *, uint64_t> m_countsAtSave;

    lq::Guarded<QUrl> m_packageURL;
    lq::Guarded<QString> m_tempDir;

    std::unique_ptr<LQRecSession> m_recordingSession;
    std::unique_ptr<LQPlaySession> m_playerSession;
    std::shared_ptr<WrenEvents> m_events;
    WrenSlides m_slides;
    std::atomic<int32_t> m_currentSession{-1};
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_playing{false};
    RecordingOwner *m_owner = nullptr;
    BMRecordingErrorHandler *m_errorHandler = nullptr;
    RecordingWindowController *m_controller = nullptr;
    std::vector<QMetaObject::Connection> m_controllerConnections;
    MediaPlayabilityCheck *m_playability = nullptr;
    OldMediaConversion *m_conversion = nullptr;
    std::unique_ptr<lq::Timer> m_eventTimer;
    bool m_videoRecorded = false;
    bool m_slidesSaved = false;
    std::atomic<float> m_percentageDone{0.0f};
    float m_selectedPlaybackSpeed = 1.0f;
    float m_playbackSpeed = 1.0f;
    mutable std::mutex m_clockMutex;
    lq::Date m_clockTime;
    bool m_loadingComplete = false;
    bool m_closing = false;
    std::atomic<int32_t> m_lastSessionBeingSaved{-1};
    std::atomic<bool> m_isCorrupt{false};
    std::atomic<bool> m_avfPlayable{false};
    std::atomic<bool> m_recordingSpinningUp{false};
    bool m_observingWorkspace = false;
    lq::PostedCall m_delayedPlay;
    lq::PostedCall m_reloadAfterReset;
};
