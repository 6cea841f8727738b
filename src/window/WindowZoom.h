#pragma once

#include <QSizeF>

#include <optional>

// The sizes a promoted slides or video window takes when zoomed. Sizes are content sizes;
// largest is the largest content size that fits the screen (none: no screen, no limit).
namespace window_zoom {

constexpr double kFactor = 1.4;
// A video window is never zoomed out below this width.
constexpr double kMinimumVideoWidth = 80;

struct ZoomIn
{
    QSizeF size;
    // The window already filled the screen before this step.
    bool atLimit = false;
};

// One step in. A video's aspect ratio (width / height) is kept when it is finite and above 0;
// slides at the limit keep the side that the screen does not limit.
ZoomIn zoomedIn(QSizeF current, std::optional<QSizeF> largest, bool slides,
                std::optional<double> aspectRatio);

// One step out; none when a video window would become narrower than the minimum.
std::optional<QSizeF> zoomedOut(QSizeF current, bool video);

struct NaturalZoom
{
    QSizeF size;
    bool beep = false;
};

// The natural size, or as much of it as the screen takes with its proportions kept (and a
// beep); none when the natural size is unknown or empty.
std::optional<NaturalZoom> zoomedToNatural(std::optional<QSizeF> natural,
                                           std::optional<QSizeF> largest);

} // namespace window_zoom
