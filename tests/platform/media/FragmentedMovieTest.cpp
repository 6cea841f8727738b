#include "platform/media/FragmentedMovie.h"

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

    // A run of four billion samples that all take the defaults is counted, not walked.
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

} // namespace
