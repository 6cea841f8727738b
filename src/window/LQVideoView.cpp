#include "window/LQVideoView.h"

#include "platform/media/Letterbox.h"

#include <QResizeEvent>

LQVideoView::LQVideoView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
}

LQVideoView::~LQVideoView() = default;

void LQVideoView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QList<QWidget *> children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    if (children.size() != 1)
        return;
    QWidget *picture = children.first();
    const QSizeF ratioSource = m_naturalSize.value_or(QSizeF(picture->size()));
    // A zero height gives an infinite or undefined ratio, which fills the view.
    const double ratio = ratioSource.width() / ratioSource.height();
    picture->setGeometry(lq::letterboxFrame(ratio, QSizeF(event->size())).toRect());
}

void LQVideoView::mouseDoubleClickEvent(QMouseEvent *event)
{
    sendDoubleClick(event, &LQVideoViewController::QTMiniViewDoubleClicked);
}
