#include "engines/LQEngineFactory.h"

#include "platform/foundation/Bundle.h"

#include <atomic>

namespace {

class NoEngineFactory final : public LQEngineFactory
{
private:
    std::unique_ptr<LQRecSession> createRecordingEngine(Family) override { return nullptr; }
    std::unique_ptr<LQPlaySession> createPlaybackEngine(Family) override { return nullptr; }
};

std::atomic<LQEngineFactory *> installedFactory{nullptr};

} // namespace

LQEngineFactory::Family LQEngineFactory::runTimeFamily() const
{
    return lq::Bundle::modernMediaEnginesAvailable() ? Family::Modern : Family::Legacy;
}

LQEngineFactory &LQEngineFactory::current()
{
    static NoEngineFactory noEngines;
    LQEngineFactory *factory = installedFactory.load(std::memory_order_acquire);
    return factory ? *factory : noEngines;
}

LQEngineFactory *LQEngineFactory::setCurrent(LQEngineFactory *factory)
{
    return installedFactory.exchange(factory, std::memory_order_acq_rel);
}
