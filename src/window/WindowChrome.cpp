#include "window/WindowChrome.h"

#include <QLinearGradient>
#include <QPainter>

void drawTextDark(QWidget &widget)
{
    QPalette palette = widget.palette();
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, Qt::black);
    widget.setPalette(palette);
}

BottomBar::BottomBar(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(kHeight);
}

void BottomBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QColor window = palette().color(QPalette::Window);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, window.lighter(104));
    gradient.setColorAt(1.0, window.darker(108));
    painter.fillRect(rect(), gradient);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
}

LockBackgroundView::LockBackgroundView(QWidget *parent) : QWidget(parent)
{
    drawTextDark(*this);
}

void LockBackgroundView::paintEvent(QPaintEvent *)
{
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, QColor::fromRgbF(0.965f, 0.966f, 0.97f));
    gradient.setColorAt(1.0, QColor::fromRgbF(0.835f, 0.835f, 0.844f));
    QPainter(this).fillRect(rect(), gradient);
}

ToolbarExtension::ToolbarExtension(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(kHeight);
}

void ToolbarExtension::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::white);
    painter.drawLine(0, 0, width(), 0);
    painter.setPen(Qt::black);
    painter.drawLine(0, height() - 1, width(), height() - 1);
}
