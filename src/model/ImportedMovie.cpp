#include "model/ImportedMovie.h"

#include "platform/media/MediaInfo.h"

#include <chrono>

namespace {

constexpr std::chrono::seconds kProbeTimeLimit{20};

} // namespace

std::optional<ImportedMovie> ImportedMovie::open(const QString &path, lq::Error *error)
{
    const std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(path, kProbeTimeLimit, error);
    if (!info)
        return std::nullopt;
    ImportedMovie movie;
    movie.path = path;
    movie.hasAudio = !info->audioStreams.isEmpty();
    movie.hasVideo = !info->videoStreams.isEmpty();
    movie.length = info->duration;
    return movie;
}
