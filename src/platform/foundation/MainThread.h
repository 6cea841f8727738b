#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>

namespace lq {

// Whether the caller runs on the application's thread; false while no application object exists.
bool isMainThread();

// How long runOnMainThread waits for the main thread before it reports a program error.
inline constexpr std::chrono::milliseconds mainThreadCallPatience = std::chrono::seconds(5);

namespace detail {
// Runs work on the main thread and waits until it ran, or was dropped with the application.
void waitForMainThread(const std::function<void()> &work, std::chrono::milliseconds patience);
} // namespace detail

// Runs work on the main thread and waits for its result; runs it inline when already there, or
// when no application object exists to run it. A thread that the main thread may be waiting for
// (joining it, taking a lock it holds, waiting for its signal) must not call this: both would
// wait forever. Such a thread posts instead, or the main thread waits with runEventLoopUntil,
// which goes on taking calls. A call not taken within patience is logged as a program error,
// and the wait goes on.
template <class Work>
auto runOnMainThread(Work &&work, std::chrono::milliseconds patience = mainThreadCallPatience)
    -> std::invoke_result_t<Work>
{
    if (!QCoreApplication::instance() || isMainThread())
        return work();
    using Result = std::invoke_result_t<Work>;
    if constexpr (std::is_void_v<Result>) {
        detail::waitForMainThread([&] { work(); }, patience);
    } else {
        Result result{};
        detail::waitForMainThread([&] { result = work(); }, patience);
        return result;
    }
}

// A call posted to the main thread; cancel() stops it if it has not started yet.
class PostedCall
{
public:
    PostedCall() = default;
    void cancel();
    bool isPending() const;

private:
    friend PostedCall postToMainThread(const QObject *, std::function<void()>,
                                       std::chrono::milliseconds);
    struct State;
    std::shared_ptr<State> m_state;
};

// Runs work on the main thread later: on the next pass of its event loop, or after delay
// (counted from the call). Without an application object the work is dropped and logged.
PostedCall postToMainThread(std::function<void()> work,
                            std::chrono::milliseconds delay = std::chrono::milliseconds(0));
// The same, dropped (as if cancelled, its captures released) when context is destroyed before
// the work starts: work may use context without guarding it. Destroying context while the work
// runs remains the caller's fault; a context living on the main thread cannot do that.
PostedCall postToMainThread(const QObject *context, std::function<void()> work,
                            std::chrono::milliseconds delay = std::chrono::milliseconds(0));

// Processes events of the current thread until done() holds or the time limit passes; answers
// whether done() held. done() is also checked every few milliseconds, so it may watch state
// that other threads change. Called outside any event loop, each turn also deletes the objects
// whose deletion was deferred (deleteLater); nested in one, the deletions that its caller
// deferred wait for the caller to return, as with any nested event loop.
bool runEventLoopUntil(const std::function<bool()> &done, std::chrono::milliseconds timeLimit);

// Processes the events already waiting, as a nested event loop does: a caller that goes on
// working afterwards is inside one meanwhile (isInsideNestedEventLoop holds).
void processPendingEvents(QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

// Whether this thread runs an event loop inside another (a modal dialog's, or a
// runEventLoopUntil wait) whose caller still works on when it returns.
bool isInsideNestedEventLoop();

} // namespace lq
