#pragma once

#include <QString>

#include <memory>
#include <variant>

// A stretch of a playback list without media: the player fills its length with silence (and
// black where the timeline has video). An entry whose length is unknown adds nothing.
class GapEntry
{
public:
    virtual ~GapEntry() = default;
    virtual bool length(double *seconds) const = 0;
    // What the entry is, for log lines.
    virtual QString description() const = 0;
};

// One element of a playback list: a full media file path or a gap.
using LQMediaElement = std::variant<QString, std::shared_ptr<GapEntry>>;
