#pragma once

#include "platform/media/MediaRender.h"

#include <QSize>
#include <QSizeF>
#include <QString>

#include <optional>

// What today's engine knows of a timeline when it plans an export.
struct LQExportFacts
{
    double appKitVersion = 0.0; // the toolkit generation; 1187 and below are the oldest systems
    qsizetype pathCount = 0;    // entries of the list the timeline was loaded from
    bool allSoundAac = true;    // every sound format is AAC
    bool hasPictures = false;   // the timeline has a track other than sound
    QSizeF naturalSize;         // of the first picture stream
    std::optional<QSize> size;  // asked for
};

// How today's engine writes an export type.
struct LQExportPlan
{
    enum class Path { Modern, Fallback }; // Fallback: the legacy family's engine writes it
    enum class Preset { Passthrough, M4a, M4v480p, M4v720p };
    enum class FileType { QuickTimeMovie, Mpeg4, M4a, M4v };

    Path path = Path::Fallback;
    Preset preset = Preset::Passthrough;
    FileType fileType = FileType::QuickTimeMovie;
    bool soundOnly = false;        // every track but sound is dropped
    bool videoComposition = false; // pictures rendered at the size asked, 15 a second

    bool operator==(const LQExportPlan &) const = default;
};

LQExportPlan planExport(const QString &type, const LQExportFacts &facts);
// The render that carries out a plan of the modern path.
lq::RenderSettings renderSettingsFor(const LQExportPlan &plan, const LQExportFacts &facts);
