#pragma once

#include <functional>
#include <memory>

using GstElement = struct _GstElement;
using GstMessage = struct _GstMessage;

namespace lq {

// Delivers the bus messages of a pipeline on the main thread, whatever thread posted them, so
// that no GLib main loop is needed. Messages still queued when the watch is destroyed are
// dropped. Made and destroyed on the main thread.
class BusWatch
{
public:
    using Handler = std::function<void(GstMessage *message)>;

    BusWatch(GstElement *pipeline, Handler handler);
    ~BusWatch();
    BusWatch(const BusWatch &) = delete;
    BusWatch &operator=(const BusWatch &) = delete;

private:
    struct Relay;
    GstElement *m_pipeline;
    std::shared_ptr<Relay> m_relay;
};

} // namespace lq
