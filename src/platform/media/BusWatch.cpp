#include "platform/media/BusWatch.h"

#include "platform/foundation/ThreadHandOver.h"

#include <QObject>

#include <gst/gst.h>

#include <mutex>

namespace lq {

// Lives as long as the bus may still call it; the watch detaches it on destruction.
struct BusWatch::Relay
{
    static inline const char installed = 0; // hands the relay to the threads posting messages

    std::mutex mutex;
    QObject *receiver = nullptr; // on the main thread; null once detached
    Handler handler;

    static GstBusSyncReply onMessage(GstBus *, GstMessage *message, gpointer data)
    {
        takeOver(&installed);
        auto relay = *static_cast<std::shared_ptr<Relay> *>(data);
        std::shared_ptr<GstMessage> held(message, gst_message_unref);
        std::lock_guard lock(relay->mutex);
        if (relay->receiver) {
            static const char token = 0;
            handOver(&token, [&] {
                QMetaObject::invokeMethod(
                    relay->receiver,
                    [relay, held] {
                        takeOver(&token);
                        // A copy: the handler may destroy the watch.
                        const Handler handler = relay->handler;
                        if (handler)
                            handler(held.get());
                    },
                    Qt::QueuedConnection);
            });
        }
        return GST_BUS_DROP;
    }
};

BusWatch::BusWatch(GstElement *pipeline, Handler handler)
    : m_pipeline(GST_ELEMENT(gst_object_ref(pipeline))), m_relay(std::make_shared<Relay>())
{
    m_relay->receiver = new QObject;
    m_relay->handler = std::move(handler);
    GstBus *bus = gst_element_get_bus(m_pipeline);
    handOver(&Relay::installed, [&] {
        gst_bus_set_sync_handler(
            bus, &Relay::onMessage, new std::shared_ptr<Relay>(m_relay),
            [](gpointer data) { delete static_cast<std::shared_ptr<Relay> *>(data); });
    });
    gst_object_unref(bus);
}

BusWatch::~BusWatch()
{
    GstBus *bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    {
        std::lock_guard lock(m_relay->mutex);
        m_relay->receiver->deleteLater(); // drops the calls still queued
        m_relay->receiver = nullptr;
        m_relay->handler = nullptr;
    }
    gst_object_unref(m_pipeline);
}

} // namespace lq
