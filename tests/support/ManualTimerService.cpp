#include "support/ManualTimerService.h"

#include "platform/foundation/ClockSource.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace lq::test {

class ManualTimer;

// What the service and its timers share, so either may go first.
class ManualTimerService::Registry
{
public:
    ManualClockSource *clock = nullptr;
    double now = 0.0;
    long long nextSequence = 0;
    QList<double> intervals;
    std::vector<ManualTimer *> timers;

    // The valid timer due first among those armed before the given sequence number.
    ManualTimer *dueFirst(long long armedBefore) const;
    void moveTimeTo(double time)
    {
        if (time <= now)
            return;
        if (clock)
            clock->advance(time - now);
        now = time;
    }
};

class ManualTimer final : public Timer
{
public:
    ManualTimer(std::shared_ptr<ManualTimerService::Registry> registry, bool repeats,
                std::function<void()> callback)
        : m_registry(std::move(registry)), m_repeats(repeats), m_callback(std::move(callback))
    {
        m_registry->timers.push_back(this);
    }

    ~ManualTimer() override { std::erase(m_registry->timers, this); }

    void invalidate() override { m_valid = false; }
    bool isValid() const override { return m_valid; }
    double interval() const override { return m_interval; }

    void restart(double seconds) override
    {
        m_interval = seconds;
        m_valid = true;
        m_registry->intervals.append(seconds);
        const double wait = std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0;
        m_due = m_registry->now + wait;
        m_sequence = m_registry->nextSequence++;
    }

    double due() const { return m_due; }
    long long sequence() const { return m_sequence; }

    void fire()
    {
        if (m_repeats)
            restartAfterFiring();
        else
            m_valid = false;
        // The callback may destroy this timer: nothing of it is touched afterwards.
        std::function<void()> callback = m_callback;
        callback();
    }

private:
    void restartAfterFiring()
    {
        m_due += std::max(m_interval, 0.0);
        m_sequence = m_registry->nextSequence++;
    }

    std::shared_ptr<ManualTimerService::Registry> m_registry;
    bool m_repeats;
    std::function<void()> m_callback;
    bool m_valid = false;
    double m_interval = 0.0;
    double m_due = 0.0;
    long long m_sequence = 0;
};

ManualTimer *ManualTimerService::Registry::dueFirst(long long armedBefore) const
{
    ManualTimer *first = nullptr;
    for (ManualTimer *timer : timers) {
        if (!timer->isValid() || timer->sequence() >= armedBefore)
            continue;
        if (!first || timer->due() < first->due() ||
            (timer->due() == first->due() && timer->sequence() < first->sequence()))
            first = timer;
    }
    return first;
}

ManualTimerService::ManualTimerService(ManualClockSource *clock)
    : m_registry(std::make_shared<Registry>()), m_previous(TimerService::setCurrent(this))
{
    m_registry->clock = clock;
}

ManualTimerService::~ManualTimerService()
{
    TimerService::setCurrent(m_previous);
}

std::unique_ptr<Timer> ManualTimerService::schedule(double seconds, bool repeats,
                                                    std::function<void()> callback)
{
    auto timer = std::make_unique<ManualTimer>(m_registry, repeats, std::move(callback));
    timer->restart(seconds);
    return timer;
}

QList<double> ManualTimerService::scheduledIntervals() const
{
    return m_registry->intervals;
}

QList<double> ManualTimerService::pendingIntervals() const
{
    std::vector<ManualTimer *> pending;
    std::copy_if(m_registry->timers.begin(), m_registry->timers.end(), std::back_inserter(pending),
                 [](ManualTimer *timer) { return timer->isValid(); });
    std::sort(pending.begin(), pending.end(), [](ManualTimer *a, ManualTimer *b) {
        return a->due() < b->due() || (a->due() == b->due() && a->sequence() < b->sequence());
    });
    QList<double> intervals;
    for (ManualTimer *timer : pending)
        intervals.append(timer->interval());
    return intervals;
}

int ManualTimerService::pendingCount() const
{
    return int(std::count_if(m_registry->timers.begin(), m_registry->timers.end(),
                             [](ManualTimer *timer) { return timer->isValid(); }));
}

bool ManualTimerService::fireNext()
{
    ManualTimer *timer = m_registry->dueFirst(m_registry->nextSequence);
    if (!timer)
        return false;
    m_registry->moveTimeTo(timer->due());
    timer->fire();
    return true;
}

int ManualTimerService::fireAll()
{
    const long long armedBefore = m_registry->nextSequence;
    int fired = 0;
    for (ManualTimer *timer = m_registry->dueFirst(armedBefore); timer;
         timer = m_registry->dueFirst(armedBefore)) {
        m_registry->moveTimeTo(timer->due());
        timer->fire();
        ++fired;
    }
    return fired;
}

double ManualTimerService::now() const
{
    return m_registry->now;
}

} // namespace lq::test
