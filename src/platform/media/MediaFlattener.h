#pragma once

#include "platform/foundation/Error.h"

#include <QString>

#include <chrono>

namespace lq {

// Writes a media file as a self-contained QuickTime movie.
class MediaFlattener
{
public:
    // Writes source as a movie at destination (which may be source itself), on the calling
    // thread. Streams the movie format takes are copied as they are; other sound becomes AAC and
    // other video H.264. The movie is written under a temporary name beside destination and
    // moved over it only when complete, so that a failure or running past timeLimit leaves
    // destination as it was.
    static bool flatten(const QString &source, const QString &destination,
                        std::chrono::milliseconds timeLimit, Error *error);
};

} // namespace lq
