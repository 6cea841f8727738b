#include "platform/foundation/BackgroundRun.h"

#include "platform/foundation/MainThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(BackgroundRunTest, WorksOnAnotherThreadWhileTheMainThreadHandlesEvents)
{
    for (const bool answer : {true, false}) {
        std::atomic<bool> postedCallRan{false};
        std::thread::id workThread;
        lq::postToMainThread([&postedCallRan] { postedCallRan = true; });
        const bool result = lq::runInBackground([&] {
            workThread = std::this_thread::get_id();
            // Ends only once the main thread has handled the call posted before.
            while (!postedCallRan)
                std::this_thread::yield();
            return answer;
        });
        EXPECT_EQ(result, answer);
        EXPECT_NE(workThread, std::this_thread::get_id());
    }
}

} // namespace
