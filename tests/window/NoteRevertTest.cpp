#include "platform/ui/ImageButton.h"
#include "shared/AppFolders.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeUpdater.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestUserDefaults.h"
#include "window/NoteWindowFixture.h"
#include "window/PromotedWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using namespace Qt::StringLiterals;

int cacheFolders()
{
    return int(QDir(appCachePath().value()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

class NoteRevertTest : public testing::Test
{
protected:
    NoteRevertTest()
    {
        devices.setDevices(
            {{u"mic-1"_s, u"Microphone"_s, lq::CaptureDeviceKind::Audio, true, false}});
    }

    lq::test::TestUserDefaults defaults;
    lq::test::FakeCaptureDevices devices;
    lq::test::FakeUpdater updater;
    PrefsController preferences{PrefsController::Services{&devices, &updater}};
    lq::test::FakeEngineFactory engines;
    lq::test::ScriptedAlertPresenter alerts;
    QTemporaryDir folder;
};

TEST_F(NoteRevertTest, ARevertStopsWhatRunsAndLeavesANoteThatRecordsAndCloses)
{
    enum Running { Nothing, Playback, Recording };
    const struct
    {
        const char *name;
        Running running;
        bool damaged;
    } cases[] = {
        {"idle", Nothing, false},
        {"playing", Playback, false},
        {"recording", Recording, false},
        {"recording, the stored note damaged", Recording, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        lq::test::NoteWindowFixture note(preferences);
        MyDocument &document = *note.document;
        DocumentWindow &w = note.window();
        note.controller->setAudioState(1);
        engines.lastRecordingEngine->script.createsFiles = true;
        w.recordButton->click();
        w.recordButton->click();
        const QString package = folder.filePath(QLatin1String(c.name) + u".lumaquill"_s);
        ASSERT_TRUE(document.saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
        if (c.damaged) {
            QFile recording(package + u"/recording"_s);
            ASSERT_TRUE(recording.open(QIODevice::WriteOnly | QIODevice::Truncate));
        }
        if (c.running != Nothing)
            (c.running == Playback ? w.playButton : w.recordButton)->click();
        const QString oldFolder = document.tempRecordingDir;
        const int folders = cacheFolders();

        lq::Error error;
        EXPECT_EQ(document.revertToContentsOfUrl(package, &error), !c.damaged);
        EXPECT_EQ(cacheFolders(), folders);
        EXPECT_EQ(QFileInfo::exists(oldFolder), c.damaged);
        EXPECT_EQ(note.recording().tempDir(), document.tempRecordingDir);
        EXPECT_TRUE(QFileInfo(document.tempRecordingDir).isDir());
        EXPECT_FALSE(document.playing);
        EXPECT_EQ(document.recording, c.damaged);
        EXPECT_EQ(note.controller->recording(), c.damaged);
        if (c.damaged)
            w.recordButton->click();

        // The note records and stops again, and closes with its promoted windows.
        engines.lastRecordingEngine->script.createsFiles = true;
        w.recordButton->click();
        EXPECT_TRUE(document.recording);
        w.recordButton->click();
        EXPECT_FALSE(document.recording);
        note.controller->moveVideoToWindowAndShow(true);
        bool closed = false;
        document.closeWhenAllowed([&](bool done) { closed = done; });
        EXPECT_TRUE(closed);
        EXPECT_FALSE(note.controller->videoWindow().isVisible());
        EXPECT_FALSE(QFileInfo::exists(document.tempRecordingDir));
        EXPECT_EQ(alerts.count(), 0);
    }
}

} // namespace
