#include "window/QTMovieMiniView.h"

#include "platform/media/Letterbox.h"
#include "window/ParentFill.h"
#include "window/TimelineFrameSource.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

QTMovieMiniView::QTMovieMiniView(QWidget *parent) : QWidget(parent)
{
    setToolTip(tr("Double-click to promote Video to its own window."));
    setFocusPolicy(Qt::ClickFocus);
    new ParentFill(*this);
}

void QTMovieMiniView::setMovie(MovieFrameSource *movie)
{
    if (m_movie)
        disconnect(m_movie, nullptr, this, nullptr);
    m_movie = movie;
    m_frameTime.reset();
    if (movie)
        connect(movie, &MovieFrameSource::currentTimeChanged, this, [this] {
            m_frameTime.reset();
            update();
        });
    update();
}

void QTMovieMiniView::setTimeline(lq::MovieTimeline *timeline)
{
    auto source = std::make_unique<TimelineFrameSource>(timeline);
    setMovie(source.get());
    m_timelineSource = std::move(source);
}

std::optional<QSizeF> QTMovieMiniView::naturalSize() const
{
    return m_movie ? m_movie->naturalSize() : std::nullopt;
}

std::optional<double> QTMovieMiniView::aspectRatio() const
{
    const std::optional<QSizeF> natural = naturalSize();
    if (!natural || natural->width() <= 0 || natural->height() <= 0)
        return std::nullopt;
    return natural->width() / natural->height();
}

void QTMovieMiniView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_movie)
        return;
    const double time = m_movie->currentTime();
    if (m_frameTime != time) {
        m_frame = m_movie->frameAt(time);
        m_frameTime = time;
    }
    const std::optional<double> ratio = aspectRatio();
    if (m_frame.isNull() || !ratio)
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(lq::letterboxFrame(*ratio, QSizeF(size())), m_frame);
}

void QTMovieMiniView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void QTMovieMiniView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void QTMovieMiniView::mouseDoubleClickEvent(QMouseEvent *event)
{
    sendDoubleClick(event, &LQVideoViewController::QTMiniViewDoubleClicked);
}

void QTMovieMiniView::wheelEvent(QWheelEvent *event)
{
    event->accept();
}

void QTMovieMiniView::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
}
