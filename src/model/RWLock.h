#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// A readers/writer lock that favours writers: once a writer waits (or a reader waits to
// upgrade), new readers wait too. Not recursive: a thread that holds it and asks again for
// the write lock waits for ever, and only one reader at a time may upgrade.
class RWLock
{
public:
    // A snapshot of the counters, for diagnostics and tests.
    struct State
    {
        uint32_t readers = 0;
        uint32_t writers = 0;
        uint32_t waitingWriters = 0;
    };

    RWLock() = default;
    RWLock(const RWLock &) = delete;
    RWLock &operator=(const RWLock &) = delete;

    void acquireReader();
    void releaseReader();
    void acquireWriter();
    void releaseWriter();
    // The caller holds a read lock; waits until it is the only reader.
    void upgradeToWriter();
    // The caller holds the write lock.
    void downgradeToReader();

    State state() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    uint32_t m_readers = 0;
    uint32_t m_writers = 0;
    uint32_t m_waitingWriters = 0;
};
