#pragma once

#include "engines/GapEntry.h"
#include "model/ConsistentDate.h"
#include "platform/foundation/ArchiveValue.h"
#include "platform/foundation/Date.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

class BMRecordingErrorHandler;
class LQPlaySession;
class LQRecSession;
class LQRecordingController;

namespace lq {
class KeyedArchiver;
class Timer;
class UndoManager;
} // namespace lq

// The recording object as its sessions see it. A session sends a callback only when the owner
// answers it; an owner answers none unless it says otherwise.
class WrenTimerSessionOwner
{
public:
    enum class Callback { Controller, StopPlayback, SessionPlaybackStopped };

    virtual ~WrenTimerSessionOwner() = default;

    virtual bool answers(Callback) const { return false; }

    // The window controller, asked to stop the recording when the clock fails.
    virtual LQRecordingController *controller() { return nullptr; }
    // Playback must stop: the clock ran backwards. False when nothing was current.
    virtual bool stopPlayback() { return false; }
    // The clock passed the end of the session (its start when playing backwards).
    virtual void sessionPlaybackStopped() {}
};

// One session of a note's recording: when it began and ended, what media it has, and while it
// records or plays, its clock. nowInterval() tells how many seconds into the session the present
// lies; clockTime is the displayed clock, a date counted from the clock epoch, which ticks on
// the main thread whenever its whole second changes.
//
// The clock (start, stop, ticks) belongs to the main thread. Readings, the engines and what the
// archive needs may be asked from any thread.
class WrenTimerSession final : public QObject, public lq::Archivable, public GapEntry
{
    Q_OBJECT
    Q_PROPERTY(lq::Date clockTime READ clockTime WRITE setClockTime NOTIFY clockTimeChanged)

public:
    enum Mode : int32_t { Idle = 0, Recording = 1, Playing = 2 };

    // Idle at rate 1, with no dates, engines or media.
    WrenTimerSession();
    ~WrenTimerSession() override;

    // A session that began now and ends seconds later (an imported file's session).
    static std::shared_ptr<WrenTimerSession> sessionWithLength(double seconds);
    static constexpr char kArchiveClassName[] = "WrenTimerSession";
    // Makes the archive class kArchiveClassName known to unarchivers. Idempotent.
    static void registerArchiveClass();

    // Recording; a session records once: one that has a beginning is not started again. A
    // session that waits for media stands at 0 until resetSession() tells that they are written.
    bool startSession(double displayOffset = 0.0, bool waitsForMedia = false);
    bool stopSession();

    // Playing from startOffset; without one from the end when backwards, else from 0.
    bool startPlayback(std::optional<double> startOffset, double displayOffset, bool backwards);
    bool stopPlayback();
    void jumpToOffset(double offset = 0.0);
    // Keeps the position continuous across the change; false (with the rate changed) when the
    // position is unknown, and for a rate of 0 or not a number (nothing changes).
    bool setPlayRate(float rate);
    float rate() const;
    // Where the displayed clock starts: the clock epoch plus the sessions before this one.
    void setStartOffset(double displayOffset = 0.0);

    // Seconds into the session now. Acts on a stalled engine or a clock that ran backwards.
    bool nowInterval(double *seconds);
    // The end minus the beginning, on the wall clock.
    bool length(double *seconds) const override;

    // With undo, the previous end is restored by the undo manager.
    void setTheEnd(std::optional<ConsistentDate> end, bool withUndo = false);
    // Sets the end offset seconds after the beginning, undoably; false for a negative offset
    // or without a beginning.
    bool trimFrom(double offset = 0.0);
    // The session's time runs from beginning: the engine has begun writing its media, whose first
    // sample was captured then.
    void resetSession(const ConsistentDate &beginning);

    std::shared_ptr<LQRecSession> recSession() const;
    // Keeps the outgoing engine's file lengths and hands them to the player.
    void setRecSession(std::shared_ptr<LQRecSession> engine);
    std::shared_ptr<LQPlaySession> playSession() const;
    void setPlaySession(std::shared_ptr<LQPlaySession> engine);

    lq::Date clockTime() const;
    // Signals clockTimeChanged at once, on the setting thread.
    void setClockTime(lq::Date clockTime);
    float percentageDone() const;
    int32_t mode() const;
    bool hasAudio() const;
    void setHasAudio(bool hasAudio);
    bool hasVideo() const;
    void setHasVideo(bool hasVideo);
    bool hasSlides() const;
    void setHasSlides(bool hasSlides);
    bool saved() const;
    void setSaved(bool saved);
    lq::UndoManager *um() const;
    void setUm(lq::UndoManager *undoManager);
    // Not owned.
    WrenTimerSessionOwner *owner() const { return m_owner; }
    void setOwner(WrenTimerSessionOwner *owner) { m_owner = owner; }
    BMRecordingErrorHandler *errorHandler() const { return m_errorHandler; }
    void setErrorHandler(BMRecordingErrorHandler *handler) { m_errorHandler = handler; }
    QList<double> subSessionLengths() const;
    void setSubSessionLengths(const QList<double> &lengths);
    std::optional<ConsistentDate> prevRecChangeDate() const;
    std::optional<ConsistentDate> theBeginning() const;
    void setTheBeginning(std::optional<ConsistentDate> beginning);
    std::optional<ConsistentDate> theEnd() const;

    QString description() const override;

    // The session as it archives now, in a copy that another thread may archive.
    lq::ArchivablePtr archiveCopy() const;
    QStringList archiveClassNames() const override;
    void encodeWithCoder(lq::KeyedArchiver &coder) const override;

Q_SIGNALS:
    void clockTimeChanged(lq::Date clockTime);

private:
    enum class ClockFault { RecordingStalled, RecordingRanBackwards, PlaybackRanBackwards };
    struct Reading;
    struct Snapshot;

    std::optional<lq::Date> playStart() const;
    lq::Date applyStartOffset(double displayOffset); // answers the new playStart
    Snapshot snapshot() const;
    // What the clock reads now, with no action taken on it.
    Reading read() const;
    bool recordingStalled(double engineTime);
    void stopForClockFault(ClockFault fault);
    void finishStopForClockFault(ClockFault fault);
    bool ownerAnswers(WrenTimerSessionOwner::Callback callback) const;
    void setStartedPlayingWhenWithOffset(double offset);
    void clockTick();
    void scheduleTick();
    void rescheduleTickIfRunning();
    void cancelTick();

    mutable std::mutex m_mutex; // guards every field below up to m_prevRecChangeDate
    std::optional<ConsistentDate> m_theBeginning;
    std::optional<ConsistentDate> m_theEnd;
    lq::Date m_clockTime;
    std::optional<lq::Date> m_playStart;
    lq::Date m_epoch; // the clock epoch as it was when the display offset was last set
    std::optional<ConsistentDate> m_startedPlayingWhen;
    bool m_waitingForMedia = false;
    int32_t m_mode = Idle;
    float m_percentageDone = 0.0f;
    bool m_hasAudio = false;
    bool m_hasVideo = false;
    bool m_hasSlides = false;
    bool m_saved = false;
    float m_rate = 1.0f;
    QList<double> m_subSessionLengths;
    std::shared_ptr<LQRecSession> m_recSession;
    std::shared_ptr<LQPlaySession> m_playSession;
    double m_prevRecInterval = 0.0;
    std::optional<ConsistentDate> m_prevRecChangeDate;

    std::unique_ptr<lq::Timer> m_clockTimer; // main thread
    std::atomic<bool> m_stopping{false};
    WrenTimerSessionOwner *m_owner = nullptr;
    BMRecordingErrorHandler *m_errorHandler = nullptr;
    QPointer<lq::UndoManager> m_um;
};
