#include "RecordedMovieChecks.h"
#include "RecordingRig.h"
#include "platform/media/FragmentedMovie.h"
#include "platform/media/FragmentedMovieRepair.h"
#include "support/KilledChild.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace std::chrono_literals;

namespace {

// The child records into this stem until it is killed; with the other variable set it starts a
// new file whenever the current one holds that many bytes.
const char *const kChildStemVariable = "LUMAQUILL_CRASH_CHILD_STEM";
const char *const kChildSwitchBytesVariable = "LUMAQUILL_CRASH_CHILD_SWITCH_BYTES";
constexpr auto kRecordedBeforeKill = 6s;

TEST(CrashSafetyTest, ChildRecordsUntilKilled)
{
    const QString stem = qEnvironmentVariable(kChildStemVariable);
    if (stem.isEmpty())
        GTEST_SKIP() << "run by KilledRecordingLeavesPlayableFiles";
    lq::test::RecordingRig rig;
    const qint64 switchBytes = qEnvironmentVariableIntValue(kChildSwitchBytesVariable);
    if (switchBytes > 0)
        rig.engine.setSizeCheck(switchBytes, 250ms);
    ASSERT_TRUE(rig.engine.startRecording(stem, true, true));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !rig.owner.started.isEmpty(); }, 10s));
    std::printf("recording\n");
    std::fflush(stdout);
    lq::runEventLoopUntil([] { return false; }, 60s);
}

TEST(CrashSafetyTest, KilledRecordingLeavesPlayableFiles)
{
    struct Case
    {
        const char *name;
        qint64 switchBytes; // 0: one file
        int leastFiles;
    };
    const Case cases[] = {{"one file", 0, 1}, {"several files", 40'000, 3}};
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        QTemporaryDir folder;
        const QString stem = QDir(folder.path()).filePath(QStringLiteral("recording-1."));
        lq::test::ChildTestProcess running(
            QStringLiteral("CrashSafetyTest.ChildRecordsUntilKilled"),
            {{kChildStemVariable, stem},
             {kChildSwitchBytesVariable, QString::number(test.switchBytes)}});
        ASSERT_TRUE(running.waitForLine("recording", 20s)) << running.output().toStdString();
        ASSERT_TRUE(running.killAfter(kRecordedBeforeKill));
        EXPECT_EQ(running.process().exitStatus(), QProcess::CrashExit);

        QStringList files = lq::test::sessionFiles(stem);
        // Killed within its first fragment, the last file has no header yet: it holds less than
        // the fragment a crash may lose.
        lq::Error error;
        if (files.size() > 1 && !lq::MediaInfo::probe(files.last(), 10s, &error))
            files.removeLast();
        EXPECT_GE(files.size(), test.leastFiles);
        const double asked = std::chrono::duration<double>(kRecordedBeforeKill).count();
        lq::test::expectPlaysSoundAndPictures(files, asked - lq::test::kMostSecondsLost);

        // Repaired, as when the note is opened, the files keep all of it.
        for (const QString &path : std::as_const(files)) {
            EXPECT_NE(lq::FragmentedMovieRepair::repair(path, &error),
                      lq::FragmentedMovieRepair::Outcome::Failed)
                << error.localizedDescription().toStdString();
        }
        EXPECT_FALSE(lq::FragmentedMovie::lengths(files.last()));
        lq::test::expectPlaysSoundAndPictures(files, asked - lq::test::kMostSecondsLost);
    }
}

} // namespace
