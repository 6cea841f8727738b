#pragma once

#include "engines/GapEntry.h"
#include "engines/LQRecSessionOwner.h"
#include "model/ImportedMovie.h"
#include "model/KeptMediaFile.h"
#include "model/PlaybackTimers.h"
#include "model/RecordingOwner.h"
#include "model/TimelineMap.h"
#include "model/VideoViewFactory.h"
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
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class BMRecordingErrorHandler;
class LQExportProgress;
class LQPlaySession;
class MediaImportDialog;
class LQRecSession;
class MediaPlayabilityCheck;
class OldMediaConversion;
class RecordingWindowController;
class WrenEvents;

namespace lq {
class KeyedUnarchiver;
class UndoManager;
} // namespace lq

// The recording object of one note: its sessions, the media file names of each session, the
// event store and the slides, the engines; it records sessions, stamps every text and slide
// change, plays back and moves the position.
//
// Main thread, except that a save's own thread calls forgetRecordingFile (and may call
// prepareToSave, allRecordingFiles, currentRecordingFile and resetExistingSessions); the session
// list and the file lists are guarded for them.
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
    // The recording as it archives now (sessions, stamps, files), in a copy that another thread
    // may archive while the recording goes on changing: a save takes it on the main thread.
    lq::ArchivablePtr archiveCopy() const;
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

    // Sessions
    std::vector<SessionPtr> timerSessions() const;
    int32_t sessionCount() const;
    SessionPtr session(int32_t index) const;
    // Appends a finished session (an import's); it gets this object as owner, the undo manager
    // and the error handler.
    void addSession(const SessionPtr &session);
    int32_t currentSession() const { return m_currentSession.load(); }
    void setCurrentSession(int32_t session) { m_currentSession.store(session); }
    bool recording() const { return m_recording.load(); }
    void setRecording(bool recording);
    bool playing() const { return m_playing.load(); }
    void setPlaying(bool playing);
    LQPlaySession *playerSession() const { return m_playerSession.get(); }
    LQRecSession *recordingSession() const { return m_recordingSession.get(); }
    double intervalForPreviousSessions() const;

    // Recording sessions
    // A new session at the end of the timeline; with neither audio nor video it only times the
    // typing. False while a session records, starts or stops (nothing changes); any other false
    // leaves no session added and none current.
    bool startSession(bool audio, bool video);
    // False, doing nothing, when asked while a stop runs.
    bool stopSession();
    bool previewAudio();
    bool stopAudioPreview();
    bool previewVideo();
    bool stopVideoPreview();
    // Makes a movie file the only media of a session, written as recording-<n>.mov (or a free
    // variant of that name) into the temporary folder.
    bool replaceMediaForSession(int32_t session, const QString &moviePath);
    bool usingCallRecorder() const { return m_usingCallRecorder; }
    QWidget *captureView() const { return m_captureView; }
    QWidget *movieView() const { return m_movieView; }

    // Playback
    bool startPlayback();
    // False when no session is current.
    bool stopPlayback() override;
    void playbackStopped();
    // 2 = now on, 1 = now off, -1 = no session current or the rate refused.
    int toggleFF();
    int toggleRW();
    bool fastforwarding() const { return m_fastforwarding; }
    bool rewinding() const { return m_rewinding; }
    void jumpToCharacter(uint32_t index);
    void jumpToSlide(uint32_t slide);
    void jumpToPercentage(float percentage, std::optional<double> exactTime = std::nullopt);
    void jumpBack();
    double length() const;
    float percentageRate();
    uint32_t currentChar() const { return m_currentChar; }
    // Plays or positions one session; with delay, half a second later (answering true at once).
    bool playSession(int32_t session, std::optional<double> offset,
                     std::optional<uint32_t> index = std::nullopt,
                     std::optional<int32_t> type = std::nullopt, bool dontplay = false,
                     bool delay = false);
    void updatePercentage();
    // Arms the stamp timer for stamp, or for the next stamp after the current position.
    void resetEventTimerWithTS(const WrenTimeStampPtr &stamp = nullptr);
    // The stamp timer is due: shows the stamp at position (-1: before the first one) and walks
    // on to the next one to wait for.
    void nextEvent(int64_t position, bool highlight = true);
    const PlaybackTimers &playbackTimers() const { return m_timers; }

    // Stamping
    WrenTimeStampPtr getCurrentTSofType(int32_t type, uint32_t index);
    bool recordKeyEventsForRange(uint32_t location, uint32_t length, const QString &replacement);
    bool recordSlideEventForSlide(uint32_t slide);
    std::optional<uint32_t> lastCharBeforeNow();
    void removeAllSlidesEvents();

    // Slides, adding and removing; undoable through the owner's undo manager, whose steps bring
    // the slides file back byte for byte.
    // Adds the PDF at path: WrenSlides::kReplaceMode replaces the slides, kInsertInFrontMode
    // puts its pages in front, any other mode appends. False, with the slides as they were, when
    // it cannot. A saved note's package file is never changed.
    bool addSlides(const QString &path, int mode);
    bool addSlides(const QString &path) { return addSlides(path, WrenSlides::kReplaceMode); }
    void removeSlides() { removeSlidesForReal(true); }
    // Keeps a copy of the slides in the temporary folder for the undo step; forReal also
    // removes them. Nothing happens when no copy can be kept for the undo manager.
    void removeSlidesForReal(bool forReal);
    void removeSlides(const QString &copy) { removeSlides(copy, true); }
    // Registers adding copy back as the undo step; forReal first removes the slides.
    void removeSlides(const QString &copy, bool forReal);

    // Importing media, undoable through the owner's undo manager ("Import Audio/Video").
    // Runs the import dialog for path (made once, from MediaImportDialogFactory); nothing when
    // none can be made.
    void importMediaFromFile(const QString &path);
    // Makes movie session k (0 <= k <= sessionCount()): inserted there, or with replaceAll in
    // place of every session (k then 0). A failure is rolled back and answers false with an
    // "importing" error (none for a movie without audio or video); a failed roll-back also marks
    // the recording corrupt.
    bool insertMedia(const ImportedMovie &movie, int32_t k, bool replaceAll, lq::Error *error);
    // The same from a movie, or (for redo) from the file or the link destination kept by an undo.
    bool insertMedia(const std::optional<ImportedMovie> &movie, int32_t k, bool replaceAll,
                     const KeptMediaFilePtr &preProcessedData,
                     const std::optional<QString> &symLinkDest, bool undoing, lq::Error *error);
    // The undo of an insertion at k; prepareUndo registers its redo.
    bool unInsertMediaForSession(int32_t k, bool ignoreTimerSession, bool prepareUndo);
    // The undo of a replacement: sessions come back, and recordings (file name -> kept file)
    // are put back into the temporary folder; prepareUndo registers its redo.
    bool unReplaceMediaWithSessions(const std::vector<SessionPtr> &sessions,
                                    const QMap<QString, KeptMediaFilePtr> &recordings,
                                    bool prepareUndo);
    // Cropping ("Crop"): keeps what was recorded before the current position and empties every
    // later session. False while recording or playing, or when a file cannot be cut.
    bool trimFromNow();
    // The undo step of a crop: path gets the kept file back (the session's media then lie in the
    // temporary folder), or without one is removed (they come from the package again).
    void restoreRecordingFile(const QString &path, const KeptMediaFilePtr &data, int32_t session);
    // Exporting: every session's media in one file of the export type (LQExportTypes.h), with
    // the gaps of sessions without media, through a fresh playback engine: today's family when
    // it plays the note's media, else the legacy one. dropRecording keeps only the length: the
    // file is silent. The engine serves progress until done and tells failures itself; true
    // when written.
    bool exportMedia(const QString &destination, const QString &type, LQExportProgress &progress,
                     std::optional<QSize> size = std::nullopt, bool dropRecording = false);
    // Ends a running export early, without an error alert.
    void cancelExporting();
    // Every slide as PNG images into folder (see WrenSlides); false without slides.
    bool exportSlidesImagesToPath(const QString &folder) const;
    OldMediaConversion *oldMediaConversion() const { return m_conversion; }
    MediaPlayabilityCheck *mediaPlayabilityCheck() const { return m_playability; }

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
    void setPercentageDone(float percentage);
    void mergeRecordings();
    bool merging() const;
    // Marks the document edited.
    void addChange();

    // Engine owner callbacks
    bool answers(LQRecSessionOwner::Callback callback) const override;
    void didStartRecordingToOutputFile(const QUrl &url, double secondsAgo) override;
    void sessionRecordingCompleted(LQRecSession *engine) override;
    void recordingStopped() override;
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
    struct PlayRequest
    {
        int32_t session = 0;
        std::optional<double> offset;
        std::optional<uint32_t> index;
        std::optional<int32_t> type;
        bool dontplay = false;
    };

    bool ownerAnswers(RecordingOwner::Callback callback) const;
    lq::UndoManager *ownerUndoManager() const;
    // Registers with the owner's undo manager, if any; the actions go when this object does.
    void registerUndo(std::function<void()> action);
    void adoptSession(const SessionPtr &session);
    void observeSessionClock(const SessionPtr &session);
    void removeControllerObservations();
    void updateWorkspaceObservation();
    // The entry of a character typed with no session current.
    WrenTimeStampPtr idleEntry(uint32_t location, uint32_t position, bool replacing,
                               const std::vector<WrenTimeStampPtr> &entries) const;
    std::optional<double> currentOffset(WrenTimerSession &session);
    struct SessionPosition
    {
        int32_t session = -1;
        double offset = 0.0;
    };
    // The current session and where it is now; none without a session or a reading of its clock.
    std::optional<SessionPosition> currentPosition();
    // Stops the clock of s (when there is one) and the player, before playing another session.
    void stopSessionAndPlayer(const SessionPtr &s);
    bool sessionHasMedia(const WrenTimerSession &session) const;
    QString mediaPathLocked(int32_t session, bool forceTemp) const;
    bool addRecordingFilesLocked(int32_t session, QStringList *paths) const;
    void reloadAfterReset();
    // Recording sessions
    bool failStart();
    bool askAboutCallRecorder();
    bool runScript(const QString &event);
    bool startEngine(int32_t session, bool audio, bool video);
    bool stopCurrentSession();
    void keepSessionFiles(const SessionPtr &session, int32_t index, const QStringList &files);
    void finishStop(const SessionPtr &session, int32_t index);
    void stopSessionPhase2(const SessionPtr &session);
    void takeCallRecorderFile(int32_t session);
    QString freeMovieName(int32_t session, const QString &folder) const;
    void reportCallRecorderFileError(const QString &detail);
    void switchCaptureView(bool on);
    // A video view from the installed factory, with the promotion tool tip.
    static QWidget *makeVideoView(VideoViewFactory::Content content);
    void observeAudioLevel(bool observe);
    // Playback
    bool runPlayRequest(const PlayRequest &request);
    void loadCurrentPlayerSession();
    void dropPlayer();
    void showStamp(size_t position, bool highlight);
    // The current session has played to its end: the stamps of it still awaited show now, in
    // the direction of play.
    void showStampsLeftInSession();
    // Session 0 at its start, without playing.
    void positionAtTheStart();
    void highlightBeforeFirstStamp();
    void jumpToEvent(const WrenTimeStampPtr &stamp);
    void resetSlideDisplayed(std::optional<double> offset = std::nullopt);
    int toggleFastMotion(bool forwards);
    TimelineMap timelineMap() const;
    QStringList unplayableFiles(int32_t session, const QString &folder) const;
    bool convertOldMedia(const QMap<int32_t, QStringList> &failed);
    bool convertOneFile(int32_t session, const QString &name);
    // Converts source with the old-media converter and writes the result to destination (which
    // may be source); true once a playable file is there.
    bool convertMediaFile(const QString &source, const QString &destination, int32_t session);
    static bool decodeSessions(lq::KeyedUnarchiver &coder, WrenRecording &recording);
    static bool decodeRecordingFiles(lq::KeyedUnarchiver &coder, WrenRecording &recording);
    static bool decodeEvents(lq::KeyedUnarchiver &coder, WrenRecording &recording);
    // Slides
    // A copy of the slides as the first free "<k>.slides.pdf" in the temporary folder.
    std::optional<QString> keepSlidesUndoCopy() const;
    // The package's slides become the temporary folder's, so that a merge leaves the package
    // alone; false when they cannot be copied.
    bool takeSavedSlidesToTemp();
    void stampFirstSlide();
    void finishAddingSlides(const QString &source, bool added);
    // Importing media
    // One run of insertMedia: the new file, the backed-up files, and how to undo them.
    class ImportAttempt;
    // What an import's undo keeps of the imported file for its redo.
    struct KeptImport
    {
        KeptMediaFilePtr bytes;
        std::optional<QString> linkDestination;
    };
    // True, logged, while recording or playing: media cannot be imported then.
    bool importRefused() const;
    void withFileAccess(const std::function<void()> &work);
    // A session leaves the list: the controller stops observing it and it lets go of the player.
    void forgetSession(const SessionPtr &session);
    // Deletes the first file of session's list from the temporary folder (a saved one stays in
    // the package); keep asks for what a redo needs.
    bool takeOutImportedFile(int32_t session, bool keep, KeptImport *kept);
    // The end of both undo steps of an import; prepareUndo registers the redo at k.
    void finishTakingOutImport(int32_t k, bool replaceAll, bool prepareUndo, bool taken,
                               const KeptImport &kept);
    // Cropping
    // Takes the movie out of the window and lets go of its view.
    void removeMovieFromView();
    bool cropSession(int32_t index, std::optional<double> cropPoint);
    // The session's files in the temporary folder (copied there from the package for a saved
    // session), each with an undo step that brings its present bytes back; false when one
    // cannot be copied or read.
    bool prepareFilesForCrop(int32_t index, const QStringList &names, const QString &folder);

    // Guards m_timerSessions, m_recordingFiles, the change counts and m_reloadAfterReset.
    mutable std::mutex m_modelMutex;
    std::vector<SessionPtr> m_timerSessions;
    RecordingFiles m_recordingFiles;
    std::map<const WrenTimerSession *, uint64_t> m_changeCounts;
    std::map<const WrenTimerSession *, uint64_t> m_countsAtSave;

    lq::Guarded<QUrl> m_packageURL;
    lq::Guarded<QString> m_tempDir;

    std::shared_ptr<LQRecSession> m_recordingSession;
    std::shared_ptr<LQPlaySession> m_playerSession;
    std::shared_ptr<LQPlaySession> m_exportSession; // only while exporting
    std::shared_ptr<WrenEvents> m_events;
    WrenSlides m_slides;
    std::atomic<int32_t> m_currentSession{-1};
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_playing{false};
    RecordingOwner *m_owner = nullptr;
    BMRecordingErrorHandler *m_errorHandler = nullptr;
    RecordingWindowController *m_controller = nullptr;
    std::vector<QMetaObject::Connection> m_controllerConnections;
    std::vector<QPointer<lq::UndoManager>> m_undoManagersUsed;
    MediaPlayabilityCheck *m_playability = nullptr;
    OldMediaConversion *m_conversion = nullptr;
    std::unique_ptr<MediaImportDialog> m_importMC;
    PlaybackTimers m_timers;
    QPointer<QWidget> m_captureView;
    QPointer<QWidget> m_movieView;
    uint32_t m_currentChar = 0;
    float m_percentageRate = -1.0f;
    bool m_fastforwarding = false;
    bool m_rewinding = false;
    bool m_usingCallRecorder = false;
    bool m_startingSession = false;
    // When the first sample was captured, as the engine reported it while the session was still
    // being started.
    std::optional<ConsistentDate> m_mediaBeganDuringStart;
    // The clock stopped but the engine did not: the next stop retries the engine alone.
    bool m_engineStopFailed = false;
    bool m_stopRequestedByEngine = false;
    std::atomic<bool> m_stopping{false};
    QMetaObject::Connection m_audioLevelConnection;
    bool m_videoRecorded = false;
    bool m_slidesSaved = false;
    std::atomic<float> m_percentageDone{0.0f};
    float m_selectedPlaybackSpeed = 1.0f;
    float m_playbackSpeed = 1.0f;
    lq::Guarded<lq::Date> m_clockTime;
    bool m_loadingComplete = false;
    bool m_closing = false;
    std::atomic<int32_t> m_lastSessionBeingSaved{-1};
    std::atomic<bool> m_isCorrupt{false};
    std::atomic<bool> m_avfPlayable{false};
    std::atomic<bool> m_recordingSpinningUp{false};
    bool m_observingWorkspace = false;
    lq::PostedCall m_delayedPlay;
    lq::PostedCall m_reloadAfterReset;
    lq::PostedCall m_pendingPercentage;
    lq::PostedCall m_phase2;
};
