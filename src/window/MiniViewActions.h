#pragma once

#include "window/LQVideoViewController.h"

class QAction;
class QMouseEvent;

// What the views of the media sidebar and the promoted windows share: their window controller,
// the transport actions that click its buttons (so that they work while such a view has the
// focus) and menu validation by the recording's document.
class MiniViewActions
{
public:
    virtual ~MiniViewActions() = default;

    // Not owned; may be null.
    LQVideoViewController *controller() const { return m_controller; }
    void setController(LQVideoViewController *controller) { m_controller = controller; }

    // False without a controller or its document; otherwise the document decides.
    bool validateUserInterfaceItem(const QAction *item) const;

    void pressRecordButton();
    void pressPlayButton();
    void pressBackButton();
    void pressRWButton();
    void pressFFButton();
    void pressPauseButton();
    void pressPrevSlideButton();
    void pressNextSlideButton();

protected:
    // Takes a double click from the view's base class and sends message to the controller.
    void sendDoubleClick(QMouseEvent *event, void (LQVideoViewController::*message)()) const;

private:
    void press(LQVideoViewController::TransportButton button);

    LQVideoViewController *m_controller = nullptr;
};
