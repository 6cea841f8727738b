#pragma once

#include "platform/media/CaptureDevices.h"

#include <mutex>

namespace lq::test {

// Capture devices set by the test. Installs itself as the current devices while it lives.
// No Q_OBJECT: the support library's moc output must not need the media library.
class FakeCaptureDevices final : public CaptureDevices
{
public:
    FakeCaptureDevices();
    ~FakeCaptureDevices() override;

    QList<CaptureDevice> devices(CaptureDeviceKind kind) const override;

    // Replaces the list; announce() then tells observers, as a hot-plug would.
    void setDevices(QList<CaptureDevice> devices);
    void announce();

private:
    mutable std::mutex m_mutex;
    QList<CaptureDevice> m_devices;
    CaptureDevices *m_previous;
};

} // namespace lq::test
