#pragma once

#include <QList>
#include <QSize>

// The sizes pictures take to fit a box: each the largest size of its own proportions within
// box, but only when one of them needs it (it has no size, is wider or taller than box, or
// differs from an earlier one); then every one takes its fitted size, smaller ones growing to
// it, and one without a size takes the box. Otherwise the sizes stay as they are.
QList<QSize> fittedPictureSizes(const QList<QSize> &pictures, QSize box);
