#include "platform/media/FragmentedMovie.h"

#include "platform/media/MovieBoxWriter.h"
#include "platform/media/PipelineRunner.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using lq::FragmentedMovie;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

// Three seconds of sound in half-second fragments, left fragmented.
QString fragmentedMovie()
{
    const QString path = QDir(MediaFixtures::folder()).filePath(QStringLiteral("fragmented.mov"));
    if (QFile::exists(path))
        return path;
    lq::Error error;
    const bool made = lq::PipelineRunner::run(
        QStringLiteral("audiotestsrc num-buffers=129 samplesperbuffer=1024 ! "
                       "audio/x-raw,rate=44100 ! avenc_aac ! "
                       "qtmux fragment-duration=500 ! filesink location=\"%1\"")
            .arg(path),
        30s, &error);
    EXPECT_TRUE(made) << error.localizedDescription().toStdString();
    return path;
}

QString writeCopy(const QByteArray &data, const QString &name)
{
    const QString path = QDir(MediaFixtures::folder()).filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
    return path;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(FragmentedMovieTest, TellsTheLengthOfAllFragmentsAndNothingForOtherFiles)
{
    const std::optional<double> whole = FragmentedMovie::playableDuration(fragmentedMovie());
    ASSERT_TRUE(whole);
    EXPECT_NEAR(*whole, 129 * 1024 / 44100.0, 0.05);

    EXPECT_FALSE(FragmentedMovie::playableDuration(MediaFixtures::path(MediaFixture::AacMov, 1.0)));
    EXPECT_FALSE(FragmentedMovie::playableDuration(MediaFixtures::path(MediaFixture::Mp3, 1.0)));
    EXPECT_FALSE(FragmentedMovie::playableDuration(QStringLiteral("/nonexistent/x.mov")));
}

// A file cut anywhere counts only its complete fragments: the length never grows as less of
// the file is left, and garbage never makes it fail.
TEST(FragmentedMovieTest, CutOrDamagedFilesAnswerNoMoreThanTheyHold)
{
    const QByteArray movie = contents(fragmentedMovie());
    const double whole = FragmentedMovie::playableDuration(fragmentedMovie()).value_or(0.0);
    double previous = whole;
    for (qsizetype cut = movie.size(); cut > 0; cut -= 97) {
        const std::optional<double> left = FragmentedMovie::playableDuration(
            writeCopy(movie.left(cut), QStringLiteral("cut.mov")));
        const double seconds = left.value_or(0.0);
        EXPECT_LE(seconds, previous + 1e-9) << "cut at " << cut;
        previous = seconds;
    }

    // A run claiming four billion samples that all take the defaults is refused, not walked.
    QByteArray huge = movie;
    const qsizetype run = huge.indexOf("trun");
    ASSERT_GT(run, 0);
    huge.replace(run + 4, 8, QByteArray::fromHex("00000000ffffffff"));
    EXPECT_TRUE(FragmentedMovie::playableDuration(writeCopy(huge, QStringLiteral("huge.mov"))));

    QRandomGenerator random(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = movie;
        for (int flip = 0; flip < 8; ++flip)
            damaged[random.bounded(int(damaged.size()))] = char(random.bounded(256));
        const std::optional<double> seconds =
            FragmentedMovie::playableDuration(writeCopy(damaged, QStringLiteral("damaged.mov")));
        EXPECT_GE(seconds.value_or(0.0), 0.0);
    }
}

// Only the header of a fragmented movie loses its edits, each to free space of the same size, so
// that nothing after it moves.
TEST(FragmentedMovieTest, DropsTheEditsOfAFragmentedHeaderOnly)
{
    const auto movieHeader = [](bool fragmented) {
        lq::movie::BoxWriter out;
        out.open("moov");
        for (int track = 0; track < 2; ++track) {
            out.open("trak");
            out.open("edts");
            out.open("elst", 0, 0);
            out.u32(1);
            for (const uint32_t field : {1500u, 0u, 0x10000u})
                out.u32(field);
            out.close();
            out.close();
            out.close();
        }
        if (fragmented) {
            out.open("mvex");
            out.close();
        }
        out.close();
        return out.data();
    };
    QByteArray fragmented = movieHeader(true);
    const QByteArray before = fragmented;
    EXPECT_TRUE(FragmentedMovie::dropEditsOfFragmentedHeader(fragmented));
    EXPECT_EQ(fragmented.size(), before.size());
    EXPECT_EQ(fragmented.count("edts"), 0);
    EXPECT_EQ(fragmented.count("free"), 2);
    EXPECT_EQ(QByteArray(fragmented).replace("free", "edts"), before);

    for (QByteArray unchanged :
         {movieHeader(false), movieHeader(true).left(60), QByteArray("not a movie header")}) {
        const QByteArray original = unchanged;
        EXPECT_FALSE(FragmentedMovie::dropEditsOfFragmentedHeader(unchanged));
        EXPECT_EQ(unchanged, original);
    }
}

} // namespace
