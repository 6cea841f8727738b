#include "platform/media/GstCaptureDevices.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/GStreamer.h"
#include "platform/media/TestCaptureSources.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

#include <gst/gst.h>

#include <thread>

namespace lq {

const QString GstCaptureDevices::kTestMicrophoneId = QStringLiteral("test:audiotestsrc");
const QString GstCaptureDevices::kTestCameraHDId = QStringLiteral("test:videotestsrc:hd");
const QString GstCaptureDevices::kTestCameraId = QStringLiteral("test:videotestsrc");
const QString GstCaptureDevices::kTestMuxedDeviceId = QStringLiteral("test:muxed");

namespace {

QString stringProperty(const GstStructure *properties, const char *name)
{
    const gchar *value = properties ? gst_structure_get_string(properties, name) : nullptr;
    return value ? QString::fromUtf8(value) : QString();
}

// The /dev/v4l/by-id link of a video node, which survives re-plugging; the node itself when
// there is none.
QString stableVideoPath(const QString &devicePath)
{
    const QDir byId(QStringLiteral("/dev/v4l/by-id"));
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files)) {
        if (!target.isEmpty() && link.canonicalFilePath() == target)
            return link.absoluteFilePath();
    }
    return devicePath;
}

QString uniqueIdOf(GstDevice *device, const GstStructure *properties, const QString &name)
{
    for (const char *key : {"node.name", "api.v4l2.path", "device.path"}) {
        const QString value = stringProperty(properties, key);
        if (value.isEmpty())
            continue;
        return value.startsWith(QLatin1String("/dev/video")) ? stableVideoPath(value) : value;
    }
    // The pulse provider keeps the source name in a property of the device object.
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(device), "internal-name")) {
        gchar *internalName = nullptr;
        g_object_get(device, "internal-name", &internalName, nullptr);
        const QString id = QString::fromUtf8(internalName);
        g_free(internalName);
        if (!id.isEmpty())
            return id;
    }
    const QString deviceName = stringProperty(properties, "device.name");
    return deviceName.isEmpty() ? name : deviceName;
}

bool capsOffer1280x720(GstCaps *caps)
{
    if (!caps)
        return false;
    GstCaps *hd = gst_caps_from_string("video/x-raw, width=(int)1280, height=(int)720; "
                                       "image/jpeg, width=(int)1280, height=(int)720");
    const bool offered = gst_caps_can_intersect(caps, hd);
    gst_caps_unref(hd);
    return offered;
}

CaptureDevice describe(GstDevice *device)
{
    CaptureDevice described;
    gchar *displayName = gst_device_get_display_name(device);
    described.displayName = QString::fromUtf8(displayName);
    g_free(displayName);
    described.kind = gst_device_has_classes(device, "Video/Source") ? CaptureDeviceKind::Video
                                                                    : CaptureDeviceKind::Audio;
    GstStructure *properties = gst_device_get_properties(device);
    described.uniqueId = uniqueIdOf(device, properties, described.displayName);
    gboolean isDefault = FALSE;
    if (properties && gst_structure_get_boolean(properties, "is-default", &isDefault))
        described.isDefault = isDefault;
    if (properties)
        gst_structure_free(properties);
    if (described.kind == CaptureDeviceKind::Video) {
        GstCaps *caps = gst_device_get_caps(device);
        described.supports1280x720 = capsOffer1280x720(caps);
        if (caps)
            gst_caps_unref(caps);
    }
    return described;
}

// Test runs never see the machine's own devices, so that no test records a real microphone.
bool testDevicesOnly()
{
    return qEnvironmentVariable("LUMAQUILL_TEST_DEVICES") == QLatin1String("1");
}

QList<CaptureDevice> testDevices()
{
    QList<CaptureDevice> devices;
    if (GStreamer::hasElement(QStringLiteral("audiotestsrc"))) {
        devices.append({GstCaptureDevices::kTestMicrophoneId, QStringLiteral("Test Microphone"),
                        CaptureDeviceKind::Audio, false, false});
    }
    if (GStreamer::hasElement(QStringLiteral("videotestsrc"))) {
        devices.append({GstCaptureDevices::kTestCameraHDId, QStringLiteral("Test Camera HD"),
                        CaptureDeviceKind::Video, false, true});
        devices.append({GstCaptureDevices::kTestCameraId, QStringLiteral("Test Camera"),
                        CaptureDeviceKind::Video, false, false});
    }
    if (qEnvironmentVariable("LUMAQUILL_TEST_MUXED_DEVICE") == QLatin1String("1") &&
        GStreamer::hasElement(QStringLiteral("audiotestsrc")) &&
        GStreamer::hasElement(QStringLiteral("videotestsrc"))) {
        devices.append({GstCaptureDevices::kTestMuxedDeviceId, QStringLiteral("Test Muxed Device"),
                        CaptureDeviceKind::Muxed, false, false});
    }
    return devices;
}

} // namespace

// Owns the GStreamer monitor; its bus handler runs on GStreamer's threads and only posts to
// the main thread.
class GstCaptureDevices::Monitor
{
public:
    explicit Monitor(GstCaptureDevices *owner) : m_owner(owner)
    {
        Error error;
        if (!GStreamer::initialize(&error)) {
            log(error.localizedDescription());
            return;
        }
        m_monitor = gst_device_monitor_new();
        gst_device_monitor_add_filter(m_monitor, "Audio/Source", nullptr);
        gst_device_monitor_add_filter(m_monitor, "Video/Source", nullptr);
        GstBus *bus = gst_device_monitor_get_bus(m_monitor);
        gst_bus_set_sync_handler(bus, &Monitor::onBusMessage, this, nullptr);
        gst_object_unref(bus);
        m_started = gst_device_monitor_start(m_monitor);
        if (!m_started)
            log(QStringLiteral("No capture device provider could be started."));
    }

    ~Monitor()
    {
        if (!m_monitor)
            return;
        GstBus *bus = gst_device_monitor_get_bus(m_monitor);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        if (m_started)
            gst_device_monitor_stop(m_monitor);
        gst_object_unref(m_monitor);
    }

    // The device with the id, referenced; null when there is none.
    GstDevice *find(const QString &uniqueId) const
    {
        GstDevice *match = nullptr;
        GList *devices = m_monitor ? gst_device_monitor_get_devices(m_monitor) : nullptr;
        for (GList *item = devices; item && !match; item = item->next) {
            GstDevice *device = GST_DEVICE(item->data);
            if (describe(device).uniqueId == uniqueId)
                match = GST_DEVICE(gst_object_ref(device));
        }
        g_list_free_full(devices, gst_object_unref);
        return match;
    }

    QList<CaptureDevice> devices() const
    {
        QList<CaptureDevice> found;
        if (!m_monitor)
            return found;
        GList *devices = gst_device_monitor_get_devices(m_monitor);
        for (GList *item = devices; item; item = item->next)
            found.append(describe(GST_DEVICE(item->data)));
        g_list_free_full(devices, gst_object_unref);
        return found;
    }

private:
    static GstBusSyncReply onBusMessage(GstBus *, GstMessage *message, gpointer data)
    {
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        if (type == GST_MESSAGE_DEVICE_ADDED || type == GST_MESSAGE_DEVICE_REMOVED ||
            type == GST_MESSAGE_DEVICE_CHANGED) {
            QPointer<GstCaptureDevices> owner = static_cast<Monitor *>(data)->m_owner;
            postToMainThread([owner] {
                if (owner)
                    owner->reload();
            });
        }
        gst_message_unref(message);
        return GST_BUS_DROP;
    }

    GstCaptureDevices *m_owner;
    GstDeviceMonitor *m_monitor = nullptr;
    bool m_started = false;
};

GstCaptureDevices::GstCaptureDevices(QObject *parent) : CaptureDevices(parent)
{
    // Detached: once it has said that the list is there, the thread uses nothing of this.
    std::thread([this] {
        auto monitor = testDevicesOnly() ? nullptr : std::make_unique<Monitor>(this);
        QList<CaptureDevice> found = monitor ? monitor->devices() : testDevices();
        std::lock_guard lock(m_mutex);
        m_monitor = std::move(monitor);
        m_devices = std::move(found);
        postToMainThread(this, [this] { Q_EMIT devicesChanged(); });
        m_listed = true;
        m_listedChange.notify_all();
    }).detach();
}

GstCaptureDevices::~GstCaptureDevices()
{
    waitUntilListed();
}

void GstCaptureDevices::waitUntilListed(std::unique_lock<std::mutex> &lock) const
{
    m_listedChange.wait(lock, [this] { return m_listed; });
}

void GstCaptureDevices::waitUntilListed() const
{
    std::unique_lock lock(m_mutex);
    waitUntilListed(lock);
}

bool GstCaptureDevices::isListed() const
{
    std::lock_guard lock(m_mutex);
    return m_listed;
}

QList<CaptureDevice> GstCaptureDevices::devices(CaptureDeviceKind kind) const
{
    QList<CaptureDevice> ofKind;
    std::unique_lock lock(m_mutex);
    waitUntilListed(lock);
    for (const CaptureDevice &device : m_devices) {
        if (device.kind == kind)
            ofKind.append(device);
    }
    return ofKind;
}

GstElement *GstCaptureDevices::makeSource(const QString &uniqueId, Error *error)
{
    if (!GStreamer::initialize(error))
        return nullptr;
    if (TestCaptureSources::isTestDevice(uniqueId))
        return TestCaptureSources::make(uniqueId, error);
    if (testDevicesOnly()) {
        setError(error, Error(QStringLiteral("media"), 4,
                              QStringLiteral("The capture device \"%1\" is not a test device, "
                                             "and test runs record only test devices.")
                                  .arg(uniqueId)));
        return nullptr;
    }
    // A short-lived monitor of its own; the shared list may live elsewhere or not at all.
    Monitor monitor(nullptr);
    GstDevice *device = monitor.find(uniqueId);
    GstElement *source = device ? gst_device_create_element(device, nullptr) : nullptr;
    if (device)
        gst_object_unref(device);
    if (source) {
        GstElement *bin = gst_bin_new(nullptr);
        gst_bin_add(GST_BIN(bin), source);
        GstPad *output = gst_element_get_static_pad(source, "src");
        gst_element_add_pad(bin, gst_ghost_pad_new("src", output));
        gst_object_unref(output);
        return bin;
    }
    setError(error,
             Error(QStringLiteral("media"), 4,
                   QStringLiteral("The capture device \"%1\" could not be opened.").arg(uniqueId)));
    return nullptr;
}

void GstCaptureDevices::reload()
{
    {
        std::unique_lock lock(m_mutex);
        waitUntilListed(lock);
    }
    QList<CaptureDevice> found = m_monitor->devices();
    {
        std::lock_guard lock(m_mutex);
        m_devices = std::move(found);
    }
    Q_EMIT devicesChanged();
}

} // namespace lq
