#include "LegacyRig.h"
#include "platform/foundation/FileOperations.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

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

struct JoinRow
{
    const char *name;
    int files;
    Interference interference;
    bool joins;
};

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
    const JoinRow rows[] = {
        {"twelve files", 12, Interference::None, false},
        {"thirteen files", 13, Interference::None, true},
        {"failing replace", 13, Interference::FailingReplace, false},
        {"save during the join", 13, Interference::SaveDuringJoin, false},
    };
    for (const JoinRow &row : rows) {
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

        QStringList left = QDir(rig.folder.path()).entryList(QDir::Files);
        left.sort();
        QStringList sortedFiles = files;
        sortedFiles.sort();
        if (!row.joins) {
            EXPECT_EQ(legacy.partialNames(), files);
            EXPECT_EQ(*rig.engine.lengths(), lengths);
            EXPECT_EQ(left, sortedFiles);
            continue;
        }
        EXPECT_EQ(legacy.partialNames(), (QStringList{files.first(), files.last()}));
        double joined = 0.0;
        for (qsizetype i = 0; i < row.files - 1; ++i)
            joined += lengths[i];
        ASSERT_EQ(rig.engine.lengths()->size(), 1);
        EXPECT_NEAR(rig.engine.lengths()->first(), joined, 0.05);
        const auto info = rig.probe(files.first());
        ASSERT_TRUE(info);
        EXPECT_NEAR(info->duration, joined, 0.1);
        EXPECT_EQ(left, (QStringList{files.first(), files.last()}));
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
