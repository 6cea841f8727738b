#include "platform/media/MediaRender.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/MediaInfo.h"
#include "support/DecodedMedia.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <variant>

using lq::MediaComposition;
using lq::MediaInfo;
using lq::MediaRender;
using lq::RenderSettings;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;
using namespace std::chrono_literals;
namespace CodecId = lq::CodecId;

namespace {

// One frame of sound (AAC, 1024 samples) or of pictures (a tenth of a second in the fixtures).
constexpr double kFrame = 0.1;

// A file of the fixtures, or a gap of that many seconds.
using Piece = std::variant<std::pair<MediaFixture, double>, double>;

MediaComposition timelineOf(const QList<Piece> &pieces)
{
    const QString silence = MediaFixtures::path(MediaFixture::Wav, 1.0);
    MediaComposition timeline;
    for (const Piece &piece : pieces) {
        lq::Error error;
        if (const auto *file = std::get_if<std::pair<MediaFixture, double>>(&piece)) {
            const QString path = MediaFixtures::path(file->first, file->second);
            const std::optional<MediaInfo> info = MediaInfo::probe(path, 10s, &error);
            EXPECT_TRUE(info) << error.localizedDescription().toStdString();
            if (info)
                timeline.appendFile(path, *info);
        } else {
            const std::optional<MediaInfo> info = MediaInfo::probe(silence, 10s, &error);
            timeline.appendGap(std::get<double>(piece), silence, info.value_or(MediaInfo()));
        }
    }
    return timeline;
}

class MediaRenderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder =
            MediaFixtures::folder() + QStringLiteral("/rendered-") +
            QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }

    QString path(const QString &name) const { return m_folder + QLatin1Char('/') + name; }
    QStringList folderEntries() const
    {
        return QDir(m_folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                                        QDir::Name);
    }

    // Renders to the end; the state it ended in.
    MediaRender::State render(const MediaComposition &timeline, const RenderSettings &settings,
                              const QString &destination, lq::Error *error = nullptr)
    {
        std::unique_ptr<MediaRender> render =
            MediaRender::start(timeline, settings, destination, error);
        if (!render)
            return MediaRender::State::Failed;
        MediaRender::State state = MediaRender::State::Running;
        for (int turn = 0; state == MediaRender::State::Running && turn < 1200; ++turn) {
            state = render->poll(50ms, error);
            const double progress = render->progress();
            EXPECT_TRUE(progress >= 0.0 && progress <= 1.0) << progress;
        }
        return state;
    }

    QString m_folder;
};

TEST_F(MediaRenderTest, TimelinesAreCopiedWhenTheyCanBeAndEncodedOtherwise)
{
    struct Case
    {
        const char *name;
        QList<Piece> pieces;
        RenderSettings settings;
        bool copied;
        QString audio;
        QString video;
        QSize frame; // empty: no pictures
        int frameRate;
    };
    RenderSettings copySound;
    copySound.copyWhenPossible = true;
    copySound.soundOnly = true;
    RenderSettings copyAll;
    copyAll.copyWhenPossible = true;
    RenderSettings sized;
    sized.container = RenderSettings::Container::Mpeg4;
    sized.frameSize = QSize(320, 240);
    sized.frameRate = 15;
    RenderSettings m4a = copySound;
    m4a.container = RenderSettings::Container::Mpeg4;

    const auto aac = std::pair(MediaFixture::AacMov, 2.0);
    const auto alac = std::pair(MediaFixture::AlacMov, 1.0);
    const auto movie = std::pair(MediaFixture::H264AacMov, 2.0);
    const Case cases[] = {
        {"alike sound files, copied", {aac, aac}, copySound, true, CodecId::kAac, {}, {}, 0},
        {"lossless sound, copied as it is",
         {alac, alac},
         copySound,
         true,
         CodecId::kAlac,
         {},
         {},
         0},
        {"pictures dropped from a copy", {movie, movie}, copySound, true, CodecId::kAac, {}, {}, 0},
        {"alike movies, copied",
         {movie, movie},
         copyAll,
         true,
         CodecId::kAac,
         CodecId::kH264,
         QSize(64, 48),
         10},
        {"unlike sound, encoded", {alac, aac}, m4a, false, CodecId::kAac, {}, {}, 0},
        {"a gap, encoded", {aac, 1.5, aac}, m4a, false, CodecId::kAac, {}, {}, 0},
        {"gaps and sound alone, black pictures",
         {0.5, movie, 1.0, aac},
         sized,
         false,
         CodecId::kAac,
         CodecId::kH264,
         QSize(320, 240),
         15},
        {"a gap in a movie to copy, encoded",
         {movie, 1.0},
         copyAll,
         false,
         CodecId::kAac,
         CodecId::kH264,
         QSize(64, 48),
         10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const MediaComposition timeline = timelineOf(c.pieces);
        const QString output = path(QString::fromLatin1(c.name) + QStringLiteral(".mov"));
        EXPECT_EQ(MediaRender::copiesStreams(timeline, c.settings), c.copied);
        lq::Error error;
        ASSERT_EQ(render(timeline, c.settings, output, &error), MediaRender::State::Written)
            << error.localizedDescription().toStdString();

        const std::optional<MediaInfo> info = MediaInfo::probe(output, 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_NEAR(info->duration, timeline.duration(), kFrame);
        ASSERT_EQ(info->audioStreams.size(), 1);
        EXPECT_EQ(info->audioStreams.first().codec, c.audio);
        ASSERT_EQ(info->videoStreams.size(), c.frame.isEmpty() ? 0 : 1);
        const lq::test::DecodedMedia decoded = lq::test::decodeToEnd(output);
        EXPECT_TRUE(decoded.decoded);
        EXPECT_NEAR(decoded.audioEnd, timeline.duration(), kFrame);
        if (!c.frame.isEmpty()) {
            EXPECT_EQ(info->videoStreams.first().codec, c.video);
            EXPECT_EQ(QSize(info->videoStreams.first().width, info->videoStreams.first().height),
                      c.frame);
            EXPECT_NEAR(decoded.videoStart, 0.0, 0.001);
            EXPECT_NEAR(decoded.videoEnd, timeline.duration(), kFrame);
            EXPECT_NEAR(decoded.pictures, timeline.duration() * c.frameRate, 1.0);
        }
    }
    for (const QString &entry : folderEntries())
        EXPECT_FALSE(entry.startsWith(QLatin1Char('.'))) << "left behind: " << entry.toStdString();
}

TEST_F(MediaRenderTest, PicturesKeepTheirProportionsBetweenBlackBands)
{
    RenderSettings settings;
    settings.frameSize = QSize(128, 48); // twice as wide as the 4:3 pictures fill
    const QString output = path(QStringLiteral("wide.mov"));
    ASSERT_EQ(render(timelineOf({std::pair(MediaFixture::H264AacMov, 1.0)}), settings, output),
              MediaRender::State::Written);
    const QImage picture = lq::test::decodeToEnd(output, 0.0).picture;
    ASSERT_EQ(picture.size(), QSize(128, 48));
    const auto brightness = [&](int x) { return qGray(picture.pixel(x, 24)); };
    EXPECT_LT(brightness(4), 24);
    EXPECT_LT(brightness(123), 24);
    EXPECT_GT(brightness(40), 100); // the test picture's white bar
}

TEST_F(MediaRenderTest, AFailedOrCancelledRenderLeavesTheDestinationAsItWas)
{
    const QString destination = path(QStringLiteral("earlier.m4a"));
    const QByteArray earlier("an earlier export");
    const MediaComposition timeline = timelineOf({std::pair(MediaFixture::H264AacMov, 4.0)});
    RenderSettings settings;
    settings.frameSize = QSize(640, 480);

    enum class Ending { Cancelled, PublishingFails, MissingFolder };
    for (const Ending ending :
         {Ending::Cancelled, Ending::PublishingFails, Ending::MissingFolder}) {
        SCOPED_TRACE(int(ending));
        QFile::remove(destination);
        {
            QFile file(destination);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(earlier);
        }
        lq::FailingFileOperations failing([&](const QString &operation, const QString &) {
            return ending == Ending::PublishingFails && operation == QLatin1String("replace");
        });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        lq::Error error;
        if (ending == Ending::Cancelled) {
            std::unique_ptr<MediaRender> render =
                MediaRender::start(timeline, settings, destination, &error);
            ASSERT_TRUE(render);
            render->cancel();
            EXPECT_EQ(render->poll(0ms), MediaRender::State::Cancelled);
        } else {
            const QString target = ending == Ending::MissingFolder
                                       ? path(QStringLiteral("missing/earlier.m4a"))
                                       : destination;
            EXPECT_EQ(render(timeline, settings, target, &error), MediaRender::State::Failed);
            EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("earlier.m4a")))
                << error.localizedDescription().toStdString();
        }
        lq::FileOperations::setCurrent(previous);
        QFile file(destination);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), earlier);
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("earlier.m4a")});
    }
}

} // namespace
