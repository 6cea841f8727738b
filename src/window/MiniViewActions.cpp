#include "window/MiniViewActions.h"

#include "window/LQUserInterfaceValidator.h"

#include <QAbstractButton>
#include <QMouseEvent>

using Button = LQVideoViewController::TransportButton;

bool MiniViewActions::validateUserInterfaceItem(const QAction *item) const
{
    LQUserInterfaceValidator *document = m_controller ? m_controller->recordingDoc() : nullptr;
    return document && document->validateUserInterfaceItem(item);
}

void MiniViewActions::sendDoubleClick(QMouseEvent *event,
                                      void (LQVideoViewController::*message)()) const
{
    event->accept();
    if (m_controller)
        (m_controller->*message)();
}

void MiniViewActions::press(Button button)
{
    if (!m_controller)
        return;
    if (QAbstractButton *control = m_controller->transportButton(button))
        control->click();
}

void MiniViewActions::pressRecordButton()
{
    press(Button::Record);
}

void MiniViewActions::pressPlayButton()
{
    press(Button::Play);
}

void MiniViewActions::pressBackButton()
{
    press(Button::Back);
}

void MiniViewActions::pressRWButton()
{
    press(Button::Rewind);
}

void MiniViewActions::pressFFButton()
{
    press(Button::FastForward);
}

void MiniViewActions::pressPauseButton()
{
    press(Button::Pause);
}

void MiniViewActions::pressPrevSlideButton()
{
    press(Button::PreviousSlide);
}

void MiniViewActions::pressNextSlideButton()
{
    press(Button::NextSlide);
}
