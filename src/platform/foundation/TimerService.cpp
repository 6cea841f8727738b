#include "platform/foundation/TimerService.h"

#include "platform/foundation/ReplaceableService.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
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
// Every restart and invalidate takes a new generation; the start or stop it queues for the timer's
// thread is applied only while its generation is still the newest, so that an older call arriving
// late cannot undo a newer one and the armed flag always tells whether the callback will run.
struct TimerState
{
    static constexpr uint64_t kArmed = 1;

    // The generation (in steps of two) with the armed flag in the lowest bit.
    std::atomic<uint64_t> word{0};
    std::atomic<double> interval{0.0};
    std::function<void()> callback;
    // The generation whose start or stop the QTimer carries out; read and written on its thread.
    uint64_t appliedGeneration = 0;

    uint64_t nextGeneration(bool armed)
    {
        uint64_t current = word.load();
        uint64_t next = 0;
        do {
            next = ((current | kArmed) + 1) | (armed ? kArmed : 0);
        } while (!word.compare_exchange_weak(current, next));
        return next & ~kArmed;
    }
    bool isCurrent(uint64_t generation) const { return (word.load() & ~kArmed) == generation; }
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
        QObject::connect(m_timer, &QTimer::timeout, m_timer,
                         [state = m_state, repeats] { fire(*state, repeats); });
        restart(seconds);
    }

    ~QtTimer() override
    {
        m_state->nextGeneration(false);
        // The QTimer may be the one whose timeout is running this destructor.
        m_timer->deleteLater();
    }

    void invalidate() override
    {
        const uint64_t generation = m_state->nextGeneration(false);
        onTimerThread(generation, [timer = m_timer] { timer->stop(); });
    }

    bool isValid() const override { return (m_state->word.load() & TimerState::kArmed) != 0; }
    double interval() const override { return m_state->interval.load(); }

    void restart(double seconds) override
    {
        m_state->interval.store(seconds);
        const uint64_t generation = m_state->nextGeneration(true);
        onTimerThread(generation,
                      [timer = m_timer, wait = toMilliseconds(seconds)] { timer->start(wait); });
    }

private:
    static void fire(TimerState &state, bool repeats)
    {
        uint64_t word = state.word.load();
        // A timeout of an arming that a newer, not yet applied, restart replaces is dropped.
        if (!(word & TimerState::kArmed) || (word & ~TimerState::kArmed) != state.appliedGeneration)
            return;
        if (!repeats && !state.word.compare_exchange_strong(word, word & ~TimerState::kArmed))
            return; // invalidated or restarted from another thread just now
        state.callback();
    }

    // Directly when already there, so that re-arming from a tick makes no call object.
    template <class Work>
    void onTimerThread(uint64_t generation, Work work)
    {
        auto apply = [state = m_state, generation, work = std::move(work)] {
            if (!state->isCurrent(generation))
                return;
            state->appliedGeneration = generation;
            work();
        };
        if (QThread::currentThread() == m_timer->thread())
            apply();
        else
            QMetaObject::invokeMethod(m_timer, std::move(apply), Qt::QueuedConnection);
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
