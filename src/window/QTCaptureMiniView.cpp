#include "window/QTCaptureMiniView.h"

#include "platform/media/VideoSurface.h"
#include "window/ParentFill.h"

#include <QMouseEvent>

QTCaptureMiniView::QTCaptureMiniView(QWidget *parent)
    : QWidget(parent), m_preview(new lq::VideoSurface(this))
{
    setToolTip(tr("Double-click to promote Video to its own window."));
    setFocusPolicy(Qt::ClickFocus);
    m_preview->setGravity(lq::VideoSurface::Gravity::ResizeAspect);
    // Clicks are the view's own.
    m_preview->setAttribute(Qt::WA_TransparentForMouseEvents);
    new ParentFill(*this);
}

std::optional<double> QTCaptureMiniView::aspectRatio() const
{
    const QSize bounds = m_preview->size();
    if (bounds.width() <= 0 || bounds.height() <= 0)
        return std::nullopt;
    return double(bounds.width()) / bounds.height();
}

void QTCaptureMiniView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_preview->setGeometry(rect());
}

void QTCaptureMiniView::mouseDoubleClickEvent(QMouseEvent *event)
{
    sendDoubleClick(event, &LQVideoViewController::QTMiniViewDoubleClicked);
}
