#pragma once

#include <QImage>

using GstSample = struct _GstSample;

namespace lq {

// A copy of the picture a sample of RGBx video holds; null when its caps are not video.
QImage imageFromSample(GstSample *sample);

} // namespace lq
