#include "model/WrenRecording.h"

#include "engines/LQEngineFactory.h"
#include "engines/LQRecSession.h"
#include "model/MediaImportDialog.h"
#include "model/RecordingOwner.h"
#include "model/RecordingWindowController.h"
#include "model/WrenEvents.h"
#include "model/WrenRecordingInternals.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/SystemSleepMonitor.h"

#include <algorithm>
#include <chrono>

namespace {

constexpr auto kEngineWaitLimit = std::chrono::hours(24);

} // namespace

namespace wren_recording {

bool modernEnginesRun()
{
    return LQEngineFactory::current().runTimeFamily() == LQEngineFactory::Family::Modern;
}

void waitWhile(const std::function<bool()> &busy)
{
    lq::runEventLoopUntil([&busy] { return !busy(); }, kEngineWaitLimit);
}

bool copyReplacing(const QString &source, const QString &destination, lq::Error *error)
{
    lq::FileOperations &files = lq::FileOperations::current();
    const QString temporary = lq::temporaryPathBeside(destination);
    if (files.copy(source, temporary, error) && files.replace(temporary, destination, error))
        return true;
    if (files.exists(temporary))
        files.remove(temporary, nullptr);
    return false;
}

} // namespace wren_recording

using wren_recording::modernEnginesRun;

WrenRecording::WrenRecording()
    : m_recordingSession(LQEngineFactory::current().makeRecordingEngine())
    , m_events(std::make_shared<WrenEvents>())
    , m_clockTime(lq::clockEpoch())
{
    if (m_recordingSession)
        m_recordingSession->setOwner(this);
    m_avfPlayable = modernEnginesRun();
}

WrenRecording::~WrenRecording()
{
    m_delayedPlay.cancel();
    m_reloadAfterReset.cancel();
    m_pendingPercentage.cancel();
    m_phase2.cancel();
    lq::NotificationCenter::defaultCenter().removeObserver(this);
    m_timers.stopAll();
    disconnect(m_audioLevelConnection);
    for (QWidget *view : {m_captureView.data(), m_movieView.data()}) {
        if (view)
            view->deleteLater();
    }
    for (const SessionPtr &session : m_timerSessions) {
        if (session->owner() == this)
            session->setOwner(nullptr);
    }
    if (m_recordingSession)
        m_recordingSession->setOwner(nullptr);
    // An undo run after this object is gone must not reach it.
    for (const QPointer<lq::UndoManager> &undoManager : m_undoManagersUsed) {
        if (undoManager)
            undoManager->removeAllActions(this);
    }
}

// Wiring

bool WrenRecording::ownerAnswers(RecordingOwner::Callback callback) const
{
    return m_owner && m_owner->answers(callback);
}

lq::UndoManager *WrenRecording::ownerUndoManager() const
{
    return ownerAnswers(RecordingOwner::Callback::UndoManager) ? m_owner->undoManager() : nullptr;
}

void WrenRecording::registerUndo(std::function<void()> action)
{
    lq::UndoManager *undoManager = ownerUndoManager();
    if (!undoManager)
        return;
    undoManager->registerUndo(this, std::move(action));
    const bool known = std::any_of(
        m_undoManagersUsed.begin(), m_undoManagersUsed.end(),
        [undoManager](const QPointer<lq::UndoManager> &used) { return used == undoManager; });
    if (!known)
        m_undoManagersUsed.emplace_back(undoManager);
}

void WrenRecording::adoptSession(const SessionPtr &session)
{
    session->setOwner(this);
    session->setErrorHandler(m_errorHandler);
    if (ownerAnswers(RecordingOwner::Callback::UndoManager))
        session->setUm(m_owner->undoManager());
}

void WrenRecording::setOwner(RecordingOwner *owner)
{
    m_owner = owner;
    lq::UndoManager *undoManager = ownerUndoManager();
    if (ownerAnswers(RecordingOwner::Callback::UndoManager)) {
        for (const SessionPtr &session : timerSessions())
            session->setUm(undoManager);
    }
    m_events->setUm(undoManager);
}

void WrenRecording::setErrorHandler(BMRecordingErrorHandler *handler)
{
    m_errorHandler = handler;
    for (const SessionPtr &session : timerSessions())
        session->setErrorHandler(handler);
    if (m_recordingSession)
        m_recordingSession->setErrorHandler(handler);
}

LQRecordingController *WrenRecording::controller()
{
    return m_controller;
}

void WrenRecording::observeSessionClock(const SessionPtr &session)
{
    RecordingWindowController *controller = m_controller;
    WrenTimerSession *observed = session.get();
    m_controllerConnections.push_back(connect(
        observed, &WrenTimerSession::clockTimeChanged, observed,
        [controller, observed](lq::Date time) {
            controller->sessionClockTimeChanged(observed, time);
        },
        Qt::DirectConnection));
}

void WrenRecording::removeControllerObservations()
{
    for (const QMetaObject::Connection &connection : m_controllerConnections)
        disconnect(connection);
    m_controllerConnections.clear();
}

void WrenRecording::loadController(RecordingWindowController *controller)
{
    removeControllerObservations();
    m_controller = controller;
    const std::vector<SessionPtr> sessions = timerSessions();
    if (!sessions.empty())
        controller->setRecordingExists();
    if (!packageURL().isEmpty() && m_slidesSaved) {
        m_slides.setPath(slidesFileName());
        controller->setSlidesPath(slidesFileName());
        controller->gotoSlide(1, true);
        controller->expandSlidesSection();
    }
    m_controllerConnections.push_back(connect(
        this, &WrenRecording::clockTimeChanged, this,
        [controller](lq::Date time) { controller->clockTimeChanged(time); }, Qt::DirectConnection));
    for (const SessionPtr &session : sessions)
        observeSessionClock(session);
    if (!sessions.empty()) {
        sessions.front()->setStartOffset();
        sessions.front()->jumpToOffset(0.0);
    }
    if (m_videoRecorded)
        controller->expandVideoSection();
    m_controllerConnections.push_back(connect(
        this, &WrenRecording::percentageDoneChanged, this,
        [controller](float percentage) { controller->percentageDoneChanged(percentage); },
        Qt::DirectConnection));
    m_controllerConnections.push_back(connect(
        this, &WrenRecording::selectedPlaybackSpeedChanged, this,
        [controller](float speed) { controller->selectedPlaybackSpeedChanged(speed); },
        Qt::DirectConnection));
    m_loadingComplete = true;
    // Shows the first picture of the recording.
    if (hasVideo())
        playSession(0, std::nullopt, std::nullopt, std::nullopt, true, true);
}

void WrenRecording::close()
{
    m_closing = true;
    m_delayedPlay.cancel();
    m_pendingPercentage.cancel();
    {
        std::lock_guard lock(m_modelMutex);
        m_reloadAfterReset.cancel();
    }
    if (playing())
        stopPlayback();
    stopSession();
    if (m_recordingSession) {
        m_recordingSession->stopVideoPreview();
        m_recordingSession->stopAudioPreview();
    }
    if (SessionPtr s = session(currentSession())) {
        if (s->mode() == WrenTimerSession::Recording) {
            s->stopSession();
            s->setRecSession(nullptr);
            setRecording(false);
        } else if (s->mode() == WrenTimerSession::Playing) {
            s->stopPlayback();
        }
    }
    m_timers.stopAll();
    observeAudioLevel(false);
    if (m_controller) {
        removeControllerObservations();
        RecordingWindowController *controller = std::exchange(m_controller, nullptr);
        controller->close();
    }
}

void WrenRecording::addChange()
{
    if (ownerAnswers(RecordingOwner::Callback::UpdateChangeCount))
        m_owner->updateChangeCount(0);
}

// Sessions

std::vector<WrenRecording::SessionPtr> WrenRecording::timerSessions() const
{
    std::lock_guard lock(m_modelMutex);
    return m_timerSessions;
}

int32_t WrenRecording::sessionCount() const
{
    std::lock_guard lock(m_modelMutex);
    return static_cast<int32_t>(m_timerSessions.size());
}

WrenRecording::SessionPtr WrenRecording::session(int32_t index) const
{
    std::lock_guard lock(m_modelMutex);
    if (index < 0 || size_t(index) >= m_timerSessions.size())
        return nullptr;
    return m_timerSessions[size_t(index)];
}

void WrenRecording::addSession(const SessionPtr &session)
{
    adoptSession(session);
    {
        std::lock_guard lock(m_modelMutex);
        m_timerSessions.push_back(session);
    }
    m_percentageRate = -1.0f;
    if (m_controller)
        observeSessionClock(session);
}

void WrenRecording::setRecording(bool recording)
{
    m_recording = recording;
    updateWorkspaceObservation();
}

void WrenRecording::setPlaying(bool playing)
{
    m_playing = playing;
    updateWorkspaceObservation();
}

void WrenRecording::updateWorkspaceObservation()
{
    const bool wanted = recording() || playing();
    if (wanted == m_observingWorkspace)
        return;
    m_observingWorkspace = wanted;
    lq::NotificationCenter &center = lq::NotificationCenter::defaultCenter();
    if (!wanted) {
        center.removeObserver(this);
        return;
    }
    for (const char *name : {lq::SystemSleepMonitor::kWillSleepNotification,
                             lq::SystemSleepMonitor::kSessionDidResignActiveNotification})
        center.addObserver(this, QLatin1String(name), nullptr,
                           [this](const lq::Notification &) { systemSleeping(); });
}

void WrenRecording::systemSleeping()
{
    if (recording()) {
        if (m_controller)
            m_controller->stopRecording();
    } else if (playing()) {
        stopPlayback();
    }
}

double WrenRecording::intervalForPreviousSessions() const
{
    std::lock_guard lock(m_modelMutex);
    double total = 0.0;
    const int32_t current = currentSession();
    for (int32_t i = 0; i < current && size_t(i) < m_timerSessions.size(); ++i) {
        double length = 0.0;
        if (m_timerSessions[size_t(i)]->length(&length))
            total += length;
    }
    return total;
}

bool WrenRecording::hasAudio() const
{
    for (const SessionPtr &s : timerSessions()) {
        if (s->hasAudio())
            return true;
    }
    return false;
}

bool WrenRecording::hasVideo() const
{
    for (const SessionPtr &s : timerSessions()) {
        if (s->hasVideo())
            return true;
    }
    return false;
}

std::optional<ConsistentDate> WrenRecording::recordingBeginning() const
{
    const SessionPtr first = session(0);
    return first ? first->theBeginning() : std::nullopt;
}

lq::Date WrenRecording::clockTime() const
{
    return m_clockTime.get();
}

void WrenRecording::setClockTime(lq::Date clockTime)
{
    m_clockTime.set(clockTime);
    Q_EMIT clockTimeChanged(clockTime);
}

void WrenRecording::mergeRecordings()
{
    if (m_recordingSession)
        m_recordingSession->startMerge();
}

bool WrenRecording::merging() const
{
    return m_recordingSession && m_recordingSession->merging();
}

// Owner callbacks

bool WrenRecording::answers(LQRecSessionOwner::Callback) const
{
    return true;
}

void WrenRecording::didStartRecordingToOutputFile(const QUrl &, double secondsAgo)
{
    // The session's time starts with the first sample of the media, however late this report.
    const ConsistentDate firstSample = ConsistentDate::now().addTimeInterval(-secondsAgo);
    if (m_startingSession)
        m_mediaBeganDuringStart = firstSample;
    if (!recording())
        return;
    setRecordingSpinningUp(false);
    if (SessionPtr current = session(currentSession()))
        current->resetSession(firstSample);
}

void WrenRecording::sessionRecordingCompleted(LQRecSession *)
{
    if (ownerAnswers(RecordingOwner::Callback::SetFinishedRecordingToFile))
        m_owner->setFinishedRecordingToFile(true);
}

void WrenRecording::recordingStopped()
{
    // The engine captures no more: the session must not go on without media.
    if (!recording() || m_stopRequestedByEngine)
        return;
    m_stopRequestedByEngine = true;
    if (m_controller)
        m_controller->stopRecording();
    else
        stopSession();
}

bool WrenRecording::answers(WrenTimerSessionOwner::Callback) const
{
    return true;
}
