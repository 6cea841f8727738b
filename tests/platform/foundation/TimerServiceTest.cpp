// The timer service lives in the foundation; its tests sit here until that folder's test
// program takes them.

#include "platform/foundation/TimerService.h"

#include "platform/foundation/ClockSource.h"
#include "support/ManualTimerService.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using lq::Timer;
using lq::test::ManualTimerService;

// Runs the main event loop until quit() or a generous limit, so that a fault fails instead of
// hanging.
class MainLoop
{
public:
    void run()
    {
        QTimer::singleShot(5000, &m_loop, [this] {
            m_timedOut = true;
            m_loop.quit();
        });
        m_loop.exec();
    }
    void quit() { m_loop.quit(); }
    bool timedOut() const { return m_timedOut; }

private:
    QEventLoop m_loop;
    bool m_timedOut = false;
};

TEST(QtTimerServiceTest, OneShotFiresOnceOnTheMainThreadEvenWhenScheduledElsewhere)
{
    lq::QtTimerService service;
    MainLoop loop;
    int fired = 0;
    bool onMainThread = false;
    std::unique_ptr<Timer> timer;
    std::thread worker([&] {
        timer = service.scheduleOnce(0.001, [&] {
            ++fired;
            onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
            loop.quit();
        });
    });
    worker.join();
    EXPECT_TRUE(timer->isValid());
    EXPECT_DOUBLE_EQ(timer->interval(), 0.001);
    loop.run();
    ASSERT_FALSE(loop.timedOut());
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(onMainThread);
    EXPECT_FALSE(timer->isValid());
}

TEST(QtTimerServiceTest, InvalidatedOrDestroyedTimersDoNotFire)
{
    lq::QtTimerService service;
    MainLoop loop;
    int fired = 0;
    auto invalidated = service.scheduleOnce(0.0, [&] { ++fired; });
    invalidated->invalidate();
    EXPECT_FALSE(invalidated->isValid());
    service.scheduleOnce(0.0, [&] { ++fired; }); // handle dropped at once
    auto last = service.scheduleOnce(0.005, [&] { loop.quit(); });
    loop.run();
    ASSERT_FALSE(loop.timedOut());
    EXPECT_EQ(fired, 0);
}

TEST(QtTimerServiceTest, RepeatingTimerRunsUntilItsCallbackDestroysIt)
{
    lq::QtTimerService service;
    MainLoop loop;
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = service.scheduleRepeating(0.001, [&] {
        if (++fired == 3) {
            timer.reset();
            QTimer::singleShot(5, [&] { loop.quit(); });
        }
    });
    loop.run();
    ASSERT_FALSE(loop.timedOut());
    EXPECT_EQ(fired, 3);
}

TEST(QtTimerServiceTest, RestartFromTheCallbackRearmsTheTimer)
{
    lq::QtTimerService service;
    MainLoop loop;
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = service.scheduleOnce(0.0, [&] {
        if (++fired < 3)
            timer->restart(0.002);
        else
            loop.quit();
    });
    loop.run();
    ASSERT_FALSE(loop.timedOut());
    EXPECT_EQ(fired, 3);
    EXPECT_DOUBLE_EQ(timer->interval(), 0.002);
}

struct Interleaving
{
    const char *name;
    // Calls made from a tick, in order; "worker ..." ones from another thread.
    std::vector<std::string> calls;
    bool firesAgain;
};

// Whatever order a tick's re-arming and another thread's calls take, the timer fires again
// exactly when it answers that it is valid.
TEST(QtTimerServiceTest, ValidAnswersWhetherItWillFireWhateverThreadCallsFirst)
{
    const std::vector<Interleaving> table{
        {"stopped elsewhere, re-armed by the tick", {"worker invalidate", "restart"}, true},
        {"re-armed elsewhere, stopped by the tick", {"worker restart", "invalidate"}, false},
        {"re-armed by the tick, stopped elsewhere", {"restart", "worker invalidate"}, false},
        {"stopped by the tick, re-armed elsewhere", {"invalidate", "worker restart"}, true},
        {"both elsewhere", {"worker restart", "worker invalidate"}, false},
    };
    lq::QtTimerService service;
    for (const Interleaving &row : table) {
        SCOPED_TRACE(row.name);
        MainLoop loop;
        QObject context;
        int fired = 0;
        bool validAfterCalls = false;
        std::unique_ptr<Timer> timer;
        timer = service.scheduleOnce(0.0, [&] {
            if (++fired > 1)
                return;
            for (const std::string &call : row.calls) {
                const bool restarts = call.ends_with("restart");
                auto run = [&] { restarts ? timer->restart(0.001) : timer->invalidate(); };
                if (call.starts_with("worker"))
                    std::thread(run).join();
                else
                    run();
            }
            validAfterCalls = timer->isValid();
            QTimer::singleShot(100, &context, [&] { loop.quit(); });
        });
        loop.run();
        ASSERT_FALSE(loop.timedOut());
        EXPECT_EQ(validAfterCalls, row.firesAgain);
        EXPECT_EQ(fired == 2, row.firesAgain);
        EXPECT_FALSE(timer->isValid()); // a one-shot timer that fired, or one never to fire
    }
}

TEST(ManualTimerServiceTest, FiresSoonestDueFirstAndMovesTheClockToIt)
{
    lq::ManualClockSource clock;
    const lq::ClockSource *previousClock = lq::ClockSource::setCurrent(&clock);
    const uint64_t start = clock.monotonicNanoseconds();
    {
        ManualTimerService service(&clock);
        QList<int> order;
        auto late = service.scheduleOnce(2.0, [&] { order.append(2); });
        auto early = service.scheduleOnce(0.5, [&] { order.append(1); });
        auto dropped = service.scheduleOnce(1.0, [&] { order.append(99); });
        dropped->invalidate();
        EXPECT_EQ(service.pendingIntervals(), (QList<double>{0.5, 2.0}));

        ASSERT_TRUE(service.fireNext());
        EXPECT_DOUBLE_EQ(service.now(), 0.5);
        EXPECT_EQ(clock.monotonicNanoseconds() - start, 500'000'000u);
        ASSERT_TRUE(service.fireNext());
        EXPECT_FALSE(service.fireNext());
        EXPECT_EQ(order, (QList<int>{1, 2}));
        EXPECT_DOUBLE_EQ(service.now(), 2.0);
        EXPECT_EQ(service.scheduledIntervals(), (QList<double>{2.0, 0.5, 1.0}));
    }
    lq::ClockSource::setCurrent(previousClock);
}

TEST(ManualTimerServiceTest, FireAllLeavesWhatTheCallbacksArmPending)
{
    ManualTimerService service;
    int ticks = 0;
    std::unique_ptr<Timer> clockTimer;
    clockTimer = service.scheduleOnce(0.7, [&] {
        ++ticks;
        clockTimer->restart(1.0);
    });
    auto repeating = service.scheduleRepeating(0.25, [&] { ++ticks; });

    EXPECT_EQ(service.fireAll(), 2);
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(service.pendingCount(), 2);
    EXPECT_EQ(service.pendingIntervals(), (QList<double>{0.25, 1.0}));

    repeating.reset();
    clockTimer.reset();
    EXPECT_EQ(service.pendingCount(), 0);
    EXPECT_FALSE(service.fireNext());
}

} // namespace
