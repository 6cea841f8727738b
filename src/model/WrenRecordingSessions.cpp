#include "engines/LQMediaFileNames.h"
#include "engines/LQRecSession.h"
#include "model/CallRecorderFilePicker.h"
#include "model/RecordingOwner.h"
#include "model/RecordingWindowController.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenRecordingInternals.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/ScriptRunner.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/MediaFlattener.h"
#include "platform/media/MediaInfo.h"
#include "platform/ui/AlertPresenter.h"
#include "shared/RecordingErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <chrono>

namespace {

const QString kUseCallRecorderKey = QStringLiteral("useCallRecorder");
const QString kSuppressCallRecorderWarningKey = QStringLiteral("suppressCallRecorderWarning");

const QString kCallRecorderApplication = QStringLiteral("Skype");
const QString kCallRecorderStartEvent = QStringLiteral("\u00abevent CLreStrt\u00bb");
const QString kCallRecorderStopEvent = QStringLiteral("\u00abevent CLreStop\u00bb");

} // namespace

using wren_recording::kMovieWriteLimit;
using wren_recording::modernEnginesRun;
using wren_recording::waitWhile;

// Recording sessions

bool WrenRecording::failStart()
{
    m_startingSession = false;
    m_currentSession = -1;
    return false;
}

bool WrenRecording::startSession(bool audio, bool video)
{
    // One session records at a time: a second start would leave the first one without an end.
    if (recording() || m_startingSession || m_stopping.load())
        return false;
    m_percentageRate = -1.0f;
    setPercentageDone(0.0f);
    const int32_t number = sessionCount();
    m_currentSession = number;
    m_startingSession = true;
    m_mediaBeganDuringStart.reset();
    m_usingCallRecorder = lq::UserDefaults::standard().boolForKey(kUseCallRecorderKey);
    if (m_usingCallRecorder) {
        if (!askAboutCallRecorder() || !runScript(kCallRecorderStartEvent))
            return failStart();
        // The add-on records; the own engine records nothing.
        audio = false;
        video = false;
    }
    const bool withMedia = audio || video;
    if (withMedia && !startEngine(number, audio, video))
        return failStart();

    auto session = std::make_shared<WrenTimerSession>();
    adoptSession(session);
    m_events->setUm(ownerUndoManager());
    session->setHasAudio(audio);
    session->setHasVideo(video);
    if (withMedia)
        session->setRecSession(m_recordingSession);
    // Until the engine writes, the session stands at its start: what is typed meanwhile is
    // stamped there, never after what is typed once the clock runs.
    const bool waitsForMedia = withMedia && !m_mediaBeganDuringStart;
    if (!session->startSession(number >= 1 ? intervalForPreviousSessions() : 0.0, waitsForMedia)) {
        if (withMedia) {
            m_recordingSession->stopRecording(nullptr);
            observeAudioLevel(false);
        }
        return failStart();
    }
    if (m_mediaBeganDuringStart)
        session->resetSession(*m_mediaBeganDuringStart);
    if (video)
        m_videoRecorded = true;
    if (m_controller)
        observeSessionClock(session);
    {
        std::lock_guard lock(m_modelMutex);
        m_timerSessions.push_back(session);
    }
    m_startingSession = false;
    m_stopRequestedByEngine = false;
    m_engineStopFailed = false;
    setRecording(true);
    setRecordingSpinningUp(waitsForMedia);
    return true;
}

bool WrenRecording::askAboutCallRecorder()
{
    lq::UserDefaults &defaults = lq::UserDefaults::standard();
    if (defaults.boolForKey(kSuppressCallRecorderWarningKey))
        return true;
    lq::AlertRequest warning;
    warning.messageText = QStringLiteral("Are you on a Skype call?");
    warning.informativeText = QStringLiteral(
        "You must already be on the Skype call you wish to record for this to work. Please make "
        "sure Skype is already running and you are already on a call before clicking OK. Also, "
        "make sure you have Call Recorder for Skype installed but not yet recording.");
    warning.buttons = {QStringLiteral("OK"), QStringLiteral("Cancel")};
    warning.showsSuppressionButton = true;
    const lq::AlertResponse response = lq::AlertPresenter::current().runModal(warning);
    if (response.suppressed)
        defaults.setBool(kSuppressCallRecorderWarningKey, true);
    return response.buttonIndex == 0;
}

bool WrenRecording::runScript(const QString &event)
{
    const QString source = QStringLiteral("tell application \"%1\"\n\t%2\nend tell")
                               .arg(kCallRecorderApplication, event);
    QString error;
    if (lq::ScriptRunner::current().run(source, kCallRecorderApplication, &error))
        return true;
    lq::log(QStringLiteral("Script to %1 failed: %2\n").arg(kCallRecorderApplication, error));
    lq::AlertRequest failure;
    failure.messageText = QStringLiteral("Failed to communicate");
    failure.informativeText =
        QStringLiteral("Failed to communicate with %1. Aborting.").arg(kCallRecorderApplication);
    lq::AlertPresenter::current().runModal(failure);
    return false;
}

bool WrenRecording::startEngine(int32_t session, bool audio, bool video)
{
    LQRecSession *engine = m_recordingSession.get();
    if (!engine)
        return false;
    const bool modern = modernEnginesRun();
    const auto showPreview = [this, engine, video] {
        if (!video)
            switchCaptureView(false);
        else if (!engine->shouldPreviewVideo())
            switchCaptureView(true);
    };
    if (modern)
        showPreview();
    const QString folder = mediaPathWithSession(session);
    if (folder.isEmpty() ||
        !engine->startRecording(LQMediaFileNames::sessionStem(folder, session), audio, video))
        return false;
    if (audio && !engine->shouldPreviewAudio())
        observeAudioLevel(true);
    if (!modern)
        showPreview();
    return true;
}

bool WrenRecording::stopSession()
{
    // A stop asked for while one runs (the stall watch asks from inside it) is that same stop.
    if (m_stopping.exchange(true))
        return false;
    const bool stopped = stopCurrentSession();
    m_stopping = false;
    return stopped;
}

bool WrenRecording::stopCurrentSession()
{
    const int32_t index = currentSession();
    const SessionPtr s = session(index);
    if (!s || !recording())
        return false;
    // After an engine that failed to stop, the clock has stopped already: only the engine is
    // asked again.
    if (!m_engineStopFailed && !s->stopSession())
        return false;
    LQRecSession *engine = m_recordingSession.get();
    bool engineWrote = false;
    bool engineStuck = false;
    if (engine && engine->currentlyRecording()) {
        QStringList files;
        if (engine->stopRecording(&files)) {
            engineWrote = !files.isEmpty();
        } else if (!m_engineStopFailed) {
            m_engineStopFailed = true;
            return false;
        } else {
            engineStuck = true;
            reportRecordingError(m_errorHandler,
                                 QStringLiteral("Error: Recording could not be stopped properly. "
                                                "The audio/video of this session may be lost."),
                                 false);
        }
        keepSessionFiles(s, index, files);
    } else if (engine && sessionHasMedia(*s)) {
        // The engine stopped by itself after an error: what it wrote up to then stays.
        QStringList files;
        engineWrote = engine->prepareToSave(&files) && !files.isEmpty();
        keepSessionFiles(s, index, engineWrote ? files : QStringList());
    }
    m_engineStopFailed = false;
    s->setRecSession(nullptr);
    if (engine && !engine->shouldPreviewAudio())
        observeAudioLevel(false);
    finishStop(s, index);
    // An engine that would not stop may never finish its file.
    if (engine && !engineStuck)
        waitWhile([engine] { return engine->writingFile(); });
    // No engine file will report its end: the owner must not wait for one.
    if (!engineWrote && ownerAnswers(RecordingOwner::Callback::SetFinishedRecordingToFile))
        m_owner->setFinishedRecordingToFile(true);
    if (lq::isMainThread()) {
        stopSessionPhase2(s);
    } else {
        m_phase2 = lq::postToMainThread([self = QPointer<WrenRecording>(this), s] {
            if (self)
                self->stopSessionPhase2(s);
        });
    }
    return true;
}

void WrenRecording::keepSessionFiles(const SessionPtr &session, int32_t index,
                                     const QStringList &files)
{
    if (files.isEmpty()) {
        session->setHasAudio(false);
        session->setHasVideo(false);
        return;
    }
    std::lock_guard lock(m_modelMutex);
    m_recordingFiles.insert(index, files);
}

void WrenRecording::finishStop(const SessionPtr &session, int32_t index)
{
    markSessionNotSaved(index);
    double seconds = 0.0;
    if (session->length(&seconds))
        m_events->addSessionLength(static_cast<float>(seconds), index);
    m_percentageRate = -1.0f;
    m_currentSession = -1;
    setRecording(false);
}

void WrenRecording::stopSessionPhase2(const SessionPtr &session)
{
    if (m_usingCallRecorder)
        takeCallRecorderFile(sessionCount() - 1);
    LQRecSession *engine = m_recordingSession.get();
    const bool previewing = engine && engine->shouldPreviewVideo();
    if (session->hasVideo() && !previewing)
        switchCaptureView(false);
    else if (previewing)
        switchCaptureView(true);
    const std::vector<SessionPtr> sessions = timerSessions();
    const auto found = std::find(sessions.begin(), sessions.end(), session);
    double seconds = 0.0;
    if (found != sessions.end() && session->length(&seconds))
        playSession(static_cast<int32_t>(found - sessions.begin()), seconds, std::nullopt,
                    std::nullopt, true);
}

void WrenRecording::takeCallRecorderFile(int32_t index)
{
    if (!runScript(kCallRecorderStopEvent) || CallRecorderFilePicker::startFolder().isEmpty())
        return;
    const SessionPtr s = session(index);
    double seconds = 0.0;
    const std::optional<double> sessionLength =
        s && s->length(&seconds) ? std::optional<double>(seconds) : std::nullopt;
    if (const std::optional<QString> movie = CallRecorderFilePicker().pick(sessionLength))
        replaceMediaForSession(index, *movie);
}

bool WrenRecording::replaceMediaForSession(int32_t index, const QString &moviePath)
{
    const SessionPtr s = session(index);
    lq::Error error;
    const std::optional<lq::MediaInfo> movie =
        s ? lq::MediaInfo::probe(moviePath, CallRecorderFilePicker::kProbeTimeLimit, &error)
          : std::nullopt;
    const QString folder = mediaPathWithSession(index, true);
    if (!movie || folder.isEmpty()) {
        reportCallRecorderFileError(movie ? QString() : error.localizedDescription());
        return false;
    }
    const QString name = freeMovieName(index, folder);
    bool written = false;
    const auto write = [&] {
        written = lq::MediaFlattener::flatten(moviePath, QDir(folder).filePath(name),
                                              kMovieWriteLimit, &error);
    };
    if (ownerAnswers(RecordingOwner::Callback::SynchronousFileAccess))
        m_owner->performSynchronousFileAccess(write);
    else
        write();
    if (!written) {
        lq::log(QStringLiteral("Error writing movie file from Call Recorder: %1\n")
                    .arg(error.localizedDescription()));
        reportCallRecorderFileError(error.localizedDescription());
        return false;
    }
    s->setHasAudio(!movie->audioStreams.isEmpty());
    s->setHasVideo(!movie->videoStreams.isEmpty());
    markSessionNotSaved(index);
    setRecordingFiles(QStringList{name}, index);
    return true;
}

QString WrenRecording::freeMovieName(int32_t session, const QString &folder) const
{
    QStringList listed;
    for (const QStringList &names : recordingFiles())
        listed += names;
    const QString package = packageURL().isEmpty() ? QString() : packageURL().toLocalFile();
    const auto taken = [&](const QString &name) {
        return listed.contains(name) || QFileInfo::exists(QDir(folder).filePath(name)) ||
               (!package.isEmpty() && QFileInfo::exists(QDir(package).filePath(name)));
    };
    QString name = QString::asprintf("%s-%d.mov", "recording", session);
    for (int variant = 1; taken(name); ++variant)
        name = QString::asprintf("%s-%d-%d.mov", "recording", session, variant);
    return name;
}

void WrenRecording::reportCallRecorderFileError(const QString &detail)
{
    const lq::Error error(QStringLiteral("importing"), 79,
                          QStringLiteral("Could not parse file from Call Recorder."));
    lq::AlertRequest alert;
    alert.messageText = error.localizedDescription();
    alert.informativeText = detail;
    lq::AlertPresenter::current().runModal(alert);
}

bool WrenRecording::previewAudio()
{
    if (!m_recordingSession || !m_recordingSession->previewAudio())
        return false;
    observeAudioLevel(true);
    return true;
}

bool WrenRecording::stopAudioPreview()
{
    if (!m_recordingSession || !m_recordingSession->stopAudioPreview())
        return false;
    observeAudioLevel(false);
    return true;
}

bool WrenRecording::previewVideo()
{
    if (!m_recordingSession)
        return false;
    if (modernEnginesRun()) {
        switchCaptureView(true);
        return m_recordingSession->previewVideo();
    }
    if (!m_recordingSession->previewVideo())
        return false;
    switchCaptureView(true);
    return true;
}

bool WrenRecording::stopVideoPreview()
{
    if (!m_recordingSession || !m_recordingSession->stopVideoPreview())
        return false;
    const SessionPtr current = session(currentSession());
    if (!(playing() && current && current->hasVideo())) {
        switchCaptureView(false);
        if (hasVideo() && !m_closing)
            playSession(0, std::nullopt, std::nullopt, std::nullopt, true);
    }
    return true;
}

void WrenRecording::switchCaptureView(bool on)
{
    if (m_captureView)
        m_captureView->deleteLater();
    m_captureView = nullptr;
    if (on) {
        m_captureView = makeVideoView(VideoViewFactory::Content::Capture);
    }
    if (m_recordingSession && on)
        m_recordingSession->setCaptureView(m_captureView);
    if (m_controller)
        m_controller->setVideoView(m_captureView);
}

void WrenRecording::observeAudioLevel(bool observe)
{
    disconnect(m_audioLevelConnection);
    m_audioLevelConnection = {};
    if (!observe || !m_controller || !m_recordingSession)
        return;
    RecordingWindowController *controller = m_controller;
    m_audioLevelConnection =
        connect(m_recordingSession.get(), &LQRecSession::audioLevelChanged, this,
                [controller](float decibels) { controller->audioLevelChanged(decibels); });
}
