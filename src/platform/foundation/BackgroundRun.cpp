#include "platform/foundation/BackgroundRun.h"

#include "platform/foundation/MainThread.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <thread>

namespace lq {

bool runInBackground(const std::function<bool()> &work)
{
    if (!QCoreApplication::instance() || !isMainThread())
        return work();
    std::atomic<bool> done{false};
    bool result = false;
    std::thread worker([&work, &done, &result] {
        result = work();
        done.store(true);
    });
    // The work ends by its own time limit; the wait has none of its own.
    runEventLoopUntil([&done] { return done.load(); }, std::chrono::hours(24 * 365));
    worker.join();
    return result;
}

} // namespace lq
