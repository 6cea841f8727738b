#pragma once

#include "platform/media/MediaPlayability.h"

#include <QString>

// Whether the modern playback engine can play a media file as it is; a file it cannot play goes
// through the old-media converter first. Playable when the file reports itself playable;
// otherwise not when it has no streams, and else exactly when every stream is AAC sound or H.264
// video, with at most one H.264 video stream. A file that does not open as media is not
// playable.
bool isAVAssetPlayable(const QString &path);
// The same for a file already read; selfReport says where "reports itself playable" comes from.
bool isAVAssetPlayable(const lq::MediaInfo &asset, lq::MediaPlayability::SelfReport selfReport =
                                                       lq::MediaPlayability::SelfReport::AllowList);
