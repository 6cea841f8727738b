#pragma once

class LQRecSession;
class LQRecordingController;
class QUrl;

// The recording object as its recording engine sees it. An engine sends a callback only when the
// owner is set and answers it; an owner answers none unless it says otherwise.
class LQRecSessionOwner
{
public:
    enum class Callback {
        DidStartRecordingToOutputFile,
        SessionRecordingCompleted,
        Controller,
        RecordingStopped,
    };

    virtual ~LQRecSessionOwner() = default;

    virtual bool answers(Callback) const { return false; }

    // The first media file of a session has begun to be written (not later files of it), its
    // first sample captured secondsAgo before this call. The address is the first file's or the
    // stem's, depending on the engine.
    virtual void didStartRecordingToOutputFile(const QUrl &, double /*secondsAgo*/) {}
    // The last file of a session is finished after a stop.
    virtual void sessionRecordingCompleted(LQRecSession *) {}
    // The window controller, asked to stop the recording after a fatal capture error.
    virtual LQRecordingController *controller() { return nullptr; }
    // The engine hit a recording error and has torn its capture down. Main thread.
    virtual void recordingStopped() {}
};
