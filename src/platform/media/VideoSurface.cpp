#include "platform/media/VideoSurface.h"

#include "platform/foundation/ThreadHandOver.h"
#include "platform/media/GStreamer.h"
#include "platform/media/SampleImage.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPointer>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

#include <mutex>

namespace lq {

// The hand-over between the streaming thread and the widget: only the newest frame is kept, and
// one repaint request is pending at most.
struct VideoSurface::Frames
{
    std::mutex mutex;
    QImage newest;
    uint64_t arrived = 0;
    bool requestPending = false;
    QPointer<VideoSurface> surface; // read on the main thread only

    static void put(const std::shared_ptr<Frames> &frames, const QImage &image)
    {
        std::lock_guard lock(frames->mutex);
        frames->newest = image;
        ++frames->arrived;
        if (frames->requestPending)
            return;
        frames->requestPending = true;
        static const char token = 0;
        handOver(&token, [&] {
            QMetaObject::invokeMethod(
                qApp,
                [frames] {
                    takeOver(&token);
                    if (frames->surface)
                        frames->surface->takeNewestFrame();
                },
                Qt::QueuedConnection);
        });
    }
};

VideoSurface::VideoSurface(QWidget *parent) : QWidget(parent), m_frames(std::make_shared<Frames>())
{
    m_frames->surface = this;
    setAttribute(Qt::WA_OpaquePaintEvent);
}

VideoSurface::~VideoSurface() = default;

void VideoSurface::setGravity(Gravity gravity)
{
    m_gravity = gravity;
    update();
}

void VideoSurface::presentFrame(const QImage &frame)
{
    Frames::put(m_frames, frame);
}

void VideoSurface::takeNewestFrame()
{
    {
        std::lock_guard lock(m_frames->mutex);
        m_current = m_frames->newest;
        m_presented = m_frames->arrived;
        m_frames->requestPending = false;
    }
    update();
    Q_EMIT frameChanged();
}

QImage VideoSurface::currentFrame() const
{
    return m_current;
}

uint64_t VideoSurface::framesPresented() const
{
    return m_presented;
}

void VideoSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_current.isNull() || width() <= 0 || height() <= 0)
        return;
    const QSize scaled = m_current.size().scaled(size(), m_gravity == Gravity::ResizeAspectFill
                                                             ? Qt::KeepAspectRatioByExpanding
                                                             : Qt::KeepAspectRatio);
    const QRect target((width() - scaled.width()) / 2, (height() - scaled.height()) / 2,
                       scaled.width(), scaled.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_current);
}

GstElement *VideoSurface::makeSink(VideoSurface *surface, Error *error)
{
    for (const char *name : {"videoconvert", "appsink"}) {
        if (!GStreamer::hasElement(QString::fromLatin1(name), error))
            return nullptr;
    }
    GstElement *bin = gst_bin_new(nullptr);
    GstElement *convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement *sink = gst_element_factory_make("appsink", nullptr);
    gst_bin_add_many(GST_BIN(bin), convert, sink, nullptr);
    gst_element_link(convert, sink);
    GstCaps *caps = gst_caps_from_string("video/x-raw, format=(string)RGBx");
    g_object_set(sink, "caps", caps, "max-buffers", 2, "drop", TRUE, "sync", TRUE, nullptr);
    gst_caps_unref(caps);
    GstPad *input = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);

    // The surface's hand-over is shared with the sink, so that frames arriving after the
    // surface is gone land nowhere.
    struct Context
    {
        std::weak_ptr<Frames> frames;
    };
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink *appSink, gpointer data) -> GstFlowReturn {
        GstSample *sample = gst_app_sink_pull_sample(appSink);
        if (!sample)
            return GST_FLOW_EOS;
        const QImage image = imageFromSample(sample);
        gst_sample_unref(sample);
        const std::shared_ptr<Frames> frames = static_cast<Context *>(data)->frames.lock();
        if (frames && !image.isNull())
            Frames::put(frames, image);
        return GST_FLOW_OK;
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, new Context{surface->m_frames},
                               [](gpointer data) { delete static_cast<Context *>(data); });
    return bin;
}

} // namespace lq
