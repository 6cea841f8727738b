#include "platform/ui/DoubleSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lq {

DoubleSlider::DoubleSlider(QWidget *parent) : QWidget(parent)
{
    // Reached by Tab, but a click leaves the focus where the user types.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DoubleSlider::setRange(double minimum, double maximum)
{
    if (!std::isfinite(minimum) || !std::isfinite(maximum))
        return;
    if (maximum < minimum)
        std::swap(minimum, maximum);
    m_minimum = minimum;
    m_maximum = maximum;
    m_value = std::clamp(m_value, m_minimum, m_maximum);
    update();
}

void DoubleSlider::setValue(double value)
{
    if (m_down || std::isnan(value))
        return;
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    update();
}

double DoubleSlider::singleStep() const
{
    return m_singleStep > 0.0 ? m_singleStep : (m_maximum - m_minimum) / 100.0;
}

double DoubleSlider::pageStep() const
{
    return m_pageStep > 0.0 ? m_pageStep : (m_maximum - m_minimum) / 10.0;
}

QRectF DoubleSlider::knobRect() const
{
    const double travel = std::max(0.0, width() - knobThickness());
    const double span = m_maximum - m_minimum;
    const double fraction = span > 0.0 ? (m_value - m_minimum) / span : 0.0;
    return QRectF(fraction * travel, 0.0, knobThickness(), height());
}

QSize DoubleSlider::sizeHint() const
{
    return QSize(160, 18);
}

QSize DoubleSlider::minimumSizeHint() const
{
    return QSize(int(std::ceil(knobThickness())) * 3, 18);
}

double DoubleSlider::valueAtKnobLeft(double x) const
{
    const double travel = width() - knobThickness();
    if (travel <= 0.0)
        return m_minimum;
    return m_minimum + std::clamp(x / travel, 0.0, 1.0) * (m_maximum - m_minimum);
}

void DoubleSlider::moveByUser(double value)
{
    value = std::clamp(value, m_minimum, m_maximum);
    if (value == m_value)
        return;
    m_value = value;
    update();
    Q_EMIT sliderMoved(m_value);
}

void DoubleSlider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    paintSlider(painter, QRectF(rect()), knobRect());
}

void DoubleSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_down) {
        event->ignore();
        return;
    }
    const double x = event->position().x();
    const QRectF knob = knobRect();
    // A press on the knob takes it where it is; elsewhere the knob jumps under the mouse.
    m_grabOffset = (x >= knob.left() && x < knob.right()) ? x - knob.left() : knobThickness() / 2;
    m_down = true;
    Q_EMIT sliderPressed();
    moveByUser(valueAtKnobLeft(x - m_grabOffset));
}

void DoubleSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_down) {
        event->ignore();
        return;
    }
    moveByUser(valueAtKnobLeft(event->position().x() - m_grabOffset));
    // The release went elsewhere (a window took the mouse): the drag is over.
    if (!(event->buttons() & Qt::LeftButton))
        endDrag();
}

void DoubleSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_down) {
        event->ignore();
        return;
    }
    moveByUser(valueAtKnobLeft(event->position().x() - m_grabOffset));
    endDrag();
}

void DoubleSlider::hideEvent(QHideEvent *event)
{
    // A hidden slider gets no release; without this, setValue would stay ignored.
    if (m_down)
        endDrag();
    QWidget::hideEvent(event);
}

void DoubleSlider::endDrag()
{
    m_down = false;
    Q_EMIT sliderReleased();
}

void DoubleSlider::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        moveByUser(m_value - singleStep());
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        moveByUser(m_value + singleStep());
        break;
    case Qt::Key_PageDown:
        moveByUser(m_value - pageStep());
        break;
    case Qt::Key_PageUp:
        moveByUser(m_value + pageStep());
        break;
    case Qt::Key_Home:
        moveByUser(m_minimum);
        break;
    case Qt::Key_End:
        moveByUser(m_maximum);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace lq
