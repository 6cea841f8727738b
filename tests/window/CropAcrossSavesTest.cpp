#include "model/WrenTimerSession.h"
#include "platform/foundation/UndoManager.h"
#include "platform/media/MediaInfo.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeUpdater.h"
#include "support/MediaFixtures.h"
#include "support/TestUserDefaults.h"
#include "window/NoteWindowFixture.h"
#include "window/TestDeviceEngines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// A stored note of one session of 6 s of sound, cropped at 3 s and saved after every step: the
// session the package stores and its media always last as long as each other.
TEST(CropAcrossSavesTest, EverySaveStoresMediaAsLongAsTheSession)
{
    lq::test::TestUserDefaults defaults;
    defaults->setBool(u"cropWithoutWarning"_s, true);
    lq::test::FakeCaptureDevices devices;
    lq::test::FakeUpdater updater;
    PrefsController preferences({&devices, &updater});
    lq::test::TestDeviceEngines engines({&preferences, &devices});
    lq::test::NoteWindowFixture note(preferences);
    MyDocument &document = *note.document;
    WrenRecording &recording = note.recording();
    const QString name = u"recording-0.0.mov"_s;
    ASSERT_TRUE(QFile::copy(lq::test::MediaFixtures::path(lq::test::MediaFixture::AacMov, 6.0),
                            QDir(document.tempRecordingDir).filePath(name)));
    const auto session = WrenTimerSession::sessionWithLength(6.0);
    session->setHasAudio(true);
    recording.addSession(session);
    recording.setRecordingFiles(QStringList{name}, 0);
    QTemporaryDir folder;
    const QString package = folder.filePath(u"cropped.lumaquill"_s);
    lq::Error error;
    ASSERT_TRUE(document.saveToUrl(package, lq::SaveOperation::SaveAs, &error));
    // The second save leaves the media in the package only.
    ASSERT_TRUE(document.save(&error));
    document.undoManager()->removeAllActions();
    recording.jumpToPercentage(50.0f);

    lq::UndoManager &undo = *document.undoManager();
    const struct
    {
        const char *name;
        std::function<void()> act;
        double seconds;
    } steps[] = {
        {"crop", [&] { document.trimRecordingFromNow(); }, 3.0},
        {"undo", [&] { undo.undo(); }, 6.0},
        {"redo", [&] { undo.redo(); }, 3.0},
        {"undo again", [&] { undo.undo(); }, 6.0},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        ASSERT_TRUE(document.save(&error)) << error.localizedDescription().toStdString();
        const std::unique_ptr<MyDocument> stored = MyDocument::create();
        ASSERT_TRUE(stored->openUrl(package, &error));
        EXPECT_NEAR(stored->recordingObject().length(), step.seconds, 0.05);
        stored->close();
        const std::optional<lq::MediaInfo> media =
            lq::MediaInfo::probe(QDir(package).filePath(name), 10s, &error);
        ASSERT_TRUE(media) << error.localizedDescription().toStdString();
        EXPECT_NEAR(media->duration, step.seconds, 0.1);
    }
}

} // namespace
