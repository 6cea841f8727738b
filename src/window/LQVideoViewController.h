#pragma once

#include "document/DocumentWindowController.h"

class LQUserInterfaceValidator;
class QAbstractButton;

// What the video view and the sidebar's mini views ask of the window controller that installs
// them. Every call is optional: the defaults do nothing or answer null.
class LQVideoViewController
{
public:
    using TransportButton = ::TransportButton;

    virtual ~LQVideoViewController() = default;

    // The user double-clicked the video: show it in a window of its own.
    virtual void QTMiniViewDoubleClicked() {}
    // The user double-clicked the slide: show the slides in a window of their own.
    virtual void pdfMiniViewDoubleClicked() {}
    virtual QAbstractButton *transportButton(TransportButton) { return nullptr; }
    // The recording's document, which validates menu items.
    virtual LQUserInterfaceValidator *recordingDoc() { return nullptr; }
};
