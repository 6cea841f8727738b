#include "platform/media/PeakLimiter.h"

#include "platform/foundation/ThreadHandOver.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <algorithm>
#include <cmath>

namespace lq {
namespace {

// How long the level takes to come most of the way back after a peak.
constexpr double kReleaseSeconds = 0.2;

class PeakLimiter
{
public:
    void process(float *samples, gsize frames, int channels, int rate)
    {
        // GStreamer hands the pad's buffers over one at a time, under its stream lock, on a
        // streaming thread that may change after a seek; ThreadSanitizer cannot see that lock.
        takeOver(this);
        const float release = 1.0f - float(std::exp(-1.0 / (kReleaseSeconds * rate)));
        for (float *frame = samples; frame != samples + frames * channels; frame += channels) {
            float peak = 0.0f;
            for (int channel = 0; channel < channels; ++channel)
                peak = std::max(peak, std::abs(frame[channel]));
            m_gain += (1.0f - m_gain) * release;
            if (peak * m_gain > kPeakCeiling)
                m_gain = kPeakCeiling / peak;
            for (int channel = 0; channel < channels; ++channel)
                frame[channel] *= m_gain;
        }
        handOver(this);
    }

    static GstPadProbeReturn onBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer data)
    {
        GstCaps *caps = gst_pad_get_current_caps(pad);
        GstAudioInfo format;
        const bool known = caps && gst_audio_info_from_caps(&format, caps);
        if (caps)
            gst_caps_unref(caps);
        if (!known || GST_AUDIO_INFO_FORMAT(&format) != GST_AUDIO_FORMAT_F32 ||
            GST_AUDIO_INFO_LAYOUT(&format) != GST_AUDIO_LAYOUT_INTERLEAVED)
            return GST_PAD_PROBE_OK;
        GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
            return GST_PAD_PROBE_OK;
        static_cast<PeakLimiter *>(data)->process(
            reinterpret_cast<float *>(map.data), map.size / GST_AUDIO_INFO_BPF(&format),
            GST_AUDIO_INFO_CHANNELS(&format), GST_AUDIO_INFO_RATE(&format));
        gst_buffer_unmap(buffer, &map);
        return GST_PAD_PROBE_OK;
    }

    static void release(gpointer data)
    {
        takeOver(data);
        delete static_cast<PeakLimiter *>(data);
    }

private:
    float m_gain = 1.0f;
};

} // namespace

void limitPeaks(GstPad *pad)
{
    auto *limiter = new PeakLimiter;
    handOver(limiter);
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &PeakLimiter::onBuffer, limiter,
                      &PeakLimiter::release);
}

} // namespace lq
