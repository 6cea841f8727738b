#include "model/WrenTimerSession.h"

#include "engines/LQPlaySession.h"
#include "engines/LQRecSession.h"
#include "engines/LQRecordingController.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/TimerService.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/AlertPresenter.h"
#include "shared/RecordingErrors.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// An engine whose media time stands still this long has stopped recording.
constexpr double kStallSeconds = 10.0;
// A monotonic time this far from the engine's media time yields to it.
constexpr double kSnapSeconds = 5.0;

const QString kClassName = QLatin1String(WrenTimerSession::kArchiveClassName);

// Seconds until the displayed whole second changes, for a clock showing displayed seconds and
// moving at rate. A wait too short to be worth a tick (the tick came just early) ends a moment
// after the change, so that the clock is not left a second behind; none that makes sense
// becomes a whole second.
double fractionOfASecondLeft(double displayed, float rate)
{
    constexpr double kShortest = 0.01;
    const double fraction = displayed - std::trunc(displayed);
    // Backwards from a whole second, the next one to show is a whole second away.
    const double wait =
        rate >= 0 ? (1.0 - fraction) / rate : (fraction == 0.0 ? -1.0 : 0.0 - fraction) / rate;
    if (!std::isfinite(wait) || wait < 0.0)
        return 1.0;
    return wait > kShortest ? wait : wait + kShortest;
}

QString flagsText(bool hasAudio, bool hasVideo, bool hasSlides, bool saved)
{
    return QStringLiteral(", hasAudio=%1, hasVideo=%2, hasSlides=%3, saved=%4, ")
        .arg(int(hasAudio))
        .arg(int(hasVideo))
        .arg(int(hasSlides))
        .arg(int(saved));
}

void postAlert(const QString &text)
{
    lq::postToMainThread([text] {
        lq::AlertRequest request;
        request.messageText = text;
        lq::AlertPresenter::current().runModal(request);
    });
}

std::optional<ConsistentDate> decodeDate(lq::KeyedUnarchiver &coder, const QString &key)
{
    const lq::ArchiveValue value = coder.decodeObject(key);
    if (value.kind() == lq::ArchiveValue::Kind::Date)
        return ConsistentDate::dateWithDate(value.toDate());
    if (!value.isNull())
        coder.failWithReason(QStringLiteral("%1 of a WrenTimerSession is not a date").arg(key));
    return std::nullopt;
}

QList<double> decodeLengths(lq::KeyedUnarchiver &coder)
{
    const lq::ArchiveValue value = coder.decodeObject(QStringLiteral("subSessionLengths"));
    QList<double> lengths;
    if (value.kind() == lq::ArchiveValue::Kind::Array) {
        for (const lq::ArchiveValue &element : value.toArray()) {
            if (!element.isNumber())
                break;
            lengths.append(element.toReal());
        }
        if (lengths.size() == value.toArray().size())
            return lengths;
    } else if (value.isNull()) {
        return lengths;
    }
    coder.failWithReason(QStringLiteral("subSessionLengths of a WrenTimerSession are not numbers"));
    return {};
}

lq::ArchivablePtr decodeSession(lq::KeyedUnarchiver &coder)
{
    auto session = std::make_shared<WrenTimerSession>();
    session->setTheBeginning(decodeDate(coder, QStringLiteral("theBeginning")));
    session->setTheEnd(decodeDate(coder, QStringLiteral("theEnd")));
    session->setHasAudio(coder.decodeBool(QStringLiteral("hasAudio")));
    session->setHasVideo(coder.decodeBool(QStringLiteral("hasVideo")));
    session->setHasSlides(coder.decodeBool(QStringLiteral("hasSlides")));
    session->setSubSessionLengths(decodeLengths(coder));
    return coder.hasFailed() ? nullptr : session;
}

} // namespace

// The fields a reading needs, copied under the lock.
struct WrenTimerSession::Snapshot
{
    int32_t mode;
    float rate;
    std::optional<ConsistentDate> theBeginning;
    std::optional<ConsistentDate> theEnd;
    std::optional<ConsistentDate> startedPlayingWhen;
    bool waitingForMedia;
    lq::Date clockTime;
    std::optional<lq::Date> playStart;
    std::shared_ptr<LQRecSession> recSession;
    std::shared_ptr<LQPlaySession> playSession;
};

struct WrenTimerSession::Reading
{
    int32_t mode = Idle;
    bool valid = false;
    double seconds = 0.0;
    std::optional<double> engineTime; // recording: the engine's media time, when it answered
    bool ranBackwards = false; // recording: a negative answer; playing: negative elapsed time
};

WrenTimerSession::WrenTimerSession() = default;

WrenTimerSession::~WrenTimerSession()
{
    if (m_um)
        m_um->removeAllActions(this);
}

std::shared_ptr<WrenTimerSession> WrenTimerSession::sessionWithLength(double seconds)
{
    auto session = std::make_shared<WrenTimerSession>();
    const ConsistentDate beginning = ConsistentDate::now();
    session->m_theBeginning = beginning;
    session->m_theEnd = beginning.addTimeInterval(seconds);
    return session;
}

void WrenTimerSession::registerArchiveClass()
{
    static std::once_flag once;
    std::call_once(once, [] { lq::registerArchiveClass(kClassName, decodeSession); });
}

bool WrenTimerSession::startSession(double displayOffset, bool waitsForMedia)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mode != Idle || m_theBeginning)
            return false;
        m_mode = Recording;
        m_theBeginning = ConsistentDate::now();
        m_waitingForMedia = waitsForMedia;
    }
    setClockTime(applyStartOffset(displayOffset));
    scheduleTick();
    return true;
}

bool WrenTimerSession::stopSession()
{
    if (mode() != Recording)
        return false;
    cancelTick();
    double seconds = 0.0;
    const bool hadEnd = theEnd().has_value();
    const bool measured = !hadEnd && nowInterval(&seconds);
    std::lock_guard lock(m_mutex);
    // The reading may itself have stopped the session and set the end.
    if (!m_theEnd) {
        m_theEnd = measured && m_theBeginning ? m_theBeginning->addTimeInterval(seconds)
                                              : ConsistentDate::now();
    }
    m_mode = Idle;
    return true;
}

bool WrenTimerSession::startPlayback(std::optional<double> startOffset, double displayOffset,
                                     bool backwards)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mode != Idle)
            return false;
        m_mode = Playing;
    }
    const lq::Date playStart = applyStartOffset(displayOffset);
    double position = startOffset.value_or(0.0);
    double sessionLength = 0.0;
    if (!startOffset && backwards && length(&sessionLength))
        position = sessionLength;
    setClockTime(playStart.addingTimeInterval(position));
    setStartedPlayingWhenWithOffset(position);
    scheduleTick();
    return true;
}

bool WrenTimerSession::stopPlayback()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_mode != Playing)
            return false;
        m_mode = Idle;
        m_playSession.reset();
        m_rate = 1.0f;
    }
    cancelTick();
    return true;
}

void WrenTimerSession::jumpToOffset(double offset)
{
    setStartedPlayingWhenWithOffset(offset);
    if (const std::optional<lq::Date> start = playStart())
        setClockTime(start->addingTimeInterval(offset));
    rescheduleTickIfRunning();
}

bool WrenTimerSession::setPlayRate(float rate)
{
    if (rate == 0.0f || !std::isfinite(rate))
        return false;
    double position = 0.0;
    const bool known = nowInterval(&position);
    {
        std::lock_guard lock(m_mutex);
        m_rate = rate;
    }
    if (!known)
        return false;
    setStartedPlayingWhenWithOffset(position);
    rescheduleTickIfRunning();
    return true;
}

float WrenTimerSession::rate() const
{
    std::lock_guard lock(m_mutex);
    return m_rate;
}

std::optional<lq::Date> WrenTimerSession::playStart() const
{
    std::lock_guard lock(m_mutex);
    return m_playStart;
}

void WrenTimerSession::setStartOffset(double displayOffset)
{
    applyStartOffset(displayOffset);
}

lq::Date WrenTimerSession::applyStartOffset(double displayOffset)
{
    const lq::Date epoch = lq::clockEpoch();
    const lq::Date playStart = epoch.addingTimeInterval(displayOffset);
    std::lock_guard lock(m_mutex);
    m_epoch = epoch;
    m_playStart = playStart;
    return playStart;
}

void WrenTimerSession::setStartedPlayingWhenWithOffset(double offset)
{
    double sessionLength = 0.0;
    length(&sessionLength);
    std::lock_guard lock(m_mutex);
    const double shift = m_rate >= 0 ? -offset / m_rate : (sessionLength - offset) / m_rate;
    m_startedPlayingWhen = ConsistentDate::now().addTimeInterval(shift);
}

WrenTimerSession::Snapshot WrenTimerSession::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return {.mode = m_mode,
            .rate = m_rate,
            .theBeginning = m_theBeginning,
            .theEnd = m_theEnd,
            .startedPlayingWhen = m_startedPlayingWhen,
            .waitingForMedia = m_waitingForMedia,
            .clockTime = m_clockTime,
            .playStart = m_playStart,
            .recSession = m_recSession,
            .playSession = m_playSession};
}

WrenTimerSession::Reading WrenTimerSession::read() const
{
    const Snapshot now = snapshot();
    Reading reading;
    reading.mode = now.mode;
    // What the clock shows, one second on: the answer once the clock has run backwards.
    const auto shownPlusOne = [&now] {
        return now.clockTime.timeIntervalSince(now.playStart.value_or(now.clockTime)) + 1.0;
    };

    if (now.mode == Recording && now.waitingForMedia) {
        reading.valid = true;
        return reading;
    }
    if (now.mode == Recording && now.theBeginning) {
        const double elapsed = now.theBeginning->elapsed();
        double engineTime = 0.0;
        if (now.recSession && now.recSession->nowInterval(&engineTime)) {
            reading.engineTime = engineTime;
            reading.seconds = std::fabs(elapsed - engineTime) > kSnapSeconds ? engineTime : elapsed;
        } else {
            reading.seconds = elapsed;
        }
        reading.valid = true;
        if (reading.seconds < 0) {
            reading.ranBackwards = true;
            if (ownerAnswers(WrenTimerSessionOwner::Callback::Controller))
                reading.seconds = shownPlusOne();
        }
        return reading;
    }

    if (now.mode == Playing && now.startedPlayingWhen) {
        if (now.playSession && now.playSession->currentTime(&reading.seconds)) {
            reading.valid = true;
            return reading;
        }
        const double elapsed = now.startedPlayingWhen->elapsed();
        if (now.rate >= 0) {
            reading.seconds = now.rate * elapsed;
        } else {
            if (!now.theBeginning || !now.theEnd)
                return reading;
            reading.seconds =
                now.theEnd->timeIntervalSinceDate(*now.theBeginning) + now.rate * elapsed;
        }
        reading.valid = true;
        if (reading.seconds < 0) {
            reading.ranBackwards =
                elapsed < 0 && ownerAnswers(WrenTimerSessionOwner::Callback::StopPlayback);
            reading.seconds = reading.ranBackwards ? shownPlusOne() : 0.0;
        }
        return reading;
    }

    if (now.playStart) {
        reading.valid = true;
        reading.seconds = now.clockTime.timeIntervalSince(*now.playStart);
        // The clock's date arithmetic may put the end of the session a hair beyond its length.
        if (now.theBeginning && now.theEnd)
            reading.seconds =
                std::min(reading.seconds, now.theEnd->timeIntervalSinceDate(*now.theBeginning));
    }
    return reading;
}

bool WrenTimerSession::nowInterval(double *seconds)
{
    const Reading reading = read();
    *seconds = reading.seconds;
    if (reading.engineTime && recordingStalled(*reading.engineTime)) {
        stopForClockFault(ClockFault::RecordingStalled);
        return false;
    }
    if (reading.ranBackwards) {
        if (reading.mode == Playing)
            stopForClockFault(ClockFault::PlaybackRanBackwards);
        else if (ownerAnswers(WrenTimerSessionOwner::Callback::Controller))
            stopForClockFault(ClockFault::RecordingRanBackwards);
    }
    return reading.valid;
}

bool WrenTimerSession::recordingStalled(double engineTime)
{
    std::lock_guard lock(m_mutex);
    if (!m_prevRecChangeDate) {
        m_prevRecChangeDate = ConsistentDate::now();
        return false;
    }
    if (engineTime != m_prevRecInterval) {
        m_prevRecInterval = engineTime;
        m_prevRecChangeDate = ConsistentDate::now();
        return false;
    }
    return m_prevRecChangeDate->elapsed() > kStallSeconds && !m_stopping.load();
}

void WrenTimerSession::stopForClockFault(ClockFault fault)
{
    if (m_stopping.exchange(true))
        return;
    if (lq::isMainThread()) {
        finishStopForClockFault(fault);
        return;
    }
    lq::postToMainThread([session = QPointer<WrenTimerSession>(this), fault] {
        if (session)
            session->finishStopForClockFault(fault);
    });
}

void WrenTimerSession::finishStopForClockFault(ClockFault fault)
{
    if (fault == ClockFault::PlaybackRanBackwards) {
        if (ownerAnswers(WrenTimerSessionOwner::Callback::StopPlayback))
            m_owner->stopPlayback();
    } else if (ownerAnswers(WrenTimerSessionOwner::Callback::Controller)) {
        if (LQRecordingController *controller = m_owner->controller())
            controller->stopRecording();
    }
    m_stopping.store(false);

    switch (fault) {
    case ClockFault::RecordingStalled:
        reportRecordingError(m_errorHandler,
                             QStringLiteral("Error: Recording stopped due to an unexpected error."),
                             true);
        break;
    case ClockFault::RecordingRanBackwards:
        postAlert(QStringLiteral(
            "Error - time moved backwards. It appears that the time now is earlier than the time "
            "when recording started. Consequently, Luma Quill must stop recording. Feel free to "
            "restart recording if you're confident that time will continue moving in the forward "
            "direction."));
        break;
    case ClockFault::PlaybackRanBackwards:
        postAlert(QStringLiteral(
            "Error - time moved backwards. It appears that the time now is earlier than the time "
            "when playback started. Consequently, Luma Quill must stop playing. Feel free to "
            "restart playback if you're confident that time will continue moving in the forward "
            "direction."));
        break;
    }
}

bool WrenTimerSession::ownerAnswers(WrenTimerSessionOwner::Callback callback) const
{
    return m_owner && m_owner->answers(callback);
}

bool WrenTimerSession::length(double *seconds) const
{
    std::lock_guard lock(m_mutex);
    if (!m_theBeginning || !m_theEnd)
        return false;
    *seconds = m_theEnd->timeIntervalSinceDate(*m_theBeginning);
    return true;
}

void WrenTimerSession::setTheEnd(std::optional<ConsistentDate> end, bool withUndo)
{
    std::optional<ConsistentDate> previous;
    {
        std::lock_guard lock(m_mutex);
        previous = std::exchange(m_theEnd, end);
    }
    if (withUndo && m_um)
        m_um->registerUndo(this, [this, previous] { setTheEnd(previous, true); });
}

bool WrenTimerSession::trimFrom(double offset)
{
    const std::optional<ConsistentDate> beginning = theBeginning();
    if (offset < 0 || !beginning)
        return false;
    setTheEnd(beginning->addTimeInterval(offset), true);
    return true;
}

void WrenTimerSession::resetSession(const ConsistentDate &beginning)
{
    std::optional<lq::Date> playStart;
    {
        std::lock_guard lock(m_mutex);
        m_theBeginning = beginning;
        m_waitingForMedia = false;
        playStart = m_playStart;
    }
    if (playStart)
        setClockTime(playStart->addingTimeInterval(beginning.elapsed()));
    rescheduleTickIfRunning();
}

std::shared_ptr<LQRecSession> WrenTimerSession::recSession() const
{
    std::lock_guard lock(m_mutex);
    return m_recSession;
}

void WrenTimerSession::setRecSession(std::shared_ptr<LQRecSession> engine)
{
    const std::shared_ptr<LQRecSession> outgoing = recSession();
    const std::optional<QList<double>> outgoingLengths =
        outgoing ? outgoing->lengths() : std::nullopt;
    std::shared_ptr<LQPlaySession> player;
    QList<double> lengths;
    {
        std::lock_guard lock(m_mutex);
        if (outgoingLengths)
            m_subSessionLengths = *outgoingLengths;
        m_recSession = std::move(engine);
        player = m_playSession;
        lengths = m_subSessionLengths;
    }
    if (player)
        player->setSubSessionLengths(lengths);
}

std::shared_ptr<LQPlaySession> WrenTimerSession::playSession() const
{
    std::lock_guard lock(m_mutex);
    return m_playSession;
}

void WrenTimerSession::setPlaySession(std::shared_ptr<LQPlaySession> engine)
{
    QList<double> lengths;
    {
        std::lock_guard lock(m_mutex);
        m_playSession = engine;
        lengths = m_subSessionLengths;
    }
    if (engine)
        engine->setSubSessionLengths(lengths);
}

void WrenTimerSession::clockTick()
{
    const int32_t currentMode = mode();
    if (currentMode == Recording) {
        double now = 0.0;
        if (!nowInterval(&now))
            return;
        setClockTime(playStart()->addingTimeInterval(now));
        scheduleTick();
        return;
    }
    if (currentMode != Playing) {
        lq::log(QStringLiteral(
            "clockTimer going off in WrenTimerSession when neither recording nor playing back\n"));
        return;
    }

    double now = 0.0;
    const bool answered = nowInterval(&now);
    double sessionLength = 0.0;
    const std::shared_ptr<LQPlaySession> player = playSession();
    if (!(player && player->length(&sessionLength)) && !length(&sessionLength))
        sessionLength = 0.0;
    lq::Date playStart;
    lq::Date epoch;
    float currentRate;
    {
        std::lock_guard lock(m_mutex);
        playStart = *m_playStart;
        epoch = m_epoch;
        currentRate = m_rate;
        // A session of no length is over.
        m_percentageDone =
            sessionLength > 0 ? float(std::min(100.0, now * 100.0 / sessionLength)) : 100.0f;
    }
    const bool inside = currentRate >= 0 ? now < sessionLength : now > 0;
    if (answered && inside) {
        setClockTime(playStart.addingTimeInterval(now));
        scheduleTick();
        return;
    }
    stopPlayback();
    setClockTime(epoch);
    if (ownerAnswers(WrenTimerSessionOwner::Callback::SessionPlaybackStopped))
        m_owner->sessionPlaybackStopped();
}

void WrenTimerSession::scheduleTick()
{
    double interval = 1.0;
    {
        std::lock_guard lock(m_mutex);
        interval = fractionOfASecondLeft(m_clockTime.timeIntervalSince(m_epoch), m_rate);
    }
    if (m_clockTimer)
        m_clockTimer->restart(interval);
    else
        m_clockTimer = lq::TimerService::current().scheduleOnce(interval, [this] { clockTick(); });
}

void WrenTimerSession::rescheduleTickIfRunning()
{
    if (m_clockTimer && m_clockTimer->isValid())
        scheduleTick();
}

void WrenTimerSession::cancelTick()
{
    if (m_clockTimer)
        m_clockTimer->invalidate();
}

lq::Date WrenTimerSession::clockTime() const
{
    std::lock_guard lock(m_mutex);
    return m_clockTime;
}

void WrenTimerSession::setClockTime(lq::Date clockTime)
{
    {
        std::lock_guard lock(m_mutex);
        m_clockTime = clockTime;
    }
    Q_EMIT clockTimeChanged(clockTime);
}

float WrenTimerSession::percentageDone() const
{
    std::lock_guard lock(m_mutex);
    return m_percentageDone;
}

int32_t WrenTimerSession::mode() const
{
    std::lock_guard lock(m_mutex);
    return m_mode;
}

bool WrenTimerSession::hasAudio() const
{
    std::lock_guard lock(m_mutex);
    return m_hasAudio;
}

void WrenTimerSession::setHasAudio(bool hasAudio)
{
    std::lock_guard lock(m_mutex);
    m_hasAudio = hasAudio;
}

bool WrenTimerSession::hasVideo() const
{
    std::lock_guard lock(m_mutex);
    return m_hasVideo;
}

void WrenTimerSession::setHasVideo(bool hasVideo)
{
    std::lock_guard lock(m_mutex);
    m_hasVideo = hasVideo;
}

bool WrenTimerSession::hasSlides() const
{
    std::lock_guard lock(m_mutex);
    return m_hasSlides;
}

void WrenTimerSession::setHasSlides(bool hasSlides)
{
    std::lock_guard lock(m_mutex);
    m_hasSlides = hasSlides;
}

bool WrenTimerSession::saved() const
{
    std::lock_guard lock(m_mutex);
    return m_saved;
}

void WrenTimerSession::setSaved(bool saved)
{
    std::lock_guard lock(m_mutex);
    m_saved = saved;
}

lq::UndoManager *WrenTimerSession::um() const
{
    return m_um;
}

void WrenTimerSession::setUm(lq::UndoManager *undoManager)
{
    m_um = undoManager;
}

QList<double> WrenTimerSession::subSessionLengths() const
{
    std::lock_guard lock(m_mutex);
    return m_subSessionLengths;
}

void WrenTimerSession::setSubSessionLengths(const QList<double> &lengths)
{
    std::lock_guard lock(m_mutex);
    m_subSessionLengths = lengths;
}

std::optional<ConsistentDate> WrenTimerSession::prevRecChangeDate() const
{
    std::lock_guard lock(m_mutex);
    return m_prevRecChangeDate;
}

std::optional<ConsistentDate> WrenTimerSession::theBeginning() const
{
    std::lock_guard lock(m_mutex);
    return m_theBeginning;
}

void WrenTimerSession::setTheBeginning(std::optional<ConsistentDate> beginning)
{
    std::lock_guard lock(m_mutex);
    m_theBeginning = beginning;
}

std::optional<ConsistentDate> WrenTimerSession::theEnd() const
{
    std::lock_guard lock(m_mutex);
    return m_theEnd;
}

QString WrenTimerSession::description() const
{
    std::lock_guard lock(m_mutex);
    const QString flags = flagsText(m_hasAudio, m_hasVideo, m_hasSlides, m_saved);
    if (m_theBeginning && m_theEnd) {
        return QStringLiteral("WrenTimerSession of length %1, beginning at %2, ending at %3%4")
            .arg(QString::number(m_theEnd->timeIntervalSinceDate(*m_theBeginning), 'f', 6),
                 m_theBeginning->description(), m_theEnd->description(), flags);
    }
    if (m_theBeginning) {
        return QStringLiteral("WrenTimerSession beginning at %1 with no end%2")
            .arg(m_theBeginning->description(), flags);
    }
    return QStringLiteral("WrenTimerSession with no beginning or end%1").arg(flags);
}

namespace {

QStringList sessionClassNames()
{
    return {kClassName, QStringLiteral("NSObject")};
}

// A session's archived values, taken at one moment.
class SessionArchiveCopy final : public lq::Archivable
{
public:
    std::optional<lq::Date> beginning;
    lq::Date end;
    bool hasAudio = false;
    bool hasVideo = false;
    bool hasSlides = false;
    QList<double> lengths;

    QStringList archiveClassNames() const override { return sessionClassNames(); }
    void encodeWithCoder(lq::KeyedArchiver &coder) const override
    {
        lq::ArchiveArray lengthValues;
        for (double length : lengths)
            lengthValues.append(lq::ArchiveValue::real(length));
        coder.encodeObject(QStringLiteral("theBeginning"),
                           beginning ? lq::ArchiveValue::date(*beginning) : lq::ArchiveValue());
        coder.encodeObject(QStringLiteral("theEnd"), lq::ArchiveValue::date(end));
        coder.encodeBool(QStringLiteral("hasAudio"), hasAudio);
        coder.encodeBool(QStringLiteral("hasVideo"), hasVideo);
        coder.encodeBool(QStringLiteral("hasSlides"), hasSlides);
        coder.encodeObject(QStringLiteral("subSessionLengths"),
                           lq::ArchiveValue::array(std::move(lengthValues)));
    }
};

} // namespace

QStringList WrenTimerSession::archiveClassNames() const
{
    return sessionClassNames();
}

lq::ArchivablePtr WrenTimerSession::archiveCopy() const
{
    // The end of a session still recording comes from a reading that acts on nothing: saving
    // must not stop the recording or show alerts.
    std::optional<ConsistentDate> end = theEnd();
    const std::optional<ConsistentDate> beginning = theBeginning();
    if (!end) {
        const Reading reading = read();
        end = reading.valid && beginning ? beginning->addTimeInterval(reading.seconds)
                                         : ConsistentDate::now();
    }
    const std::shared_ptr<LQRecSession> engine = recSession();
    auto copy = std::make_shared<SessionArchiveCopy>();
    if (beginning)
        copy->beginning = beginning->date();
    copy->end = end->date();
    copy->hasAudio = hasAudio();
    copy->hasVideo = hasVideo();
    copy->hasSlides = hasSlides();
    copy->lengths = engine ? engine->lengths().value_or(subSessionLengths()) : subSessionLengths();
    return copy;
}

void WrenTimerSession::encodeWithCoder(lq::KeyedArchiver &coder) const
{
    archiveCopy()->encodeWithCoder(coder);
}
