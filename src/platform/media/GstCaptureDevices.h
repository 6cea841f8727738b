#pragma once

#include "platform/media/CaptureDevices.h"

#include <memory>
#include <mutex>

namespace lq {

// The capture devices a GstDeviceMonitor finds ("Audio/Source", "Video/Source"). Bus messages
// arrive through a sync handler and are handed to the main thread, so no GLib main loop is
// needed. With LUMAQUILL_TEST_DEVICES=1 a test microphone and two test cameras (one with
// 1280x720, one without) follow the real devices. Made on the main thread; any thread may
// read the list.
class GstCaptureDevices final : public CaptureDevices
{
    Q_OBJECT
public:
    explicit GstCaptureDevices(QObject *parent = nullptr);
    ~GstCaptureDevices() override;

    QList<CaptureDevice> devices(CaptureDeviceKind kind) const override;

    // The unique ids of the test devices.
    static const QString kTestMicrophoneId;
    static const QString kTestCameraHDId;
    static const QString kTestCameraId;

private:
    void reload();

    class Monitor;
    std::unique_ptr<Monitor> m_monitor;
    mutable std::mutex m_mutex;
    QList<CaptureDevice> m_devices;
};

} // namespace lq
