#include "RecordedMovieChecks.h"
#include "RecordingRig.h"
#include "support/SmallTmpfs.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// Records sound and pictures into stem until the session ends by itself; answers the seconds
// from the first data to the moment the session stopped.
double recordUntilItFails(lq::test::RecordingRig &rig, const QString &stem)
{
    EXPECT_TRUE(rig.engine.startRecording(stem, true, true));
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return !rig.owner.started.isEmpty(); }, 10s));
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return rig.owner.stopped > 0; }, 30s));
    const double seconds = double(clock.elapsed()) / 1000.0;
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return rig.owner.completed > 0; }, 15s));
    lq::runEventLoopUntil([] { return false; }, 300ms); // lets a second report arrive, if any
    return seconds;
}

TEST(WriterFailureTest, FullDiskKeepsEverythingRecordedAndTellsOnce)
{
    lq::test::SmallTmpfs disk(250'000);
    if (!disk.mounted())
        GTEST_SKIP() << disk.whyNot().toStdString();
    lq::test::RecordingRig rig;
    const QString stem = QDir(disk.path()).filePath(QStringLiteral("recording-1."));
    const double recorded = recordUntilItFails(rig, stem);

    ASSERT_EQ(rig.errors.reports.size(), 1);
    EXPECT_EQ(rig.errors.reports[0].message,
              QStringLiteral("Error, disk is full. Cannot continue recording."));
    const QString path = stem + QStringLiteral("0.mov");
    EXPECT_GT(QFileInfo(path).size(), 150'000);
    QStringList files;
    rig.engine.prepareToSave(&files);
    EXPECT_EQ(files, QStringList{QFileInfo(path).fileName()});
    lq::test::expectPlaysSoundAndPictures({path}, recorded - lq::test::kMostSecondsLost);
}

TEST(WriterFailureTest, FolderMovedAwayWhileRecordingKeepsWhatWasWritten)
{
    lq::test::RecordingRig rig;
    rig.engine.setSizeCheck(40'000, 250ms); // would start a new file every second or so
    const QString folder = rig.path(QStringLiteral("note"));
    const QString trash = rig.path(QStringLiteral("trash"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString stem = QDir(folder).filePath(QStringLiteral("recording-1."));
    ASSERT_TRUE(rig.engine.startRecording(stem, true, true));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !rig.owner.started.isEmpty(); }, 10s));
    // Removed as into the trash: the file being written goes with it, and no file is made or
    // opened again where the folder was.
    ASSERT_TRUE(QDir().rename(folder, trash));
    lq::runEventLoopUntil([] { return false; }, 3s);
    QStringList names;
    ASSERT_TRUE(rig.stop(&names));

    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_EQ(rig.errors.reports.size(), 0);
    const QStringList files =
        lq::test::sessionFiles(QDir(trash).filePath(QStringLiteral("recording-1.")));
    ASSERT_EQ(files.size(), 1);
    lq::test::expectPlaysSoundAndPictures(files, 3.0 - lq::test::kMostSecondsLost);
}

} // namespace
