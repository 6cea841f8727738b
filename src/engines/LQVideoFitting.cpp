#include "engines/LQVideoFitting.h"

#include <algorithm>
#include <cmath>

namespace {

QSize fitted(QSize picture, QSize box)
{
    if (picture.isEmpty())
        return box;
    const double height = double(box.width()) * picture.height() / picture.width();
    if (height <= box.height())
        return QSize(box.width(), int(std::lround(height)));
    return QSize(int(std::lround(double(picture.width()) * box.height() / picture.height())),
                 box.height());
}

} // namespace

QList<QSize> fittedPictureSizes(const QList<QSize> &pictures, QSize box)
{
    const bool needed = std::any_of(pictures.cbegin(), pictures.cend(), [&](QSize picture) {
        return picture.isEmpty() || picture.width() > box.width() ||
               picture.height() > box.height() || picture != pictures.first();
    });
    if (!needed)
        return pictures;
    QList<QSize> sizes;
    for (QSize picture : pictures)
        sizes.append(fitted(picture, box));
    return sizes;
}
