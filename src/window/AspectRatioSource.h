#pragma once

#include <optional>

// A video view that tells the proportions (width / height) a zoomed window keeps for it; none
// when it cannot tell.
class AspectRatioSource
{
public:
    virtual ~AspectRatioSource() = default;
    virtual std::optional<double> aspectRatio() const = 0;
};
