#include "platform/media/MediaPlayability.h"

#include <QSet>

#include <algorithm>
#include <atomic>

namespace lq {
namespace {

constexpr std::chrono::seconds kProbeTimeLimit{10};

std::atomic<bool> forcedNotPlayable{false};

bool onlyAacAndOneH264(const MediaInfo &info)
{
    const bool allAac = std::all_of(info.audioStreams.begin(), info.audioStreams.end(),
                                    [](const auto &audio) { return audio.codec == CodecId::kAac; });
    const bool allH264 =
        std::all_of(info.videoStreams.begin(), info.videoStreams.end(),
                    [](const auto &video) { return video.codec == CodecId::kH264; });
    return allAac && allH264 && info.videoStreams.size() <= 1;
}

} // namespace

MediaPlayability::MediaPlayability(SelfReport selfReport) : m_selfReport(selfReport)
{}

bool MediaPlayability::isPlayable(const QString &path) const
{
    if (forcedNotPlayable.load())
        return false;
    const std::optional<MediaInfo> info = MediaInfo::probe(path, kProbeTimeLimit, nullptr);
    return info && isPlayable(*info);
}

bool MediaPlayability::isPlayable(const MediaInfo &info) const
{
    if (forcedNotPlayable.load())
        return false;
    if (m_selfReport == SelfReport::AllowList && isOnAllowList(info))
        return true;
    if (info.audioStreams.isEmpty() && info.videoStreams.isEmpty())
        return false;
    return onlyAacAndOneH264(info);
}

bool MediaPlayability::isOnAllowList(const MediaInfo &info)
{
    static const QSet<QString> containers{
        QStringLiteral("video/quicktime"), QStringLiteral("audio/x-m4a"),
        QStringLiteral("audio/mpeg"),      QStringLiteral("application/x-id3"),
        QStringLiteral("audio/x-wav"),     QStringLiteral("audio/x-aiff")};
    static const QSet<QString> audioCodecs{CodecId::kAac, CodecId::kAlac, CodecId::kLinearPcm,
                                           CodecId::kMp3};
    if (info.missingPlugins || !containers.contains(info.container))
        return false;
    if (info.audioStreams.isEmpty() && info.videoStreams.isEmpty())
        return false;
    const bool audioFits =
        std::all_of(info.audioStreams.begin(), info.audioStreams.end(),
                    [](const auto &audio) { return audioCodecs.contains(audio.codec); });
    const bool videoFits =
        std::all_of(info.videoStreams.begin(), info.videoStreams.end(),
                    [](const auto &video) { return video.codec == CodecId::kH264; });
    return audioFits && videoFits;
}

void MediaPlayability::setForcedNotPlayable(bool forced)
{
    forcedNotPlayable.store(forced);
}

} // namespace lq
