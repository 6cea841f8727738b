#include "platform/media/CaptureDevices.h"

#include "platform/foundation/MainThread.h"
#include "platform/media/GstCaptureDevices.h"

#include <QCoreApplication>

#include <atomic>

namespace lq {
namespace {

std::atomic<CaptureDevices *> installedDevices{nullptr};

} // namespace

std::optional<CaptureDevice> CaptureDevices::defaultDevice(CaptureDeviceKind kind) const
{
    const QList<CaptureDevice> all = devices(kind);
    for (const CaptureDevice &candidate : all) {
        if (candidate.isDefault)
            return candidate;
    }
    if (all.isEmpty())
        return std::nullopt;
    return all.first();
}

std::optional<CaptureDevice> CaptureDevices::device(const QString &uniqueId) const
{
    for (CaptureDeviceKind kind :
         {CaptureDeviceKind::Audio, CaptureDeviceKind::Video, CaptureDeviceKind::Muxed}) {
        for (const CaptureDevice &candidate : devices(kind)) {
            if (candidate.uniqueId == uniqueId)
                return candidate;
        }
    }
    return std::nullopt;
}

CaptureDevices &CaptureDevices::current()
{
    if (CaptureDevices *installed = installedDevices.load())
        return *installed;
    // Made on the main thread, where its change signal is delivered. The program does not end
    // while the first listing is still starting GStreamer.
    static GstCaptureDevices *monitor = runOnMainThread([] {
        qAddPostRoutine([] { monitor->waitUntilListed(); });
        return new GstCaptureDevices;
    });
    return *monitor;
}

CaptureDevices *CaptureDevices::setCurrent(CaptureDevices *devices)
{
    return installedDevices.exchange(devices);
}

} // namespace lq
