#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace lq {
class Timer;
}

// The two timers of playback: the one-shot timer of the next stamp, armed for one position of
// the chronological list at a time, and the position timer that refreshes the playhead every
// hundredth of a second. Main thread.
class PlaybackTimers
{
public:
    static constexpr double kPositionInterval = 0.01;

    PlaybackTimers();
    ~PlaybackTimers();
    PlaybackTimers(const PlaybackTimers &) = delete;
    PlaybackTimers &operator=(const PlaybackTimers &) = delete;

    // Replaces the stamp timer: fired(position) after interval seconds.
    void armStamp(double interval, size_t position, std::function<void(size_t)> fired);
    void cancelStamp();
    // The position and interval the stamp timer waits for, while it is armed.
    std::optional<size_t> armedPosition() const;
    std::optional<double> armedInterval() const;

    // Replaces the position timer.
    void startPositionTimer(std::function<void()> tick);
    void stopPositionTimer();
    bool positionTimerRuns() const;

    void stopAll();

private:
    std::unique_ptr<lq::Timer> m_stampTimer;
    size_t m_armedPosition = 0;
    std::unique_ptr<lq::Timer> m_positionTimer;
};
