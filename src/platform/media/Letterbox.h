#pragma once

#include <QRectF>
#include <QSizeF>

namespace lq {

// The frame of a picture of aspect ratio (width / height) inside bounds: as wide as bounds with
// bands above and below when the picture is wider, as high with bands at the sides when it is
// narrower. The whole bounds when the ratios differ by at most 0.001, and when either ratio is
// not a finite number above zero (no picture size, or collapsed bounds).
QRectF letterboxFrame(double aspectRatio, const QSizeF &bounds);

} // namespace lq
