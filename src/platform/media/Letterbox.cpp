#include "platform/media/Letterbox.h"

#include <cmath>

namespace lq {
namespace {

constexpr double kSameRatio = 0.001;

bool isPositiveNumber(double value)
{
    return std::isfinite(value) && value > 0.0;
}

} // namespace

QRectF letterboxFrame(double aspectRatio, const QSizeF &bounds)
{
    const QRectF whole(QPointF(0.0, 0.0), bounds);
    const double w = bounds.width();
    const double h = bounds.height();
    if (!isPositiveNumber(aspectRatio) || !isPositiveNumber(w) || !isPositiveNumber(h))
        return whole;
    const double boundsRatio = w / h;
    if (std::abs(boundsRatio - aspectRatio) <= kSameRatio)
        return whole;
    if (aspectRatio > boundsRatio)
        return QRectF(0.0, (h - w / aspectRatio) * 0.5, w, w / aspectRatio);
    return QRectF((w - aspectRatio * h) * 0.5, 0.0, aspectRatio * h, h);
}

} // namespace lq
