#pragma once

#include "engines/LQRecordingController.h"
#include "platform/foundation/Date.h"

#include <QString>

#include <cstdint>

class QWidget;
class WrenTimerSession;

// The document window's controller as the recording object drives it. The recording object
// sends these unconditionally; the observed values arrive through the *Changed calls, on the
// thread that changed them.
class RecordingWindowController : public LQRecordingController
{
public:
    virtual void setRecordingExists() = 0;
    virtual void setRecordingGone() = 0;
    virtual void setSlidesPath(const QString &path) = 0;
    // The note has no slides any more: the panes show none.
    virtual void removeSlidesFile() = 0;
    // Shows a slide (from 1); recordUndo is false for the changes playback makes.
    virtual void gotoSlide(uint32_t slide, bool recordUndo) = 0;
    // The view to show in the video pane: the live preview or recorded video; null for none.
    virtual void setVideoView(QWidget *) {}
    virtual void expandSlidesSection() = 0;
    virtual void expandVideoSection() = 0;
    virtual void playbackStopped() = 0;
    virtual void close() = 0;

    virtual void clockTimeChanged(lq::Date clockTime) = 0;
    virtual void percentageDoneChanged(float percentage) = 0;
    virtual void selectedPlaybackSpeedChanged(float speed) = 0;
    virtual void sessionClockTimeChanged(WrenTimerSession *session, lq::Date clockTime) = 0;
    // The recording engine's input level, while the controller observes it.
    virtual void audioLevelChanged(float) {}
};
