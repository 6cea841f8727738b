#include "window/ToveSliderCell.h"

#include "platform/ui/NamedImages.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kCap = 3.0; // the bar images' end caps; the column after the left cap stretches

QPixmap imageFor(const QPainter &painter, const QString &name)
{
    return lq::namedImage(name, painter.device()->devicePixelRatioF());
}

} // namespace

bool ToveSliderCell::setLit(bool lit)
{
    if (lit == m_lit)
        return false;
    m_lit = lit;
    m_knobImage = lit ? QStringLiteral("scrobber-handle-lit") : QStringLiteral("scrobber-handle");
    return true;
}

void ToveSliderCell::drawKnob(QPainter &painter, const QRectF &knobRect) const
{
    const double size = knobThickness();
    const QPointF place(std::ceil((knobRect.width() - size) * 0.5 + knobRect.x()),
                        std::ceil((knobRect.height() - size) * 0.5) + knobRect.y() + m_vertOffset);
    lq::drawImagePart(painter, QRectF(place, QSizeF(size, size)), imageFor(painter, m_knobImage),
                      QRectF(0, 0, size, size));
}

void TimerBarSliderCell::drawBar(QPainter &painter, const QRectF &bounds, double knobCentre) const
{
    const QPixmap played = imageFor(painter, m_playedImage);
    const QPixmap unplayed = imageFor(painter, m_unplayedImage);
    const QSizeF playedSize = played.deviceIndependentSize();
    const QSizeF unplayedSize = unplayed.deviceIndependentSize();
    const double height = unplayedSize.height();
    const double top = (bounds.height() - height) * 0.5 + bounds.y();
    const double left = bounds.x();
    const double right = bounds.right();
    lq::drawImagePart(painter, QRectF(left, top, kCap, height), played,
                      QRectF(0, 0, kCap, playedSize.height()));
    lq::drawImagePart(painter,
                      QRectF(left + kCap, top, std::max(0.0, knobCentre - (left + kCap)), height),
                      played, QRectF(kCap, 0, 1, playedSize.height()));
    lq::drawImagePart(painter,
                      QRectF(knobCentre, top, std::max(0.0, right - kCap - knobCentre), height),
                      unplayed, QRectF(kCap, 0, 1, height));
    lq::drawImagePart(painter, QRectF(right - kCap, top, kCap, height), unplayed,
                      QRectF(unplayedSize.width() - kCap, 0, kCap, height));
}

void SpeedSliderCell::drawBar(QPainter &painter, const QRectF &bounds, double) const
{
    const QPixmap bar = imageFor(painter, m_speedbarImage);
    const QSizeF size = bar.deviceIndependentSize();
    const double height = size.height();
    const double top = (bounds.height() - height) * 0.5 + bounds.y() - 1.0;
    const double left = bounds.x();
    const double width = bounds.width();
    lq::drawImagePart(painter, QRectF(left, top, kCap, height), bar, QRectF(0, 0, kCap, height));
    lq::drawImagePart(painter, QRectF(left + kCap, top, std::max(0.0, width - 2 * kCap), height),
                      bar, QRectF(kCap, 0, 1, height));
    lq::drawImagePart(painter, QRectF(left + width - kCap, top, kCap, height), bar,
                      QRectF(size.width() - kCap, 0, kCap, height));
}
