#include "window/TimeView.h"

#include <QMouseEvent>

TimeView::TimeView(QWidget *parent) : QLabel(parent), m_currentObject(lq::clockEpoch())
{
    setAlignment(Qt::AlignCenter);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setToolTip(tr("Click to see total recorded duration"));
    setObjectValue(std::nullopt);
}

void TimeView::setToolbarItemLabel(QLabel *label)
{
    m_toolbarItemLabel = label;
    m_normalLabel = label ? label->text() : QString();
}

void TimeView::setObjectValue(std::optional<lq::Date> time)
{
    m_currentObject = time.value_or(lq::clockEpoch());
    if (!m_mouseIsDown)
        display(m_currentObject);
}

QSize TimeView::sizeHint() const
{
    // Wide enough for ten hours and more, so that the toolbar does not move as the clock runs.
    const QSize text = fontMetrics().size(Qt::TextSingleLine, QStringLiteral("00:00:00"));
    return QSize(text.width() + 2 * margin() + 8, text.height() + 2 * margin() + 2);
}

QSize TimeView::minimumSizeHint() const
{
    return sizeHint();
}

void TimeView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const double length = m_controller ? m_controller->recordingLength() : -1.0;
    if (length >= 0.0) {
        m_mouseIsDown = true;
        display(lq::clockEpoch().addingTimeInterval(length));
    }
    setToolbarLabel(tr("Total Time"));
}

void TimeView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    if (m_mouseIsDown) {
        display(m_currentObject);
        m_mouseIsDown = false;
    }
    setToolbarLabel(m_normalLabel);
}

void TimeView::display(lq::Date time)
{
    setText(lq::formatClockTime(time));
}

void TimeView::setToolbarLabel(const QString &text)
{
    if (m_toolbarItemLabel)
        m_toolbarItemLabel->setText(text);
}
