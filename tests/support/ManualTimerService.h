#pragma once

#include "platform/foundation/TimerService.h"

#include <QList>

#include <memory>

namespace lq {
class ManualClockSource;
}

namespace lq::test {

// Timers that fire only when the test says so. While it lives it is the current timer service.
// Time runs on its own counter, which firing moves to the fired timer's due time; a clock given
// to the constructor is moved forward with it.
class ManualTimerService final : public TimerService
{
public:
    explicit ManualTimerService(ManualClockSource *clock = nullptr);
    ~ManualTimerService() override;
    ManualTimerService(const ManualTimerService &) = delete;
    ManualTimerService &operator=(const ManualTimerService &) = delete;

    std::unique_ptr<Timer> schedule(double seconds, bool repeats,
                                    std::function<void()> callback) override;

    // Every interval given, by schedule or restart, in order.
    QList<double> scheduledIntervals() const;
    // The interval of each valid timer, soonest due first.
    QList<double> pendingIntervals() const;
    int pendingCount() const;

    // Fires the timer due first (moving time to its due time); false when none is pending.
    bool fireNext();
    // Fires, in due order, the timers pending now; those the callbacks schedule or restart stay
    // pending. Answers how many fired.
    int fireAll();

    // Seconds of manual time since the service was made.
    double now() const;

    class Registry;

private:
    std::shared_ptr<Registry> m_registry;
    TimerService *m_previous;
};

} // namespace lq::test
