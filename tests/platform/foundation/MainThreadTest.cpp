#include "platform/foundation/MainThread.h"

#include "support/LogCapture.h"

#include <QObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
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

TEST(MainThreadTest, PostedCallsWithAContextAreDroppedWhenItGoes)
{
    struct Case
    {
        const char *what;
        std::chrono::milliseconds delay;
        bool postedByWorker;
        bool contextDestroyed;
    };
    const Case cases[] = {
        {"context kept", 0ms, false, false},
        {"context destroyed", 0ms, false, true},
        {"context destroyed before the delay passed", 20ms, false, true},
        {"posted by a worker, context kept", 5ms, true, false},
        {"posted by a worker, context destroyed", 5ms, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        auto context = std::make_unique<QObject>();
        auto capture = std::make_shared<int>(0);
        bool ran = false;
        lq::PostedCall call;
        const auto post = [&] {
            call = lq::postToMainThread(
                context.get(), [&ran, capture] { ran = true; }, c.delay);
        };
        if (c.postedByWorker)
            std::thread(post).join();
        else
            post();
        if (c.contextDestroyed) {
            context.reset();
            EXPECT_FALSE(call.isPending());
            EXPECT_EQ(capture.use_count(), 1); // the work and what it holds are gone
        }
        bool markerRan = false;
        lq::postToMainThread([&] { markerRan = true; }, c.delay + 5ms);
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return markerRan; }, patience));
        EXPECT_EQ(ran, !c.contextDestroyed);
        EXPECT_FALSE(call.isPending());
    }
}

TEST(MainThreadTest, RunEventLoopUntilDeletesWhatWasDeferred)
{
    struct Case
    {
        const char *what;
        std::function<void(QObject *)> deferDeletion;
    };
    const Case cases[] = {
        {"at the top level", [](QObject *object) { object->deleteLater(); }},
        {"in a posted call",
         [](QObject *object) { lq::postToMainThread([object] { object->deleteLater(); }); }},
        {"by a worker",
         [](QObject *object) { std::thread([object] { object->deleteLater(); }).join(); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        bool destroyed = false;
        auto *object = new QObject;
        QObject::connect(object, &QObject::destroyed, [&] { destroyed = true; });
        c.deferDeletion(object);
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return destroyed; }, patience));
    }

    // An object whose deletion a running call deferred lives until that call returns.
    bool destroyed = false;
    bool destroyedWhileTheCallRan = true;
    auto *object = new QObject;
    QObject::connect(object, &QObject::destroyed, [&] { destroyed = true; });
    lq::postToMainThread([&] {
        object->deleteLater();
        destroyedWhileTheCallRan = lq::runEventLoopUntil([&] { return destroyed; }, 30ms);
    });
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return destroyed; }, patience));
    EXPECT_FALSE(destroyedWhileTheCallRan);
}

TEST(MainThreadTest, RunOnMainThreadReportsAMainThreadThatDoesNotTakeTheCall)
{
    struct Case
    {
        const char *what;
        bool mainThreadWaitsForTheWorker;
    };
    const Case cases[] = {
        {"main thread runs its event loop", false},
        {"main thread waits for the worker", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        lq::test::LogCapture log;
        std::atomic<bool> finished{false};
        int result = 0;
        std::thread worker([&] {
            result = lq::runOnMainThread([] { return 7; }, 500ms);
            finished = true;
        });
        if (c.mainThreadWaitsForTheWorker) {
            // Blocked without taking calls, until the waiting worker has spoken up.
            const auto giveUp = std::chrono::steady_clock::now() + patience;
            while (!log.contains("Program error") && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::sleep_for(5ms);
        }
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return finished.load(); }, patience));
        worker.join();
        EXPECT_EQ(result, 7);
        EXPECT_EQ(log.contains("Program error"), c.mainThreadWaitsForTheWorker);
    }
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

// Work that runs while a caller processes events (a progress window painting, a wait) knows
// the caller goes on afterwards; outside them it does not.
TEST(MainThreadTest, EventsProcessedForACallerCountAsANestedLoop)
{
    EXPECT_FALSE(lq::isInsideNestedEventLoop());
    const auto nestedWhenRun = [](const std::function<void()> &processEvents) {
        std::optional<bool> nested;
        lq::postToMainThread([&] { nested = lq::isInsideNestedEventLoop(); });
        processEvents();
        return nested;
    };
    EXPECT_EQ(nestedWhenRun([] { lq::processPendingEvents(); }), true);
    EXPECT_EQ(nestedWhenRun([] { lq::runEventLoopUntil([] { return false; }, 20ms); }), true);
    EXPECT_FALSE(lq::isInsideNestedEventLoop());
}

} // namespace
