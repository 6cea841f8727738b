#pragma once

#include <QString>

// Whether the modern playback engine can play a media file as it is.
class MediaPlayabilityCheck
{
public:
    virtual ~MediaPlayabilityCheck() = default;
    // False also for a file that does not open as media.
    virtual bool isPlayable(const QString &path) = 0;
};
