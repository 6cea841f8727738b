#include "model/StampWalk.h"

#include <algorithm>

StampWalk::StampWalk(const EventTimeline &stamps, int32_t session, double now, float speed)
    : m_stamps(stamps), m_session(session), m_now(now), m_speed(speed == 0.0f ? 1.0f : speed)
{}

std::optional<size_t> StampWalk::firstAhead() const
{
    const std::optional<size_t> found = backwards() ? m_stamps.lastEarlierThan(m_session, m_now)
                                                    : m_stamps.firstLaterThan(m_session, m_now);
    if (found && m_stamps[*found]->session() != m_session)
        return std::nullopt;
    return found;
}

double StampWalk::intervalTo(const WrenTimeStamp &stamp) const
{
    return (stamp.offset() - m_now) / m_speed;
}

StampWalk::Step StampWalk::after(int64_t position) const
{
    const auto count = static_cast<int64_t>(m_stamps.size());
    const int64_t next = backwards() ? position - 1 : position + 1;
    if (next < 0 || next >= count)
        return {};
    const WrenTimeStamp &stamp = *m_stamps[size_t(next)];
    const auto at = static_cast<size_t>(next);
    if (stamp.session() != m_session) {
        const bool ahead = backwards() ? stamp.session() < m_session : stamp.session() > m_session;
        if (ahead)
            return {};
        return {Step::Kind::StepOver, at, 0.0};
    }
    const double interval = intervalTo(stamp);
    // A key stamp already passed still fires, at once; a passed slide change is shown now.
    if (interval >= 0 || stamp.type() == WrenTimeStampTypeKey)
        return {Step::Kind::Arm, at, std::max(interval, 0.0)};
    return {Step::Kind::HandleNow, at, 0.0};
}
