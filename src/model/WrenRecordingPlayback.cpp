#include "engines/LQEngineFactory.h"
#include "engines/LQPlaySession.h"
#include "engines/LQRecSession.h"
#include "model/RecordingOwner.h"
#include "model/RecordingWindowController.h"
#include "model/StampWalk.h"
#include "model/VideoViewFactory.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "model/WrenRecordingInternals.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "preferences/PrefsController.h"

#include <QPointer>

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kDelayedPlay{500};

const QString kJumpBackTimeKey = QStringLiteral("defaultJumpBackTime");

const QString kVideoViewToolTip =
    QStringLiteral("Double-click to promote Video to its own window.");
constexpr double kDefaultJumpBackTime = 30.0;
// Beyond this a jump ends playback.
constexpr double kEndPercentage = 99.99999;
// A playhead this close to the end shows the end.
constexpr double kFullPercentage = 99.9;

} // namespace

using wren_recording::modernEnginesRun;

// Playback

TimelineMap WrenRecording::timelineMap() const
{
    std::vector<double> lengths;
    for (const SessionPtr &s : timerSessions()) {
        double seconds = 0.0;
        lengths.push_back(s->length(&seconds) ? seconds : 0.0);
    }
    return TimelineMap(std::move(lengths));
}

double WrenRecording::length() const
{
    return timelineMap().length();
}

float WrenRecording::percentageRate()
{
    if (m_percentageRate < 0.0f)
        m_percentageRate = static_cast<float>(timelineMap().percentageRate());
    return m_percentageRate;
}

void WrenRecording::setPercentageDone(float percentage)
{
    m_percentageDone = percentage;
    Q_EMIT percentageDoneChanged(percentage);
}

void WrenRecording::dropPlayer()
{
    m_playerSession.reset();
}

void WrenRecording::loadCurrentPlayerSession()
{
    const int32_t index = currentSession();
    const SessionPtr s = session(index);
    const RecordingFiles files = recordingFiles();
    const bool playable = !modernEnginesRun() || AVFPlayable();
    if (!s || !sessionHasMedia(*s) || !files.contains(index) || !playable) {
        dropPlayer();
        return;
    }
    if (!m_playerSession) {
        m_playerSession = LQEngineFactory::current().makePlaybackEngine();
        if (!m_playerSession)
            return;
        m_playerSession->setTempDir(tempDir());
    }
    s->setPlaySession(m_playerSession);
    if (!m_playerSession->addMediaFiles(files.value(index), mediaPathWithSession(index))) {
        lq::log(QStringLiteral("playerSession failed to add files: %1\n")
                    .arg(files.value(index).join(QStringLiteral(", "))));
        s->setPlaySession(nullptr);
        s->setHasAudio(false);
        s->setHasVideo(false);
        dropPlayer();
        return;
    }
    if (s->hasVideo()) {
        if (!m_movieView)
            m_movieView = makeVideoView(VideoViewFactory::Content::Movie);
        m_playerSession->setPlayerView(m_movieView);
    }
}

QWidget *WrenRecording::makeVideoView(VideoViewFactory::Content content)
{
    QWidget *view = VideoViewFactory::current().makeVideoView(content);
    view->setToolTip(kVideoViewToolTip);
    return view;
}

bool WrenRecording::playSession(int32_t session, std::optional<double> offset,
                                std::optional<uint32_t> index, std::optional<int32_t> type,
                                bool dontplay, bool delay)
{
    const PlayRequest request{session, offset, index, type, dontplay};
    if (delay) {
        m_delayedPlay.cancel();
        m_delayedPlay = lq::postToMainThread(
            [self = QPointer<WrenRecording>(this), request] {
                if (self)
                    self->runPlayRequest(request);
            },
            kDelayedPlay);
        return true;
    }
    return lq::runOnMainThread([self = QPointer<WrenRecording>(this), &request] {
        return self && self->runPlayRequest(request);
    });
}

bool WrenRecording::runPlayRequest(const PlayRequest &request)
{
    const SessionPtr s = session(request.session);
    if (!s || m_closing)
        return false;
    m_currentSession = request.session;
    double seconds = 0.0;
    if (request.offset && !request.dontplay && s->length(&seconds) && *request.offset >= seconds) {
        // Nothing left of this session: the next one plays, or playback ends.
        dropPlayer();
        sessionPlaybackStopped();
        return playing();
    }
    const bool backwards = m_playbackSpeed < 0;
    s->setPlayRate(m_playbackSpeed);
    loadCurrentPlayerSession();
    if (LQPlaySession *player = m_playerSession.get()) {
        const bool enginePreviewsVideo =
            m_recordingSession && m_recordingSession->shouldPreviewVideo();
        if (s->hasVideo() && m_controller && !(request.dontplay && enginePreviewsVideo))
            m_controller->setVideoView(m_movieView);
        if (!request.dontplay) {
            if (!player->startPlaying(request.offset, backwards)) {
                // A failed start while playback ran (the next session of a chain) ends it.
                if (playing())
                    playbackStopped();
                m_currentSession = -1;
                setPlaying(false);
                return false;
            }
        } else {
            player->setCurrentTime(request.offset.value_or(0.0));
        }
        player->setRate(m_playbackSpeed);
    }
    const double displayOffset = request.session >= 1 ? intervalForPreviousSessions() : 0.0;
    if (!request.dontplay) {
        s->startPlayback(request.offset, displayOffset, backwards);
        setPlaying(true);
        WrenTimeStampPtr awaited;
        if (request.index && request.type == WrenTimeStampTypeKey)
            awaited = m_events->getEventForCharacter(*request.index);
        else if (request.index && request.type == WrenTimeStampTypeSlide)
            awaited = m_events->getEventForSlide(*request.index);
        resetEventTimerWithTS(awaited);
    } else {
        s->setStartOffset(displayOffset);
        s->jumpToOffset(request.offset.value_or(0.0));
    }
    resetSlideDisplayed();
    updatePercentage();
    return true;
}

bool WrenRecording::startPlayback()
{
    if (m_recordingSession && m_recordingSession->writingFile())
        return false;
    if (sessionCount() == 0)
        return false;
    std::optional<double> offset;
    bool startsOver = currentSession() < 0;
    if (const SessionPtr s = session(currentSession())) {
        double now = 0.0;
        if (s->nowInterval(&now))
            offset = now;
        if (offset && timelineMap().startsOver({currentSession(), *offset})) {
            startsOver = true;
            m_currentSession = -1;
            jumpToPercentage(0.0f);
        }
    }
    // From the very start: wherever the player was left (at the end, say) plays no part.
    if (startsOver) {
        m_currentSession = 0;
        offset = 0.0;
    }
    if (!playSession(currentSession(), offset))
        return false;
    m_percentageRate = -1.0f;
    percentageRate();
    m_timers.startPositionTimer([this] { updatePercentage(); });
    return true;
}

bool WrenRecording::stopPlayback()
{
    if (currentSession() < 0)
        return false;
    playbackStopped();
    return true;
}

void WrenRecording::playbackStopped()
{
    m_timers.stopAll();
    if (playing()) {
        if (m_playerSession)
            m_playerSession->stopPlaying();
        if (const SessionPtr s = session(currentSession()))
            s->stopPlayback();
    }
    if (m_captureView && m_controller)
        m_controller->setVideoView(m_captureView);
    setPlaying(false);
    m_playbackSpeed = m_selectedPlaybackSpeed;
    m_fastforwarding = false;
    m_rewinding = false;
    if (ownerAnswers(RecordingOwner::Callback::PlaybackStopped))
        m_owner->playbackStopped();
    if (m_controller)
        m_controller->playbackStopped();
    // A stop at the end of the recording has positioned it already.
    if (currentSession() >= 0 && TimelineMap::rewindsAfterStop(percentageDone(), length()))
        positionAtTheStart();
}

void WrenRecording::positionAtTheStart()
{
    playSession(0, std::nullopt, std::nullopt, std::nullopt, true);
}

void WrenRecording::sessionPlaybackStopped()
{
    const int32_t current = currentSession();
    showStampsLeftInSession();
    const int32_t next = m_playbackSpeed >= 0 ? current + 1 : current - 1;
    if (current >= 0 && next >= 0 && next < sessionCount()) {
        if (m_playerSession)
            m_playerSession->stopPlaying();
        playSession(next, std::nullopt);
        return;
    }
    // The end of the recording (its start, backwards): nothing is current while playback stops,
    // and the clock, the playhead and the player go back to the start, where the next start
    // begins.
    stopSessionAndPlayer(session(current));
    m_currentSession = -1;
    playbackStopped();
    positionAtTheStart();
    m_currentSession = -1;
}

void WrenRecording::showStampsLeftInSession()
{
    const std::optional<size_t> armed = m_timers.armedPosition();
    m_timers.cancelStamp();
    const EventTimeline &stamps = m_events->getEvents();
    const int64_t step = m_playbackSpeed >= 0 ? 1 : -1;
    for (auto at = armed ? int64_t(*armed) : -1; at >= 0 && at < int64_t(stamps.size()) &&
                                                 stamps[size_t(at)]->session() == currentSession();
         at += step)
        showStamp(size_t(at), true);
}

void WrenRecording::resetEventTimerWithTS(const WrenTimeStampPtr &stamp)
{
    m_timers.cancelStamp();
    const std::optional<SessionPosition> now = currentPosition();
    if (!now)
        return;
    const StampWalk walk(m_events->getEvents(), now->session, now->offset, m_playbackSpeed);
    const std::optional<size_t> position =
        stamp ? m_events->indexOfEvent(stamp) : walk.firstAhead();
    if (position && m_events->getEvent(*position)->session() == now->session) {
        m_timers.armStamp(walk.intervalTo(*m_events->getEvent(*position)), *position,
                          [this](size_t fired) { nextEvent(static_cast<int64_t>(fired)); });
    }
    resetSlideDisplayed();
}

void WrenRecording::nextEvent(int64_t position, bool highlight)
{
    m_timers.cancelStamp();
    if (position >= 0)
        showStamp(static_cast<size_t>(position), highlight);
    else if (highlight && !playing() && !recording())
        highlightBeforeFirstStamp();
    if (!playing())
        return;
    const std::optional<SessionPosition> now = currentPosition();
    if (!now)
        return;
    const StampWalk walk(m_events->getEvents(), currentSession(), now->offset, m_playbackSpeed);
    // Passed stamps are dealt with here, one after the other, until one is worth waiting for.
    for (int64_t at = position;;) {
        const StampWalk::Step step = walk.after(at);
        switch (step.kind) {
        case StampWalk::Step::Kind::End:
            return;
        case StampWalk::Step::Kind::Arm:
            m_timers.armStamp(step.interval, step.position,
                              [this](size_t fired) { nextEvent(static_cast<int64_t>(fired)); });
            return;
        case StampWalk::Step::Kind::HandleNow:
            showStamp(step.position, highlight);
            break;
        case StampWalk::Step::Kind::StepOver:
            break;
        }
        at = static_cast<int64_t>(step.position);
    }
}

void WrenRecording::showStamp(size_t position, bool highlight)
{
    const WrenTimeStampPtr stamp = m_events->getEvent(position);
    if (!stamp)
        return;
    if (stamp->type() == WrenTimeStampTypeKey) {
        m_currentChar = stamp->index();
        if (highlight && ownerAnswers(RecordingOwner::Callback::HighlightChar))
            m_owner->highlightChar(m_currentChar);
        return;
    }
    uint32_t slide = stamp->index();
    if (m_playbackSpeed < 0) {
        // Going backwards, the slide shown before this change comes back.
        const WrenTimeStampPtr earlier =
            m_events->lastEventBeforeEvent(stamp, WrenTimeStampTypeSlide);
        slide = earlier ? earlier->index() : 1;
    }
    if (m_controller)
        m_controller->gotoSlide(slide, false);
}

void WrenRecording::highlightBeforeFirstStamp()
{
    if (!ownerAnswers(RecordingOwner::Callback::HighlightChar))
        return;
    // Only a character can be highlighted: without key stamps nothing is.
    const EventTimeline &stamps = m_events->getEvents();
    const auto first = std::find_if(stamps.begin(), stamps.end(), [](const WrenTimeStampPtr &s) {
        return s->type() == WrenTimeStampTypeKey;
    });
    if (first == stamps.end()) {
        m_currentChar = 0;
        return;
    }
    m_currentChar = (*first)->index() > 0 ? (*first)->index() - 1 : 0;
    m_owner->highlightChar(m_currentChar);
}

void WrenRecording::resetSlideDisplayed(std::optional<double> offset)
{
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (!hasSlides() || !s || !m_controller)
        return;
    if (!offset)
        offset = currentOffset(*s);
    if (!offset)
        return;
    const WrenTimeStampPtr stamp =
        m_events->lastEventBeforeOffset(*offset, current, WrenTimeStampTypeSlide);
    m_controller->gotoSlide(stamp ? stamp->index() : 1, false);
}

void WrenRecording::jumpToCharacter(uint32_t index)
{
    if (index == m_currentChar)
        return;
    const WrenTimeStampPtr stamp = m_events->getEventForCharacter(index);
    if (stamp && !stamp->isEmpty())
        jumpToEvent(stamp);
}

void WrenRecording::jumpToSlide(uint32_t slide)
{
    if (const WrenTimeStampPtr stamp = m_events->getEventForSlide(slide))
        jumpToEvent(stamp);
}

void WrenRecording::jumpToEvent(const WrenTimeStampPtr &stamp)
{
    m_timers.cancelStamp();
    const bool isPlaying = playing();
    double target = stamp->offset();
    if (isPlaying && stamp->type() == WrenTimeStampTypeKey)
        target = TimelineMap::withLeadIn(target, PrefsController::sharedController().eventBuffer());
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (s && stamp->session() == current) {
        s->jumpToOffset(target);
        if (m_playerSession)
            m_playerSession->setCurrentTime(target);
        WrenTimeStampPtr last =
            m_events->lastEventBeforeOffset(target, current, WrenTimeStampTypeKey);
        if (!last)
            last = m_events->lastEventBeforeOffset(target, current);
        const std::optional<size_t> position = last ? m_events->indexOfEvent(last) : std::nullopt;
        nextEvent(position ? static_cast<int64_t>(*position) : -1, isPlaying);
    } else {
        if (isPlaying)
            stopSessionAndPlayer(s);
        m_currentSession = stamp->session();
        playSession(stamp->session(), target, std::nullopt, stamp->type(), !isPlaying);
    }
    resetSlideDisplayed(target);
    if (!playing())
        updatePercentage();
}

void WrenRecording::stopSessionAndPlayer(const SessionPtr &s)
{
    if (s)
        s->stopPlayback();
    if (m_playerSession)
        m_playerSession->stopPlaying();
}

void WrenRecording::jumpToPercentage(float percentage, std::optional<double> exactTime)
{
    m_timers.cancelStamp();
    const bool isPlaying = playing();
    const int32_t current = currentSession();
    if (isPlaying && current < 0)
        return;
    const TimelineMap map = timelineMap();
    const TimelineMap::Position target =
        exactTime ? map.positionAtTime(*exactTime) : map.positionAtPercentage(percentage);
    const double reached = map.percentageAt(target);
    const bool dontplay = reached > kEndPercentage || !isPlaying;
    if (const SessionPtr s = session(current); s && target.session == current) {
        s->jumpToOffset(target.offset);
        if (m_playerSession)
            m_playerSession->setCurrentTime(target.offset);
        const WrenTimeStampPtr last =
            m_events->lastEventBeforeOffset(target.offset, current, WrenTimeStampTypeKey);
        const std::optional<size_t> position = last ? m_events->indexOfEvent(last) : std::nullopt;
        nextEvent(position ? static_cast<int64_t>(*position) : -1);
    } else {
        if (isPlaying)
            stopSessionAndPlayer(s);
        m_currentSession = target.session;
        playSession(target.session, target.offset, std::nullopt, std::nullopt, dontplay);
    }
    resetSlideDisplayed();
    if (isPlaying && reached > kEndPercentage) {
        playbackStopped();
        m_pendingPercentage = lq::postToMainThread([self = QPointer<WrenRecording>(this)] {
            if (self)
                self->updatePercentage();
        });
    } else {
        setPercentageDone(static_cast<float>(reached));
    }
}

void WrenRecording::jumpBack()
{
    const std::optional<SessionPosition> now = currentPosition();
    if (!now)
        return;
    const TimelineMap map = timelineMap();
    lq::UserDefaults &defaults = lq::UserDefaults::standard();
    const double jump = defaults.contains(kJumpBackTimeKey)
                            ? static_cast<double>(defaults.integerForKey(kJumpBackTimeKey))
                            : kDefaultJumpBackTime;
    const double target =
        TimelineMap::jumpBackTarget(map.startOf(now->session) + now->offset, jump);
    jumpToPercentage(static_cast<float>(map.percentageRate() * target), target);
}

int WrenRecording::toggleFF()
{
    return toggleFastMotion(true);
}

int WrenRecording::toggleRW()
{
    return toggleFastMotion(false);
}

int WrenRecording::toggleFastMotion(bool forwards)
{
    const SessionPtr s = session(currentSession());
    if (!s)
        return -1;
    bool &flag = forwards ? m_fastforwarding : m_rewinding;
    bool &other = forwards ? m_rewinding : m_fastforwarding;
    const float rate = flag ? m_selectedPlaybackSpeed : (forwards ? 4.0f : -4.0f);
    if (!s->setPlayRate(rate) || (m_playerSession && !m_playerSession->setRate(rate)))
        return -1;
    m_playbackSpeed = rate;
    flag = !flag;
    if (flag)
        other = false;
    resetEventTimerWithTS();
    return flag ? 2 : 1;
}

void WrenRecording::setSelectedPlaybackSpeed(float speed)
{
    m_selectedPlaybackSpeed = speed;
    Q_EMIT selectedPlaybackSpeedChanged(speed);
    const SessionPtr s = session(currentSession());
    if (!playing()) {
        m_playbackSpeed = speed;
        return;
    }
    if (!s || !s->setPlayRate(speed) || (m_playerSession && !m_playerSession->setRate(speed)))
        return;
    m_playbackSpeed = speed;
    m_fastforwarding = false;
    m_rewinding = false;
    resetEventTimerWithTS();
}

void WrenRecording::updatePercentage()
{
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (!s) {
        setPercentageDone(0.0f);
        return;
    }
    const std::optional<double> offset = currentOffset(*s);
    const TimelineMap map = timelineMap();
    double value = (map.startOf(current) + offset.value_or(0.0)) * map.percentageRate();
    if (value > kFullPercentage) {
        m_timers.stopPositionTimer();
        value = 100.0;
    }
    setPercentageDone(static_cast<float>(std::max(value, 0.0)));
}
