#pragma once

#include "document/DocumentWindowController.h"

class LQUserInterfaceValidator;
class QAbstractButton;

// What the video view asks of the window controller that installs it. Every call is optional:
// the defaults do nothing or answer null.
class LQVideoViewController
{
public:
    using TransportButton = ::TransportButton;

    virtual ~LQVideoViewController() = default;

    // The user double-clicked the video: show it in a window of its own.
    virtual void QTMiniViewDoubleClicked() {}
    virtual QAbstractButton *transportButton(TransportButton) { return nullptr; }
    // The recording's document, which validates menu items.
    virtual LQUserInterfaceValidator *recordingDoc() { return nullptr; }
};
