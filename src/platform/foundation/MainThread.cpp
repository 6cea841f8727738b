#include "platform/foundation/MainThread.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/ThreadHandOver.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace lq {
namespace {

using namespace std::chrono_literals;

// How long runEventLoopUntil waits for events before it looks at its predicate again.
constexpr std::chrono::milliseconds pollInterval = 10ms;

// How many waits and event passes of this thread, whose callers go on afterwards, are running.
thread_local int nestedWaits = 0;

// Marks a wait or an event pass whose caller goes on working when it returns.
struct NestedWait
{
    NestedWait() { ++nestedWaits; }
    ~NestedWait() { --nestedWaits; }
    NestedWait(const NestedWait &) = delete;
    NestedWait &operator=(const NestedWait &) = delete;
};

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
        {
            std::lock_guard lock(mutex);
            status = Status::Finished;
        }
        stopWatchingContext();
    }

    void cancel()
    {
        std::function<void()> dropped; // released outside the lock: its captures may be anything
        {
            std::lock_guard lock(mutex);
            if (status != Status::Pending)
                return;
            status = Status::Cancelled;
            dropped.swap(work);
        }
        stopWatchingContext();
    }

    bool isPending()
    {
        std::lock_guard lock(mutex);
        return status == Status::Pending;
    }

    // Cancels the call when context is destroyed first.
    static void watchContext(const std::shared_ptr<State> &state, const QObject *context)
    {
        const QMetaObject::Connection watch =
            QObject::connect(context, &QObject::destroyed, [weak = std::weak_ptr(state)] {
                if (const std::shared_ptr<State> alive = weak.lock())
                    alive->cancel();
            });
        std::lock_guard lock(state->mutex);
        state->contextWatch = watch;
    }

    // Disconnected outside the lock: the context may be emitting its destruction right now.
    void stopWatchingContext()
    {
        QMetaObject::Connection watch;
        {
            std::lock_guard lock(mutex);
            watch = std::exchange(contextWatch, {});
        }
        QObject::disconnect(watch);
    }

    std::mutex mutex;
    Status status = Status::Pending;
    std::function<void()> work;
    QMetaObject::Connection contextWatch;
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
    return postToMainThread(nullptr, std::move(work), delay);
}

PostedCall postToMainThread(const QObject *context, std::function<void()> work,
                            std::chrono::milliseconds delay)
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
    if (context)
        PostedCall::State::watchContext(call.m_state, context);
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

namespace detail {

void waitForMainThread(const std::function<void()> &work, std::chrono::milliseconds patience)
{
    struct Handoff
    {
        std::mutex mutex;
        std::condition_variable over;
        bool finished = false;
        bool ran = false;
    };
    // Owned by the posted call alone, so it goes when the call has run or was dropped unrun
    // (an application that quits deletes the calls still queued for it).
    struct Finisher
    {
        explicit Finisher(std::shared_ptr<Handoff> handoff) : handoff(std::move(handoff)) {}
        Finisher(const Finisher &) = delete;
        Finisher &operator=(const Finisher &) = delete;
        std::shared_ptr<Handoff> handoff;
        ~Finisher()
        {
            std::lock_guard lock(handoff->mutex);
            handoff->finished = true;
            handoff->over.notify_all();
        }
    };
    const auto handoff = std::make_shared<Handoff>();
    static const char token = 0;
    handOver(&token, [&] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [&work, finisher = std::make_shared<Finisher>(handoff)] {
                takeOver(&token);
                work();
                std::lock_guard lock(finisher->handoff->mutex);
                finisher->handoff->ran = true;
            },
            Qt::QueuedConnection);
    });

    std::unique_lock lock(handoff->mutex);
    const auto finished = [&] { return handoff->finished; };
    if (!handoff->over.wait_for(lock, patience, finished)) {
        log(QStringLiteral("Program error, a call to the main thread has not been taken for %1 ms; "
                           "the main thread may be waiting for the thread that called it, and "
                           "then both wait forever")
                .arg(patience.count()));
        handoff->over.wait(lock, finished);
    }
    if (!handoff->ran)
        log(QStringLiteral("Program error, a call to the main thread was dropped unrun: the "
                           "application quit first"));
}

} // namespace detail

bool runEventLoopUntil(const std::function<bool()> &done, std::chrono::milliseconds timeLimit)
{
    const QDeadlineTimer deadline(std::max(timeLimit, 0ms), Qt::PreciseTimer);
    // Without an application object there are no events to process: just wait between checks.
    std::optional<QEventLoop> loop;
    if (QCoreApplication::instance())
        loop.emplace(); // also gives a thread without one an event dispatcher
    // Deletions deferred outside any event loop wait for one to run; the outermost wait stands
    // in for it. A nested wait leaves the deletions its caller deferred to the caller's return.
    const bool deletesDeferred = nestedWaits == 0 && QThread::currentThread()->loopLevel() == 0;
    const NestedWait nested;
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
            if (deletesDeferred)
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        } else {
            std::this_thread::sleep_for(wait);
        }
    }
    return true;
}

void processPendingEvents(QEventLoop::ProcessEventsFlags flags)
{
    const NestedWait nested;
    QCoreApplication::processEvents(flags);
}

bool isInsideNestedEventLoop()
{
    return nestedWaits > 0 || QThread::currentThread()->loopLevel() > 1;
}

} // namespace lq
