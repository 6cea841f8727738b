#pragma once

#include "platform/media/MediaInfo.h"

#include <QString>

namespace lq {

// Whether the player takes a media file as it is; files it does not take go through the
// old-media converter first.
class MediaPlayability
{
public:
    // Where the answer to "does the file report itself playable" comes from.
    enum class SelfReport {
        AllowList, // the containers and codecs the player is known to handle
        Never,     // tests: only the codec rule decides
    };

    explicit MediaPlayability(SelfReport selfReport = SelfReport::AllowList);

    // False also for a file that does not open as media.
    bool isPlayable(const QString &path) const;
    // Playable when the file reports itself playable, or else when it has streams and every
    // one is AAC sound or H.264 video, with at most one H.264 video stream.
    bool isPlayable(const MediaInfo &info) const;

    // Known containers with only AAC, ALAC, linear PCM or MP3 sound and H.264 video, all read
    // without missing plugins.
    static bool isOnAllowList(const MediaInfo &info);

    // Tests: while set, every file counts as not playable.
    static void setForcedNotPlayable(bool forced);

private:
    SelfReport m_selfReport;
};

} // namespace lq
