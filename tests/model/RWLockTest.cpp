// Plain C++ and GoogleTest only: this file is also built alone under ThreadSanitizer.

#include "model/RWLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr auto kLimit = 10s;     // a step that should happen does so well within this
constexpr auto kBlocked = 200ms; // how long a step that must not happen is watched

// Runs work on its own thread. A thread still blocked when the call is destroyed is detached,
// so that a lock fault shows as a failed expectation instead of a hung test; the work keeps
// what it uses alive through shared pointers.
class BackgroundCall
{
public:
    explicit BackgroundCall(std::function<void()> work)
    {
        auto done = std::make_shared<std::promise<void>>();
        m_done = done->get_future();
        m_thread = std::thread([work = std::move(work), done] {
            work();
            done->set_value();
        });
    }
    ~BackgroundCall()
    {
        if (finishedWithin(0ms))
            m_thread.join();
        else
            m_thread.detach();
    }
    BackgroundCall(const BackgroundCall &) = delete;
    BackgroundCall &operator=(const BackgroundCall &) = delete;

    bool finishedWithin(std::chrono::milliseconds limit)
    {
        return m_done.wait_for(limit) == std::future_status::ready;
    }

private:
    std::future<void> m_done;
    std::thread m_thread;
};

// Polls the lock's counters until they satisfy test, within kLimit.
bool eventually(const RWLock &lock, const std::function<bool(const RWLock::State &)> &test)
{
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (test(lock.state()))
            return true;
        std::this_thread::sleep_for(1ms);
    }
    return false;
}

void expectState(const RWLock &lock, uint32_t readers, uint32_t writers, uint32_t waitingWriters)
{
    const RWLock::State state = lock.state();
    EXPECT_EQ(state.readers, readers);
    EXPECT_EQ(state.writers, writers);
    EXPECT_EQ(state.waitingWriters, waitingWriters);
}

// The order in which threads reached their steps.
struct StepLog
{
    void add(std::string step)
    {
        std::lock_guard lock(mutex);
        steps.push_back(std::move(step));
    }
    std::mutex mutex;
    std::vector<std::string> steps;
};

TEST(RWLockTest, ReadersShareTheLockAndAWriterExcludesEveryone)
{
    auto lock = std::make_shared<RWLock>();
    lock->acquireReader();
    {
        BackgroundCall second([lock] { lock->acquireReader(); });
        ASSERT_TRUE(second.finishedWithin(kLimit));
    }
    expectState(*lock, 2, 0, 0);
    lock->releaseReader();
    lock->releaseReader();

    lock->acquireWriter();
    BackgroundCall reader([lock] {
        lock->acquireReader();
        lock->releaseReader();
    });
    BackgroundCall writer([lock] {
        lock->acquireWriter();
        lock->releaseWriter();
    });
    EXPECT_FALSE(reader.finishedWithin(kBlocked));
    EXPECT_FALSE(writer.finishedWithin(0ms));
    lock->releaseWriter();
    EXPECT_TRUE(reader.finishedWithin(kLimit));
    EXPECT_TRUE(writer.finishedWithin(kLimit));
    expectState(*lock, 0, 0, 0);
}

TEST(RWLockTest, ReaderArrivingWhileWriterWaitsWaitsForThatWriter)
{
    auto lock = std::make_shared<RWLock>();
    auto log = std::make_shared<StepLog>();
    auto releaseWriter = std::make_shared<std::promise<void>>();

    lock->acquireReader();
    BackgroundCall writer([lock, log, go = releaseWriter->get_future().share()] {
        lock->acquireWriter();
        log->add("writer acquired");
        go.wait();
        log->add("writer releasing");
        lock->releaseWriter();
    });
    ASSERT_TRUE(eventually(*lock, [](const RWLock::State &s) { return s.waitingWriters == 1; }));

    BackgroundCall reader([lock, log] {
        lock->acquireReader();
        log->add("reader acquired");
        lock->releaseReader();
    });
    EXPECT_FALSE(reader.finishedWithin(kBlocked));

    lock->releaseReader();
    ASSERT_TRUE(eventually(*lock, [](const RWLock::State &s) { return s.writers == 1; }));
    EXPECT_FALSE(reader.finishedWithin(kBlocked));
    releaseWriter->set_value();
    ASSERT_TRUE(writer.finishedWithin(kLimit));
    ASSERT_TRUE(reader.finishedWithin(kLimit));
    std::lock_guard guard(log->mutex);
    EXPECT_EQ(log->steps,
              (std::vector<std::string>{"writer acquired", "writer releasing", "reader acquired"}));
}

TEST(RWLockTest, UpgradeWaitsOnlyForOtherReaders)
{
    auto lock = std::make_shared<RWLock>();
    const auto upgrade = [lock] {
        lock->acquireReader();
        lock->upgradeToWriter();
    };
    {
        BackgroundCall sole(upgrade);
        ASSERT_TRUE(sole.finishedWithin(kLimit));
    }
    expectState(*lock, 0, 1, 0);
    lock->releaseWriter();

    lock->acquireReader();
    BackgroundCall waiting(upgrade);
    ASSERT_TRUE(eventually(*lock, [](const RWLock::State &s) { return s.waitingWriters == 1; }));
    EXPECT_FALSE(waiting.finishedWithin(kBlocked));
    lock->releaseReader();
    ASSERT_TRUE(waiting.finishedWithin(kLimit));
    expectState(*lock, 0, 1, 0);
}

TEST(RWLockTest, DowngradeLetsReadersInAndKeepsWritersOut)
{
    auto lock = std::make_shared<RWLock>();
    lock->acquireWriter();
    BackgroundCall reader([lock] { lock->acquireReader(); });
    EXPECT_FALSE(reader.finishedWithin(kBlocked));
    lock->downgradeToReader();
    ASSERT_TRUE(reader.finishedWithin(kLimit));

    BackgroundCall writer([lock] { lock->acquireWriter(); });
    EXPECT_FALSE(writer.finishedWithin(kBlocked));
    lock->releaseReader();
    EXPECT_FALSE(writer.finishedWithin(kBlocked));
    lock->releaseReader();
    ASSERT_TRUE(writer.finishedWithin(kLimit));
    EXPECT_EQ(lock->state().writers, 1u);
}

// Writers change a pair of plain integers together; readers must never see them differ. Only
// thread 0 upgrades, since two readers that upgrade at once wait for each other for ever.
// ThreadSanitizer reports any access that the lock fails to order.
TEST(RWLockTest, ConcurrentReadersAndWritersSeeConsistentData)
{
    struct Shared
    {
        RWLock lock;
        long first = 0;
        long second = 0;
        std::mutex mismatchMutex;
        int mismatches = 0;
    };
    auto shared = std::make_shared<Shared>();
    constexpr int kThreads = 6;
    constexpr int kRounds = 2000;
    const auto writes = [](int thread, int round) { return (round + thread) % 3 == 0; };

    const auto change = [](Shared &s) {
        ++s.first;
        ++s.second;
    };
    std::vector<std::unique_ptr<BackgroundCall>> calls;
    for (int t = 0; t < kThreads; ++t) {
        calls.push_back(std::make_unique<BackgroundCall>([shared, t, writes, change] {
            for (int round = 0; round < kRounds; ++round) {
                if (writes(t, round) && t == 0) {
                    shared->lock.acquireReader();
                    shared->lock.upgradeToWriter();
                    change(*shared);
                    shared->lock.downgradeToReader();
                    shared->lock.releaseReader();
                } else if (writes(t, round)) {
                    shared->lock.acquireWriter();
                    change(*shared);
                    shared->lock.releaseWriter();
                } else {
                    shared->lock.acquireReader();
                    const bool same = shared->first == shared->second;
                    shared->lock.releaseReader();
                    if (!same) {
                        std::lock_guard lock(shared->mismatchMutex);
                        ++shared->mismatches;
                    }
                }
            }
        }));
    }
    long expectedWrites = 0;
    for (int t = 0; t < kThreads; ++t) {
        for (int round = 0; round < kRounds; ++round)
            expectedWrites += writes(t, round) ? 1 : 0;
    }
    for (auto &call : calls)
        ASSERT_TRUE(call->finishedWithin(kLimit * 3));
    shared->lock.acquireReader();
    EXPECT_EQ(shared->mismatches, 0);
    EXPECT_EQ(shared->first, expectedWrites);
    EXPECT_EQ(shared->second, expectedWrites);
    shared->lock.releaseReader();
}

} // namespace
