#pragma once

class LQUserInterfaceValidator;
class QAbstractButton;

// What the video view asks of the window controller that installs it. Every call is optional:
// the defaults do nothing or answer null.
class LQVideoViewController
{
public:
    enum class TransportButton {
        Record,
        Play,
        Back,
        Rewind,
        FastForward,
        Pause,
        PreviousSlide,
        NextSlide,
    };

    virtual ~LQVideoViewController() = default;

    // The user double-clicked the video: show it in a window of its own.
    virtual void QTMiniViewDoubleClicked() {}
    virtual QAbstractButton *transportButton(TransportButton) { return nullptr; }
    // The recording's document, which validates menu items.
    virtual LQUserInterfaceValidator *recordingDoc() { return nullptr; }
};
