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

TEST(MainThreadTest, WorkersPostToTheMainThreadAndCancelWhatIsPosted)
{
    bool cancelledRan = false;
    lq::PostedCall call = lq::postToMainThread([&] { cancelledRan = true; }, 1ms);
    std::atomic<int> onMain{-1};
    std::atomic<bool> markerRan{false};
    std::thread([&] {
        call.cancel();
        lq::postToMainThread([&] { onMain = lq::isMainThread() ? 1 : 0; });
        lq::postToMainThread([&] { markerRan = true; }, 5ms);
    }).join();
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return markerRan && onMain >= 0; }, patience));
    EXPECT_EQ(onMain, 1);
    EXPECT_FALSE(cancelledRan);
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

    bool heldOnWorker = false;
    std::thread([&] {
        int passes = 0;
        heldOnWorker = lq::runEventLoopUntil([&] { return ++passes > 3; }, patience);
    }).join();
    EXPECT_TRUE(heldOnWorker);
}

} // namespace
