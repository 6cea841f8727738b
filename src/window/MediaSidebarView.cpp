#include "window/MediaSidebarView.h"

#include <QPainter>

MediaSidebarView::MediaSidebarView(QWidget *parent) : QWidget(parent)
{
    QPalette palette = this->palette();
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, Qt::black);
    setPalette(palette);
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
