#pragma once

#include <cstdint>
#include <vector>

// The sessions of a note laid end to end: moves between a position in one session, a time on
// the whole timeline and a percentage of it. A timeline of no length maps everything to the
// start of session 0 at 0 percent.
class TimelineMap
{
public:
    struct Position
    {
        int32_t session = 0;
        double offset = 0.0;
        bool operator==(const Position &) const = default;
    };

    // One length per session in timeline order; a negative length counts as 0.
    explicit TimelineMap(std::vector<double> lengths);

    double length() const { return m_length; }
    // 100 over the length; 0 for a timeline of no length.
    double percentageRate() const;
    // The summed length of the sessions before session.
    double startOf(int32_t session) const;
    // 0 to 100.
    double percentageAt(const Position &position) const;
    // A time exactly on a boundary belongs to the earlier session, at its end. Times before the
    // start or past the end are taken as the start or the end.
    Position positionAtTime(double seconds) const;
    Position positionAtPercentage(double percentage) const;

    // Whether a stop at percentage of a timeline of length seconds goes back to the start: within
    // the last 8 seconds of a long timeline, the last 1 percent of a short one.
    static bool rewindsAfterStop(double percentage, double length);
    // Where a jump back by seconds from the time now lands; never before the start.
    static double jumpBackTarget(double now, double seconds);
    // A little before offset, by the lead-in (which counts only when above 0); never below 0.
    static double withLeadIn(double offset, double leadIn);
    // Whether starting to play at offset of session means starting over: it is the last session
    // and less than a second of it is left.
    bool startsOver(const Position &position) const;

private:
    std::vector<double> m_lengths;
    double m_length = 0.0;
};
