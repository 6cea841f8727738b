#pragma once

#include "platform/foundation/Error.h"

#include <QImage>
#include <QString>

namespace lq {

// Single pictures of a movie file, read by a paused player sought exactly to the moment asked.
class FrameGrabber
{
public:
    // The picture shown at seconds into the file; null, with an error, when the file has no
    // picture that can be read there.
    static QImage frameAt(const QString &path, double seconds, Error *error);
};

} // namespace lq
