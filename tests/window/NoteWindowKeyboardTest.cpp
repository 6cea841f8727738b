// The keyboard belongs to the notes: what the window's controls do to it, and how they look.

#include "document/BMColorPicker.h"
#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "platform/ui/ImageButton.h"
#include "support/ModalWatcher.h"
#include "support/WidgetPictures.h"
#include "window/NoteWindowFixture.h"
#include "window/SidebarSection.h"
#include "window/TimerBarBack.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QToolButton>

namespace {

using namespace Qt::StringLiterals;

const lq::CaptureDevice kMicrophone{u"mic-1"_s, u"Microphone"_s, lq::CaptureDeviceKind::Audio, true,
                                    false};

class NoteWindowKeyboardTest : public testing::Test, protected lq::test::FakeNoteServices
{
protected:
    NoteWindowKeyboardTest() { devices.setDevices({kMicrophone}); }
};

TEST_F(NoteWindowKeyboardTest, TypingGoesIntoTheNotesAfterAClickOnAnyControl)
{
    lq::test::NoteWindowFixture note(preferences);
    DocumentWindow &w = note.window();
    EXPECT_EQ(QApplication::focusWidget(), w.textView) << "the window opens with the notes";

    // Typed as the user types: to whatever has the keyboard.
    QString expected = u"Notes"_s;
    // What follows the caret: the line end that a list at the end of the text adds.
    QString after;
    QTest::keyClicks(nullptr, expected);
    const struct
    {
        const char *name;
        QWidget *control;
    } controls[] = {
        {"the audio section's disclosure", w.audioSectionView->disclosureButton()},
        {"Preview audio input", w.audioPreviewCheckBox},
        {"the video section's disclosure", w.videoSectionView->disclosureButton()},
        {"Preview camera", w.videoPreviewCheckBox},
        {"Video", w.videoCheckBox},
        {"Audio", w.audioCheckBox},
        {"Slower", w.speedMinusButton},
        {"Faster", w.speedPlusButton},
        {"Share", w.shareButton},
        {"Lists", w.listButton},
        {"the highlighter", w.colorPicker},
        {"the sidebar's collapse button", w.collapseButton},
        {"Record", w.recordButton},
    };
    for (const auto &c : controls) {
        SCOPED_TRACE(c.name);
        // Sections open over half a second.
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return c.control->visibleRegion().boundingRect() == c.control->rect(); }));
        const bool share = c.control == w.shareButton;
        if (share) // the sharing settings come first, and go
            whenModalShown<QDialog>([](QDialog *settings) { settings->reject(); });
        QTest::mouseClick(c.control, Qt::LeftButton);
        QCoreApplication::processEvents();
        if (share) // the offscreen platform activates no window after a modal one
            note.activate();
        EXPECT_EQ(QApplication::focusWidget(), w.textView);
        if (c.control == w.listButton) {
            expected.prepend(u"\t•\t"_s);
            after = u"\n"_s;
        }
        QTest::keyClicks(nullptr, u" and"_s);
        expected += u" and"_s;
        EXPECT_EQ(note.document->textStorage().string(), expected + after);
    }
    EXPECT_TRUE(note.document->recording) << "no typed space pressed Record again";
    QTest::mouseClick(w.recordButton, Qt::LeftButton);
}

TEST_F(NoteWindowKeyboardTest, TheWindowAsItOpensAndTheShareButtonKeepsItsLook)
{
    lq::test::NoteWindowFixture note(preferences);
    DocumentWindow &w = note.window();
    for (SidebarSection *section : {w.audioSectionView, w.videoSectionView, w.slidesSectionView})
        section->setExpanded(true);
    QCoreApplication::processEvents();
    const QImage shot = lq::test::picture(w, 1.0);
    shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(u"NoteWindowOpened.png"_s));
    EXPECT_GT(lq::test::colourCount(shot), 8);

    EXPECT_TRUE(w.videoSectionView->isAncestorOf(w.videoPreviewCheckBox));
    EXPECT_TRUE(w.audioSectionView->isAncestorOf(w.audioPreviewCheckBox));
    EXPECT_TRUE(w.shareButton->isEnabled());
    EXPECT_TRUE(w.listButton->isEnabled());

    const QRect shareBefore = w.shareButton->geometry();
    const QRect stripBefore = w.timerStrip->geometry();
    QTest::mouseClick(w.recordButton, Qt::LeftButton);
    ASSERT_TRUE(note.document->recording);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.shareButton->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_EQ(w.shareButton->text(), u"Share"_s);
    EXPECT_EQ(w.shareButton->geometry(), shareBefore);
    EXPECT_EQ(w.timerStrip->geometry(), stripBefore) << "the toolbar does not shift";
    QTest::mouseClick(w.recordButton, Qt::LeftButton);
}

} // namespace
