#include "platform/media/MediaPlayer.h"

#include "platform/foundation/MainThread.h"
#include "platform/media/VideoSurface.h"
#include "support/MediaFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace std::chrono_literals;
using lq::MediaPlayer;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

constexpr double kSeekTolerance = 0.01;

// Three sound files of 1.5, 2 and 2.5 seconds: boundaries at 1.5 and 3.5, 6 seconds in all.
QStringList threeFiles()
{
    return {MediaFixtures::path(MediaFixture::AacMov, 1.5),
            MediaFixtures::path(MediaFixture::AacMov, 2.0),
            MediaFixtures::path(MediaFixture::AacMov, 2.5)};
}

std::unique_ptr<MediaPlayer> openOrFail(const QStringList &files,
                                        lq::VideoSurface *surface = nullptr)
{
    lq::Error error;
    auto player = MediaPlayer::open(files, surface, &error);
    EXPECT_NE(player, nullptr) << error.localizedDescription().toStdString();
    return player;
}

struct RateRun
{
    double rate;
    double from;
    double until; // the run ends when the position passes this, or at the end
    QList<double> boundariesCrossed;
};

TEST(MediaPlayerTest, PlaysASessionOfThreeFilesAtEveryRateAcrossTheirBoundaries)
{
    const RateRun runs[] = {
        {0.5, 1.3, 1.7, {1.5}},
        {2.0, 1.0, 6.0, {1.5, 3.5}},
        {4.0, 0.5, 6.0, {1.5, 3.5}},
        {-4.0, 6.0, 0.0, {3.5, 1.5}},
    };
    for (const RateRun &run : runs) {
        SCOPED_TRACE(run.rate);
        auto player = openOrFail(threeFiles());
        ASSERT_TRUE(player);
        EXPECT_NEAR(player->duration(), 6.0, 0.1); // each sound file has a little encoder padding
        bool ended = false;
        player->setEndHandler([&] { ended = true; });

        ASSERT_TRUE(player->playFrom(run.from, run.rate));
        EXPECT_EQ(player->rate(), run.rate);
        QList<double> positions{player->position().value_or(-1.0)};
        EXPECT_NEAR(positions.first(), std::min(run.from, player->duration()), 0.25);
        const double direction = run.rate > 0 ? 1.0 : -1.0;
        ASSERT_TRUE(lq::runEventLoopUntil(
            [&] {
                if (const std::optional<double> position = player->position())
                    positions.append(*position);
                return ended ||
                       (!positions.isEmpty() && (positions.last() - run.until) * direction > 0.0);
            },
            60s));
        ASSERT_GE(positions.size(), 3);
        for (qsizetype i = 1; i < positions.size(); ++i)
            ASSERT_GE((positions[i] - positions[i - 1]) * direction, 0.0)
                << "at " << positions[i - 1] << " then " << positions[i];
        for (double boundary : run.boundariesCrossed) {
            EXPECT_LT((positions.first() - boundary) * direction, 0.0) << boundary;
            EXPECT_GT((positions.last() - boundary) * direction, 0.0) << boundary;
        }
        if (ended) {
            EXPECT_EQ(player->rate(), 0.0);
            EXPECT_NEAR(player->position().value_or(-1.0), run.rate > 0 ? player->duration() : 0.0,
                        kSeekTolerance);
        }
    }
}

TEST(MediaPlayerTest, SeeksExactlyWithinAndAcrossFilesAndClampsToTheTimeline)
{
    auto player = openOrFail(threeFiles());
    ASSERT_TRUE(player);
    const struct
    {
        double request;
        double expected;
    } seeks[] = {{0.25, 0.25}, {1.234, 1.234}, {4.0, 4.0}, {-3.0, 0.0}, {0.0, 0.0}};
    for (const auto &seek : seeks) {
        SCOPED_TRACE(seek.request);
        ASSERT_TRUE(player->seek(seek.request));
        ASSERT_TRUE(player->position());
        EXPECT_NEAR(*player->position(), seek.expected, kSeekTolerance);
    }
    // Beyond the end lands at the end.
    ASSERT_TRUE(player->seek(100.0));
    EXPECT_NEAR(player->position().value_or(player->duration()), player->duration(), 0.05);
}

TEST(MediaPlayerTest, RateChangesContinueFromThePositionInEitherDirection)
{
    auto player = openOrFail(threeFiles());
    ASSERT_TRUE(player);
    ASSERT_TRUE(player->playFrom(3.0, 1.0));
    ASSERT_TRUE(player->setRate(0.0));
    const double pausedAt = player->position().value_or(-1.0);
    ASSERT_GE(pausedAt, 3.0);
    for (double rate : {-1.0, 2.0}) {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(player->setRate(rate));
        const double afterChange = player->position().value_or(-1.0);
        // Moving off pause plays on from where it stopped, not from a file's start.
        EXPECT_NEAR(afterChange, pausedAt, 0.25);
        ASSERT_TRUE(player->setRate(0.0));
    }
}

TEST(MediaPlayerTest, BackwardPlayReportsItsStartAndPausesWhereItGot)
{
    // The sound sink counts backward play from a wrong origin until it has played a buffer; the
    // player's report must not follow it, neither right after starting nor once paused.
    const struct
    {
        double rate;
        double from;
    } starts[] = {{-4.0, 6.0}, {-2.0, 5.0}, {-0.5, 2.0}, {-4.0, 1.0}};
    auto player = openOrFail(threeFiles());
    ASSERT_TRUE(player);
    for (const auto &start : starts) {
        SCOPED_TRACE(start.rate);
        SCOPED_TRACE(start.from);
        const double from = std::min(start.from, player->duration());
        ASSERT_TRUE(player->playFrom(from, start.rate));
        const double first = player->position().value_or(-1.0);
        EXPECT_LE(first, from);
        // The wrong origin was seconds away; a loaded machine may have played a little already.
        EXPECT_NEAR(first, from, 1.0);
        ASSERT_TRUE(player->setRate(0.0));
        const double pausedAt = player->position().value_or(-1.0);
        EXPECT_LE(pausedAt, first + kSeekTolerance);
        EXPECT_NEAR(pausedAt, from, 1.0);
    }
}

TEST(MediaPlayerTest, OpeningFailsWithASentenceNamingTheFile)
{
    lq::Error error;
    EXPECT_EQ(MediaPlayer::open({}, nullptr, &error), nullptr);
    EXPECT_FALSE(error.localizedDescription().isEmpty());

    const QString missing = MediaFixtures::folder() + QStringLiteral("/missing.mov");
    for (const QStringList &files : {QStringList{missing}, QStringList{missing, missing}}) {
        error = {};
        EXPECT_EQ(MediaPlayer::open(files, nullptr, &error), nullptr);
        EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("missing.mov")))
            << error.localizedDescription().toStdString();
        EXPECT_TRUE(error.localizedDescription().endsWith(QLatin1Char('.')));
    }
}

TEST(MediaPlayerTest, VolumeStaysBetweenSilenceAndTenfold)
{
    auto player = openOrFail({MediaFixtures::path(MediaFixture::AacMov, 1.0)});
    ASSERT_TRUE(player);
    EXPECT_DOUBLE_EQ(player->volume(), 1.0);
    for (const auto &[asked, kept] : {std::pair{5.0, 5.0}, {0.0, 0.0}, {25.0, 10.0}, {-1.0, 0.0}}) {
        player->setVolume(asked);
        EXPECT_DOUBLE_EQ(player->volume(), kept) << asked;
    }
}

TEST(MediaPlayerTest, PicturesReachTheSurfaceAlsoAfterItIsReplacedWhilePlaying)
{
    lq::VideoSurface first;
    auto player = openOrFail({MediaFixtures::path(MediaFixture::H264AacMov, 3.0)}, &first);
    ASSERT_TRUE(player);
    ASSERT_TRUE(player->setRate(1.0));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return first.framesPresented() > 2; }, 10s));
    EXPECT_EQ(first.frameSize(), QSize(64, 48));

    const double before = player->position().value_or(0.0);
    lq::VideoSurface second;
    ASSERT_TRUE(player->setVideoSurface(&second, nullptr));
    EXPECT_EQ(player->rate(), 1.0);
    EXPECT_GE(player->position().value_or(0.0), before - kSeekTolerance);
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return second.framesPresented() > 0; }, 10s));
}

} // namespace
