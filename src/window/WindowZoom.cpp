#include "window/WindowZoom.h"

#include <cmath>

namespace window_zoom {

namespace {

std::optional<double> usableRatio(std::optional<double> ratio)
{
    if (ratio && std::isfinite(*ratio) && *ratio > 0)
        return ratio;
    return std::nullopt;
}

} // namespace

ZoomIn zoomedIn(QSizeF current, std::optional<QSizeF> largest, bool slides,
                std::optional<double> aspectRatio)
{
    QSizeF wanted = current * kFactor;
    if (!largest)
        return {wanted, false};
    const bool atLimit =
        current.height() + 1 > largest->height() || current.width() + 1 > largest->width();
    const std::optional<double> ratio = slides ? std::nullopt : usableRatio(aspectRatio);
    const bool keepOtherSide = slides && atLimit;
    if (wanted.height() > largest->height()) {
        if (ratio)
            wanted.setWidth(*ratio * largest->height());
        else if (!keepOtherSide)
            wanted.setWidth(wanted.width() * largest->height() / wanted.height());
        wanted.setHeight(largest->height());
    }
    if (wanted.width() > largest->width()) {
        if (ratio)
            wanted.setHeight(largest->width() / *ratio);
        else if (!keepOtherSide)
            wanted.setHeight(wanted.height() * largest->width() / wanted.width());
        wanted.setWidth(largest->width());
    }
    return {wanted, atLimit};
}

std::optional<QSizeF> zoomedOut(QSizeF current, bool video)
{
    const QSizeF wanted = current / kFactor;
    if (video && wanted.width() < kMinimumVideoWidth)
        return std::nullopt;
    return wanted;
}

std::optional<NaturalZoom> zoomedToNatural(std::optional<QSizeF> natural,
                                           std::optional<QSizeF> largest)
{
    if (!natural || !(natural->width() > 0) || !(natural->height() > 0))
        return std::nullopt;
    NaturalZoom zoom{*natural, false};
    if (!largest)
        return zoom;
    const double ratio = natural->width() / natural->height();
    if (zoom.size.width() > largest->width()) {
        zoom.beep = true;
        zoom.size = QSizeF(largest->width(), largest->width() / ratio);
    }
    if (zoom.size.height() > largest->height()) {
        zoom.beep = true;
        zoom.size = QSizeF(largest->height() * ratio, largest->height());
    }
    return zoom;
}

} // namespace window_zoom
