#include "window/MediaSidebarView.h"

#include "window/WindowChrome.h"

#include <QPainter>

MediaSidebarView::MediaSidebarView(QWidget *parent) : QWidget(parent)
{
    drawTextDark(*this);
}

void MediaSidebarView::setBgColor(const QColor &color)
{
    m_bgColor = color;
    update();
}

void MediaSidebarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_bgColor);
}
