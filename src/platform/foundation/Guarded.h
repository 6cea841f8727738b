#pragma once

#include <mutex>
#include <utility>

namespace lq {

// A value read and written from several threads: each access takes the value's own lock and
// hands out a copy.
template <class T>
class Guarded
{
public:
    Guarded() = default;
    explicit Guarded(T value) : m_value(std::move(value)) {}

    T get() const
    {
        std::lock_guard lock(m_mutex);
        return m_value;
    }

    void set(T value)
    {
        std::lock_guard lock(m_mutex);
        m_value = std::move(value);
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};

} // namespace lq
