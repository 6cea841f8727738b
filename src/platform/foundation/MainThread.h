#pragma once

#include "platform/foundation/ThreadHandOver.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>

namespace lq {

// Whether the caller runs on the application's thread; false while no application object exists.
bool isMainThread();

// Runs work on the main thread and waits for its result; runs it inline when already there, or
// when no application object exists to run it.
template <class Work>
auto runOnMainThread(Work &&work) -> std::invoke_result_t<Work>
{
    if (!QCoreApplication::instance() || isMainThread())
        return work();
    using Result = std::invoke_result_t<Work>;
    static const char token = 0;
    const auto post = [&](auto &&onMain) {
        handOver(&token, [&] {
            QMetaObject::invokeMethod(QCoreApplication::instance(), onMain,
                                      Qt::BlockingQueuedConnection);
        });
        takeOver(&token);
    };
    if constexpr (std::is_void_v<Result>) {
        post([&] {
            takeOver(&token);
            work();
            handOver(&token, [] {});
        });
    } else {
        Result result{};
        post([&] {
            takeOver(&token);
            result = work();
            handOver(&token, [] {});
        });
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
    friend PostedCall postToMainThread(std::function<void()>, std::chrono::milliseconds);
    struct State;
    std::shared_ptr<State> m_state;
};

// Runs work on the main thread later: on the next pass of its event loop, or after delay
// (counted from the call). Without an application object the work is dropped and logged.
PostedCall postToMainThread(std::function<void()> work,
                            std::chrono::milliseconds delay = std::chrono::milliseconds(0));

// Processes events of the current thread until done() holds or the time limit passes; answers
// whether done() held. done() is also checked every few milliseconds, so it may watch state
// that other threads change.
bool runEventLoopUntil(const std::function<bool()> &done, std::chrono::milliseconds timeLimit);

} // namespace lq
