#include "platform/media/TestCaptureSources.h"

#include "platform/media/GStreamer.h"
#include "platform/media/GstCaptureDevices.h"

#include <QSet>

#include <gst/gst.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

namespace lq {
namespace {

struct Knobs
{
    std::mutex mutex;
    double leftDecibels = -20.0;
    double rightDecibels = -20.0;
    QSet<QString> unplugged;
};

Knobs &knobs()
{
    static Knobs shared;
    return shared;
}

bool isUnplugged(const QString &uniqueId)
{
    std::lock_guard lock(knobs().mutex);
    return knobs().unplugged.contains(uniqueId);
}

// The peak gain of a sine whose RMS level is the given number of decibels below full scale.
double sineGainForRms(double decibels)
{
    return std::min(1.0, std::sqrt(2.0) * std::pow(10.0, decibels / 20.0));
}

GstElement *makeElement(const char *factory, Error *error)
{
    if (!GStreamer::hasElement(QString::fromLatin1(factory), error))
        return nullptr;
    return gst_element_factory_make(factory, nullptr);
}

GstElement *capsFilter(const QString &caps)
{
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    GstCaps *parsed = gst_caps_from_string(caps.toUtf8().constData());
    g_object_set(filter, "caps", parsed, nullptr);
    gst_caps_unref(parsed);
    return filter;
}

// Unplugging: the device's output posts one error and then drops everything, as a real device
// that went away delivers nothing more.
struct UnplugWatch
{
    QString uniqueId;
    std::atomic<bool> reported{false};

    static GstPadProbeReturn onBuffer(GstPad *pad, GstPadProbeInfo *, gpointer data)
    {
        auto *watch = static_cast<UnplugWatch *>(data);
        if (!isUnplugged(watch->uniqueId))
            return GST_PAD_PROBE_OK;
        if (!watch->reported.exchange(true)) {
            GstElement *element = GST_ELEMENT(GST_PAD_PARENT(pad));
            GST_ELEMENT_ERROR(element, RESOURCE, READ, ("The capture device was disconnected."),
                              ("test device %s unplugged", qPrintable(watch->uniqueId)));
        }
        return GST_PAD_PROBE_DROP;
    }
};

// Adds a chain to the bin, links it and exposes its end as a ghost pad.
bool addChain(GstElement *bin, std::initializer_list<GstElement *> chain, const char *padName,
              const QString &uniqueId)
{
    GstElement *previous = nullptr;
    for (GstElement *element : chain) {
        gst_bin_add(GST_BIN(bin), element);
        if (previous && !gst_element_link(previous, element))
            return false;
        previous = element;
    }
    GstPad *output = gst_element_get_static_pad(previous, "src");
    auto *watch = new UnplugWatch{uniqueId};
    gst_pad_add_probe(output, GST_PAD_PROBE_TYPE_BUFFER, &UnplugWatch::onBuffer, watch,
                      [](gpointer data) { delete static_cast<UnplugWatch *>(data); });
    gst_element_add_pad(bin, gst_ghost_pad_new(padName, output));
    gst_object_unref(output);
    return true;
}

bool addMicrophone(GstElement *bin, const char *padName, const QString &uniqueId, Error *error)
{
    GstElement *source = makeElement("audiotestsrc", error);
    GstElement *convert = source ? makeElement("audioconvert", error) : nullptr;
    if (!convert) {
        if (source)
            gst_object_unref(source);
        return false;
    }
    g_object_set(source, "is-live", TRUE, "volume", 1.0, nullptr);
    double left = 0.0;
    double right = 0.0;
    {
        std::lock_guard lock(knobs().mutex);
        left = sineGainForRms(knobs().leftDecibels);
        right = sineGainForRms(knobs().rightDecibels);
    }
    const QString matrix = QStringLiteral("<<(float)%1>, <(float)%2>>")
                               .arg(QString::number(left, 'g', 9), QString::number(right, 'g', 9));
    gst_util_set_object_arg(G_OBJECT(convert), "mix-matrix", matrix.toUtf8().constData());
    return addChain(bin,
                    {source,
                     capsFilter(QStringLiteral("audio/x-raw, format=(string)F32LE, "
                                               "rate=(int)48000, channels=(int)1")),
                     convert,
                     capsFilter(QStringLiteral("audio/x-raw, channels=(int)2, "
                                               "channel-mask=(bitmask)0x3"))},
                    padName, uniqueId);
}

bool addCamera(GstElement *bin, const char *padName, const QString &uniqueId, QSize size,
               Error *error)
{
    GstElement *source = makeElement("videotestsrc", error);
    if (!source)
        return false;
    g_object_set(source, "is-live", TRUE, nullptr);
    return addChain(bin,
                    {source, capsFilter(QStringLiteral("video/x-raw, width=(int)%1, "
                                                       "height=(int)%2, framerate=(fraction)30/1")
                                            .arg(size.width())
                                            .arg(size.height()))},
                    padName, uniqueId);
}

} // namespace

bool TestCaptureSources::isTestDevice(const QString &uniqueId)
{
    return uniqueId == GstCaptureDevices::kTestMicrophoneId ||
           uniqueId == GstCaptureDevices::kTestCameraHDId ||
           uniqueId == GstCaptureDevices::kTestCameraId ||
           uniqueId == GstCaptureDevices::kTestMuxedDeviceId;
}

GstElement *TestCaptureSources::make(const QString &uniqueId, Error *error)
{
    if (!isTestDevice(uniqueId)) {
        setError(error, Error(QStringLiteral("media"), 3,
                              QStringLiteral("There is no test device \"%1\".").arg(uniqueId)));
        return nullptr;
    }
    GstElement *bin = gst_bin_new(nullptr);
    bool made = false;
    if (uniqueId == GstCaptureDevices::kTestMicrophoneId)
        made = addMicrophone(bin, "src", uniqueId, error);
    else if (uniqueId == GstCaptureDevices::kTestCameraHDId)
        made = addCamera(bin, "src", uniqueId, QSize(1280, 720), error);
    else if (uniqueId == GstCaptureDevices::kTestCameraId)
        made = addCamera(bin, "src", uniqueId, QSize(640, 480), error);
    else
        made = addMicrophone(bin, "audio", uniqueId, error) &&
               addCamera(bin, "video", uniqueId, QSize(640, 480), error);
    if (made)
        return bin;
    gst_object_unref(bin);
    return nullptr;
}

void TestCaptureSources::setToneLevels(double leftDecibels, double rightDecibels)
{
    std::lock_guard lock(knobs().mutex);
    knobs().leftDecibels = leftDecibels;
    knobs().rightDecibels = rightDecibels;
}

void TestCaptureSources::setConnected(const QString &uniqueId, bool connected)
{
    std::lock_guard lock(knobs().mutex);
    if (connected)
        knobs().unplugged.remove(uniqueId);
    else
        knobs().unplugged.insert(uniqueId);
}

} // namespace lq
