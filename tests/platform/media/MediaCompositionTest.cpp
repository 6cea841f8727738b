#include "platform/media/MediaComposition.h"

#include "platform/media/Letterbox.h"

#include <gtest/gtest.h>

#include <limits>

using lq::CompositionTrack;
using lq::MediaComposition;
using lq::MediaInfo;

namespace {

MediaInfo info(double seconds, const QString &audio, const QString &video = {})
{
    MediaInfo result;
    result.duration = seconds;
    if (!audio.isEmpty())
        result.audioStreams.append({audio, {}, 2, 44100});
    if (!video.isEmpty())
        result.videoStreams.append({video, {}, 640, 480});
    return result;
}

TEST(MediaCompositionTest, GapsAreCopiesOfSilenceWithTheLastCut)
{
    const MediaInfo silence = info(1.0, lq::CodecId::kLinearPcm);
    MediaComposition composition;
    composition.appendGap(2.25, QStringLiteral("silence.wav"), silence);
    composition.appendGap(0.0, QStringLiteral("silence.wav"), silence);
    composition.appendGap(1.0, QStringLiteral("silence.wav"), info(0.0, lq::CodecId::kLinearPcm));
    ASSERT_EQ(composition.segments().size(), 3);
    EXPECT_DOUBLE_EQ(composition.segments()[2].duration, 0.25);
    EXPECT_DOUBLE_EQ(composition.duration(), 2.25);
    EXPECT_DOUBLE_EQ(composition.segmentStart(2), 2.0);
    EXPECT_DOUBLE_EQ(composition.segmentStart(99), 2.25);
}

TEST(MediaCompositionTest, NaturalSizeAndTracksComeFromTheFilesInOrder)
{
    MediaComposition composition;
    EXPECT_EQ(composition.naturalSize(), QSizeF(0, 0));
    composition.appendFile(QStringLiteral("a.mov"), info(2.0, lq::CodecId::kAac));
    EXPECT_EQ(composition.naturalSize(), QSizeF(0, 0));
    MediaInfo wide = info(1.0, lq::CodecId::kAac, lq::CodecId::kH264);
    composition.appendFile(QStringLiteral("b.mov"), wide);
    wide.videoStreams.first().width = 1280;
    composition.appendFile(QStringLiteral("c.mov"), wide);
    EXPECT_EQ(composition.naturalSize(), QSizeF(640, 480));
    const QList<CompositionTrack> tracks{{CompositionTrack::Kind::Audio, lq::CodecId::kAac},
                                         {CompositionTrack::Kind::Video, lq::CodecId::kH264}};
    EXPECT_EQ(composition.tracks(), tracks);
    EXPECT_DOUBLE_EQ(composition.segmentStart(2), 3.0);
}

TEST(MediaCompositionTest, OnlyGaplessFilesOfOneKindArePlayedAsOne)
{
    lq::Error error;
    EXPECT_TRUE(MediaComposition().playbackFiles(&error).isEmpty());

    MediaComposition sound;
    sound.appendFile(QStringLiteral("/m/a.mov"), info(1.0, lq::CodecId::kAac));
    sound.appendFile(QStringLiteral("/m/b.mov"), info(1.0, lq::CodecId::kAac));
    EXPECT_EQ(sound.playbackFiles(nullptr),
              QStringList({QStringLiteral("/m/a.mov"), QStringLiteral("/m/b.mov")}));

    MediaComposition mixed = sound;
    mixed.appendFile(QStringLiteral("/m/c.mov"), info(1.0, lq::CodecId::kAac, lq::CodecId::kH264));
    EXPECT_TRUE(mixed.playbackFiles(&error).isEmpty());
    EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("c.mov")));

    MediaComposition withGap = sound;
    withGap.appendGap(1.0, QStringLiteral("silence.wav"), info(1.0, lq::CodecId::kLinearPcm));
    EXPECT_TRUE(withGap.playbackFiles(&error).isEmpty());
    EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("gaps")));
}

TEST(LetterboxTest, FitsThePictureAndFillsWhenARatioIsUnusable)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const struct
    {
        double ratio;
        QSizeF bounds;
        QRectF frame;
    } cases[] = {
        {640.0 / 480.0, {400, 200}, {200.0 / 3.0, 0, 800.0 / 3.0, 200}},
        {640.0 / 480.0, {400, 400}, {0, 50, 400, 300}},
        {2.0005, {400, 200}, {0, 0, 400, 200}}, // within 0.001: the same shape
        {nan, {400, 200}, {0, 0, 400, 200}},
        {infinity, {400, 200}, {0, 0, 400, 200}},
        {0.0, {400, 200}, {0, 0, 400, 200}},
        {1.5, {400, 0}, {0, 0, 400, 0}},
        {1.5, {0, 300}, {0, 0, 0, 300}},
    };
    for (const auto &letterboxCase : cases) {
        SCOPED_TRACE(letterboxCase.ratio);
        const QRectF frame = lq::letterboxFrame(letterboxCase.ratio, letterboxCase.bounds);
        EXPECT_NEAR(frame.x(), letterboxCase.frame.x(), 1e-9);
        EXPECT_NEAR(frame.y(), letterboxCase.frame.y(), 1e-9);
        EXPECT_NEAR(frame.width(), letterboxCase.frame.width(), 1e-9);
        EXPECT_NEAR(frame.height(), letterboxCase.frame.height(), 1e-9);
    }
}

} // namespace
