#pragma once

namespace lq {

class MovieTimeline;

// A view that shows a movie timeline at its current time, as the legacy player hands it over.
// The player owns the timeline and may replace or delete it: a host holds it guarded.
class MovieTimelineHost
{
public:
    virtual ~MovieTimelineHost() = default;
    // Null: no movie.
    virtual void setTimeline(MovieTimeline *timeline) = 0;
};

} // namespace lq
