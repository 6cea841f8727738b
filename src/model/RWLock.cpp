#include "model/RWLock.h"

// Waiters of both kinds sleep on one condition, so every release wakes all of them: each
// checks its own test again.

void RWLock::acquireReader()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waitingWriters == 0 && m_writers == 0; });
    ++m_readers;
}

void RWLock::releaseReader()
{
    {
        std::lock_guard lock(m_mutex);
        --m_readers;
    }
    m_changed.notify_all();
}

void RWLock::acquireWriter()
{
    std::unique_lock lock(m_mutex);
    ++m_waitingWriters;
    m_changed.wait(lock, [this] { return m_readers == 0 && m_writers == 0; });
    --m_waitingWriters;
    ++m_writers;
}

void RWLock::releaseWriter()
{
    {
        std::lock_guard lock(m_mutex);
        --m_writers;
    }
    m_changed.notify_all();
}

void RWLock::upgradeToWriter()
{
    std::unique_lock lock(m_mutex);
    ++m_waitingWriters;
    m_changed.wait(lock, [this] { return m_readers <= 1; });
    --m_waitingWriters;
    ++m_writers;
    --m_readers;
}

void RWLock::downgradeToReader()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_readers;
        --m_writers;
    }
    m_changed.notify_all();
}

RWLock::State RWLock::state() const
{
    std::lock_guard lock(m_mutex);
    return {m_readers, m_writers, m_waitingWriters};
}
