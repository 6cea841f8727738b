#include "document/ScaledImageHandler.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>

namespace {

QImage imageOf(QTextDocument *document, const QTextFormat &format)
{
    const QVariant resource =
        document->resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()));
    if (resource.canConvert<QImage>())
        return resource.value<QImage>();
    return {};
}

} // namespace

void ScaledImageHandler::install(QTextDocument *document)
{
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    if (dynamic_cast<ScaledImageHandler *>(layout->handlerForObject(QTextFormat::ImageObject)))
        return;
    layout->registerHandler(QTextFormat::ImageObject, new ScaledImageHandler(layout));
}

QSizeF ScaledImageHandler::fittedSize(const QSizeF &natural, qreal availableWidth)
{
    if (availableWidth <= 0 || natural.width() <= availableWidth || natural.width() <= 0)
        return natural;
    return QSizeF(availableWidth, natural.height() * availableWidth / natural.width());
}

QSizeF ScaledImageHandler::intrinsicSize(QTextDocument *document, int, const QTextFormat &format)
{
    const QImage image = imageOf(document, format);
    if (image.isNull())
        return {};
    const QSizeF natural = image.deviceIndependentSize();
    const qreal width = document->textWidth();
    return fittedSize(natural, width > 0 ? width - 2 * document->documentMargin() : 0);
}

void ScaledImageHandler::drawObject(QPainter *painter, const QRectF &rect, QTextDocument *document,
                                    int, const QTextFormat &format)
{
    const QImage image = imageOf(document, format);
    if (image.isNull())
        return;
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(rect, image);
    painter->restore();
}
