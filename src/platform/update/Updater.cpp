#include "platform/update/Updater.h"

#include "platform/foundation/MainThread.h"
#include "platform/update/AppcastUpdater.h"

#include <atomic>

namespace lq {
namespace {

std::atomic<Updater *> installedUpdater{nullptr};

} // namespace

Updater &Updater::shared()
{
    if (Updater *installed = installedUpdater.load())
        return *installed;
    static AppcastUpdater *updater = runOnMainThread([] { return new AppcastUpdater; });
    return *updater;
}

Updater *Updater::setShared(Updater *updater)
{
    return installedUpdater.exchange(updater);
}

} // namespace lq
