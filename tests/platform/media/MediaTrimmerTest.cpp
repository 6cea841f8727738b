#include "platform/media/MediaTrimmer.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/MediaInfo.h"
#include "support/FolderContents.h"
#include "support/IndependentReading.h"
#include "support/MediaFixtures.h"
#include "support/SmallTmpfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <gtest/gtest.h>

#include <functional>

using lq::MediaInfo;
using lq::MediaTrimmer;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;
namespace CodecId = lq::CodecId;

namespace {

constexpr std::chrono::seconds kTimeLimit{60};
// Sound is cut to the sample; encoded again, AAC frames and the encoder's priming round it a
// little: within one frame of sound.
constexpr double kCutTolerance = 0.025;

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
// The fixtures' pictures last a tenth of a second; one of them may cross the cut.
constexpr double kOnePicture = 0.1;

struct CutCase
{
    const char *name;
    std::function<QStringList()> sources;
    double at;
    double length; // of the movie written; kEverything: as long as the sources together
    QStringList codecs;
};

TEST_F(MediaTrimmerTest, KeepsExactlyWhatCameBeforeTheCut)
{
    const QStringList avc{CodecId::kAac, CodecId::kH264};
    const auto session = [](bool cutOff) {
        return [cutOff] { return MediaFixtures::recordedSession(3, 2.0, cutOff); };
    };
    const auto copies = [this](MediaFixture fixture) {
        return [this, fixture] { return threeFiles(fixture, 2.0); };
    };
    const CutCase cases[] = {
        // Copied: the streams stay as they were.
        {"a recorded session, in its last file", session(false), 4.5, 4.5, avc},
        {"a recorded session, in its first file", session(false), 1.05, 1.05, avc},
        {"a recorded session, whole", session(false), 100.0, kEverything, avc},
        {"a session whose last file a crash cut off", session(true), 4.45, 4.45, avc},
        {"pictures and sound", copies(MediaFixture::H264AacMov), 3.05, 3.05, avc},
        {"sound", copies(MediaFixture::AacMov), 4.55, 4.55, {CodecId::kAac}},
        {"linear sound", copies(MediaFixture::LpcmMov), 2.5, 2.5, {CodecId::kLinearPcm}},
        {"two picture tracks",
         copies(MediaFixture::TwoH264Mov),
         3.05,
         3.05,
         {CodecId::kH264, CodecId::kH264}},
        // Encoded again: the first sound and video streams, as AAC and H.264.
        {"files that differ",
         [this] {
             QStringList files = threeFiles(MediaFixture::AacMov, 2.0);
             EXPECT_TRUE(QFile::remove(files[1]));
             EXPECT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::AlacMov, 2.0), files[1]));
             return files;
         },
         3.5,
         3.5,
         {CodecId::kAac}},
        {"sound that is no movie", copies(MediaFixture::Mp3), 2.5, 2.5, {CodecId::kAac}},
    };
    for (const CutCase &cutCase : cases) {
        SCOPED_TRACE(cutCase.name);
        const QStringList files = cutCase.sources();
        const QString destination = path(QStringLiteral("cut.mov"));
        lq::Error error;
        ASSERT_TRUE(MediaTrimmer::trim(files, cutCase.at, destination, kTimeLimit, &error))
            << error.localizedDescription().toStdString();
        double length = cutCase.length;
        if (length == kEverything) {
            length = 0.0;
            for (const QString &file : files)
                length += probed(file).value_or(MediaInfo()).duration;
        }
        const std::optional<MediaInfo> written = probed(destination);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->container, QStringLiteral("video/quicktime"));
        EXPECT_EQ(codecsOf(*written), cutCase.codecs);
        EXPECT_NEAR(written->duration, length, kCutTolerance);
        EXPECT_NEAR(lq::test::discoveredDuration(destination).value_or(-1.0), length,
                    kCutTolerance);
        const lq::test::DecodedEnds decoded = lq::test::decodeToTheEnd(
            destination, !written->audioStreams.isEmpty(), !written->videoStreams.isEmpty());
        if (!written->audioStreams.isEmpty()) {
            EXPECT_NEAR(decoded.sound.value_or(-1.0), length, kCutTolerance);
        }
        if (!written->videoStreams.isEmpty()) {
            EXPECT_NEAR(decoded.pictures.value_or(-1.0), length, kOnePicture);
        }
        for (const QString &file : files) {
            if (file.startsWith(m_folder)) {
                ASSERT_TRUE(QFile::remove(file));
            }
        }
        ASSERT_TRUE(QFile::remove(destination));
        EXPECT_EQ(folderEntries(), QStringList()); // no temporary file left
    }
}

// A movie with the tracks and no samples, which the media info reads as one of no length.
TEST_F(MediaTrimmerTest, CutAtTheBeginningWritesAMovieWithoutSamples)
{
    const QString destination = path(QStringLiteral("cut.mov"));
    lq::Error error;
    ASSERT_TRUE(MediaTrimmer::trim(MediaFixtures::recordedSession(3, 2.0), 0.0, destination,
                                   kTimeLimit, &error))
        << error.localizedDescription().toStdString();
    const std::optional<MediaInfo> written = probed(destination);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->duration, 0.0);
    EXPECT_EQ(codecsOf(*written), (QStringList{CodecId::kAac, CodecId::kH264}));
    EXPECT_LT(QFileInfo(destination).size(), 8192);
}

TEST_F(MediaTrimmerTest, ADiskThatFillsUpLeavesTheFilesAsTheyWere)
{
    const QStringList session = MediaFixtures::recordedSession(3, 2.0);
    qint64 size = 0;
    for (const QString &file : session)
        size += QFileInfo(file).size();
    lq::test::SmallTmpfs disk(size + size / 2);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    QStringList files;
    for (const QString &file : session) {
        files.append(QDir(disk.path()).filePath(QFileInfo(file).fileName()));
        ASSERT_TRUE(QFile::copy(file, files.last()));
    }
    const QMap<QString, QByteArray> before = lq::test::folderContents(disk.path());
    lq::Error error;
    EXPECT_FALSE(MediaTrimmer::trim(files, 100.0, files[0], kTimeLimit, &error));
    EXPECT_TRUE(error.localizedDescription().startsWith(QStringLiteral("Could not write")))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(lq::test::folderContents(disk.path()), before);
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

    const QStringList differing{files[0], MediaFixtures::path(MediaFixture::AlacMov, 1.0)};
    struct FailureCase
    {
        const char *name;
        QStringList sources;
        double at;
        const char *failingStep; // of the file operations; none: they work
        std::chrono::milliseconds timeLimit = kTimeLimit;
    };
    const FailureCase cases[] = {
        {"no files", {}, 1.0, nullptr},
        {"negative moment", files, -1.0, nullptr},
        {"not a number", files, std::nan(""), nullptr},
        {"a file that is no media", {files[0], notMedia}, 1.5, nullptr},
        {"a missing file", {files[0], path(QStringLiteral("gone.mov"))}, 1.5, nullptr},
        {"the copy cannot be published", files, 1.5, "replace"},
        {"the copy cannot be synced", files, 1.5, "sync"},
        {"the encoded cut cannot be published", differing, 1.5, "replace"},
        {"the encoding runs out of time", differing, 1.5, nullptr, std::chrono::milliseconds(1)},
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
                                                failureCase.timeLimit, &error);
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
