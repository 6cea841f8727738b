#pragma once

#include "platform/media/MediaRender.h"

#include <QList>
#include <QSize>
#include <QString>

#include <optional>

// How the legacy engine writes an export type: the render, and the sizes the timeline's pictures
// take (each fitted into the size asked, without bands, when one of them needs it).
struct WrenExportSettings
{
    lq::RenderSettings render;
    QList<QSize> pictureSizes;

    bool operator==(const WrenExportSettings &) const = default;
};

// None for a type the engine does not write.
std::optional<WrenExportSettings> wrenExportSettings(const QString &type,
                                                     const QList<QSize> &pictureSizes,
                                                     std::optional<QSize> size);
