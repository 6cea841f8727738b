#include "platform/media/AudioOutput.h"

#include "platform/media/GStreamer.h"

#include <gst/gst.h>

namespace lq::AudioOutput {

GstElement *makeSink(Error *error)
{
    const bool fake = qEnvironmentVariable("LUMAQUILL_AUDIO_OUTPUT") == QLatin1String("fake");
    const QString factory = fake ? QStringLiteral("fakesink") : QStringLiteral("autoaudiosink");
    if (!GStreamer::hasElement(factory, error))
        return nullptr;
    GstElement *sink = gst_element_factory_make(factory.toLatin1().constData(), nullptr);
    if (fake)
        g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

} // namespace lq::AudioOutput
