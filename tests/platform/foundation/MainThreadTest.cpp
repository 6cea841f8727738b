#include "platform/foundation/MainThread.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Generous: the conditions below hold within milliseconds unless something is broken.
constexpr std::chrono::milliseconds patience = 10s;

TEST(MainThreadTest, WorkerGetsAResultFromTheMainThread)
{
    EXPECT_TRUE(lq::isMainThread());
    std::atomic<bool> finished{false};
    bool workerIsMain = true;
    int result = 0;
    bool voidWorkRanOnMain = false;
    std::thread worker([&] {
        workerIsMain = lq::isMainThread();
        result = lq::runOnMainThread([] { return lq::isMainThread() ? 42 : -1; });
        lq::runOnMainThread([&] { voidWorkRanOnMain = lq::isMainThread(); });
        finished = true;
    });
    const bool done = lq::runEventLoopUntil([&] { return finished.load(); }, patience);
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(workerIsMain);
    EXPECT_EQ(result, 42);
    EXPECT_TRUE(voidWorkRanOnMain);
    // On the main thread itself the work runs inline; queuing it would wait forever.
    EXPECT_EQ(lq::runOnMainThread([] { return QStringLiteral("inline"); }), "inline");
}

TEST(MainThreadTest, PostedCallsRunInOrderOfTheirDelays)
{
    QStringList order;
    const auto note = [&](const char *what) { return [&order, what] { order.append(what); }; };
    lq::PostedCall late = lq::postToMainThread(note("late"), 60ms);
    lq::PostedCall cancelled = lq::postToMainThread(note("cancelled"));
    lq::PostedCall soon = lq::postToMainThread(note("soon"), 20ms);
    lq::postToMainThread(note("next pass"));
    EXPECT_TRUE(cancelled.isPending());
    cancelled.cancel();
    EXPECT_FALSE(cancelled.isPending());
    EXPECT_TRUE(order.isEmpty()); // nothing runs before the event loop does

    EXPECT_TRUE(lq::runEventLoopUntil([&] { return !late.isPending(); }, patience));
    EXPECT_EQ(order, QStringList({"next pass", "soon", "late"}));
    EXPECT_FALSE(soon.isPending());
    cancelled.cancel(); // again, and after everything ran: no effect
    EXPECT_FALSE(lq::PostedCall().isPending());
}

TEST(MainThreadTest, CancelFromAWorkerBeforeTheCallRuns)
{
    bool ran = false;
    lq::PostedCall call = lq::postToMainThread([&] { ran = true; }, 1ms);
    std::thread([&] { call.cancel(); }).join();
    bool marker = false;
    lq::postToMainThread([&] { marker = true; }, 5ms);
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return marker; }, patience));
    EXPECT_FALSE(ran);
}

TEST(MainThreadTest, PostFromAWorkerRunsOnTheMainThread)
{
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> ran{false};
    std::thread([&] {
        lq::postToMainThread([&] {
            ranOnMain = lq::isMainThread();
            ran = true;
        });
    }).join();
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return ran.load(); }, patience));
    EXPECT_TRUE(ranOnMain);
}

TEST(MainThreadTest, RunEventLoopUntilAnswersWhetherThePredicateHeld)
{
    EXPECT_TRUE(lq::runEventLoopUntil([] { return true; }, 0ms));
    EXPECT_FALSE(lq::runEventLoopUntil([] { return false; }, 0ms));
    EXPECT_FALSE(lq::runEventLoopUntil([] { return false; }, 20ms));

    // State changed by another thread without any event is still noticed.
    std::atomic<bool> flag{false};
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        flag = true;
    });
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return flag.load(); }, patience));
    setter.join();
}

TEST(MainThreadTest, RunEventLoopUntilWorksOnAWorkerThread)
{
    bool held = false;
    std::thread([&] {
        int passes = 0;
        held = lq::runEventLoopUntil([&] { return ++passes > 3; }, patience);
    }).join();
    EXPECT_TRUE(held);
}

} // namespace
