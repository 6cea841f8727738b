#pragma once

#include "platform/foundation/Error.h"

#include <QSize>
#include <QString>

using GstElement = struct _GstElement;

namespace lq {

// The source elements of the test devices, with the knobs tests turn: the test microphone's
// level per channel, and unplugging a test device (its live sources post an error and stop
// delivering). Any thread.
class TestCaptureSources
{
public:
    // Whether the id is one of GstCaptureDevices' test devices.
    static bool isTestDevice(const QString &uniqueId);

    // A bin with the ghost pad "src" (microphone, cameras) or "audio" and "video" (muxed
    // device); null with an error for an unknown id or a missing element.
    static GstElement *make(const QString &uniqueId, Error *error);

    // RMS levels in decibels of the microphone's two channels for sources made from now on;
    // -20 dB each unless set.
    static void setToneLevels(double leftDecibels, double rightDecibels);
    // An unplugged device's running sources post a resource error once and deliver no more.
    static void setConnected(const QString &uniqueId, bool connected);
};

} // namespace lq
