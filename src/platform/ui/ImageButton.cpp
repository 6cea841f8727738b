#include "platform/ui/ImageButton.h"

#include "platform/ui/NamedImages.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

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
    QPixmap image = namedImage(alternate ? m_alternateImage : m_image, ratio);
    if (!image.isNull()) {
        if (isDown() && !alternate) {
            QPainter darken(&image);
            darken.setCompositionMode(QPainter::CompositionMode_SourceAtop);
            darken.fillRect(QRectF(QPointF(), image.deviceIndependentSize()), QColor(0, 0, 0, 70));
        }
        QRectF place(QPointF(), image.deviceIndependentSize());
        place.moveCenter(QRectF(rect()).center());
        painter.drawPixmap(place.topLeft(), image);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.backgroundColor = palette().color(QPalette::Window);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

} // namespace lq
