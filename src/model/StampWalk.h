#pragma once

#include "model/EventTimeline.h"
#include "model/WrenTimeStamp.h"

#include <cstddef>
#include <cstdint>
#include <optional>

// How playback moves through the chronological list of stamps from a moment of the session
// that plays: which stamp comes next in the direction of play, and how long until its moment
// at the speed of play (a negative speed plays backwards). Stamps of other sessions are never
// waited for: a session change looks again from the new session.
class StampWalk
{
public:
    struct Step
    {
        enum class Kind {
            End,       // nothing more to wait for in this session
            Arm,       // wait interval seconds for the stamp at position
            HandleNow, // a passed slide stamp: show it at once and walk on from it
            StepOver,  // a passed stamp of another session: walk on from it
        };
        Kind kind = Kind::End;
        size_t position = 0;
        double interval = 0.0;
    };

    StampWalk(const EventTimeline &stamps, int32_t session, double now, float speed);

    // The first stamp of the session after now in the direction of play; none when the next
    // stamp that way lies in another session or there is none.
    std::optional<size_t> firstAhead() const;
    // Seconds until the moment of stamp at this speed; negative when it has passed.
    double intervalTo(const WrenTimeStamp &stamp) const;
    // What follows the stamp at position (-1: before the first stamp).
    Step after(int64_t position) const;

private:
    bool backwards() const { return m_speed < 0; }

    const EventTimeline &m_stamps;
    int32_t m_session;
    double m_now;
    float m_speed;
};
