#include "platform/media/MediaFlattener.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/MediaInfo.h"
#include "platform/media/MediaPlayability.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using lq::MediaFlattener;
using lq::MediaInfo;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;
namespace CodecId = lq::CodecId;

namespace {

constexpr std::chrono::seconds kTimeLimit{60};
constexpr double kDurationTolerance = 0.1;

class MediaFlattenerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder =
            MediaFixtures::folder() + QStringLiteral("/flattened-") +
            QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }

    QStringList folderEntries() const
    {
        return QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QString m_folder;
};

QStringList codecsOf(const MediaInfo &info)
{
    QStringList codecs;
    for (const auto &audio : info.audioStreams)
        codecs.append(audio.codec);
    for (const auto &video : info.videoStreams)
        codecs.append(video.codec);
    return codecs;
}

MediaInfo probed(const QString &path)
{
    lq::Error error;
    const auto info = MediaInfo::probe(path, kTimeLimit, &error);
    EXPECT_TRUE(info) << error.localizedDescription().toStdString();
    return info.value_or(MediaInfo());
}

struct FlattenCase
{
    MediaFixture fixture;
    QStringList codecs; // of the movie written
};

TEST_F(MediaFlattenerTest, CopiesWhatTheMovieTakesAndEncodesTheRest)
{
    const FlattenCase cases[] = {
        {MediaFixture::AacM4a, {CodecId::kAac}},
        {MediaFixture::AlacMov, {CodecId::kAlac}},
        {MediaFixture::Mp3, {CodecId::kMp3}},
        {MediaFixture::Wav, {CodecId::kLinearPcm}},
        {MediaFixture::H264AacMov, {CodecId::kAac, CodecId::kH264}},
        {MediaFixture::VorbisOgg, {CodecId::kAac}},
    };
    for (const FlattenCase &flattenCase : cases) {
        const QString source = MediaFixtures::path(flattenCase.fixture, 2.0);
        const QString destination =
            m_folder + QLatin1Char('/') + QFileInfo(source).fileName() + QStringLiteral(".mov");
        SCOPED_TRACE(source.toStdString());
        lq::Error error;
        ASSERT_TRUE(MediaFlattener::flatten(source, destination, kTimeLimit, &error))
            << error.localizedDescription().toStdString();
        const MediaInfo written = probed(destination);
        EXPECT_EQ(written.container, QStringLiteral("video/quicktime"));
        EXPECT_EQ(codecsOf(written), flattenCase.codecs);
        EXPECT_NEAR(written.duration, probed(source).duration, kDurationTolerance);
    }
    EXPECT_EQ(folderEntries().size(), std::size(cases)); // no temporary files left
}

TEST_F(MediaFlattenerTest, ReEncodingMakesEverySourceAMovieThePlayerTakes)
{
    const FlattenCase cases[] = {
        {MediaFixture::AlacMov, {CodecId::kAac}},
        {MediaFixture::Mp3, {CodecId::kAac}},
        {MediaFixture::VorbisOgg, {CodecId::kAac}},
        {MediaFixture::H264AacMov, {CodecId::kAac, CodecId::kH264}},
        {MediaFixture::TwoH264Mov, {CodecId::kH264}}, // the player takes one video stream
    };
    const lq::MediaPlayability playability(lq::MediaPlayability::SelfReport::Never);
    for (const FlattenCase &flattenCase : cases) {
        const QString source = MediaFixtures::path(flattenCase.fixture, 2.0);
        SCOPED_TRACE(source.toStdString());
        const QString destination = m_folder + QLatin1Char('/') + QFileInfo(source).fileName();
        lq::Error error;
        ASSERT_TRUE(MediaFlattener::flatten(source, destination, kTimeLimit, &error,
                                            MediaFlattener::Encoding::ReEncodeAll))
            << error.localizedDescription().toStdString();
        const MediaInfo written = probed(destination);
        EXPECT_EQ(codecsOf(written), flattenCase.codecs);
        EXPECT_NEAR(written.duration, probed(source).duration, kDurationTolerance);
        EXPECT_TRUE(playability.isPlayable(written));
    }
}

TEST_F(MediaFlattenerTest, WritesOverItsOwnSource)
{
    const QString path = m_folder + QStringLiteral("/sound.ogg");
    ASSERT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::VorbisOgg, 0.5), path));
    lq::Error error;
    ASSERT_TRUE(MediaFlattener::flatten(path, path, kTimeLimit, &error))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(codecsOf(probed(path)), QStringList{CodecId::kAac});
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("sound.ogg")});
}

TEST_F(MediaFlattenerTest, FailuresLeaveTheDestinationAsItWas)
{
    const QString destination = m_folder + QStringLiteral("/movie.mov");
    const QString notMedia = m_folder + QStringLiteral("/notes.txt");
    {
        QFile file(notMedia);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("Not a movie.\n").repeated(100));
    }
    lq::Error error;
    EXPECT_FALSE(MediaFlattener::flatten(notMedia, destination, kTimeLimit, &error));
    EXPECT_TRUE(error.localizedDescription().startsWith(QStringLiteral("Could not write")))
        << error.localizedDescription().toStdString();
    EXPECT_FALSE(MediaFlattener::flatten(m_folder + QStringLiteral("/none.mov"), destination,
                                         kTimeLimit, &error));

    // The movie written is synced before it takes the destination's place.
    for (const char *failingStep : {"replace", "sync"}) {
        lq::FailingFileOperations failing([failingStep](const QString &operation, const QString &) {
            return operation == QLatin1String(failingStep);
        });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        const bool flattened = MediaFlattener::flatten(
            MediaFixtures::path(MediaFixture::AacMov, 0.5), destination, kTimeLimit, &error);
        lq::FileOperations::setCurrent(previous);
        EXPECT_FALSE(flattened) << failingStep;
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("notes.txt")}) << failingStep;
    }
}

} // namespace
