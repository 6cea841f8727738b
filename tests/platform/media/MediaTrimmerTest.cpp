#include "platform/media/MediaTrimmer.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/MediaInfo.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using lq::MediaInfo;
using lq::MediaTrimmer;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;
namespace CodecId = lq::CodecId;

namespace {

constexpr std::chrono::seconds kTimeLimit{60};
// Sound is cut to the sample; AAC frames and the encoder's priming round it a little.
constexpr double kCutTolerance = 0.03;
// Each joined file's decoded sound may end with a frame of the encoder's padding.
constexpr double kJoinTolerance = 0.1;

class MediaTrimmerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder =
            MediaFixtures::folder() + QStringLiteral("/trimmed-") +
            QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }

    QString path(const QString &name) const { return m_folder + QLatin1Char('/') + name; }

    QStringList folderEntries() const
    {
        return QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                                        QDir::Name);
    }

    // Three copies of a fixture, as the files of one recording.
    QStringList threeFiles(MediaFixture fixture, double seconds) const
    {
        QStringList files;
        for (int i = 0; i < 3; ++i) {
            files.append(path(QStringLiteral("part-%1").arg(i)));
            EXPECT_TRUE(QFile::copy(MediaFixtures::path(fixture, seconds), files.last()));
        }
        return files;
    }

    QString m_folder;
};

std::optional<MediaInfo> probed(const QString &path)
{
    lq::Error error;
    return MediaInfo::probe(path, kTimeLimit, &error);
}

QStringList codecsOf(const MediaInfo &info)
{
    QStringList codecs;
    for (const auto &audio : info.audioStreams)
        codecs.append(audio.codec);
    for (const auto &video : info.videoStreams)
        codecs.append(video.codec);
    return codecs;
}

constexpr double kEverything = -1.0;

struct CutCase
{
    MediaFixture fixture;
    double at;
    double length; // of the movie written; kEverything: as long as the sources together
    QStringList codecs;
};

TEST_F(MediaTrimmerTest, KeepsExactlyWhatCameBeforeTheCut)
{
    const CutCase cases[] = {
        {MediaFixture::H264AacMov, 3.05, 3.05, {CodecId::kAac, CodecId::kH264}},
        {MediaFixture::AacMov, 4.55, 4.55, {CodecId::kAac}},
        {MediaFixture::AacMov, 1.0, 1.0, {CodecId::kAac}},        // inside the first file
        {MediaFixture::LpcmMov, 2.5, 2.5, {CodecId::kAac}},       // encoded whatever it was
        {MediaFixture::TwoH264Mov, 3.05, 3.05, {CodecId::kH264}}, // the first video stream
        {MediaFixture::AacMov, 10.0, kEverything, {CodecId::kAac}},
        {MediaFixture::H264AacMov, 10.0, kEverything, {CodecId::kAac, CodecId::kH264}},
    };
    for (const CutCase &cutCase : cases) {
        SCOPED_TRACE(testing::Message() << int(cutCase.fixture) << " at " << cutCase.at);
        const QStringList files = threeFiles(cutCase.fixture, 2.0);
        const QString destination = path(QStringLiteral("cut.mov"));
        lq::Error error;
        ASSERT_TRUE(MediaTrimmer::trim(files, cutCase.at, destination, kTimeLimit, &error))
            << error.localizedDescription().toStdString();
        const std::optional<MediaInfo> written = probed(destination);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->container, QStringLiteral("video/quicktime"));
        EXPECT_EQ(codecsOf(*written), cutCase.codecs);
        if (cutCase.length == kEverything) {
            EXPECT_NEAR(written->duration, 3 * probed(files[0]).value_or(MediaInfo()).duration,
                        kJoinTolerance);
        } else {
            EXPECT_NEAR(written->duration, cutCase.length, kCutTolerance);
        }
        for (const QString &file : files)
            ASSERT_TRUE(QFile::remove(file));
        ASSERT_TRUE(QFile::remove(destination));
        EXPECT_EQ(folderEntries(), QStringList()); // no temporary file left
    }
}

TEST_F(MediaTrimmerTest, CutAtTheBeginningWritesAMovieWithoutSamples)
{
    const QStringList files = threeFiles(MediaFixture::H264AacMov, 1.0);
    const QString destination = path(QStringLiteral("cut.mov"));
    lq::Error error;
    ASSERT_TRUE(MediaTrimmer::trim(files, 0.0, destination, kTimeLimit, &error))
        << error.localizedDescription().toStdString();
    QFile movie(destination);
    ASSERT_TRUE(movie.open(QIODevice::ReadOnly));
    const QByteArray bytes = movie.readAll();
    EXPECT_EQ(bytes.mid(4, 4), QByteArray("ftyp"));
    EXPECT_TRUE(bytes.contains("moov"));
    EXPECT_LT(bytes.size(), 4096);
}

TEST_F(MediaTrimmerTest, FailuresLeaveTheFilesAsTheyWere)
{
    const QStringList files = threeFiles(MediaFixture::AacMov, 1.0);
    const QString notMedia = path(QStringLiteral("notes.txt"));
    {
        QFile file(notMedia);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("Not a movie.\n").repeated(100));
    }
    const QString destination = path(QStringLiteral("part-0"));
    QFile original(destination);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();
    const QStringList entries = folderEntries();

    struct FailureCase
    {
        const char *name;
        QStringList sources;
        double at;
        const char *failingStep; // of the file operations; none: they work
    };
    const FailureCase cases[] = {
        {"no files", {}, 1.0, nullptr},
        {"negative moment", files, -1.0, nullptr},
        {"not a number", files, std::nan(""), nullptr},
        {"a file that is no media", {files[0], notMedia}, 1.5, nullptr},
        {"a missing file", {files[0], path(QStringLiteral("gone.mov"))}, 1.5, nullptr},
        {"publishing fails", files, 1.5, "replace"},
        {"syncing fails", files, 1.5, "sync"},
    };
    for (const FailureCase &failureCase : cases) {
        SCOPED_TRACE(failureCase.name);
        const char *step = failureCase.failingStep;
        lq::FailingFileOperations failing([step](const QString &operation, const QString &) {
            return step && operation == QLatin1String(step);
        });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        lq::Error error;
        const bool trimmed = MediaTrimmer::trim(failureCase.sources, failureCase.at, destination,
                                                kTimeLimit, &error);
        lq::FileOperations::setCurrent(previous);
        EXPECT_FALSE(trimmed);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
        EXPECT_EQ(folderEntries(), entries);
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        EXPECT_EQ(original.readAll(), before);
        original.close();
    }
}

} // namespace
