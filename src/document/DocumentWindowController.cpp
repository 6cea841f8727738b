#include "document/DocumentWindowController.h"

QAbstractButton *transportButton(const DocumentWindowOutlets &outlets, TransportButton which)
{
    switch (which) {
    case TransportButton::Record:
        return outlets.recordButton;
    case TransportButton::Play:
        return outlets.playButton;
    case TransportButton::Back:
        return outlets.backButton;
    case TransportButton::Rewind:
        return outlets.rwButton;
    case TransportButton::FastForward:
        return outlets.ffButton;
    case TransportButton::Pause:
        return outlets.pauseButton;
    case TransportButton::PreviousSlide:
        return outlets.prevSlideButton;
    case TransportButton::NextSlide:
        return outlets.nextSlideButton;
    }
    return nullptr;
}
