#pragma once

#include "platform/foundation/Error.h"

#include <QString>

#include <chrono>

namespace lq {

// Writes a media file as a self-contained QuickTime movie.
class MediaFlattener
{
public:
    enum class Encoding {
        CopyWhatFits, // streams the movie format takes are copied as they are
        // Every sound is decoded and encoded again as AAC, the first video stream as H.264;
        // further video streams are left out: a movie the player takes has at most one.
        ReEncodeAll,
    };

    // Writes source as a movie at destination (which may be source itself), on the calling
    // thread. Sound the movie does not take (or, with ReEncodeAll, any sound) becomes AAC, such
    // video H.264. The movie is written under a temporary name beside destination and moved over
    // it only when complete, so that a failure or running past timeLimit leaves destination as
    // it was.
    static bool flatten(const QString &source, const QString &destination,
                        std::chrono::milliseconds timeLimit, Error *error,
                        Encoding encoding = Encoding::CopyWhatFits);
};

} // namespace lq
