#pragma once

#include "platform/foundation/Error.h"

#include <QString>

namespace lq {

// Puts a movie's index (its "moov" box) in front of its media data, so that a player reading the
// file over a network can seek before the whole file arrived. A file whose index is already in
// front is left as it is. The new file is written beside the movie and replaces it only once
// complete; on failure the movie stays as it was.
bool moveMovieIndexToFront(const QString &path, Error *error);

} // namespace lq
