#pragma once

#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "preferences/PrefsController.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeUpdater.h"
#include "support/TestUserDefaults.h"
#include "window/DocumentWindow.h"
#include "window/RecordingController.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace lq::test {

// What a note's window needs from the program, all of it the test's: user defaults, capture
// devices (none unless set), an updater, the preferences over them and the engines.
struct FakeNoteServices
{
    TestUserDefaults defaults;
    FakeCaptureDevices devices;
    FakeUpdater updater;
    PrefsController preferences{PrefsController::Services{&devices, &updater}};
    FakeEngineFactory engines;
};

// A note (a new one unless given) in its own window, set up hidden by the note as the program
// does, then shown and active. The engines it records and plays with, and the user defaults,
// are the test's.
class NoteWindowFixture
{
public:
    explicit NoteWindowFixture(PrefsController &preferences,
                               std::unique_ptr<MyDocument> note = MyDocument::create())
        : document(std::move(note))
    {
        auto made = std::make_unique<RecordingController>(*document, preferences);
        controller = made.get();
        document->addWindowController(std::move(made));
        window().show();
        activate();
    }

    // The offscreen platform gives the activation back to no window when a progress window
    // closes.
    void activate() const
    {
        window().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window()));
    }

    DocumentWindow &window() const { return controller->window(); }
    WrenRecording &recording() const { return document->recordingObject(); }

    std::unique_ptr<MyDocument> document;
    RecordingController *controller = nullptr; // owned by the note
};

} // namespace lq::test
