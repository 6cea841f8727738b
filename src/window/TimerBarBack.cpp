#include "window/TimerBarBack.h"

#include "platform/ui/NamedImages.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kCap = 20.0;
} // namespace

TimerBarBack::TimerBarBack(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize TimerBarBack::sizeHint() const
{
    return QSize(240, lq::namedImageSize(m_image).height());
}

QSize TimerBarBack::minimumSizeHint() const
{
    return QSize(int(2 * kCap), lq::namedImageSize(m_image).height());
}

void TimerBarBack::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QPixmap image = lq::namedImage(m_image, painter.device()->devicePixelRatioF());
    const QSizeF size = image.deviceIndependentSize();
    const double height = size.height();
    const double width = this->width();
    const QRectF dirty(event->rect());
    const QRectF pieces[][2] = {
        {QRectF(0, 0, kCap, height), QRectF(0, 0, kCap, height)},
        {QRectF(width - kCap, 0, kCap, height), QRectF(size.width() - kCap, 0, kCap, height)},
        {QRectF(kCap, 0, std::max(0.0, std::trunc(std::trunc(width - kCap) - kCap)), height),
         QRectF(kCap, 0, 1, height)},
    };
    for (const auto &piece : pieces)
        if (piece[0].intersects(dirty))
            lq::drawImagePart(painter, piece[0], image, piece[1]);
}
