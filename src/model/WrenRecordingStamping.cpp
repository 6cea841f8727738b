#include "engines/LQPlaySession.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"

// Stamping

std::optional<double> WrenRecording::currentOffset(WrenTimerSession &session)
{
    double seconds = 0.0;
    if (playing() && m_playerSession && m_playerSession->currentTime(&seconds))
        return seconds;
    if (session.nowInterval(&seconds))
        return seconds;
    return std::nullopt;
}

std::optional<WrenRecording::SessionPosition> WrenRecording::currentPosition()
{
    const int32_t current = currentSession();
    const SessionPtr s = session(current);
    if (!s)
        return std::nullopt;
    const std::optional<double> offset = currentOffset(*s);
    if (!offset)
        return std::nullopt;
    return SessionPosition{current, *offset};
}

WrenTimeStampPtr WrenRecording::getCurrentTSofType(int32_t type, uint32_t index)
{
    if (type != WrenTimeStampTypeKey && type != WrenTimeStampTypeSlide)
        return nullptr;
    const std::optional<SessionPosition> now = currentPosition();
    // The session may have stopped meanwhile (a stalled engine stops it from inside the reading).
    if (!now || currentSession() != now->session)
        return nullptr;
    return type == WrenTimeStampTypeKey
               ? WrenTimeStamp::initWithKey(index, now->session, now->offset)
               : WrenTimeStamp::initWithSlide(index, now->session, now->offset);
}

WrenTimeStampPtr WrenRecording::idleEntry(uint32_t location, uint32_t position, bool replacing,
                                          const WrenEvents::StampList &entries) const
{
    const WrenEvents::CharacterList &keys = m_events->keyEvents();
    if (replacing) {
        // The new character keeps the moment of the one it replaces.
        const WrenTimeStampPtr old = position < keys.size() ? keys[position] : nullptr;
        if (old && !old->isEmpty()) {
            WrenTimeStampPtr kept = old->copy();
            kept->setIndex(position);
            return kept;
        }
        return WrenTimeStamp::emptyKey(position);
    }
    // An inserted character takes the moment of the one before it.
    WrenTimeStampPtr before;
    if (position > location)
        before = entries[position - location - 1];
    else if (position > 0 && position - 1 < keys.size())
        before = keys[position - 1];
    if (before && !before->isEmpty())
        return WrenTimeStamp::initWithKey(position, before->session(), before->offset());
    return WrenTimeStamp::emptyKey(position);
}

bool WrenRecording::recordKeyEventsForRange(uint32_t location, uint32_t length,
                                            const QString &replacement)
{
    const bool isPlaying = playing();
    bool sessionCurrent = currentSession() >= 0;
    if (!sessionCurrent && isPlaying)
        return false;
    if (sessionCurrent && isPlaying)
        m_timers.cancelStamp();
    const auto count = static_cast<uint32_t>(replacement.size());
    WrenEvents::StampList entries;
    entries.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t position = location + i;
        WrenTimeStampPtr stamp;
        if (sessionCurrent) {
            stamp = getCurrentTSofType(WrenTimeStampTypeKey, position);
            // A session stopped meanwhile: the rest is stamped as with none current.
            sessionCurrent = stamp != nullptr;
        }
        entries.push_back(stamp ? stamp : idleEntry(location, position, i < length, entries));
    }
    m_events->replaceCharacters(location, length, entries);
    if (isPlaying)
        resetEventTimerWithTS();
    return true;
}

bool WrenRecording::recordSlideEventForSlide(uint32_t slide)
{
    if (currentSession() < 0)
        return false;
    const WrenTimeStampPtr stamp = getCurrentTSofType(WrenTimeStampTypeSlide, slide);
    if (!stamp)
        return false;
    const bool isPlaying = playing();
    if (isPlaying)
        m_timers.cancelStamp();
    // Always in time order: the session clock can go back (a restart when the engine begins
    // writing, a snap to the engine's time), so the newest stamp is not always the latest.
    m_events->insertEvent(stamp, false);
    if (isPlaying)
        resetEventTimerWithTS();
    return true;
}

std::optional<uint32_t> WrenRecording::lastCharBeforeNow()
{
    const int32_t current = currentSession();
    SessionPtr s = session(current);
    double now = 0.0;
    if (!s || !s->nowInterval(&now))
        return std::nullopt;
    const WrenTimeStampPtr stamp =
        m_events->lastEventBeforeOffset(now, current, WrenTimeStampTypeKey);
    if (!stamp)
        return std::nullopt;
    return stamp->index();
}

void WrenRecording::removeAllSlidesEvents()
{
    m_events->removeAllSlidesEvents();
}
