#include "model/PlaybackTimers.h"

#include "platform/foundation/TimerService.h"

PlaybackTimers::PlaybackTimers() = default;

PlaybackTimers::~PlaybackTimers()
{
    stopAll();
}

void PlaybackTimers::armStamp(double interval, size_t position, std::function<void(size_t)> fired)
{
    cancelStamp();
    m_armedPosition = position;
    m_stampTimer = lq::TimerService::current().scheduleOnce(
        interval, [fired = std::move(fired), position] { fired(position); });
}

void PlaybackTimers::cancelStamp()
{
    if (m_stampTimer)
        m_stampTimer->invalidate();
    m_stampTimer.reset();
}

std::optional<size_t> PlaybackTimers::armedPosition() const
{
    if (!m_stampTimer || !m_stampTimer->isValid())
        return std::nullopt;
    return m_armedPosition;
}

std::optional<double> PlaybackTimers::armedInterval() const
{
    if (!m_stampTimer || !m_stampTimer->isValid())
        return std::nullopt;
    return m_stampTimer->interval();
}

void PlaybackTimers::startPositionTimer(std::function<void()> tick)
{
    stopPositionTimer();
    m_positionTimer =
        lq::TimerService::current().scheduleRepeating(kPositionInterval, std::move(tick));
}

void PlaybackTimers::stopPositionTimer()
{
    if (m_positionTimer)
        m_positionTimer->invalidate();
    m_positionTimer.reset();
}

bool PlaybackTimers::positionTimerRuns() const
{
    return m_positionTimer && m_positionTimer->isValid();
}

void PlaybackTimers::stopAll()
{
    cancelStamp();
    stopPositionTimer();
}
