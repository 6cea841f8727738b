#pragma once

#include <QObject>
#include <QSizeF>
#include <QTextObjectInterface>

class QTextDocument;

// Lays out and draws the pictures of a text: at their natural size when they fit the width of
// the text, else scaled down to it, keeping their proportions.
class ScaledImageHandler : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    // Makes document's layout use a handler of this kind for its pictures (once).
    static void install(QTextDocument *document);

    // A picture's size given the width the text leaves it (none scales nothing).
    static QSizeF fittedSize(const QSizeF &natural, qreal availableWidth);

    QSizeF intrinsicSize(QTextDocument *document, int positionInDocument,
                         const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *document,
                    int positionInDocument, const QTextFormat &format) override;

private:
    using QObject::QObject;
};
