#include "window/PreferencesIcons.h"

#include "platform/ui/ImageDrawings.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <cmath>
#include <numbers>

namespace preferences_icons {
namespace {

using Drawing = void (*)(QPainter &, const QRectF &, const QColor &);

// Draws at whatever size and pixel ratio is asked for, in the palette of the moment.
class DrawnIconEngine final : public QIconEngine
{
public:
    explicit DrawnIconEngine(Drawing drawing) : m_drawing(drawing) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const QPalette palette = QGuiApplication::palette();
        const bool selected = mode == QIcon::Selected;
        const QColor ink =
            palette.color(selected ? QPalette::HighlightedText : QPalette::WindowText);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.35);
        const double side = std::min(rect.width(), rect.height());
        QRectF square(0, 0, side, side);
        square.moveCenter(QRectF(rect).center());
        m_drawing(*painter, square, ink);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        QPixmap pixmap(size * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }

    QIconEngine *clone() const override { return new DrawnIconEngine(m_drawing); }

private:
    Drawing m_drawing;
};

QPointF at(const QRectF &rect, double x, double y)
{
    return QPointF(rect.x() + x * rect.width(), rect.y() + y * rect.height());
}

// A cog: a ring of teeth round a hole.
void gear(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    constexpr int kTeeth = 8;
    const QPointF centre = rect.center();
    const double outer = rect.width() * 0.46;
    const double inner = rect.width() * 0.34;
    QPainterPath cog;
    for (int i = 0; i < 2 * kTeeth; ++i) {
        const double radius = i % 2 == 0 ? outer : inner;
        for (const double edge : {-0.5, 0.5}) {
            const double angle = (i + edge) * std::numbers::pi / kTeeth;
            const QPointF point = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
            if (cog.elementCount() == 0)
                cog.moveTo(point);
            else
                cog.lineTo(point);
        }
    }
    cog.closeSubpath();
    cog.addEllipse(centre, rect.width() * 0.13, rect.width() * 0.13);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawPath(cog); // the hole stays empty (odd-even fill)
}

// A microphone on its stand.
void microphone(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    const double width = rect.width() * 0.3;
    painter.drawRoundedRect(QRectF(at(rect, 0.35, 0.06), at(rect, 0.65, 0.6)), width / 2,
                            width / 2);
    painter.setPen(QPen(ink, rect.width() * 0.08, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(at(rect, 0.22, 0.2), at(rect, 0.78, 0.74)), 180 * 16, 180 * 16);
    painter.drawLine(at(rect, 0.5, 0.74), at(rect, 0.5, 0.9));
    painter.drawLine(at(rect, 0.32, 0.92), at(rect, 0.68, 0.92));
}

// A folder with an arrow going in.
void folder(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    painter.setPen(QPen(ink, rect.width() * 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    QPainterPath outline;
    outline.moveTo(at(rect, 0.08, 0.88));
    for (const auto &[x, y] :
         {std::pair{0.08, 0.22}, {0.38, 0.22}, {0.46, 0.32}, {0.92, 0.32}, {0.92, 0.88}})
        outline.lineTo(at(rect, x, y));
    outline.closeSubpath();
    painter.drawPath(outline);
    painter.drawLine(at(rect, 0.5, 0.44), at(rect, 0.5, 0.76));
    painter.drawPolyline(
        QPolygonF{at(rect, 0.36, 0.62), at(rect, 0.5, 0.76), at(rect, 0.64, 0.62)});
}

// A globe: its outline, a meridian and two parallels.
void globe(QPainter &painter, const QRectF &rect, const QColor &ink)
{
    painter.setPen(QPen(ink, rect.width() * 0.07, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    const QRectF ball(at(rect, 0.1, 0.1), at(rect, 0.9, 0.9));
    painter.drawEllipse(ball);
    painter.drawEllipse(QRectF(at(rect, 0.32, 0.1), at(rect, 0.68, 0.9)));
    painter.drawLine(at(rect, 0.1, 0.5), at(rect, 0.9, 0.5));
    painter.drawLine(at(rect, 0.18, 0.3), at(rect, 0.82, 0.3));
    painter.drawLine(at(rect, 0.18, 0.7), at(rect, 0.82, 0.7));
}

QIcon themed(const char *name, Drawing drawing)
{
    return QIcon::fromTheme(QString::fromLatin1(name), QIcon(new DrawnIconEngine(drawing)));
}

} // namespace

QIcon general()
{
    return themed("preferences-system", gear);
}

QIcon recording()
{
    return themed("audio-input-microphone", microphone);
}

QIcon playback()
{
    return themed("media-playback-start", lq::drawings::play);
}

QIcon saving()
{
    return themed("document-save", folder);
}

QIcon sharing()
{
    return themed("applications-internet", globe);
}

} // namespace preferences_icons
