#include "platform/media/MediaPlayability.h"

#include "support/MediaFixtures.h"

#include <gtest/gtest.h>

using lq::MediaPlayability;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

struct PlayabilityCase
{
    MediaFixture fixture;
    bool playable;            // with the allow-list
    bool playableByCodecRule; // when no file reports itself playable
};

TEST(MediaPlayabilityTest, DecidesEveryFixture)
{
    const PlayabilityCase cases[] = {
        {MediaFixture::AacM4a, true, true},
        {MediaFixture::AacMov, true, true},
        {MediaFixture::AlacMov, true, false},
        {MediaFixture::LpcmMov, true, false},
        {MediaFixture::Mp3, true, false},
        {MediaFixture::Wav, true, false},
        {MediaFixture::H264AacMov, true, true},
        {MediaFixture::TwoH264Mov, true, false},
        {MediaFixture::Mpeg4VideoMov, false, false},
        {MediaFixture::VorbisOgg, false, false},
    };
    const MediaPlayability allowList;
    const MediaPlayability codecRule(MediaPlayability::SelfReport::Never);
    for (const PlayabilityCase &playabilityCase : cases) {
        const QString path = MediaFixtures::path(playabilityCase.fixture, 0.5);
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(allowList.isPlayable(path), playabilityCase.playable);
        EXPECT_EQ(codecRule.isPlayable(path), playabilityCase.playableByCodecRule);
    }
}

TEST(MediaPlayabilityTest, NothingWithoutStreamsOrWithMissingPluginsIsOnTheList)
{
    lq::MediaInfo info;
    info.container = QStringLiteral("video/quicktime");
    EXPECT_FALSE(MediaPlayability().isPlayable(info));
    EXPECT_FALSE(MediaPlayability(MediaPlayability::SelfReport::Never).isPlayable(info));

    info.audioStreams.append({lq::CodecId::kAlac, {}, 2, 44100});
    EXPECT_TRUE(MediaPlayability::isOnAllowList(info));
    info.missingPlugins = true;
    EXPECT_FALSE(MediaPlayability::isOnAllowList(info));
    info.missingPlugins = false;
    info.container = QStringLiteral("video/x-matroska");
    EXPECT_FALSE(MediaPlayability::isOnAllowList(info));
}

TEST(MediaPlayabilityTest, MissingFilesAndTheTestHookAnswerNotPlayable)
{
    const MediaPlayability playability;
    EXPECT_FALSE(playability.isPlayable(MediaFixtures::folder() + QStringLiteral("/none.mov")));

    const QString playable = MediaFixtures::path(MediaFixture::AacMov, 0.5);
    MediaPlayability::setForcedNotPlayable(true);
    EXPECT_FALSE(playability.isPlayable(playable));
    MediaPlayability::setForcedNotPlayable(false);
    EXPECT_TRUE(playability.isPlayable(playable));
}

} // namespace
