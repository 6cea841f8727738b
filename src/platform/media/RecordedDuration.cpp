#include "platform/media/RecordedDuration.h"

#include <gst/gst.h>

#include <atomic>

namespace lq {

struct RecordedDuration::Span
{
    static constexpr int64_t kNone = -1;
    std::atomic<int64_t> start{kNone};
    std::atomic<int64_t> end{kNone};
    std::atomic<bool> switchPending{false};

    void reach(int64_t runningTime)
    {
        int64_t seen = end.load();
        while (runningTime > seen && !end.compare_exchange_weak(seen, runningTime)) {
        }
    }

    static GstPadProbeReturn onBuffer(GstPad *pad, GstPadProbeInfo *info, gpointer data)
    {
        GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        const GstClockTime pts = GST_BUFFER_PTS(buffer);
        GstEvent *event = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0);
        if (event && GST_CLOCK_TIME_IS_VALID(pts)) {
            const GstSegment *segment = nullptr;
            gst_event_parse_segment(event, &segment);
            const GstClockTime duration = GST_BUFFER_DURATION(buffer);
            const GstClockTime end = gst_segment_to_running_time(
                segment, GST_FORMAT_TIME, pts + (GST_CLOCK_TIME_IS_VALID(duration) ? duration : 0));
            if (GST_CLOCK_TIME_IS_VALID(end))
                (*static_cast<std::shared_ptr<Span> *>(data))->reach(int64_t(end));
        }
        if (event)
            gst_event_unref(event);
        return GST_PAD_PROBE_OK;
    }
};

RecordedDuration::RecordedDuration() : m_span(std::make_shared<Span>())
{}

void RecordedDuration::watch(GstPad *pad)
{
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, &Span::onBuffer,
                      new std::shared_ptr<Span>(m_span),
                      [](gpointer data) { delete static_cast<std::shared_ptr<Span> *>(data); });
}

void RecordedDuration::awaitNextFile()
{
    m_span->switchPending.store(true);
}

void RecordedDuration::startFile(int64_t runningTime)
{
    m_span->start.store(runningTime);
    m_span->switchPending.store(false);
}

void RecordedDuration::reset()
{
    m_span->start.store(Span::kNone);
    m_span->end.store(Span::kNone);
    m_span->switchPending.store(false);
}

std::optional<double> RecordedDuration::seconds() const
{
    if (m_span->switchPending.load())
        return std::nullopt;
    const int64_t start = m_span->start.load();
    const int64_t end = m_span->end.load();
    if (start == Span::kNone || end <= start)
        return std::nullopt;
    return double(end - start) / double(GST_SECOND);
}

void RecordedDuration::reach(int64_t runningTime)
{
    m_span->reach(runningTime);
}

} // namespace lq
