#include "document/PackageMeta.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/media/MediaInfo.h"
#include "platform/ui/ImageButton.h"
#include "support/FakeUpdater.h"
#include "support/KilledChild.h"
#include "support/TestUserDefaults.h"
#include "window/NoteWindowFixture.h"
#include "window/TestDeviceEngines.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// The child records into the note stored here until it is killed.
const char *const kChildPackageVariable = "LUMAQUILL_AUTOSAVE_CHILD_PACKAGE";
constexpr int kAutosavesBeforeKill = 2;

std::optional<uint64_t> storedSerialNumber(const QString &package)
{
    QFile meta(package + u"/meta"_s);
    if (!meta.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<PackageMeta> read = PackageMeta::unarchived(meta.readAll(), nullptr);
    return read ? read->serialNumber : std::nullopt;
}

void say(const char *line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

TEST(AutosaveWhileRecordingTest, ChildRecordsWithAutosaveUntilKilled)
{
    const QString package = qEnvironmentVariable(kChildPackageVariable);
    if (package.isEmpty())
        GTEST_SKIP() << "run by AKilledRecordingNoteOpensWithWhatItsAutosavesStored";
    lq::test::TestUserDefaults defaults;
    lq::GstCaptureDevices devices;
    lq::test::FakeUpdater updater;
    PrefsController preferences({&devices, &updater});
    lq::test::TestDeviceEngines engines({&preferences, &devices});
    const QString microphone =
        preferences.audioDevices().key(lq::GstCaptureDevices::kTestMicrophoneId);
    if (microphone.isEmpty()) {
        say("no microphone");
        return;
    }
    preferences.setSelectedAudioDeviceName(microphone);
    lq::Document::setAutosaveDelay(1);

    lq::test::NoteWindowFixture note(preferences);
    note.controller->setAudioState(1);
    note.controller->setVideoState(0);
    ASSERT_TRUE(note.document->saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
    // A finished session, then one that runs until the kill.
    note.window().recordButton->click();
    ASSERT_TRUE(note.document->recording);
    lq::runEventLoopUntil([] { return false; }, 1500ms);
    note.window().recordButton->click();
    ASSERT_TRUE(
        lq::runEventLoopUntil([&] { return note.document->finishedRecordingToFile.load(); }, 20s));
    note.window().recordButton->click();
    ASSERT_TRUE(note.document->recording);
    say("recording");

    std::optional<uint64_t> serial = storedSerialNumber(package);
    for (int autosaves = 0; autosaves < kAutosavesBeforeKill;) {
        ASSERT_TRUE(lq::runEventLoopUntil(
            [&] {
                const std::optional<uint64_t> now = storedSerialNumber(package);
                return now && now != serial && !note.document->currentlyAutosaving;
            },
            30s))
            << "no autosave while recording";
        serial = storedSerialNumber(package);
        ++autosaves;
    }
    say("autosaved");
    lq::runEventLoopUntil([] { return false; }, 60s);
}

TEST(AutosaveWhileRecordingTest, AKilledRecordingNoteOpensWithWhatItsAutosavesStored)
{
    QTemporaryDir folder;
    const QString package = folder.filePath(u"killed.lumaquill"_s);
    lq::test::ChildTestProcess running(
        u"AutosaveWhileRecordingTest.ChildRecordsWithAutosaveUntilKilled"_s,
        {{kChildPackageVariable, package}});
    QProcess &child = running.process();
    QByteArray output;
    const bool ready = lq::runEventLoopUntil(
        [&] {
            output += child.readAllStandardOutput();
            return output.contains("\nautosaved\n") || output.contains("no microphone") ||
                   child.state() == QProcess::NotRunning;
        },
        90s);
    if (output.contains("no microphone")) {
        child.waitForFinished(10000);
        GTEST_SKIP() << "This machine has no test microphone (GStreamer's test sources).";
    }
    ASSERT_TRUE(ready && output.contains("\nautosaved\n")) << output.toStdString();
    child.kill();
    ASSERT_TRUE(child.waitForFinished(10000));
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);

    const std::unique_ptr<MyDocument> reopened = MyDocument::create();
    ASSERT_NE(reopened, nullptr);
    lq::Error error;
    ASSERT_TRUE(reopened->openUrl(package, &error)) << error.localizedDescription().toStdString();
    const WrenRecording &recording = reopened->recordingObject();
    EXPECT_GE(recording.sessionCount(), 2) << "the finished session and the running one";
    const QStringList files = recording.allRecordingFiles();
    ASSERT_GE(files.size(), 1);
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        const std::optional<lq::MediaInfo> info = lq::MediaInfo::probe(file, 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_GT(info->duration, 0.5);
    }
}

} // namespace
