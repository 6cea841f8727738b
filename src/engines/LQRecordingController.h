#pragma once

// The window controller as engines and sessions reach it: the one request they make of it.
class LQRecordingController
{
public:
    virtual ~LQRecordingController() = default;
    virtual void stopRecording() = 0;
};
