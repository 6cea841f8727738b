#include "window/AudioMeter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kStripHeight = 9.0;

struct Stop
{
    double position;
    QColor colour;
};

QColor rgb(double red, double green, double blue)
{
    return QColor::fromRgbF(float(red), float(green), float(blue));
}

// The bar's gradient runs from the bottom edge of the strip upwards and is extended beyond
// both ends.
void fillStrip(QPainter &painter, double width, double viewHeight,
               std::initializer_list<Stop> stops)
{
    painter.save();
    QPainterPath clip;
    clip.setFillRule(Qt::OddEvenFill);
    clip.addRect(QRectF(0.5, viewHeight - kStripHeight - 0.5, width, kStripHeight));
    painter.setClipPath(clip, Qt::IntersectClip);
    QLinearGradient gradient(QPointF(11.0, viewHeight - 0.5),
                             QPointF(11.0, viewHeight - kStripHeight - 0.5));
    gradient.setSpread(QGradient::PadSpread);
    for (const Stop &stop : stops)
        gradient.setColorAt(stop.position, stop.colour);
    painter.fillRect(QRectF(0, 0, std::max(width + 1.0, 1.0), viewHeight), gradient);
    painter.restore();
}

void drawGray(QPainter &painter, double width, double viewHeight)
{
    fillStrip(painter, width, viewHeight,
              {{0.0, rgb(0.492, 0.492, 0.492)},
               {0.869, rgb(0.821, 0.821, 0.821)},
               {0.591, rgb(0.723, 0.723, 0.723)}});
}

void drawGreen(QPainter &painter, double width, double viewHeight)
{
    fillStrip(painter, width, viewHeight,
              {{0.0, rgb(0.095, 0.389, 0.857)},
               {0.869, rgb(0.336, 0.755, 1.0)},
               {0.591, rgb(0.207, 0.638, 0.939)},
               {0.591, rgb(0.207, 0.638, 0.939)}});
}

void drawBoxes(QPainter &painter, int count, double width, double viewHeight)
{
    QPen pen(rgb(0.237, 0.276, 0.319), 1.0);
    pen.setCapStyle(Qt::SquareCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double boxWidth = width / count;
    for (int i = 0; i < count; ++i)
        painter.drawRect(
            QRectF(boxWidth * i + 0.5, viewHeight - kStripHeight - 0.5, boxWidth, kStripHeight));
}

} // namespace

AudioMeter::AudioMeter(QWidget *parent) : QWidget(parent)
{}

double AudioMeter::boxAreaWidth(double viewWidth)
{
    if (!(viewWidth >= 1.0))
        return 0.0;
    return std::floor((viewWidth - 1.0) / kBoxCount) * kBoxCount;
}

int AudioMeter::litBoxes(float decibels)
{
    if (!(decibels >= kFloorLevel))
        return 0;
    // Far above 0 dB the bar is clipped by the view anyway.
    const double boxes = std::floor((double(decibels) - kFloorLevel) / -kFloorLevel * kBoxCount);
    return int(std::min(boxes, 1000.0));
}

double AudioMeter::barWidth(float decibels, double viewWidth)
{
    return std::min(litBoxes(decibels) * boxAreaWidth(viewWidth) / kBoxCount, viewWidth);
}

void AudioMeter::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const double viewHeight = height();
    const double area = boxAreaWidth(width());
    drawGray(painter, area, viewHeight);
    if (m_meterEnabled) {
        if (!(m_levelValue >= kFloorLevel))
            m_levelValue = kFloorLevel;
        drawGreen(painter, barWidth(m_levelValue, width()), viewHeight);
    }
    drawBoxes(painter, kBoxCount, area, viewHeight);
}
