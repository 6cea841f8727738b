#include "platform/foundation/TimerService.h"

#include "platform/foundation/ReplaceableService.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>

namespace lq {
namespace {

std::chrono::milliseconds toMilliseconds(double seconds)
{
    if (!(seconds > 0.0))
        return std::chrono::milliseconds(0);
    const double milliseconds =
        std::min(std::round(seconds * 1000.0), double(std::numeric_limits<int>::max()));
    return std::chrono::milliseconds(static_cast<int>(milliseconds));
}

// The part of a timer its QTimer's slot shares, so that the handle may go while a call runs.
struct TimerState
{
    std::atomic<bool> valid{true};
    std::atomic<double> interval{0.0};
    std::function<void()> callback;
};

class QtTimer final : public Timer
{
public:
    QtTimer(double seconds, bool repeats, std::function<void()> callback)
        : m_state(std::make_shared<TimerState>()), m_timer(new QTimer)
    {
        m_state->callback = std::move(callback);
        m_timer->setTimerType(Qt::PreciseTimer);
        m_timer->setSingleShot(!repeats);
        if (QThread *mainThread = QCoreApplication::instance()->thread();
            m_timer->thread() != mainThread)
            m_timer->moveToThread(mainThread);
        QObject::connect(m_timer, &QTimer::timeout, m_timer, [state = m_state, repeats] {
            if (!state->valid.load())
                return;
            if (!repeats)
                state->valid.store(false);
            state->callback();
        });
        restart(seconds);
    }

    ~QtTimer() override
    {
        m_state->valid.store(false);
        // The QTimer may be the one whose timeout is running this destructor.
        m_timer->deleteLater();
    }

    void invalidate() override
    {
        m_state->valid.store(false);
        onTimerThread([timer = m_timer] { timer->stop(); });
    }

    bool isValid() const override { return m_state->valid.load(); }
    double interval() const override { return m_state->interval.load(); }

    void restart(double seconds) override
    {
        m_state->interval.store(seconds);
        m_state->valid.store(true);
        onTimerThread([timer = m_timer, wait = toMilliseconds(seconds)] { timer->start(wait); });
    }

private:
    // Directly when already there, so that re-arming from a tick makes no call object.
    template <class Work>
    void onTimerThread(Work work)
    {
        if (QThread::currentThread() == m_timer->thread())
            work();
        else
            QMetaObject::invokeMethod(m_timer, std::move(work), Qt::QueuedConnection);
    }

    std::shared_ptr<TimerState> m_state;
    QTimer *m_timer;
};

ReplaceableService<TimerService> installedService;

} // namespace

TimerService &TimerService::current()
{
    static QtTimerService qtTimers;
    return installedService.current(qtTimers);
}

TimerService *TimerService::setCurrent(TimerService *service)
{
    return installedService.install(service);
}

std::unique_ptr<Timer> QtTimerService::schedule(double seconds, bool repeats,
                                                std::function<void()> callback)
{
    return std::make_unique<QtTimer>(seconds, repeats, std::move(callback));
}

} // namespace lq
