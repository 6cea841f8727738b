#pragma once

#include "platform/foundation/Error.h"

#include <QString>
#include <QStringList>

#include <chrono>

namespace lq {

// Writes the beginning of a recording as one self-contained QuickTime movie.
class MediaTrimmer
{
public:
    // Writes the first `seconds` of sources, played end to end, to destination on the calling
    // thread. Movie files whose streams are alike, as one recording's files are, are cut by
    // copying their samples (MovieCutter), and the copy must read back through the media probe as
    // written; any other sources are decoded, joined, cut at that moment (sound to the sample, a
    // picture's duration ends there) and encoded as AAC and H.264 (their first sound and first
    // video streams). With 0 seconds the movie has the tracks but no samples; with more than the
    // sources hold, all of them are kept. The movie is written under a temporary name beside
    // destination and moved over it only when complete, so that a failure or running past
    // timeLimit leaves destination as it was.
    static bool trim(const QStringList &sources, double seconds, const QString &destination,
                     std::chrono::milliseconds timeLimit, Error *error);
};

} // namespace lq
