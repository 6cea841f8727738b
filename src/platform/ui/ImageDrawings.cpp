#include "platform/ui/ImageDrawings.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <utility>

namespace lq::drawings {
namespace {

// a weighted by t over b.
QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() * t + b.redF() * (1 - t)),
                            float(a.greenF() * t + b.greenF() * (1 - t)),
                            float(a.blueF() * t + b.blueF() * (1 - t)));
}

// A point of rect given as fractions of its width and height.
QPointF at(const QRectF &rect, double x, double y)
{
    return QPointF(rect.x() + x * rect.width(), rect.y() + y * rect.height());
}

QPainterPath pathThrough(const QRectF &rect, std::initializer_list<QPointF> fractions)
{
    QPainterPath path;
    for (const QPointF &point : fractions) {
        const QPointF p = at(rect, point.x(), point.y());
        if (path.elementCount() == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    return path;
}

void fillPolygon(QPainter &painter, const QRectF &rect, const QColor &ink,
                 std::initializer_list<QPointF> fractions)
{
    QPainterPath path = pathThrough(rect, fractions);
    path.closeSubpath();
    painter.fillPath(path, ink);
}

void strokeLine(QPainter &painter, const QRectF &rect, const QColor &ink,
                std::initializer_list<QPointF> fractions)
{
    painter.strokePath(pathThrough(rect, fractions),
                       QPen(ink, rect.width() * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

// A circle arrow turning anticlockwise, open at the top, its head pointing left.
void circleArrow(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    const double radius = rect.width() * 0.36;
    const QPointF centre = rect.center();
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    constexpr double startDegrees = 125.0;
    constexpr double spanDegrees = 305.0;
    QPainterPath arc;
    arc.arcMoveTo(circle, startDegrees);
    arc.arcTo(circle, startDegrees, spanDegrees);
    const double width = rect.width() * 0.1;
    painter.strokePath(arc, QPen(ink, width, Qt::SolidLine, Qt::FlatCap));

    const double end = (startDegrees + spanDegrees) * std::numbers::pi / 180.0;
    const QPointF tip = centre + QPointF(radius * std::cos(end), -radius * std::sin(end));
    const QPointF along(-std::sin(end), -std::cos(end)); // the way the arc runs, on screen
    const QPointF across(along.y(), -along.x());
    const double head = rect.width() * 0.17;
    QPainterPath arrow;
    arrow.moveTo(tip + along * head);
    arrow.lineTo(tip + across * head - along * 0.2 * head);
    arrow.lineTo(tip - across * head - along * 0.2 * head);
    arrow.closeSubpath();
    painter.fillPath(arrow, ink);
}

QColor grooveColour(const QPalette &palette)
{
    return mix(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.3);
}

void fillBar(QPainter &painter, const QRectF &rect, const QColor &colour)
{
    const double radius = rect.height() / 2;
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, colour);
}

void drawKnob(QPainter &painter, const QRectF &rect, const QColor &top, const QColor &bottom,
              const QColor &edge)
{
    const QRectF circle = rect.adjusted(1.0, 1.0, -1.0, -1.0);
    QLinearGradient fill(circle.topLeft(), circle.bottomLeft());
    fill.setColorAt(0.0, top);
    fill.setColorAt(1.0, bottom);
    painter.setPen(QPen(edge, 1.0));
    painter.setBrush(fill);
    painter.drawEllipse(circle);
}

} // namespace

void record(QPainter &painter, const QRectF &rect, const QColor &)
{
    // Red whatever the palette: the colour says "record".
    const QColor red(0xd9, 0x33, 0x2b);
    const double radius = rect.width() * 0.3;
    painter.setPen(QPen(red.darker(125), 1.0));
    painter.setBrush(red);
    painter.drawEllipse(rect.center(), radius, radius);
}

void play(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    fillPolygon(painter, rect, ink, {{0.3, 0.2}, {0.3, 0.8}, {0.8, 0.5}});
}

void pause(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    for (double left : {0.26, 0.58}) {
        QPainterPath bar;
        bar.addRoundedRect(QRectF(at(rect, left, 0.2), at(rect, left + 0.16, 0.8)), 1.0, 1.0);
        painter.fillPath(bar, ink);
    }
}

void fastForward(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    fillPolygon(painter, rect, ink, {{0.12, 0.25}, {0.12, 0.75}, {0.5, 0.5}});
    fillPolygon(painter, rect, ink, {{0.5, 0.25}, {0.5, 0.75}, {0.88, 0.5}});
}

void rewind(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    fillPolygon(painter, rect, ink, {{0.88, 0.25}, {0.88, 0.75}, {0.5, 0.5}});
    fillPolygon(painter, rect, ink, {{0.5, 0.25}, {0.5, 0.75}, {0.12, 0.5}});
}

void jumpBack30(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    circleArrow(painter, rect, ink);
    QFont font = painter.font();
    font.setPixelSize(std::max(1, int(std::lround(rect.height() * 0.34))));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(rect.adjusted(0, rect.height() * 0.04, 0, 0), Qt::AlignCenter,
                     QStringLiteral("30"));
}

void jumpBack(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    circleArrow(painter, rect, ink);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(rect.center(), rect.width() * 0.08, rect.width() * 0.08);
}

void previous(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    strokeLine(painter, rect, ink, {{0.6, 0.22}, {0.32, 0.5}, {0.6, 0.78}});
}

void next(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    strokeLine(painter, rect, ink, {{0.4, 0.22}, {0.68, 0.5}, {0.4, 0.78}});
}

void calendar(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    const QRectF page(at(rect, 0.12, 0.18), at(rect, 0.88, 0.9));
    painter.setPen(QPen(ink, rect.width() * 0.08));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(page, rect.width() * 0.08, rect.width() * 0.08);
    painter.fillRect(QRectF(page.topLeft(), QSizeF(page.width(), page.height() * 0.25)), ink);
    // The days: two rows of three.
    const double side = rect.width() * 0.12;
    for (const double y : {0.5, 0.7})
        for (const double x : {0.28, 0.5, 0.72})
            painter.fillRect(
                QRectF(at(rect, x, y) - QPointF(side / 2, side / 2), QSizeF(side, side)), ink);
}

void textLines(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    for (const auto &[y, right] : {std::pair{0.22, 0.88}, {0.41, 0.88}, {0.6, 0.88}, {0.79, 0.6}})
        strokeLine(painter, rect, ink, {{0.12, y}, {right, y}});
}

void share(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    strokeLine(painter, rect, ink,
               {{0.3, 0.45}, {0.2, 0.45}, {0.2, 0.85}, {0.8, 0.85}, {0.8, 0.45}, {0.7, 0.45}});
    strokeLine(painter, rect, ink, {{0.5, 0.65}, {0.5, 0.15}});
    strokeLine(painter, rect, ink, {{0.35, 0.3}, {0.5, 0.15}, {0.65, 0.3}});
}

void lock(QPainter &painter, const QRectF &rect, const QColor &ink, bool closed)
{
    // The shackle, swung up to the right when open, over a solid body.
    const double lift = closed ? 0.0 : 0.14;
    const QRectF shackle(at(rect, 0.3, 0.1 - lift), at(rect, 0.7, 0.6 - lift));
    painter.setPen(QPen(ink, rect.width() * 0.1));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(shackle, 0, 180 * 16);
    strokeLine(painter, rect, ink, {{0.3, 0.35 - lift}, {0.3, closed ? 0.5 : 0.35}});
    strokeLine(painter, rect, ink, {{0.7, 0.35 - lift}, {0.7, 0.5}});
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRoundedRect(QRectF(at(rect, 0.18, 0.45), at(rect, 0.82, 0.92)), rect.width() * 0.06,
                            rect.width() * 0.06);
}

void lockClosed(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    lock(painter, rect, ink, true);
}

void lockOpen(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    lock(painter, rect, ink, false);
}

void bulletList(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    for (const double y : {0.25, 0.5, 0.75}) {
        painter.drawEllipse(at(rect, 0.17, y), rect.width() * 0.08, rect.width() * 0.08);
        strokeLine(painter, rect, ink, {{0.37, y}, {0.87, y}});
    }
}

void bulletListStruck(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    bulletList(painter, rect, ink);
    strokeLine(painter, rect, ink, {{0.1, 0.9}, {0.9, 0.1}});
}

void knob(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    const QColor face = palette.color(QPalette::Button);
    const QColor text = palette.color(QPalette::ButtonText);
    drawKnob(painter, rect, mix(text, face, 0.12), face, mix(text, face, 0.55));
}

void litKnob(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    const QColor light = palette.color(QPalette::Highlight);
    drawKnob(painter, rect, light.lighter(125), light, light.darker(150));
}

void groove(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    fillBar(painter, rect, grooveColour(palette));
}

void playedGroove(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    fillBar(painter, rect, palette.color(QPalette::Highlight));
}

void strip(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    const QColor window = palette.color(QPalette::Window);
    painter.setPen(QPen(mix(palette.color(QPalette::WindowText), window, 0.18), 1.0));
    painter.setBrush(mix(palette.color(QPalette::Base), window, 0.5));
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 5.0, 5.0);
}

namespace {

// The pen lies from its chisel tip at the lower left to its cap at the upper right.
QPainterPath penBody(const QRectF &rect)
{
    QPainterPath body = pathThrough(rect, {{0.42, 0.80}, {0.20, 0.58}, {0.62, 0.16}, {0.84, 0.38}});
    body.closeSubpath();
    return body;
}

QPainterPath penTip(const QRectF &rect)
{
    QPainterPath tip = pathThrough(rect, {{0.37, 0.75}, {0.25, 0.63}, {0.10, 0.80}, {0.20, 0.90}});
    tip.closeSubpath();
    return tip;
}

QPainterPath penCap(const QRectF &rect)
{
    QPainterPath cap = pathThrough(rect, {{0.71, 0.51}, {0.49, 0.29}, {0.62, 0.16}, {0.84, 0.38}});
    cap.closeSubpath();
    return cap;
}

} // namespace

void highlighterButton(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    const QColor face = palette.color(QPalette::Button);
    painter.setPen(QPen(mix(palette.color(QPalette::ButtonText), face, 0.25), 1.0));
    painter.setBrush(face);
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 5.0, 5.0);
}

void highlighterShape(QPainter &painter, const QRectF &rect, const QPalette &)
{
    painter.fillPath(penBody(rect), Qt::black);
    painter.fillPath(penTip(rect), Qt::black);
}

void highlighterShading(QPainter &painter, const QRectF &rect, const QPalette &)
{
    painter.fillPath(penCap(rect), QColor(140, 140, 140));
    const QPen outline(QColor(70, 70, 70), 1.0);
    painter.strokePath(penBody(rect), outline);
    painter.strokePath(penTip(rect), outline);
}

void highlighterInactive(QPainter &painter, const QRectF &rect, const QPalette &palette)
{
    const QColor face = palette.color(QPalette::Button);
    const QColor ink = mix(palette.color(QPalette::ButtonText), face, 0.35);
    painter.fillPath(penBody(rect), mix(ink, face, 0.4));
    painter.fillPath(penTip(rect), mix(ink, face, 0.4));
    const QPen outline(ink, 1.0);
    painter.strokePath(penBody(rect), outline);
    painter.strokePath(penTip(rect), outline);
}

} // namespace lq::drawings
