#include "engines/avf/LQExportPlan.h"

#include <gtest/gtest.h>

namespace {

using enum LQExportPlan::Path;
using enum LQExportPlan::Preset;
using File = LQExportPlan::FileType;

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
        QString type;
        LQExportFacts facts;
        LQExportPlan plan;
    };
    const QString m4a = QStringLiteral("m4a_export");
    const QString mov = QStringLiteral("mov_export");
    const QString h264 = QStringLiteral("h264_export");
    const QSize small(320, 240);
    const Case cases[] = {
        // Sound of one AAC movie, one AAC sound file, two files, lossless sound.
        {m4a, facts(kToday, 1, true, true, 640), {Modern, Passthrough, File::Mpeg4, true, false}},
        {m4a, facts(kOldest, 1, true, true, 640), {Modern, Passthrough, File::M4a, true, false}},
        {m4a, facts(kToday, 1, true, false, 0), {Modern, Passthrough, File::M4a, true, false}},
        {m4a, facts(kToday, 2, true, true, 640), {Modern, M4a, File::M4a, true, false}},
        {m4a, facts(kToday, 1, false, false, 0), {Modern, M4a, File::M4a, true, false}},
        {QStringLiteral("mov_audio_export"),
         facts(kOldest, 3, false, true, 640),
         {Modern, Passthrough, File::QuickTimeMovie, true, false}},
        {mov,
         facts(kToday, 3, true, true, 640),
         {Modern, Passthrough, File::QuickTimeMovie, false, false}},
        {mov, facts(kOldest, 1, true, true, 640), {}},
        // H.264 at a small size, of sound alone, of a wide movie; several files on the oldest.
        {h264,
         facts(kToday, 2, true, true, 1280, small),
         {Modern, M4v480p, File::M4v, false, true}},
        {h264, facts(kToday, 1, true, false, 0, small), {Modern, M4v480p, File::M4v, false, false}},
        {h264, facts(kToday, 1, true, true, 1280), {Modern, M4v720p, File::M4v, false, false}},
        {h264, facts(kOldest, 2, true, true, 640, small), {}},
        {h264,
         facts(kOldest, 1, true, true, 640, small),
         {Modern, M4v480p, File::M4v, false, true}},
        {QStringLiteral("ogg_export"), facts(kToday, 1, true, true, 640), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.type.toStdString() << ", " << c.facts.pathCount
                                        << " paths at " << c.facts.appKitVersion);
        EXPECT_EQ(planExport(c.type, c.facts), c.plan);
    }
}

TEST(LQExportPlanTest, PicturesAreSizedAsThePresetSays)
{
    struct Case
    {
        LQExportPlan plan;
        LQExportFacts facts;
        std::optional<QSize> frame;
        std::optional<int> frameRate;
    };
    const Case cases[] = {
        {{Modern, M4v480p, File::M4v, false, true},
         facts(kToday, 1, true, true, 640, QSize(320, 240)),
         QSize(320, 240),
         15},
        {{Modern, M4v720p, File::M4v, false, false},
         facts(kToday, 1, true, true, 1920),
         QSize(960, 720),
         {}},
        {{Modern, M4v480p, File::M4v, false, false},
         facts(kToday, 1, true, true, 320),
         QSize(320, 240),
         {}},
        {{Modern, Passthrough, File::QuickTimeMovie, false, false},
         facts(kToday, 1, true, true, 640),
         {},
         {}},
    };
    for (const Case &c : cases) {
        const lq::RenderSettings settings = renderSettingsFor(c.plan, c.facts);
        EXPECT_EQ(settings.frameSize, c.frame);
        EXPECT_EQ(settings.frameRate, c.frameRate);
    }
}

} // namespace
