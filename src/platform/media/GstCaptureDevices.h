#pragma once

#include "platform/foundation/Error.h"
#include "platform/media/CaptureDevices.h"

#include <condition_variable>
#include <memory>
#include <mutex>

using GstElement = struct _GstElement;

namespace lq {

// The capture devices a GstDeviceMonitor finds ("Audio/Source", "Video/Source"). Bus messages
// arrive through a sync handler and are handed to the main thread, so no GLib main loop is
// needed. With LUMAQUILL_TEST_DEVICES=1 the list holds only a test microphone and two test
// cameras (one with 1280x720, one without), and with LUMAQUILL_TEST_MUXED_DEVICE=1 as well a
// test device giving sound and picture together; no other device is opened then. Made on the
// main thread; any thread may read the list. The first listing starts GStreamer and its device
// providers, which takes a while: it runs on a thread of its own, so that the program's first
// window does not wait for it.
class GstCaptureDevices final : public CaptureDevices
{
    Q_OBJECT
public:
    explicit GstCaptureDevices(QObject *parent = nullptr);
    ~GstCaptureDevices() override;

    QList<CaptureDevice> devices(CaptureDeviceKind kind) const override;
    bool isListed() const override;
    void waitUntilListed() const;

    // The unique ids of the test devices.
    static const QString kTestMicrophoneId;
    static const QString kTestCameraHDId;
    static const QString kTestCameraId;
    static const QString kTestMuxedDeviceId;

    // A source element for a device of the list: the ghost pad "src", or "audio" and "video"
    // for a muxed device. Null with an error when the device is gone or cannot be opened, or
    // is a real device while LUMAQUILL_TEST_DEVICES=1.
    static GstElement *makeSource(const QString &uniqueId, Error *error);

private:
    void reload();
    void waitUntilListed(std::unique_lock<std::mutex> &lock) const;

    class Monitor;
    std::unique_ptr<Monitor> m_monitor; // set once, by the first listing
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_listedChange;
    bool m_listed = false;
    QList<CaptureDevice> m_devices;
};

} // namespace lq
