#pragma once

#include <atomic>

namespace lq {

// The one instance of a service every caller uses: its default, or one that a test installed.
template <class Service>
class ReplaceableService
{
public:
    Service &current(Service &fallback) const
    {
        Service *installed = m_installed.load(std::memory_order_acquire);
        return installed ? *installed : fallback;
    }

    // Installs service (nullptr restores the default); answers the one installed before.
    Service *install(Service *service)
    {
        return m_installed.exchange(service, std::memory_order_acq_rel);
    }

private:
    std::atomic<Service *> m_installed{nullptr};
};

} // namespace lq
