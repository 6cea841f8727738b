#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

namespace lq {

enum class CaptureDeviceKind { Audio, Video, Muxed };

struct CaptureDevice
{
    QString uniqueId;    // stable across runs and hot-plugs
    QString displayName; // what the device pop-ups list
    CaptureDeviceKind kind = CaptureDeviceKind::Audio;
    bool isDefault = false;
    bool supports1280x720 = false; // cameras only

    friend bool operator==(const CaptureDevice &, const CaptureDevice &) = default;
};

// The connected capture devices. devicesChanged is emitted on the main thread after a device
// was connected or disconnected.
class CaptureDevices : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The devices of a kind, in the platform's order; waits for the first listing.
    virtual QList<CaptureDevice> devices(CaptureDeviceKind kind) const = 0;
    // Whether the first listing of the devices has ended; devicesChanged follows its end.
    virtual bool isListed() const { return true; }

    // The device of a kind marked default, else the first; none when there is no device.
    std::optional<CaptureDevice> defaultDevice(CaptureDeviceKind kind) const;
    std::optional<CaptureDevice> device(const QString &uniqueId) const;

    // The devices every caller uses: the GStreamer ones unless a test installed others.
    static CaptureDevices &current();
    static CaptureDevices *setCurrent(CaptureDevices *devices);

Q_SIGNALS:
    void devicesChanged();
};

} // namespace lq
