#include "engines/LQEngineFactory.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/ReplaceableService.h"

namespace {

class NoEngineFactory final : public LQEngineFactory
{
private:
    std::unique_ptr<LQRecSession> createRecordingEngine(Family) override { return nullptr; }
    std::unique_ptr<LQPlaySession> createPlaybackEngine(Family) override { return nullptr; }
};

lq::ReplaceableService<LQEngineFactory> installedFactory;

} // namespace

LQEngineFactory::Family LQEngineFactory::runTimeFamily() const
{
    return lq::Bundle::modernMediaEnginesAvailable() ? Family::Modern : Family::Legacy;
}

LQEngineFactory &LQEngineFactory::current()
{
    static NoEngineFactory noEngines;
    return installedFactory.current(noEngines);
}

LQEngineFactory *LQEngineFactory::setCurrent(LQEngineFactory *factory)
{
    return installedFactory.install(factory);
}
