#include "window/TimerBarSlider.h"

#include <cmath>
#include <limits>

ToveSlider::ToveSlider(std::unique_ptr<ToveSliderCell> cell, QWidget *parent)
    : lq::DoubleSlider(parent), m_cell(std::move(cell))
{}

ToveSlider::~ToveSlider() = default;

void ToveSlider::paintSlider(QPainter &painter, const QRectF &bounds, const QRectF &knobRect)
{
    m_cell->drawBar(painter, bounds, knobRect.center().x());
    m_cell->drawKnob(painter, knobRect);
}

TimerBarSlider::TimerBarSlider(QWidget *parent)
    : ToveSlider(std::make_unique<TimerBarSliderCell>(), parent)
{
    setRange(0.0, 100.0);
}

void TimerBarSlider::setLit(bool lit)
{
    if (mutableCell().setLit(lit))
        update();
}

SpeedSlider::SpeedSlider(QWidget *parent) : ToveSlider(std::make_unique<SpeedSliderCell>(), parent)
{
    setRange(kMinimumValue, kMaximumValue);
    setValue(kNormalValue);
}

double SpeedSlider::speedForValue(double value)
{
    return std::pow(10.0, value) / 10.0;
}

double SpeedSlider::valueForSpeed(double speed)
{
    if (std::isnan(speed))
        return speed;
    return speed > 0.0 ? std::log10(10.0 * speed) : -std::numeric_limits<double>::infinity();
}
