#pragma once

#include <QColor>
#include <QRectF>

class QPainter;
class QPalette;

// Our drawings of the control images that NamedImages serves.
namespace lq::drawings {

// Button glyphs, drawn in ink inside rect (square).
void record(QPainter &painter, const QRectF &rect, const QColor &ink);
void play(QPainter &painter, const QRectF &rect, const QColor &ink);
void pause(QPainter &painter, const QRectF &rect, const QColor &ink);
void fastForward(QPainter &painter, const QRectF &rect, const QColor &ink);
void rewind(QPainter &painter, const QRectF &rect, const QColor &ink);
void jumpBack30(QPainter &painter, const QRectF &rect, const QColor &ink); // with "30" inside
void jumpBack(QPainter &painter, const QRectF &rect, const QColor &ink);
void previous(QPainter &painter, const QRectF &rect, const QColor &ink);
void next(QPainter &painter, const QRectF &rect, const QColor &ink);
void share(QPainter &painter, const QRectF &rect, const QColor &ink); // a tray, an arrow out
void lockClosed(QPainter &painter, const QRectF &rect, const QColor &ink);
void lockOpen(QPainter &painter, const QRectF &rect, const QColor &ink);
// The list button: bullets before lines, and the same struck through (take the list away).
void bulletList(QPainter &painter, const QRectF &rect, const QColor &ink);
void bulletListStruck(QPainter &painter, const QRectF &rect, const QColor &ink);

// Information bar icons, drawn in ink inside rect (square).
void calendar(QPainter &painter, const QRectF &rect, const QColor &ink);
void textLines(QPainter &painter, const QRectF &rect, const QColor &ink);

// Slider pieces, filling rect.
void knob(QPainter &painter, const QRectF &rect, const QPalette &palette);
void litKnob(QPainter &painter, const QRectF &rect, const QPalette &palette);
void groove(QPainter &painter, const QRectF &rect, const QPalette &palette);
void playedGroove(QPainter &painter, const QRectF &rect, const QPalette &palette);
void strip(QPainter &painter, const QRectF &rect, const QPalette &palette);

// The highlighter pen's pieces, filling rect: the button behind it, the pen's shape in opaque
// black (tinted with the pen's colour), its outline and cap to multiply over the tint, and the
// whole pen greyed out.
void highlighterButton(QPainter &painter, const QRectF &rect, const QPalette &palette);
void highlighterShape(QPainter &painter, const QRectF &rect, const QPalette &palette);
void highlighterShading(QPainter &painter, const QRectF &rect, const QPalette &palette);
void highlighterInactive(QPainter &painter, const QRectF &rect, const QPalette &palette);

} // namespace lq::drawings
