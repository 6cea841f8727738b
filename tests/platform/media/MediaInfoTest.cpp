#include "platform/media/MediaInfo.h"

#include "platform/foundation/MainThread.h"
#include "support/MediaFixtures.h"

#include <QFile>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <memory>

using lq::MediaInfo;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;
namespace CodecId = lq::CodecId;

namespace {

constexpr std::chrono::seconds kTimeLimit{10};
// Encoders add a frame or two of padding.
constexpr double kDurationTolerance = 0.1;

struct ProbeCase
{
    MediaFixture fixture;
    double seconds;
    QString container;
    QStringList audioCodecs;
    QStringList videoCodecs;
};

QStringList codecsOf(const auto &streams)
{
    QStringList codecs;
    for (const auto &stream : streams)
        codecs.append(stream.codec);
    return codecs;
}

TEST(MediaInfoTest, ProbesEveryFixture)
{
    const QString movie = QStringLiteral("video/quicktime");
    const ProbeCase cases[] = {
        {MediaFixture::AacM4a, 0.5, movie, {CodecId::kAac}, {}},
        {MediaFixture::AacMov, 2.0, movie, {CodecId::kAac}, {}},
        {MediaFixture::AlacMov, 0.5, movie, {CodecId::kAlac}, {}},
        {MediaFixture::LpcmMov, 0.5, movie, {CodecId::kLinearPcm}, {}},
        {MediaFixture::Mp3, 0.5, QStringLiteral("audio/mpeg"), {CodecId::kMp3}, {}},
        {MediaFixture::Wav, 0.5, QStringLiteral("audio/x-wav"), {CodecId::kLinearPcm}, {}},
        {MediaFixture::H264AacMov, 2.0, movie, {CodecId::kAac}, {CodecId::kH264}},
        {MediaFixture::TwoH264Mov, 0.5, movie, {}, {CodecId::kH264, CodecId::kH264}},
        {MediaFixture::Mpeg4VideoMov, 0.05, movie, {}, {CodecId::kMpeg4Video}},
        {MediaFixture::VorbisOgg, 0.5, QStringLiteral("audio/ogg"), {QString()}, {}},
    };
    for (const ProbeCase &probeCase : cases) {
        const double asked = probeCase.fixture == MediaFixture::Mpeg4VideoMov
                                 ? 10 * probeCase.seconds
                                 : probeCase.seconds;
        const QString path = MediaFixtures::path(probeCase.fixture, asked);
        SCOPED_TRACE(path.toStdString());
        lq::Error error;
        const auto info = MediaInfo::probe(path, kTimeLimit, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_NEAR(info->duration, probeCase.seconds, kDurationTolerance);
        EXPECT_EQ(info->container, probeCase.container);
        EXPECT_EQ(codecsOf(info->audioStreams), probeCase.audioCodecs);
        EXPECT_EQ(codecsOf(info->videoStreams), probeCase.videoCodecs);
        EXPECT_FALSE(info->missingPlugins);
        for (const auto &audio : info->audioStreams) {
            EXPECT_EQ(audio.channels, 2);
            EXPECT_EQ(audio.sampleRate, 44100);
        }
        for (const auto &video : info->videoStreams) {
            EXPECT_EQ(video.width, 64);
            EXPECT_EQ(video.height, 48);
        }
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(MediaInfoTest, FilesThatAreNotMediaGiveSentences)
{
    const QString folder = MediaFixtures::folder();
    const QString text = folder + QStringLiteral("/notes.txt");
    writeFile(text, QByteArray("Nothing here plays.\n").repeated(50));
    const QString empty = folder + QStringLiteral("/empty.mov");
    writeFile(empty, {});
    QFile movie(MediaFixtures::path(MediaFixture::H264AacMov, 2.0));
    ASSERT_TRUE(movie.open(QIODevice::ReadOnly));
    const QString truncated = folder + QStringLiteral("/truncated.mov");
    // qtmux writes the index last: half the file has samples and no index.
    writeFile(truncated, movie.read(movie.size() / 2));

    for (const QString &path :
         {text, empty, truncated, folder + QStringLiteral("/missing.mov"), folder}) {
        SCOPED_TRACE(path.toStdString());
        lq::Error error;
        EXPECT_FALSE(MediaInfo::probe(path, kTimeLimit, &error));
        EXPECT_EQ(error.domain(), QStringLiteral("media"));
        EXPECT_TRUE(error.localizedDescription().endsWith(QLatin1Char('.')))
            << error.localizedDescription().toStdString();
    }
}

TEST(MediaInfoTest, MapsCapsToCodecIds)
{
    const std::pair<const char *, QString> cases[] = {
        {"audio/mpeg, mpegversion=(int)4", CodecId::kAac},
        {"audio/mpeg, mpegversion=(int)1, layer=(int)3", CodecId::kMp3},
        {"audio/mpeg, mpegversion=(int)1, layer=(int)2", QString()},
        {"audio/x-raw, format=(string)S16LE", CodecId::kLinearPcm},
        {"video/x-h264, stream-format=(string)avc", CodecId::kH264},
        {"video/mpeg, mpegversion=(int)4, systemstream=(boolean)false", CodecId::kMpeg4Video},
        {"video/mpeg, mpegversion=(int)2", QString()},
        {"video/x-theora", QString()},
        {"not caps at all ,,", QString()},
    };
    for (const auto &[caps, id] : cases)
        EXPECT_EQ(MediaInfo::codecIdForCaps(QString::fromLatin1(caps)), id) << caps;
}

TEST(MediaInfoTest, BackgroundReadsAnswerInOrderOnTheMainThreadWhileTheirContextLives)
{
    using namespace std::chrono_literals;
    const QString sound = MediaFixtures::path(MediaFixture::Wav, 1.0);
    const QString missing = MediaFixtures::folder() + QStringLiteral("/absent.wav");
    const QString movie = MediaFixtures::path(MediaFixture::H264AacMov, 0.5);
    QObject context;
    std::optional<QList<lq::ProbeResult>> answers;
    QThread *answeredOn = nullptr;
    MediaInfo::probeInBackground({sound, missing, movie}, 10s, &context,
                                 [&](const QList<lq::ProbeResult> &results) {
                                     answers = results;
                                     answeredOn = QThread::currentThread();
                                 });
    EXPECT_FALSE(answers); // only through the event loop
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return answers.has_value(); }, 20s));
    EXPECT_EQ(answeredOn, QThread::currentThread());
    ASSERT_EQ(answers->size(), 3);
    EXPECT_EQ((*answers)[0].path, sound);
    ASSERT_TRUE((*answers)[0].info);
    EXPECT_NEAR((*answers)[0].info->duration, 1.0, 0.05);
    EXPECT_FALSE((*answers)[1].info);
    EXPECT_FALSE((*answers)[1].error.isNull());
    ASSERT_TRUE((*answers)[2].info);
    EXPECT_EQ((*answers)[2].info->videoStreams.size(), 1);

    // No file at all still answers; a context gone first gets nothing.
    answers.reset();
    MediaInfo::probeInBackground({}, 10s, &context,
                                 [&](const QList<lq::ProbeResult> &results) { answers = results; });
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return answers.has_value(); }, 5s));
    EXPECT_TRUE(answers->isEmpty());
    bool reached = false;
    auto gone = std::make_unique<QObject>();
    MediaInfo::probeInBackground({sound}, 10s, gone.get(),
                                 [&](const QList<lq::ProbeResult> &) { reached = true; });
    gone.reset();
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(10'000));
    lq::runEventLoopUntil([] { return false; }, 200ms);
    EXPECT_FALSE(reached);
}

} // namespace
