#include "LegacyRig.h"
#include "platform/media/FragmentedMovie.h"
#include "support/KilledChild.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cstdio>

using namespace std::chrono_literals;
using lq::test::LegacyRig;

namespace {

// The child records into this stem, saving every second, until it is killed.
const char *const kChildStemVariable = "LUMAQUILL_LEGACY_CRASH_CHILD_STEM";
constexpr auto kRecordedBeforeKill = 5s;
// A kill loses what the writer held: the last fragment and the pictures before a keyframe.
constexpr double kMostSecondsLost = 2.0;

TEST(CrashSafetyTest, ChildRecordsAndSavesUntilKilled)
{
    const QString stem = qEnvironmentVariable(kChildStemVariable);
    if (stem.isEmpty())
        GTEST_SKIP() << "run by KilledRecordingKeepsEveryPartialFile";
    LegacyRig legacy;
    ASSERT_TRUE(legacy.rig.engine.startRecording(stem, true, true));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !legacy.rig.owner.started.isEmpty(); }, 10s));
    std::printf("recording\n");
    std::fflush(stdout);
    for (;;)
        legacy.recordAndSave(1s);
}

TEST(CrashSafetyTest, KilledRecordingKeepsEveryPartialFile)
{
    QTemporaryDir folder;
    const QString stem = QDir(folder.path()).filePath(QStringLiteral("recording-1."));
    lq::test::ChildTestProcess running(
        QStringLiteral("CrashSafetyTest.ChildRecordsAndSavesUntilKilled"),
        {{kChildStemVariable, stem}});
    ASSERT_TRUE(running.waitForLine("recording", 20s)) << running.output().toStdString();
    ASSERT_TRUE(running.killAfter(kRecordedBeforeKill));

    double kept = 0.0;
    int files = 0;
    for (QString path; QFileInfo::exists(path = stem + QStringLiteral("%1.mov").arg(files));
         ++files) {
        const auto info = lq::MediaInfo::probe(path, 10s, nullptr);
        kept += std::max(info ? info->duration : 0.0,
                         lq::FragmentedMovie::playableDuration(path).value_or(0.0));
    }
    EXPECT_GE(files, 4);
    EXPECT_GE(kept, std::chrono::duration<double>(kRecordedBeforeKill).count() - kMostSecondsLost);
}

} // namespace
