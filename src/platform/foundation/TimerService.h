#pragma once

#include <functional>
#include <memory>

namespace lq {

// A scheduled call on the main thread. Destroying the handle invalidates the timer.
class Timer
{
public:
    virtual ~Timer() = default;

    // Stops the timer: its callback is not called again. Any thread.
    virtual void invalidate() = 0;
    // Whether the callback will be called again, whatever threads restart or invalidate the
    // timer. A one-shot timer stops being valid when it fires; a repeating one when invalidated.
    virtual bool isValid() const = 0;
    // Seconds between scheduling and firing, as last given.
    virtual double interval() const = 0;
    // Schedules the same callback again after seconds, whether or not the timer is still valid.
    // Lets a clock that re-arms itself every tick do so without making new timers.
    virtual void restart(double seconds) = 0;
};

// Schedules timers on the main thread.
class TimerService
{
public:
    virtual ~TimerService() = default;

    // Calls callback on the main thread after seconds (a negative or non-number interval counts
    // as 0), once or every interval. Any thread.
    virtual std::unique_ptr<Timer> schedule(double seconds, bool repeats,
                                            std::function<void()> callback) = 0;

    std::unique_ptr<Timer> scheduleOnce(double seconds, std::function<void()> callback)
    {
        return schedule(seconds, false, std::move(callback));
    }
    std::unique_ptr<Timer> scheduleRepeating(double seconds, std::function<void()> callback)
    {
        return schedule(seconds, true, std::move(callback));
    }

    // The service every caller uses: precise Qt timers unless a test installed another.
    static TimerService &current();
    // Installs a service (nullptr restores the Qt timers); answers the previous one.
    static TimerService *setCurrent(TimerService *service);
};

// Timers over QTimer (Qt::PreciseTimer) living on the main thread.
class QtTimerService final : public TimerService
{
public:
    std::unique_ptr<Timer> schedule(double seconds, bool repeats,
                                    std::function<void()> callback) override;
};

} // namespace lq
