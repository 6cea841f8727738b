#include "platform/ui/ImageButton.h"

#include "platform/ui/NamedImages.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

#include <cmath>

namespace lq {

ImageButton::ImageButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::TabFocus);
}

void ImageButton::setImages(const QString &image, const QString &alternateImage)
{
    if (image == m_image && alternateImage == m_alternateImage)
        return;
    const bool resized = namedImageSize(image) != namedImageSize(m_image);
    m_image = image;
    m_alternateImage = alternateImage;
    if (resized)
        updateGeometry();
    update();
}

QSize ImageButton::sizeHint() const
{
    const QSize size = namedImageSize(m_image);
    return size.isEmpty() ? QSize(16, 16) : size;
}

void ImageButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const qreal ratio = painter.device()->devicePixelRatioF();
    const bool alternate = isDown() && !m_alternateImage.isEmpty();
    const QPixmap image = namedImage(alternate ? m_alternateImage : m_image, ratio);
    // Centred on whole pixels, so that the image stays sharp.
    const QSizeF size = image.deviceIndependentSize();
    const QRectF place(QPointF(std::floor((width() - size.width()) / 2),
                               std::floor((height() - size.height()) / 2)),
                       size);
    if (isDown() && !alternate) {
        // Held without an image for it: a shade behind the image.
        QColor shade = palette().color(QPalette::WindowText);
        shade.setAlphaF(0.15f);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(shade);
        painter.drawRoundedRect(place.isEmpty() ? QRectF(rect()) : place.adjusted(1, 1, -1, -1),
                                6.0, 6.0);
    }
    if (!image.isNull())
        painter.drawPixmap(place.topLeft(), image);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace lq
