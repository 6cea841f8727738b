#include "engines/legacy/WrenPlayerSession.h"

#include "platform/media/MediaInfo.h"
#include "support/FixedGap.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;
using lq::test::gap;
using lq::test::MediaFixture;
using lq::test::MediaFixtures;
using Kind = lq::TimelineSegment::Kind;

namespace {

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

class WrenPlayerSessionTest : public testing::Test
{
protected:
    WrenPlayerSessionTest() { engine.setTempDir(temp()); }
    QString temp() const { return m_temp.path(); }

    QTemporaryDir m_temp;
    WrenPlayerSession engine;
};

// The movie's stretches as "kind@start" and its length, in seconds rounded to a quarter.
QString layoutOf(const WrenPlayerSession &engine)
{
    if (!engine.movie())
        return QStringLiteral("none");
    const char *const kinds[] = {"media", "silence", "black", "missing"};
    const auto seconds = [](double value) { return QString::number(std::round(value * 4) / 4); };
    QStringList parts;
    for (const lq::TimelineSegment &segment : engine.movie()->segments())
        parts.append(QLatin1String(kinds[int(segment.kind)]) + '@' + seconds(segment.start));
    return parts.join(' ') + " =" + seconds(engine.movie()->duration());
}

TEST_F(WrenPlayerSessionTest, BuildsOneTimelineOfFilesFillersAndMissingStretches)
{
    const QString movie = MediaFixtures::path(MediaFixture::H264AacMov, 2.0);
    const QString sound = MediaFixtures::path(MediaFixture::AacMov, 2.0);
    const QString longer = MediaFixtures::path(MediaFixture::AacMov, 3.0);
    const QString missing = temp() + QStringLiteral("/missing.mov");
    const struct
    {
        const char *name;
        const char *layout;    // "none": the load answers false
        QList<double> lengths; // of the files, as the session clock tells them
        QList<LQMediaElement> elements;
    } cases[] = {
        {"one file", "media@0 =2", {}, {movie}},
        {"one missing file", "none", {}, {missing}},
        {"fillers", "silence@0 media@1 black@3 =4.25", {}, {gap(1.0), movie, gap(1.25)}},
        {"gaps alone", "silence@0 silence@1 =1.5", {}, {gap(1.0), gap(0.5)}},
        {"a gap without a length", "media@0 =2", {}, {gap(std::nullopt), sound}},
        {"a missing file keeps its length",
         "media@0 missing@3 media@5 =7",
         {3.0, 2.0, 4.0},
         {longer, missing, sound}},
        {"a missing file just past the lengths",
         "media@0 media@3 =5",
         {3.0},
         {longer, missing, sound}},
        {"a missing file beyond the lengths", "none", {3.0}, {longer, sound, missing}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WrenPlayerSession engine;
        engine.setTempDir(temp());
        engine.setSubSessionLengths(c.lengths);
        const bool loads = QLatin1String(c.layout) != QLatin1String("none");
        EXPECT_EQ(engine.addMediaPaths(c.elements), loads);
        EXPECT_EQ(layoutOf(engine), QLatin1String(c.layout));
        // Only a timeline of several pieces is described in a file.
        EXPECT_EQ(filesIn(temp()), loads && c.elements.size() > 1
                                       ? QStringList{QStringLiteral("playerTmp-0.mov")}
                                       : QStringList());
        EXPECT_FALSE(engine.startPlaying(std::nullopt, false));
    }
    EXPECT_TRUE(filesIn(temp()).isEmpty());
}

TEST_F(WrenPlayerSessionTest, TheDescriptionTakesTheFirstFreeNameAndGoesWithReset)
{
    const QStringList taken{QStringLiteral("playerTmp-0.mov"), QStringLiteral("playerTmp-1.mov")};
    for (const QString &name : taken)
        ASSERT_TRUE(QFile(QDir(temp()).filePath(name)).open(QIODevice::WriteOnly));
    const QString sound = MediaFixtures::path(MediaFixture::AacMov, 2.0);
    const QString described = QDir(temp()).filePath(QStringLiteral("playerTmp-2.mov"));
    for (int load = 0; load < 2; ++load) {
        ASSERT_TRUE(engine.addMediaPaths({gap(1.0), sound}));
        EXPECT_EQ(engine.temporaryMovieFile(), described);
        EXPECT_EQ(filesIn(temp()).size(), 3);
    }
    engine.reset();
    EXPECT_EQ(engine.movie(), nullptr);
    EXPECT_EQ(filesIn(temp()), taken);
    // Without its temporary folder the engine cannot assemble again.
    EXPECT_FALSE(engine.addMediaPaths({gap(1.0), sound}));
}

TEST_F(WrenPlayerSessionTest, MovingTheCurrentTimeChangesThePictureShown)
{
    const QStringList session = MediaFixtures::recordedSession(2, 2.0);
    ASSERT_TRUE(engine.addMediaPaths({session[0], session[1], gap(1.0)}));
    lq::MovieTimeline *movie = engine.movie();
    ASSERT_EQ(movie->naturalSize(), QSize(64, 48));
    QList<double> told;
    QObject::connect(movie, &lq::MovieTimeline::currentTimeChanged,
                     [&](double seconds) { told.append(seconds); });
    engine.setCurrentTime(0.3);
    engine.setCurrentTime(1.6);
    engine.setCurrentTime(99.0);
    EXPECT_EQ(told, (QList<double>{0.3, 1.6, movie->duration()}));

    lq::Error error;
    const QImage early = movie->frameAt(0.3, &error);
    ASSERT_EQ(early.size(), QSize(64, 48)) << error.localizedDescription().toStdString();
    EXPECT_NE(early, movie->frameAt(1.6)); // the ball moves
    EXPECT_FALSE(movie->frameAt(2.4).isNull());
    const QImage filler = movie->frameAt(movie->duration() - 0.5);
    ASSERT_EQ(filler.size(), QSize(64, 48));
    EXPECT_EQ(qGray(filler.pixel(32, 24)), 0);

    // Sound alone has no picture.
    ASSERT_TRUE(engine.addMediaPaths({MediaFixtures::path(MediaFixture::AacMov, 2.0)}));
    EXPECT_EQ(engine.movie()->naturalSize(), std::nullopt);
    EXPECT_TRUE(engine.movie()->frameAt(1.0).isNull());
}

TEST_F(WrenPlayerSessionTest, CroppingKeepsTheBeginningUnderTheFirstNameAndResets)
{
    QTemporaryDir notes;
    QStringList names;
    for (const QString &file : MediaFixtures::recordedSession(3, 2.0)) {
        names.append(QFileInfo(file).fileName());
        ASSERT_TRUE(QFile::copy(file, QDir(notes.path()).filePath(names.last())));
    }
    EXPECT_FALSE(engine.addMediaFiles(names, QString()));
    ASSERT_TRUE(engine.addMediaFiles(names, notes.path()));
    // The same files again keep the movie.
    const lq::MovieTimeline *movie = engine.movie();
    ASSERT_TRUE(engine.addMediaFiles(names, notes.path()));
    EXPECT_EQ(engine.movie(), movie);

    QStringList newFiles;
    ASSERT_TRUE(engine.trimFrom(3.5, &newFiles));
    EXPECT_EQ(newFiles, QStringList{names.first()});
    EXPECT_EQ(filesIn(notes.path()), QStringList{names.first()});
    const auto info =
        lq::MediaInfo::probe(QDir(notes.path()).filePath(names.first()), 10s, nullptr);
    ASSERT_TRUE(info);
    EXPECT_NEAR(info->duration, 3.5, 0.05);
    EXPECT_EQ(engine.movie(), nullptr);
    EXPECT_TRUE(engine.tempDir().isEmpty());
    EXPECT_TRUE(filesIn(temp()).isEmpty());
}

} // namespace
