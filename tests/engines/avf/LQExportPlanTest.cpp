#include "engines/avf/LQExportPlan.h"

#include <gtest/gtest.h>

namespace {

using Path = LQExportPlan::Path;
using Preset = LQExportPlan::Preset;
using FileType = LQExportPlan::FileType;

constexpr double kToday = 1404.0;
constexpr double kOldest = 1187.9; // rounded down: 1187

LQExportFacts facts(double version, qsizetype paths, bool aac, bool pictures, double width,
                    std::optional<QSize> size = std::nullopt)
{
    return {version, paths, aac, pictures, QSizeF(width, width * 0.75), size};
}

TEST(LQExportPlanTest, EachTypeHasItsPathPresetAndFileType)
{
    struct Case
    {
        const char *name;
        QString type;
        LQExportFacts facts;
        LQExportPlan plan;
    };
    const QString m4a = QStringLiteral("m4a_export");
    const QString movAudio = QStringLiteral("mov_audio_export");
    const QString mov = QStringLiteral("mov_export");
    const QString h264 = QStringLiteral("h264_export");
    const QSize small(320, 240);
    const Case cases[] = {
        {"one AAC movie to sound",
         m4a,
         facts(kToday, 1, true, true, 640),
         {Path::Modern, Preset::Passthrough, FileType::Mpeg4, true, false}},
        {"one AAC movie to sound, oldest",
         m4a,
         facts(kOldest, 1, true, true, 640),
         {Path::Modern, Preset::Passthrough, FileType::M4a, true, false}},
        {"one AAC sound file",
         m4a,
         facts(kToday, 1, true, false, 0),
         {Path::Modern, Preset::Passthrough, FileType::M4a, true, false}},
        {"two AAC files to sound",
         m4a,
         facts(kToday, 2, true, true, 640),
         {Path::Modern, Preset::M4a, FileType::M4a, true, false}},
        {"lossless sound",
         m4a,
         facts(kToday, 1, false, false, 0),
         {Path::Modern, Preset::M4a, FileType::M4a, true, false}},
        {"sound of a movie",
         movAudio,
         facts(kOldest, 3, false, true, 640),
         {Path::Modern, Preset::Passthrough, FileType::QuickTimeMovie, true, false}},
        {"a movie",
         mov,
         facts(kToday, 3, true, true, 640),
         {Path::Modern, Preset::Passthrough, FileType::QuickTimeMovie, false, false}},
        {"a movie, oldest", mov, facts(kOldest, 1, true, true, 640), {}},
        {"H.264 at a small size",
         h264,
         facts(kToday, 2, true, true, 1280, small),
         {Path::Modern, Preset::M4v480p, FileType::M4v, false, true}},
        {"H.264 at a small size without pictures",
         h264,
         facts(kToday, 1, true, false, 0, small),
         {Path::Modern, Preset::M4v480p, FileType::M4v, false, false}},
        {"H.264 of a wide movie",
         h264,
         facts(kToday, 1, true, true, 1280),
         {Path::Modern, Preset::M4v720p, FileType::M4v, false, false}},
        {"H.264 of several files, oldest", h264, facts(kOldest, 2, true, true, 640, small), {}},
        {"H.264 of one file, oldest",
         h264,
         facts(kOldest, 1, true, true, 640, small),
         {Path::Modern, Preset::M4v480p, FileType::M4v, false, true}},
        {"unknown", QStringLiteral("ogg_export"), facts(kToday, 1, true, true, 640), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(planExport(c.type, c.facts), c.plan);
    }
}

TEST(LQExportPlanTest, PresetsBecomeRenders)
{
    using Container = lq::RenderSettings::Container;
    const auto render = [](Container container, bool soundOnly, bool copy,
                           std::optional<QSize> frame = std::nullopt,
                           std::optional<int> frameRate = std::nullopt) {
        return lq::RenderSettings{container, soundOnly, copy, frame, frameRate};
    };
    struct Case
    {
        const char *name;
        LQExportPlan plan;
        LQExportFacts facts;
        lq::RenderSettings render;
    };
    const Case cases[] = {
        {"passthrough",
         {Path::Modern, Preset::Passthrough, FileType::QuickTimeMovie, false, false},
         facts(kToday, 1, true, true, 640),
         render(Container::QuickTime, false, true)},
        {"sound",
         {Path::Modern, Preset::M4a, FileType::M4a, true, false},
         facts(kToday, 2, true, false, 0),
         render(Container::Mpeg4, true, false)},
        {"composed at a size",
         {Path::Modern, Preset::M4v480p, FileType::M4v, false, true},
         facts(kToday, 1, true, true, 640, QSize(320, 240)),
         render(Container::Mpeg4, false, false, QSize(320, 240), 15)},
        {"fitted within 720p",
         {Path::Modern, Preset::M4v720p, FileType::M4v, false, false},
         facts(kToday, 1, true, true, 1920),
         render(Container::Mpeg4, false, false, QSize(960, 720))},
        {"within 480p as it is",
         {Path::Modern, Preset::M4v480p, FileType::M4v, false, false},
         facts(kToday, 1, true, true, 320),
         render(Container::Mpeg4, false, false, QSize(320, 240))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(renderSettingsFor(c.plan, c.facts), c.render);
    }
}

} // namespace
