#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace lq {

// The images of the program's controls, by name: the transport button images ("LUMAplay",
// "LUMAplay-disabled", "LUMAplay-active", ...), the slide buttons ("previous-slide",
// "next-slide"), the share button ("Share-Icon-Active", "Share-Icon-Inactive"), the slider pieces
// ("scrobber-handle", "scrobber-handle-lit", "playedslider", "unplayedslider", "speedbar", "tbb"),
// the information bar's icons ("info-date", "info-characters", "info-recorded", 16 by 16), the
// list button's ("LUMAlist", "LUMAlist_no", each also "-inactive", 16 by 16) and the highlighter
// pen's pieces ("Hilighter-Icon-Button", "Hilighter-Icon-Black", "Hilighter-Icon-Pen",
// "Hilighter-Icon-Pen-Inactive", 31 by 30). A button image whose meaning the freedesktop icon
// theme has (record, play, pause, seek, go back and forward) shows the theme's icon where the
// desktop's theme holds it; every name also has a drawing of our own. Images follow the
// application's palette and are drawn for the device pixel ratio asked for, then kept. GUI
// thread only.

// The image at a device pixel ratio; a null pixmap for a name we do not have.
QPixmap namedImage(const QString &name, qreal devicePixelRatio);
// The image's device-independent size; an empty size for a name we do not have.
QSize namedImageSize(const QString &name);

} // namespace lq

class QPainter;
class QRectF;

namespace lq {

// Draws the part source of image (device-independent coordinates, whatever the image's device
// pixel ratio) into target, stretched to fill it.
void drawImagePart(QPainter &painter, const QRectF &target, const QPixmap &image,
                   const QRectF &source);

} // namespace lq
