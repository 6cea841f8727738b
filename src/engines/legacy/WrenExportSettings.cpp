#include "engines/legacy/WrenExportSettings.h"

#include "engines/LQExportTypes.h"
#include "engines/LQVideoFitting.h"

std::optional<WrenExportSettings>
wrenExportSettings(const QString &type, const QList<QSize> &pictureSizes, std::optional<QSize> size)
{
    using Container = lq::RenderSettings::Container;
    WrenExportSettings settings;
    settings.pictureSizes = pictureSizes;
    lq::RenderSettings &render = settings.render;
    if (type == kM4aExportType) {
        render.container = Container::Mpeg4;
        render.soundOnly = true;
        return settings;
    }
    if (type == kMovAudioExportType) {
        render.container = Container::QuickTime;
        render.soundOnly = true;
        render.copyWhenPossible = true;
        return settings;
    }
    if (type == kMovExportType) {
        render.container = Container::QuickTime;
        render.copyWhenPossible = true;
    } else if (type == kH264ExportType) {
        render.container = Container::Mpeg4;
    } else {
        return std::nullopt;
    }
    if (size)
        settings.pictureSizes = fittedPictureSizes(pictureSizes, *size);
    if (settings.pictureSizes != pictureSizes) {
        // Pictures of a new size are encoded at the first one's.
        render.frameSize = settings.pictureSizes.first();
        render.copyWhenPossible = false;
    }
    return settings;
}
