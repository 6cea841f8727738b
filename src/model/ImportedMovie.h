#pragma once

#include "platform/foundation/Error.h"

#include <QString>

#include <optional>

// A media file opened for an import: the file it was opened from and what it holds.
struct ImportedMovie
{
    QString path;
    bool hasAudio = false;
    bool hasVideo = false;
    double length = 0.0; // seconds

    // Reads path as media, waiting at most the probe limit; nothing, with error, when it does
    // not open as audio or video.
    static std::optional<ImportedMovie> open(const QString &path, lq::Error *error);
};
