#include "engines/avf/LQPlayerSession.h"

#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/NaturalSizeHolder.h"
#include "platform/media/VideoSurface.h"
#include "support/FixedGap.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestUserDefaults.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;
using lq::test::gap;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;

namespace {

constexpr double kTolerance = 0.01;

// Counts "LQPlayerDidEndPlaying" from one engine.
struct EndCounter
{
    explicit EndCounter(const LQPlayerSession &engine)
    {
        lq::NotificationCenter::defaultCenter().addObserver(
            this, QStringLiteral("LQPlayerDidEndPlaying"), &engine,
            [this](const lq::Notification &) { ++count; });
    }
    ~EndCounter() { lq::NotificationCenter::defaultCenter().removeObserver(this); }
    int count = 0;
};

class HostView : public QWidget, public lq::NaturalSizeHolder
{
public:
    std::optional<QSizeF> naturalSize() const override { return m_size; }
    void setNaturalSize(std::optional<QSizeF> size) override { m_size = size; }

private:
    std::optional<QSizeF> m_size;
};

// Loads elements and waits until their files are read.
bool load(LQPlayerSession &engine, const QList<LQMediaElement> &elements)
{
    const bool answer = engine.addMediaPaths(elements);
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return !engine.isLoading(); }, 20s));
    return answer;
}

bool loadFiles(LQPlayerSession &engine, const QStringList &names, const QString &folder)
{
    const bool answer = engine.addMediaFiles(names, folder);
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return !engine.isLoading(); }, 20s));
    return answer;
}

double positionOf(LQPlayerSession &engine)
{
    double seconds = -1.0;
    EXPECT_TRUE(engine.currentTime(&seconds));
    return seconds;
}

// Right after a start, playback may already have moved on a little (far more on a loaded
// machine than the position's own error).
void expectPlayingFrom(LQPlayerSession &engine, double start)
{
    constexpr double kMovedSinceStart = 0.5;
    const double position = positionOf(engine);
    EXPECT_GE(position, start - kTolerance);
    EXPECT_LT(position, start + kMovedSinceStart);
}

QString soundFile(double seconds)
{
    return MediaFixtures::path(MediaFixture::AacMov, seconds);
}

TEST(LQPlayerSessionTest, GapsLastTheirOwnLengthAndFilesStartWhereTheyEnd)
{
    lq::test::LogCapture log;
    LQPlayerSession engine;
    const QString file = MediaFixtures::path(MediaFixture::Wav, 2.0);
    ASSERT_TRUE(load(engine, {gap(1.5), file, gap(std::nullopt), gap(0.7), gap(3.0)}));
    EXPECT_TRUE(log.contains(
        QStringLiteral("A fixed gap has failed to return a length. This should not happen.")));

    double length = 0.0;
    ASSERT_TRUE(engine.length(&length));
    EXPECT_NEAR(length, 7.2, 0.001);

    // One-second silences: the 1.5 s gap is two copies with the second cut, the 3 s gap three.
    const lq::MediaComposition *composition = engine.composition();
    ASSERT_NE(composition, nullptr);
    QList<double> durations;
    for (const lq::CompositionSegment &segment : composition->segments())
        durations.append(segment.isGap ? segment.duration : -segment.duration);
    const QList<double> expected{1.0, 0.5, -2.0, 0.7, 1.0, 1.0, 1.0};
    ASSERT_EQ(durations.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(durations[i], expected[i], 0.001) << i;
    EXPECT_NEAR(composition->segmentStart(2), 1.5, 0.001);
    EXPECT_EQ(composition->segments()[2].path, file);

    // A list of gaps alone loads too: the export uses such lists.
    ASSERT_TRUE(load(engine, {gap(0.25)}));
    ASSERT_TRUE(engine.length(&length));
    EXPECT_NEAR(length, 0.25, 0.001);
    // Only exports join gaps: playing them is refused rather than misplayed.
    EXPECT_FALSE(engine.startPlaying(std::nullopt, false));
}

TEST(LQPlayerSessionTest, ALoadOfFilesNoneOfWhichOpensFailsSoThatTheSessionRunsOnItsClock)
{
    lq::test::LogCapture log;
    LQPlayerSession engine;
    const QString missing = MediaFixtures::folder() + QStringLiteral("/gone.mov");
    EXPECT_FALSE(load(engine, {missing, missing}));
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to insert asset from ") + missing));
    double length = -1.0;
    EXPECT_FALSE(engine.length(&length));
    EXPECT_FALSE(engine.startPlaying(std::nullopt, false));

    // One good file is enough, even beside a gap; the missing one is skipped.
    EXPECT_TRUE(load(engine, {missing, soundFile(1.0), gap(0.5)}));
    ASSERT_TRUE(engine.length(&length));
    EXPECT_NEAR(length, 1.5, 0.05);
    EXPECT_FALSE(load(engine, {missing}));
    EXPECT_EQ(engine.composition(), nullptr);
}

TEST(LQPlayerSessionTest, BackwardsStartPlaysDownFromTheEndAndEndsAtZero)
{
    LQPlayerSession engine;
    EndCounter ends(engine);
    ASSERT_TRUE(load(engine, {soundFile(2.0)}));
    double length = 0.0;
    ASSERT_TRUE(engine.length(&length));

    ASSERT_TRUE(engine.startPlaying(std::nullopt, true));
    EXPECT_EQ(engine.rateAsSet(), -1.0f);
    const double first = positionOf(engine);
    EXPECT_NEAR(first, length, 0.1);
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return positionOf(engine) < first - 0.2; }, 10s));

    // Faster, to reach the start; the end leaves the position at zero.
    ASSERT_TRUE(engine.setRate(-4.0f));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !engine.currentlyPlaying(); }, 20s));
    EXPECT_EQ(ends.count, 1);
    double stopped = -1.0;
    EXPECT_FALSE(engine.currentTime(&stopped));
    EXPECT_FALSE(engine.setRate(1.0f));
    ASSERT_TRUE(engine.startPlaying(std::nullopt, false));
    expectPlayingFrom(engine, 0.0);
    EXPECT_TRUE(engine.stopPlaying());
    EXPECT_FALSE(engine.stopPlaying());
    EXPECT_EQ(ends.count, 2);
}

TEST(LQPlayerSessionTest, PositionMovesWhileStoppedButIsReportedOnlyWhilePlaying)
{
    LQPlayerSession engine;
    ASSERT_TRUE(load(engine, {soundFile(1.5), soundFile(2.0), soundFile(2.5)}));
    double seconds = -1.0;
    EXPECT_FALSE(engine.currentTime(&seconds));
    engine.setCurrentTime(2.75);
    EXPECT_FALSE(engine.currentTime(&seconds));
    ASSERT_TRUE(engine.startPlaying(std::nullopt, false));
    expectPlayingFrom(engine, 2.75);

    const double offset = 0.4;
    ASSERT_TRUE(engine.startPlaying(offset, false));
    expectPlayingFrom(engine, offset);
    ASSERT_TRUE(engine.setRate(2.0f));
    EXPECT_EQ(engine.rateAsSet(), 2.0f);
    EXPECT_TRUE(engine.stopPlaying());
    EXPECT_FALSE(engine.trimFrom(0.0, nullptr));
}

TEST(LQPlayerSessionTest, AudioBoostScalesThePlayersOwnVolume)
{
    const struct
    {
        QVariant boost;
        double volume;
    } cases[] = {
        {QVariant(), 1.0}, {QVariant(-1.0f), 1.0}, {QVariant(0.0f), 0.0}, {QVariant(5.0f), 5.0}};
    for (const auto &boostCase : cases) {
        SCOPED_TRACE(boostCase.boost.toString().toStdString());
        lq::test::TestUserDefaults defaults;
        defaults->setObject(QStringLiteral("audioBoost"), boostCase.boost);
        LQPlayerSession engine;
        ASSERT_TRUE(load(engine, {soundFile(2.0)}));
        ASSERT_TRUE(engine.startPlaying(0.0, false));
        EXPECT_DOUBLE_EQ(engine.player()->volume(), boostCase.volume);
        engine.stopPlaying();
    }

    lq::test::TestUserDefaults defaults;
    LQPlayerSession engine;
    ASSERT_TRUE(load(engine, {soundFile(2.0)}));
    const QString changed = QStringLiteral("audioBootChanged");
    ASSERT_TRUE(engine.startPlaying(0.0, false));
    defaults->setFloat(QStringLiteral("audioBoost"), 2.0f);
    lq::NotificationCenter::defaultCenter().post(changed);
    EXPECT_DOUBLE_EQ(engine.player()->volume(), 2.0);
    engine.stopPlaying();
    defaults->setFloat(QStringLiteral("audioBoost"), 0.0f);
    lq::NotificationCenter::defaultCenter().post(changed);
    EXPECT_DOUBLE_EQ(engine.player()->volume(), 2.0);
}

TEST(LQPlayerSessionTest, LoadingFilesOfAFolderKeepsOrRebuildsTheTimeline)
{
    QTemporaryDir first;
    QTemporaryDir second;
    for (const QTemporaryDir *folder : {&first, &second}) {
        ASSERT_TRUE(QFile::copy(soundFile(1.0), folder->filePath(QStringLiteral("a.mov"))));
        ASSERT_TRUE(QFile::copy(soundFile(2.0), folder->filePath(QStringLiteral("b.mov"))));
    }
    const QStringList names{QStringLiteral("a.mov"), QStringLiteral("b.mov")};
    LQPlayerSession engine;
    EndCounter ends(engine);
    EXPECT_FALSE(loadFiles(engine, names, QString()));
    ASSERT_TRUE(loadFiles(engine, names, first.path()));
    EXPECT_EQ(engine.path(), first.path());
    double loaded = 0.0;
    ASSERT_TRUE(engine.length(&loaded));

    // The same names from the same folder are not read again: a file gone since changes nothing.
    ASSERT_TRUE(QFile::remove(first.filePath(QStringLiteral("b.mov"))));
    ASSERT_TRUE(loadFiles(engine, names, first.path()));
    double length = 0.0;
    ASSERT_TRUE(engine.length(&length));
    EXPECT_EQ(length, loaded);

    // Another order rebuilds, without the file that is gone.
    ASSERT_TRUE(loadFiles(engine, {names[1], names[0]}, first.path()));
    ASSERT_TRUE(engine.length(&length));
    EXPECT_NEAR(length, 1.0, 0.05);

    // Another folder rebuilds; nothing loads while playing.
    ASSERT_TRUE(loadFiles(engine, names, second.path()));
    ASSERT_TRUE(engine.length(&length));
    EXPECT_NEAR(length, loaded, kTolerance);
    ASSERT_TRUE(engine.startPlaying(std::nullopt, false));
    EXPECT_FALSE(loadFiles(engine, names, first.path()));
    EXPECT_TRUE(engine.stopPlaying());
    EXPECT_EQ(ends.count, 1);

    // A folder where no file opens answers no and keeps nothing loaded.
    EXPECT_FALSE(loadFiles(engine, names, first.path() + QStringLiteral("/none")));
    EXPECT_FALSE(engine.length(&length));
}

TEST(LQPlayerSessionTest, PictureFillsItsViewLetterboxedWithoutDividingByZero)
{
    const struct
    {
        MediaFixture fixture;
        QSize view;
        QRect picture;
        QSizeF natural;
    } cases[] = {
        {MediaFixture::H264AacMov, {400, 200}, {67, 0, 267, 200}, {64, 48}},
        {MediaFixture::H264AacMov, {400, 400}, {0, 50, 400, 300}, {64, 48}},
        {MediaFixture::H264AacMov, {400, 0}, {0, 0, 400, 0}, {64, 48}},
        {MediaFixture::AacMov, {400, 200}, {0, 0, 400, 200}, {0, 0}},
    };
    for (const auto &pictureCase : cases) {
        SCOPED_TRACE(pictureCase.view.height());
        HostView view;
        view.resize(pictureCase.view);
        auto *earlier = new QWidget(&view);
        LQPlayerSession engine;
        engine.setPlayerView(&view);
        ASSERT_TRUE(load(engine, {MediaFixtures::path(pictureCase.fixture, 1.0)}));

        const QList<QWidget *> children = view.findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        ASSERT_EQ(children.size(), 1);
        EXPECT_FALSE(children.contains(earlier));
        ASSERT_NE(qobject_cast<lq::VideoSurface *>(children.first()), nullptr);
        EXPECT_EQ(qobject_cast<lq::VideoSurface *>(children.first())->gravity(),
                  lq::VideoSurface::Gravity::ResizeAspectFill);
        const QRect frame = children.first()->geometry();
        EXPECT_NEAR(frame.x(), pictureCase.picture.x(), 1);
        EXPECT_NEAR(frame.y(), pictureCase.picture.y(), 1);
        EXPECT_NEAR(frame.width(), pictureCase.picture.width(), 1);
        EXPECT_NEAR(frame.height(), pictureCase.picture.height(), 1);
        EXPECT_EQ(view.naturalSize(), std::optional(pictureCase.natural));
    }
}

TEST(LQPlayerSessionTest, AViewGivenAfterLoadingShowsThePicture)
{
    LQPlayerSession engine;
    ASSERT_TRUE(load(engine, {MediaFixtures::path(MediaFixture::H264AacMov, 3.0)}));
    HostView view;
    view.resize(320, 240);
    engine.setPlayerView(&view);
    auto *surface = view.findChild<lq::VideoSurface *>();
    ASSERT_NE(surface, nullptr);
    // Given again, the same view keeps its picture.
    engine.setPlayerView(&view);
    EXPECT_EQ(view.findChild<lq::VideoSurface *>(), surface);

    ASSERT_TRUE(engine.startPlaying(0.5, false));
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return surface->framesPresented() > 0; }, 10s));
    EXPECT_EQ(surface->frameSize(), QSize(64, 48));
    engine.stopPlaying();
}

TEST(LQPlayerSessionTest, RequestsMadeWhileTheFilesAreReadApplyOnceTheyAre)
{
    LQPlayerSession engine;
    EndCounter ends(engine);
    // Loading answers before any file is read: the answers come through the event loop.
    ASSERT_TRUE(engine.addMediaPaths({soundFile(1.5), soundFile(2.0), soundFile(2.5)}));
    ASSERT_TRUE(engine.isLoading());
    double seconds = -1.0;
    EXPECT_FALSE(engine.length(&seconds));
    EXPECT_FALSE(engine.currentTime(&seconds));
    engine.setCurrentTime(2.75);
    ASSERT_TRUE(engine.startPlaying(std::nullopt, false));
    ASSERT_TRUE(engine.setRate(2.0f));
    // The clock reads where playback will begin.
    ASSERT_TRUE(engine.currentTime(&seconds));
    EXPECT_EQ(seconds, 2.75);
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !engine.isLoading(); }, 20s));
    ASSERT_TRUE(engine.currentlyPlaying());
    expectPlayingFrom(engine, 2.75);
    EXPECT_EQ(engine.player()->rate(), 2.0);
    EXPECT_TRUE(engine.stopPlaying());

    // A load replaced before its files are read leaves no trace; a stop in between holds.
    ASSERT_TRUE(engine.addMediaPaths({soundFile(1.5)}));
    ASSERT_TRUE(engine.startPlaying(0.4, false));
    ASSERT_TRUE(engine.currentTime(&seconds));
    EXPECT_EQ(seconds, 0.4);
    ASSERT_TRUE(engine.addMediaPaths({soundFile(2.5)}));
    EXPECT_TRUE(engine.stopPlaying());
    EXPECT_EQ(ends.count, 2);
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !engine.isLoading(); }, 20s));
    ASSERT_TRUE(engine.length(&seconds));
    EXPECT_NEAR(seconds, 2.5, 0.05);
    EXPECT_FALSE(engine.currentlyPlaying());
    EXPECT_EQ(engine.player()->rate(), 0.0);

    // An engine gone before its files are read is not reached.
    auto gone = std::make_unique<LQPlayerSession>();
    ASSERT_TRUE(gone->addMediaPaths({soundFile(1.5)}));
    gone.reset();
    lq::runEventLoopUntil([] { return false; }, 500ms);
}

TEST(LQPlayerSessionTest, AStartMadeWhileLoadingAnUnplayableTimelineEndsPlayback)
{
    lq::test::LogCapture log;
    LQPlayerSession engine;
    EndCounter ends(engine);
    ASSERT_TRUE(engine.addMediaPaths({gap(0.5)}));
    ASSERT_TRUE(engine.startPlaying(std::nullopt, true));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !engine.isLoading(); }, 20s));
    EXPECT_FALSE(engine.currentlyPlaying());
    EXPECT_EQ(ends.count, 1);
    EXPECT_TRUE(log.contains(QStringLiteral("The timeline cannot be played")));
}

// A copy of file whose sample at fraction of its length claims an impossible size, so that
// reading stops with an error when playback gets there.
QString withBrokenSample(const QString &file, double fraction)
{
    QFile source(file);
    EXPECT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray data = source.readAll();
    const qsizetype table = data.indexOf("stsz");
    EXPECT_GT(table, 0);
    const auto readWord = [&data](qsizetype at) {
        return quint32(quint8(data[at])) << 24 | quint32(quint8(data[at + 1])) << 16 |
               quint32(quint8(data[at + 2])) << 8 | quint32(quint8(data[at + 3]));
    };
    const quint32 count = readWord(table + 12);
    const qsizetype entry = table + 16 + 4 * qsizetype(count * fraction);
    for (int i = 0; i < 4; ++i)
        data[entry + i] = char(i == 0 ? 0x7f : 0xf0);
    const QString broken = MediaFixtures::folder() + QStringLiteral("/broken-sample.mov");
    QFile out(broken);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(data);
    return broken;
}

TEST(LQPlayerSessionTest, AFileThatFailsMidPlayIsLoggedAndStopsWithoutAnAlert)
{
    lq::test::ScriptedAlertPresenter alerts;
    lq::test::LogCapture log;
    LQPlayerSession engine;
    EndCounter ends(engine);
    ASSERT_TRUE(load(engine, {withBrokenSample(soundFile(6.0), 0.9)}));
    ASSERT_TRUE(engine.startPlaying(0.0, false));
    ASSERT_TRUE(engine.currentlyPlaying());
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !engine.currentlyPlaying(); }, 20s));
    EXPECT_EQ(ends.count, 1);
    EXPECT_TRUE(log.contains(QStringLiteral("Player item failed to reach end: ")))
        << log.lines().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(alerts.count(), 0);
    double seconds = 0.0;
    EXPECT_FALSE(engine.currentTime(&seconds));
}

} // namespace
