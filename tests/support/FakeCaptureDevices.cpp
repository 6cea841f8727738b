#include "support/FakeCaptureDevices.h"

namespace lq::test {

FakeCaptureDevices::FakeCaptureDevices() : m_previous(CaptureDevices::setCurrent(this))
{}

FakeCaptureDevices::~FakeCaptureDevices()
{
    CaptureDevices::setCurrent(m_previous);
}

QList<CaptureDevice> FakeCaptureDevices::devices(CaptureDeviceKind kind) const
{
    std::lock_guard lock(m_mutex);
    QList<CaptureDevice> ofKind;
    for (const CaptureDevice &device : m_devices) {
        if (device.kind == kind)
            ofKind.append(device);
    }
    return ofKind;
}

void FakeCaptureDevices::setDevices(QList<CaptureDevice> devices)
{
    std::lock_guard lock(m_mutex);
    m_devices = std::move(devices);
}

void FakeCaptureDevices::announce()
{
    Q_EMIT devicesChanged();
}

} // namespace lq::test
