#include "LegacyRig.h"
#include "platform/foundation/FileOperations.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <numeric>
#include <thread>

using namespace std::chrono_literals;
using lq::test::LegacyRig;

namespace {

class FailingReplace final : public lq::LocalFileOperations
{
public:
    bool replace(const QString &, const QString &, lq::Error *error) override
    {
        lq::setError(error, lq::Error(QStringLiteral("test"), 1, QStringLiteral("No room.")));
        return false;
    }
};

enum class Interference { None, FailingReplace, SaveDuringJoin };

// Lets a save come while the join waits to put its result in place: the test holds a read lock
// of its own until the save has asked the join to give up.
QStringList saveDuringJoin(WrenRecordingSession &engine)
{
    RWLock &lock = engine.partialFiles().lock();
    lock.acquireReader();
    engine.startMerge();
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return lock.state().waitingWriters > 0; }, 10s));
    QStringList saved;
    std::thread save([&] { engine.prepareToSave(&saved); });
    while (!engine.cancelMerging())
        std::this_thread::sleep_for(1ms);
    lock.releaseReader();
    save.join();
    return saved;
}

TEST(PartialFileJoinTest, ThirteenFilesJoinIntoTheFirstAndEveryFailureKeepsThemAll)
{
    const struct
    {
        const char *name;
        int files;
        Interference interference;
    } rows[] = {
        {"twelve files", 12, Interference::None},
        {"thirteen files join", 13, Interference::None},
        {"failing replace", 13, Interference::FailingReplace},
        {"save during the join", 13, Interference::SaveDuringJoin},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        LegacyRig legacy;
        auto &rig = legacy.rig;
        ASSERT_TRUE(rig.start(true, false));
        for (int i = 1; i < row.files; ++i)
            legacy.recordAndSave(300ms);
        QStringList files;
        ASSERT_TRUE(rig.stop(&files));
        ASSERT_EQ(files.size(), row.files);
        const QList<double> lengths = *rig.engine.lengths();
        ASSERT_EQ(lengths.size(), row.files - 1);

        FailingReplace failing;
        if (row.interference == Interference::FailingReplace)
            lq::FileOperations::setCurrent(&failing);
        if (row.interference == Interference::SaveDuringJoin) {
            EXPECT_EQ(saveDuringJoin(rig.engine), files);
        } else {
            rig.engine.startMerge();
            lq::runEventLoopUntil([] { return false; }, 50ms);
        }
        rig.engine.waitForJoin();
        lq::FileOperations::setCurrent(nullptr);
        EXPECT_FALSE(rig.engine.merging());

        const bool joins = row.files == 13 && row.interference == Interference::None;
        const QStringList kept = joins ? QStringList{files.first(), files.last()} : files;
        EXPECT_EQ(legacy.partialNames(), kept);
        QStringList left = QDir(rig.folder.path()).entryList(QDir::Files);
        QStringList sortedKept = kept;
        left.sort();
        sortedKept.sort();
        EXPECT_EQ(left, sortedKept);
        if (!joins) {
            EXPECT_EQ(*rig.engine.lengths(), lengths);
            continue;
        }
        const double joined = std::accumulate(lengths.begin(), lengths.end(), 0.0);
        EXPECT_EQ(rig.engine.lengths()->size(), 1);
        EXPECT_NEAR(rig.engine.lengths()->value(0), joined, 0.05);
        const auto info = rig.probe(files.first());
        ASSERT_TRUE(info);
        EXPECT_NEAR(info->duration, joined, 0.1);
    }
}

TEST(PartialFileJoinTest, AMissingFileIsWaitedForOnceAndLeftOut)
{
    LegacyRig legacy;
    auto &rig = legacy.rig;
    rig.engine.partialFiles().setMissingFileWait(300ms);
    ASSERT_TRUE(rig.start(true, false));
    legacy.recordAndSave(300ms);
    legacy.recordAndSave(300ms);
    QStringList files;
    ASSERT_TRUE(rig.stop(&files));
    ASSERT_EQ(files.size(), 3);
    ASSERT_TRUE(QFile::remove(rig.path(files[0])));
    ASSERT_TRUE(QFile::remove(rig.path(files[1])));
    QElapsedTimer clock;
    clock.start();
    QStringList saved;
    EXPECT_TRUE(rig.engine.prepareToSave(&saved));
    // Both missing files share one wait.
    EXPECT_LT(clock.elapsed(), 600);
    EXPECT_EQ(saved, QStringList{files[2]});
}

} // namespace
