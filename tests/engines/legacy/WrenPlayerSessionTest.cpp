#include "engines/legacy/WrenPlayerSession.h"

#include "platform/foundation/FileOperations.h"
#include "platform/media/MediaInfo.h"
#include "support/FixedGap.h"
#include "support/FolderContents.h"
#include "support/MediaFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    WrenPlayerSessionTest() { engine.setTempDir(m_temp.path()); }

    QString temp() const { return m_temp.path(); }

    WrenPlayerSession engine;

private:
    QTemporaryDir m_temp;
};

TEST_F(WrenPlayerSessionTest, BuildsOneTimelineOfFilesFillersAndMissingStretches)
{
    struct Case
    {
        const char *name;
        QList<LQMediaElement> elements;
        QList<double> lengths; // of the files, as the session clock tells them
        bool answer;
        QList<Kind> kinds; // none: no timeline
        QList<double> starts;
        double total;
        bool described; // in a description file of the temporary folder
    };
    const QString movie = MediaFixtures::path(MediaFixture::H264AacMov, 2.0);
    const QString sound = MediaFixtures::path(MediaFixture::AacMov, 2.0);
    const QString longer = MediaFixtures::path(MediaFixture::AacMov, 3.0);
    const QString missing = temp() + QStringLiteral("/missing.mov");
    const Case cases[] = {
        {"one file", {movie}, {}, true, {Kind::Media}, {0.0}, 2.0, false},
        {"one missing file", {missing}, {}, false, {}, {}, 0.0, false},
        {"silence before pictures, black after",
         {gap(1.0), movie, gap(1.25)},
         {},
         true,
         {Kind::Silence, Kind::Media, Kind::Black},
         {0.0, 1.0, 3.0},
         4.25,
         true},
        {"gaps alone",
         {gap(1.0), gap(0.5)},
         {},
         true,
         {Kind::Silence, Kind::Silence},
         {0.0, 1.0},
         1.5,
         true},
        {"a gap without a length",
         {gap(std::nullopt), sound},
         {},
         true,
         {Kind::Media},
         {0.0},
         2.0,
         true},
        {"a missing file keeps its length",
         {longer, missing, sound},
         {3.0, 2.0, 4.0},
         true,
         {Kind::Media, Kind::Missing, Kind::Media},
         {0.0, 3.0, 5.0},
         7.0,
         true},
        {"a missing file just past the lengths",
         {longer, missing, sound},
         {3.0},
         true,
         {Kind::Media, Kind::Media},
         {0.0, 3.0},
         5.0,
         true},
        {"a missing file beyond the lengths",
         {longer, sound, missing},
         {3.0},
         false,
         {},
         {},
         0.0,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WrenPlayerSession engine;
        engine.setTempDir(temp());
        engine.setSubSessionLengths(c.lengths);
        EXPECT_EQ(engine.addMediaPaths(c.elements), c.answer);
        EXPECT_EQ(filesIn(temp()),
                  c.described ? QStringList{QStringLiteral("playerTmp-0.mov")} : QStringList());
        EXPECT_FALSE(engine.startPlaying(std::nullopt, false));
        if (c.kinds.isEmpty()) {
            EXPECT_EQ(engine.movie(), nullptr);
            continue;
        }
        ASSERT_NE(engine.movie(), nullptr);
        QList<Kind> kinds;
        QList<double> starts;
        for (const lq::TimelineSegment &segment : engine.movie()->segments()) {
            kinds.append(segment.kind);
            starts.append(segment.start);
        }
        EXPECT_EQ(kinds, c.kinds);
        ASSERT_EQ(starts.size(), c.starts.size());
        for (qsizetype i = 0; i < starts.size(); ++i)
            EXPECT_NEAR(starts[i], c.starts[i], 0.05) << i;
        EXPECT_NEAR(engine.movie()->duration(), c.total, 0.05);
    }
    EXPECT_TRUE(filesIn(temp()).isEmpty());
}

TEST_F(WrenPlayerSessionTest, TheDescriptionTakesTheFirstFreeNameAndGoesWithReset)
{
    for (const char *taken : {"playerTmp-0.mov", "playerTmp-1.mov"}) {
        QFile file(QDir(temp()).filePath(QString::fromLatin1(taken)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString sound = MediaFixtures::path(MediaFixture::AacMov, 2.0);
    const QString described = QDir(temp()).filePath(QStringLiteral("playerTmp-2.mov"));
    for (int load = 0; load < 2; ++load) {
        ASSERT_TRUE(engine.addMediaPaths({gap(1.0), sound}));
        EXPECT_EQ(engine.temporaryMovieFile(), described);
        EXPECT_EQ(filesIn(temp()).size(), 3);
    }
    // What is read back is what was assembled.
    lq::Error error;
    const std::unique_ptr<lq::MovieTimeline> read = lq::MovieTimeline::read(described, &error);
    ASSERT_TRUE(read) << error.localizedDescription().toStdString();
    EXPECT_EQ(read->segments(), engine.movie()->segments());

    engine.reset();
    EXPECT_EQ(engine.movie(), nullptr);
    EXPECT_EQ(filesIn(temp()),
              (QStringList{QStringLiteral("playerTmp-0.mov"), QStringLiteral("playerTmp-1.mov")}));
    // Without its temporary folder the engine cannot assemble again.
    EXPECT_FALSE(engine.addMediaPaths({gap(1.0), sound}));
}

TEST_F(WrenPlayerSessionTest, LoadingTheSameFilesAgainKeepsTheMovie)
{
    QTemporaryDir notes;
    const QStringList names{QStringLiteral("a.mov"), QStringLiteral("b.mov")};
    for (const QString &name : names)
        ASSERT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::AacMov, 2.0),
                                QDir(notes.path()).filePath(name)));
    EXPECT_FALSE(engine.addMediaFiles(names, QString()));
    ASSERT_TRUE(engine.addMediaFiles(names, notes.path()));
    const lq::MovieTimeline *movie = engine.movie();
    EXPECT_TRUE(engine.addMediaFiles(names, notes.path()));
    EXPECT_EQ(engine.movie(), movie);
    EXPECT_EQ(engine.path(), notes.path());
    ASSERT_TRUE(engine.addMediaFiles(names.mid(1), notes.path()));
    EXPECT_NEAR(engine.movie()->duration(), 2.0, 0.05);
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
    ASSERT_FALSE(early.isNull()) << error.localizedDescription().toStdString();
    const QImage later = movie->frameAt(1.6);
    const QImage second = movie->frameAt(2.4);
    EXPECT_EQ(early.size(), QSize(64, 48));
    EXPECT_NE(early, later); // the ball moves
    EXPECT_FALSE(second.isNull());
    const QImage filler = movie->frameAt(movie->duration() - 0.5);
    ASSERT_EQ(filler.size(), QSize(64, 48));
    EXPECT_EQ(qGray(filler.pixel(32, 24)), 0);

    // Sound alone has no picture.
    ASSERT_TRUE(engine.addMediaPaths({MediaFixtures::path(MediaFixture::AacMov, 2.0)}));
    EXPECT_EQ(engine.movie()->naturalSize(), std::nullopt);
    EXPECT_TRUE(engine.movie()->frameAt(1.0).isNull());
}

TEST_F(WrenPlayerSessionTest, CroppingKeepsTheBeginningUnderTheFirstNameOrLeavesEveryFile)
{
    struct Case
    {
        const char *name;
        bool renameFails;
        bool answer;
        QStringList left;
    };
    const QStringList session = MediaFixtures::recordedSession(3, 2.0);
    QStringList names;
    for (const QString &file : session)
        names.append(QFileInfo(file).fileName());
    const Case cases[] = {
        {"cut", false, true, {names.first()}},
        {"the cut cannot take the first file's place", true, false, names},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir notes;
        for (const QString &file : session)
            ASSERT_TRUE(QFile::copy(file, QDir(notes.path()).filePath(QFileInfo(file).fileName())));
        const QMap<QString, QByteArray> before = lq::test::folderContents(notes.path());
        lq::FailingFileOperations failing([&](const QString &operation, const QString &path) {
            return c.renameFails && operation == QLatin1String("replace") &&
                   path.endsWith(names.first());
        });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        WrenPlayerSession engine;
        engine.setTempDir(temp());
        ASSERT_TRUE(engine.addMediaFiles(names, notes.path()));
        QStringList newFiles;
        EXPECT_EQ(engine.trimFrom(3.5, &newFiles), c.answer);
        lq::FileOperations::setCurrent(previous);

        EXPECT_EQ(engine.movie(), nullptr);
        EXPECT_TRUE(engine.tempDir().isEmpty());
        EXPECT_EQ(filesIn(notes.path()), c.left);
        if (!c.answer) {
            EXPECT_EQ(lq::test::folderContents(notes.path()), before);
            continue;
        }
        EXPECT_EQ(newFiles, QStringList{names.first()});
        lq::Error error;
        const std::optional<lq::MediaInfo> info =
            lq::MediaInfo::probe(QDir(notes.path()).filePath(names.first()), 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_NEAR(info->duration, 3.5, 0.05);
    }
    EXPECT_TRUE(filesIn(temp()).isEmpty());
}

} // namespace
