#include "engines/avf/isAVAssetPlayable.h"

#include "support/MediaFixtures.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

TEST(isAVAssetPlayableTest, CodecRuleDecidesWhenNoFileReportsItselfPlayable)
{
    const struct
    {
        MediaFixture fixture;
        bool playable;
    } cases[] = {
        {MediaFixture::AacMov, true},      {MediaFixture::H264AacMov, true},
        {MediaFixture::TwoH264Mov, false}, {MediaFixture::Mpeg4VideoMov, false},
        {MediaFixture::AlacMov, false},
    };
    for (const auto &playableCase : cases) {
        const QString path = MediaFixtures::path(playableCase.fixture, 1.0);
        SCOPED_TRACE(path.toStdString());
        const std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(path, 10s, nullptr);
        ASSERT_TRUE(info);
        EXPECT_EQ(isAVAssetPlayable(*info, lq::MediaPlayability::SelfReport::Never),
                  playableCase.playable);
    }
    // No tracks at all.
    EXPECT_FALSE(isAVAssetPlayable(lq::MediaInfo(), lq::MediaPlayability::SelfReport::Never));
}

TEST(isAVAssetPlayableTest, OldVideoGoesToConversionWhileRecordedMediaPlays)
{
    const struct
    {
        MediaFixture fixture;
        bool playable;
    } cases[] = {
        {MediaFixture::AacMov, true},
        {MediaFixture::AlacMov, true},
        {MediaFixture::H264AacMov, true},
        {MediaFixture::Mpeg4VideoMov, false},
    };
    for (const auto &playableCase : cases) {
        const QString path = MediaFixtures::path(playableCase.fixture, 1.0);
        EXPECT_EQ(isAVAssetPlayable(path), playableCase.playable) << path.toStdString();
    }
    EXPECT_FALSE(isAVAssetPlayable(MediaFixtures::folder() + QStringLiteral("/absent.mov")));
}

} // namespace
