#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "model/WrenEvents.h"
#include "model/WrenRecording.h"
#include "preferences/PrefsController.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeUpdater.h"
#include "support/TestUserDefaults.h"
#include "support/WidgetPictures.h"
#include "window/DocumentWindow.h"
#include "window/RecordingController.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;

// A new note in the program's own window, set up by the note as when the program opens one.
TEST(NoteWindowTest, ANewNoteOpensInItsWindowAndTypingIsStampedAndCounted)
{
    lq::test::TestUserDefaults defaults;
    lq::test::FakeCaptureDevices devices;
    lq::test::FakeUpdater updater;
    lq::test::FakeEngineFactory engines;
    PrefsController preferences(PrefsController::Services{&devices, &updater});
    std::unique_ptr<MyDocument> document = MyDocument::create();
    ASSERT_NE(document, nullptr);
    auto made = std::make_unique<RecordingController>(*document, preferences);
    DocumentWindow &window = made->window();
    document->addWindowController(std::move(made));
    EXPECT_FALSE(document->startingUp());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    WrenTextView *view = document->textView();
    ASSERT_EQ(view, window.textView);
    view->setFocus();
    const QString typed = u"First notes"_s;
    QTest::keyClicks(view, typed);
    QCoreApplication::processEvents();
    EXPECT_EQ(document->textStorage().string(), typed);
    const WrenEvents &events = document->recordingObject().events();
    for (qsizetype i = 0; i < typed.size(); ++i)
        EXPECT_NE(events.getEventForCharacter(uint32_t(i), true), nullptr) << i;
    EXPECT_TRUE(window.charCountField->text().contains(QString::number(typed.size())))
        << window.charCountField->text().toStdString();
    EXPECT_TRUE(window.notesDateField->isVisible());
    EXPECT_FALSE(window.recLengthField->isVisible()); // nothing recorded yet

    const QImage shot = lq::test::picture(window, 1.0);
    shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(u"NoteWindow.png"_s));
    EXPECT_GT(lq::test::colourCount(shot), 8);
}

} // namespace
