#pragma once

#include "platform/media/GstCaptureDevices.h"
#include "support/FakeUpdater.h"
#include "support/TestUserDefaults.h"
#include "window/NoteWindowFixture.h"
#include "window/TestDeviceEngines.h"

#include <gtest/gtest.h>

#include <memory>

namespace lq::test {

// A new note's window over the program's own engines, recording sound only from GStreamer's test
// microphone. Tests skip when the machine has none (available() is false).
class TestMicrophoneNote
{
public:
    TestMicrophoneNote()
    {
        const QString microphone =
            preferences.audioDevices().key(GstCaptureDevices::kTestMicrophoneId);
        if (microphone.isEmpty())
            return;
        preferences.setSelectedAudioDeviceName(microphone);
        note = std::make_unique<NoteWindowFixture>(preferences);
        note->controller->setAudioState(1);
        note->controller->setVideoState(0);
    }

    bool available() const { return note != nullptr; }

    TestUserDefaults defaults;
    GstCaptureDevices devices;
    FakeUpdater updater;
    PrefsController preferences{PrefsController::Services{&devices, &updater}};
    TestDeviceEngines engines{{&preferences, &devices}};
    std::unique_ptr<NoteWindowFixture> note;
};

} // namespace lq::test
