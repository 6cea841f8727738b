#pragma once

#include "platform/foundation/Error.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

using GstElement = struct _GstElement;

namespace lq {

// Paints the latest video frame. Frames may be presented from any thread; the widget repaints
// on the main thread with the newest one.
class VideoSurface : public QWidget
{
    Q_OBJECT
public:
    enum class Gravity {
        ResizeAspect,     // the whole frame, letterboxed
        ResizeAspectFill, // the view filled, the frame cropped
    };

    explicit VideoSurface(QWidget *parent = nullptr);
    ~VideoSurface() override;

    Gravity gravity() const { return m_gravity; }
    void setGravity(Gravity gravity);

    // Any thread.
    void presentFrame(const QImage &frame);
    // Main thread: the frame painted last, its size, and how many frames arrived.
    QImage currentFrame() const;
    QSize frameSize() const { return currentFrame().size(); }
    uint64_t framesPresented() const;

    // A sink element (a bin: converter and app sink) that presents every decoded frame on
    // surface; null with an error when an element is missing. The sink may outlive the surface.
    static GstElement *makeSink(VideoSurface *surface, Error *error);

Q_SIGNALS:
    // Main thread, after a new frame has arrived.
    void frameChanged();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Frames;
    void takeNewestFrame();

    Gravity m_gravity = Gravity::ResizeAspectFill;
    std::shared_ptr<Frames> m_frames;
    QImage m_current;
    uint64_t m_presented = 0;
};

} // namespace lq
