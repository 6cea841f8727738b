#include "engines/avf/LQExportPlan.h"

#include "engines/LQExportTypes.h"
#include "engines/LQVideoFitting.h"

#include <cmath>

namespace {

constexpr double kOldestToolkit = 1187.0;
constexpr int kLargestSdWidth = 640;
constexpr int kCompositionFrameRate = 15;
const QSize kSdBox(640, 480);
const QSize kHdBox(1280, 720);

} // namespace

LQExportPlan planExport(const QString &type, const LQExportFacts &facts)
{
    const bool oldest = std::floor(facts.appKitVersion) <= kOldestToolkit;
    LQExportPlan plan;
    if (type == kM4aExportType) {
        const bool onePath = facts.pathCount == 1;
        plan.path = LQExportPlan::Path::Modern;
        plan.soundOnly = true;
        plan.preset = facts.allSoundAac && onePath ? LQExportPlan::Preset::Passthrough
                                                   : LQExportPlan::Preset::M4a;
        plan.fileType = facts.hasPictures && !oldest && onePath ? LQExportPlan::FileType::Mpeg4
                                                                : LQExportPlan::FileType::M4a;
    } else if (type == kMovAudioExportType) {
        plan.path = LQExportPlan::Path::Modern;
        plan.soundOnly = true;
    } else if (type == kMovExportType) {
        plan.path = oldest ? LQExportPlan::Path::Fallback : LQExportPlan::Path::Modern;
    } else if (type == kH264ExportType) {
        if (oldest && facts.pathCount > 1)
            return plan;
        plan.path = LQExportPlan::Path::Modern;
        const double width = facts.size ? facts.size->width() : facts.naturalSize.width();
        plan.preset = width <= kLargestSdWidth ? LQExportPlan::Preset::M4v480p
                                               : LQExportPlan::Preset::M4v720p;
        plan.fileType = LQExportPlan::FileType::M4v;
        // Without pictures there is nothing to compose: the sound alone is written.
        plan.videoComposition = facts.size.has_value() && facts.hasPictures;
    }
    return plan;
}

lq::RenderSettings renderSettingsFor(const LQExportPlan &plan, const LQExportFacts &facts)
{
    lq::RenderSettings settings;
    settings.container = plan.fileType == LQExportPlan::FileType::QuickTimeMovie
                             ? lq::RenderSettings::Container::QuickTime
                             : lq::RenderSettings::Container::Mpeg4;
    settings.soundOnly = plan.soundOnly;
    settings.copyWhenPossible = plan.preset == LQExportPlan::Preset::Passthrough;
    if (plan.videoComposition) {
        settings.frameSize = facts.size;
        settings.frameRate = kCompositionFrameRate;
    } else if (plan.preset == LQExportPlan::Preset::M4v480p ||
               plan.preset == LQExportPlan::Preset::M4v720p) {
        const QSize box = plan.preset == LQExportPlan::Preset::M4v480p ? kSdBox : kHdBox;
        settings.frameSize = fittedPictureSizes({facts.naturalSize.toSize()}, box).value(0, box);
    }
    return settings;
}
