#include "window/LQVideoView.h"

#include "platform/media/Letterbox.h"
#include "window/LQUserInterfaceValidator.h"

#include <QAbstractButton>
#include <QResizeEvent>

using Button = LQVideoViewController::TransportButton;

LQVideoView::LQVideoView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::ClickFocus);
}

LQVideoView::~LQVideoView() = default;

void LQVideoView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QList<QWidget *> children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    if (children.size() != 1)
        return;
    QWidget *picture = children.first();
    const QSizeF ratioSource = m_naturalSize.value_or(QSizeF(picture->size()));
    // A zero height gives an infinite or undefined ratio, which fills the view.
    const double ratio = ratioSource.width() / ratioSource.height();
    picture->setGeometry(lq::letterboxFrame(ratio, QSizeF(event->size())).toRect());
}

void LQVideoView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
    if (m_controller)
        m_controller->QTMiniViewDoubleClicked();
}

bool LQVideoView::validateUserInterfaceItem(const QAction *item) const
{
    LQUserInterfaceValidator *document = m_controller ? m_controller->recordingDoc() : nullptr;
    return document && document->validateUserInterfaceItem(item);
}

void LQVideoView::press(Button button)
{
    if (!m_controller)
        return;
    if (QAbstractButton *control = m_controller->transportButton(button))
        control->click();
}

void LQVideoView::pressRecordButton()
{
    press(Button::Record);
}

void LQVideoView::pressPlayButton()
{
    press(Button::Play);
}

void LQVideoView::pressBackButton()
{
    press(Button::Back);
}

void LQVideoView::pressRWButton()
{
    press(Button::Rewind);
}

void LQVideoView::pressFFButton()
{
    press(Button::FastForward);
}

void LQVideoView::pressPauseButton()
{
    press(Button::Pause);
}

void LQVideoView::pressPrevSlideButton()
{
    press(Button::PreviousSlide);
}

void LQVideoView::pressNextSlideButton()
{
    press(Button::NextSlide);
}
