#include "window/DragFileView.h"

#include "window/FileDrop.h"

#include <QLinearGradient>
#include <QPainter>

DragFileView::DragFileView(QWidget *parent) : QWidget(parent)
{
    setAcceptDrops(true);
}

void DragFileView::paintEvent(QPaintEvent *)
{
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor::fromRgbF(kTopGrey, kTopGrey, kTopGrey));
    gradient.setColorAt(1.0, QColor::fromRgbF(kBottomGrey, kBottomGrey, kBottomGrey));
    QPainter(this).fillRect(rect(), gradient);
}

void DragFileView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!file_drop::dragEntered(*event))
        QWidget::dragEnterEvent(event);
}

void DragFileView::dropEvent(QDropEvent *event)
{
    if (!file_drop::dropped(*event, m_controller))
        QWidget::dropEvent(event);
}
