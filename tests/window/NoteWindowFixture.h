#pragma once

#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/MainThread.h"
#include "preferences/PrefsController.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeUpdater.h"
#include "support/TestUserDefaults.h"
#include "window/DocumentWindow.h"
#include "window/RecordingController.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace lq::test {

// A new note in its own window, set up by the note as the program does, shown and active.
// Which engines it records and plays with is the test's: install a factory first.
class NoteWindowFixture
{
public:
    explicit NoteWindowFixture(CaptureDevices &devices)
        : preferences(
              std::make_unique<PrefsController>(PrefsController::Services{&devices, &updater}))
        , document(MyDocument::create())
    {
        auto made = std::make_unique<RecordingController>(*document, *preferences);
        controller = made.get();
        document->addWindowController(std::move(made));
        window().show();
        window().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window()));
    }

    DocumentWindow &window() const { return controller->window(); }
    WrenRecording &recording() const { return document->recordingObject(); }

    TestUserDefaults defaults;
    FakeUpdater updater;
    std::unique_ptr<PrefsController> preferences;
    std::unique_ptr<MyDocument> document;
    RecordingController *controller = nullptr; // owned by the note
};

} // namespace lq::test
