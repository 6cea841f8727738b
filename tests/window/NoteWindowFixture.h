#pragma once

#include "document/MyDocument.h"
#include "model/WrenRecording.h"
#include "preferences/PrefsController.h"
#include "window/DocumentWindow.h"
#include "window/RecordingController.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace lq::test {

// A new note in its own window, set up by the note as the program does, shown and active. The
// engines it records and plays with, and the user defaults, are the test's.
class NoteWindowFixture
{
public:
    explicit NoteWindowFixture(PrefsController &preferences) : document(MyDocument::create())
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
