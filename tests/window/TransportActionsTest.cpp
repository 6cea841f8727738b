#include "platform/ui/ImageButton.h"
#include "platform/ui/MainMenu.h"
#include "shared/AppFolders.h"
#include "window/AudioMeter.h"
#include "window/DocumentMenus.h"
#include "window/NoteWindowFixture.h"
#include "window/PromotedWindow.h"
#include "window/TimerBarSlider.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QToolButton>

#include <functional>
#include <string>

namespace {

using namespace Qt::StringLiterals;

const lq::CaptureDevice kMicrophone{u"mic-1"_s, u"Microphone"_s, lq::CaptureDeviceKind::Audio, true,
                                    false};

// What the window shows of the transport: per button its image (the image tells the code), then
// the playhead, the boxes and the flags of the note and the window.
std::string transportOf(lq::test::NoteWindowFixture &note)
{
    DocumentWindow &w = note.window();
    std::string shown;
    for (lq::ImageButton *button :
         {w.recordButton, w.backButton, w.playButton, w.ffButton, w.rwButton, w.pauseButton})
        shown += button->imageName().toStdString() + (button->isEnabled() ? " " : "(off) ");
    shown += w.playhead->isVisibleTo(&w) ? "playhead " : "";
    shown += w.audioCheckBox->isEnabled() ? "boxes " : "";
    shown += w.audioPreviewCheckBox->isEnabled() ? "previews " : "";
    shown += note.document->recording ? "note-recording " : "";
    shown += note.controller->recording() ? "window-recording " : "";
    shown += note.document->playing ? "playing" : "";
    return shown;
}

class TransportActionsTest : public testing::Test, protected lq::test::FakeNoteServices
{
protected:
    TransportActionsTest() { devices.setDevices({kMicrophone}); }
};

TEST_F(TransportActionsTest, TheButtonsDriveTheNoteAndTheWindowFollowsOnlyWhatItAccepted)
{
    lq::test::NoteWindowFixture note(preferences);
    DocumentWindow &w = note.window();
    note.controller->setAudioState(1);
    ASSERT_EQ(w.audioCheckBox->checkState(), Qt::Checked);
    const std::string idle = transportOf(note);
    struct Step
    {
        const char *name;
        std::function<void()> act;
        std::string shown; // empty: as before the step
    };
    const auto refuseStart = [&] { engines.lastRecordingEngine->script.startRecording = false; };
    const auto acceptStart = [&] { engines.lastRecordingEngine->script.startRecording = true; };
    const std::string recording =
        "LUMArecord-active LUMAreplay-disabled(off) LUMAplay-disabled(off) "
        "LUMAfast_forward-disabled(off) LUMArewind-disabled(off) LUMApause note-recording "
        "window-recording ";
    const std::string stopped = "LUMArecord LUMAreplay-disabled(off) LUMAplay "
                                "LUMAfast_forward-disabled(off) LUMArewind-disabled(off) "
                                "LUMApause-disabled(off) playhead boxes previews ";
    const std::string playing = "LUMArecord-disabled(off) LUMAreplay LUMAplay-active "
                                "LUMAfast_forward LUMArewind LUMApause playhead boxes playing";
    const Step steps[] = {
        {"record refused",
         [&] {
             refuseStart();
             w.recordButton->click();
         },
         ""},
        {"record",
         [&] {
             acceptStart();
             w.recordButton->click();
         },
         recording},
        {"record again stops", [&] { w.recordButton->click(); }, stopped},
        {"record", [&] { w.recordButton->click(); }, recording},
        {"pause stops a recording", [&] { w.pauseButton->click(); }, stopped},
        {"play", [&] { w.playButton->click(); }, playing},
        {"fast forward", [&] { w.ffButton->click(); },
         "LUMArecord-disabled(off) LUMAreplay LUMAplay-active LUMAfast_forward-active LUMArewind "
         "LUMApause playhead boxes playing"},
        {"rewind", [&] { w.rwButton->click(); },
         "LUMArecord-disabled(off) LUMAreplay LUMAplay-active LUMAfast_forward "
         "LUMArewind-active LUMApause playhead boxes playing"},
        {"play again pauses; the buttons follow the stop",
         [&] {
             w.playButton->click();
             lq::runEventLoopUntil([&] { return !note.document->playing; },
                                   std::chrono::seconds(5));
         },
         stopped},
    };
    std::string before = idle;
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        const std::string expected = step.shown.empty() ? before : step.shown;
        EXPECT_EQ(transportOf(note), expected);
        before = transportOf(note);
    }
    EXPECT_EQ(note.recording().sessionCount(), 2);
}

TEST_F(TransportActionsTest, MenuItemsFollowTheButtonsAndTheirShortcutsCheckAgain)
{
    lq::MainMenu menu;
    lq::MainMenu *previous = lq::MainMenu::setCurrent(&menu);
    installDocumentMenus(menu);
    {
        lq::test::NoteWindowFixture note(preferences);
        DocumentWindow &w = note.window();
        auto *bar = new QMenuBar(&w);
        w.setMenuBar(bar);
        menu.attachTo(bar);
        bar->show();
        QMenu *recordingMenu = menu.menuTitled(u"Recording"_s);
        ASSERT_NE(recordingMenu, nullptr);
        const auto item = [&](const char *name) {
            for (QMenu *m : menu.menus())
                if (QAction *a = m->findChild<QAction *>(QLatin1String(name)))
                    return a;
            return static_cast<QAction *>(nullptr);
        };
        for (const char *name :
             {"pressRecordButton", "pressPlayButton", "pressPauseButton", "pressBackButton",
              "pressRWButton", "pressFFButton", "editLockClicked", "collapseButtonPressed"})
            ASSERT_NE(item(name), nullptr) << name;
        const auto enabledWhenShown = [&](const char *name) {
            Q_EMIT recordingMenu->aboutToShow();
            const bool enabled = item(name)->isEnabled();
            Q_EMIT recordingMenu->aboutToHide();
            return enabled;
        };
        struct Case
        {
            const char *name;
            bool enabled;
        };
        // Idle without a recording: only Record can be pressed.
        for (const Case &c : {Case{"pressRecordButton", true},
                              {"pressPlayButton", false},
                              {"pressPauseButton", false},
                              {"pressBackButton", false},
                              {"pressRWButton", false},
                              {"pressFFButton", false}})
            EXPECT_EQ(enabledWhenShown(c.name), c.enabled) << c.name;

        // A shortcut whose button is disabled does nothing; one whose button is enabled clicks it.
        QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier | Qt::AltModifier);
        EXPECT_FALSE(note.document->playing);
        QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
        EXPECT_TRUE(note.document->recording);
        EXPECT_EQ(lq::MainMenu::plainTitle(item("pressRecordButton")->text()), u"Stop Recording"_s);
        EXPECT_TRUE(enabledWhenShown("pressPauseButton"));
        item("pressPauseButton")->trigger();
        EXPECT_FALSE(note.document->recording);
        // The progress window of the stop took the focus for a moment.
        w.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

        // The edit lock and the sidebar answer their items.
        const int32_t mode = note.document->playbackMode;
        item("editLockClicked")->trigger();
        EXPECT_NE(note.document->playbackMode, mode);
        const QString image = w.collapseButton->property("imageName").toString();
        item("collapseButtonPressed")->trigger();
        EXPECT_NE(w.collapseButton->property("imageName").toString(), image);
    }
    lq::MainMenu::setCurrent(previous);
}

} // namespace

namespace {

TEST_F(TransportActionsTest, TheWindowAnswersForItsZoomAndVideoItemsOnly)
{
    lq::test::NoteWindowFixture note(preferences);
    struct Case
    {
        const char *action;
        bool withVideo;
        bool enabled;
    };
    const Case cases[] = {
        {"zoomVideoIn", false, true},
        {"zoomVideoOut", false, true},
        {"zoomVideoNatural", false, true},
        {"zoomSlidesIn", false, true},
        {"zoomSlidesOut", false, true},
        {"videoMenuItemSelected", false, false},
        {"videoMenuItemSelected", true, true},
        {"pressPlayButton", true, false},
        {"", false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.action);
        std::unique_ptr<QWidget> video;
        if (c.withVideo)
            video = std::make_unique<QWidget>(note.window().videoDisplayView);
        QAction item;
        item.setObjectName(QLatin1String(c.action));
        EXPECT_EQ(note.controller->validateUserInterfaceItem(&item), c.enabled);
    }
}

TEST_F(TransportActionsTest, ARevertStopsWhatRunsAndLeavesANoteThatRecordsAndCloses)
{
    enum Running { Nothing, Playback, Recording };
    // With the stored note damaged, nothing changes.
    const std::pair<Running, bool> cases[] = {
        {Nothing, false}, {Playback, false}, {Recording, false}, {Recording, true}};
    const auto cacheFolders = [] {
        return QDir(appCachePath().value()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
    };
    QTemporaryDir folder;
    for (const auto &[running, damaged] : cases) {
        SCOPED_TRACE(testing::Message() << running << damaged);
        lq::test::NoteWindowFixture note(preferences);
        DocumentWindow &w = note.window();
        note.controller->setAudioState(1);
        engines.lastRecordingEngine->script.createsFiles = true;
        w.recordButton->click();
        w.recordButton->click();
        const QString package = folder.filePath(u"%1-%2"_s.arg(running).arg(damaged));
        ASSERT_TRUE(note.document->saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
        if (damaged)
            QFile(package + u"/recording"_s).resize(0);
        if (running != Nothing)
            (running == Playback ? w.playButton : w.recordButton)->click();
        const QString oldFolder = note.document->tempRecordingDir;
        const qsizetype folders = cacheFolders();

        EXPECT_EQ(note.document->revertToContentsOfUrl(package, nullptr), !damaged);
        EXPECT_EQ(cacheFolders(), folders);
        EXPECT_EQ(QFileInfo::exists(oldFolder), damaged);
        EXPECT_EQ(note.document->recording || note.controller->recording(), damaged);
        EXPECT_FALSE(note.document->playing);

        // Stopped if need be, it records again, and closes with its promoted windows.
        engines.lastRecordingEngine->script.createsFiles = true;
        for (int press = damaged ? 3 : 2; press > 0; --press)
            w.recordButton->click();
        EXPECT_EQ(note.recording().sessionCount(), damaged ? 3 : 2);
        note.controller->moveVideoToWindowAndShow(true);
        bool closed = false;
        note.document->closeWhenAllowed([&](bool done) { closed = done; });
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return closed; }, std::chrono::seconds(10)));
        EXPECT_FALSE(note.controller->videoWindow().isVisible());
    }
}

} // namespace
