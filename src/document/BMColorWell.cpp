#include "document/BMColorWell.h"

#include "document/BMColorPicker.h"
#include "platform/ui/NamedImages.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int kTriangleSide = 11;

QPixmap pieceOf(const char *name, qreal devicePixelRatio)
{
    return lq::namedImage(QString::fromLatin1(name), devicePixelRatio);
}

} // namespace

BMColorWell::BMColorWell(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void BMColorWell::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    m_tintIsValid = false;
    update();
}

void BMColorWell::setSelected(bool selected)
{
    m_selected = selected;
    update();
}

void BMColorWell::setShowDisclosureTriangle(bool show)
{
    m_showDisclosureTriangle = show;
    update();
}

QRect BMColorWell::triangleFrame() const
{
    return QRect(19, height() - kTriangleSide, kTriangleSide, kTriangleSide);
}

void BMColorWell::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        m_tintIsValid = false;
    QWidget::changeEvent(event);
}

const QPixmap &BMColorWell::tintedPen(qreal devicePixelRatio)
{
    if (m_tintIsValid && m_tinted.devicePixelRatio() == devicePixelRatio)
        return m_tinted;
    // This well's own copy of the shape: other wells keep their colours.
    m_tinted = pieceOf("Hilighter-Icon-Black", devicePixelRatio).copy();
    QPainter tint(&m_tinted);
    tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
    tint.fillRect(QRectF(QPointF(), m_tinted.deviceIndependentSize()), m_color);
    tint.end();
    m_tintIsValid = true;
    return m_tinted;
}

void BMColorWell::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawPixmap(0, 0, pieceOf("Hilighter-Icon-Button", ratio));
    if (!isEnabled()) {
        painter.drawPixmap(0, 0, pieceOf("Hilighter-Icon-Pen-Inactive", ratio));
        return;
    }
    painter.drawPixmap(0, 0, tintedPen(ratio));
    // The outline and cap darken the tint (the platform's plus-darker, near enough).
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.drawPixmap(0, 0, pieceOf("Hilighter-Icon-Pen", ratio));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_selected) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 5.0, 5.0);
    }
    if (m_showDisclosureTriangle) {
        const QPointF origin = triangleFrame().topLeft();
        QPainterPath triangle;
        triangle.moveTo(origin + QPointF(1, 4));
        triangle.lineTo(origin + QPointF(8, 4));
        triangle.lineTo(origin + QPointF(4.5, 8));
        triangle.closeSubpath();
        painter.fillPath(triangle, Qt::black);
    }
}

BMColorChoice::BMColorChoice(QWidget *parent) : QWidget(parent), m_well(new BMColorWell(this))
{
    setFocusPolicy(Qt::NoFocus);
}

void BMColorChoice::mousePressEvent(QMouseEvent *event)
{
    if (m_picker)
        m_picker->choiceClicked(this);
    event->accept();
}

void BMColorChoice::resizeEvent(QResizeEvent *event)
{
    m_well->setGeometry(rect());
    QWidget::resizeEvent(event);
}
