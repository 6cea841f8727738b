#include "platform/foundation/MainThread.h"

#include "platform/foundation/Log.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <mutex>
#include <optional>
#include <thread>

namespace lq {
namespace {

using namespace std::chrono_literals;

// How long runEventLoopUntil waits for events before it looks at its predicate again.
constexpr std::chrono::milliseconds pollInterval = 10ms;

std::chrono::milliseconds roundedUp(std::chrono::nanoseconds duration)
{
    return std::chrono::ceil<std::chrono::milliseconds>(duration);
}

} // namespace

bool isMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

struct PostedCall::State
{
    enum class Status { Pending, Running, Finished, Cancelled };

    explicit State(std::function<void()> work) : work(std::move(work)) {}

    void runIfPending()
    {
        std::function<void()> taken;
        {
            std::lock_guard lock(mutex);
            if (status != Status::Pending)
                return;
            status = Status::Running;
            taken = std::move(work);
        }
        taken();
        std::lock_guard lock(mutex);
        status = Status::Finished;
    }

    void cancel()
    {
        std::function<void()> dropped; // released outside the lock: its captures may be anything
        std::lock_guard lock(mutex);
        if (status != Status::Pending)
            return;
        status = Status::Cancelled;
        dropped.swap(work);
    }

    bool isPending()
    {
        std::lock_guard lock(mutex);
        return status == Status::Pending;
    }

    std::mutex mutex;
    Status status = Status::Pending;
    std::function<void()> work;
};

void PostedCall::cancel()
{
    if (m_state)
        m_state->cancel();
}

bool PostedCall::isPending() const
{
    return m_state && m_state->isPending();
}

PostedCall postToMainThread(std::function<void()> work, std::chrono::milliseconds delay)
{
    PostedCall call;
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || !work) {
        log(QStringLiteral("postToMainThread: dropped a call (%1)")
                .arg(app ? QStringLiteral("no work given")
                         : QStringLiteral("no application object")));
        return call;
    }
    call.m_state = std::make_shared<PostedCall::State>(std::move(work));
    const QDeadlineTimer due(std::max(delay, 0ms), Qt::PreciseTimer);
    // Hop to the main thread first: only there may a timer for the main thread be started.
    static const char token = 0;
    handOver(&token, [&] {
        QMetaObject::invokeMethod(
            app,
            [app, due, state = call.m_state] {
                takeOver(&token);
                const std::chrono::nanoseconds remaining = due.remainingTimeAsDuration();
                if (remaining <= 0ns)
                    state->runIfPending();
                else
                    QTimer::singleShot(roundedUp(remaining), Qt::PreciseTimer, app,
                                       [state] { state->runIfPending(); });
            },
            Qt::QueuedConnection);
    });
    return call;
}

bool runEventLoopUntil(const std::function<bool()> &done, std::chrono::milliseconds timeLimit)
{
    const QDeadlineTimer deadline(std::max(timeLimit, 0ms), Qt::PreciseTimer);
    // Without an application object there are no events to process: just wait between checks.
    std::optional<QEventLoop> loop;
    if (QCoreApplication::instance())
        loop.emplace(); // also gives a thread without one an event dispatcher
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        const std::chrono::nanoseconds remaining = deadline.remainingTimeAsDuration();
        if (remaining <= 0ns)
            return false;
        const std::chrono::milliseconds wait = std::min(roundedUp(remaining), pollInterval);
        if (loop) {
            wakeUp.start(wait);
            loop->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        } else {
            std::this_thread::sleep_for(wait);
        }
    }
    return true;
}

} // namespace lq
