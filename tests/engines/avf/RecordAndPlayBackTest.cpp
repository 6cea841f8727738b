#include "engines/avf/MediaEngineFactory.h"
#include "model/ModelArchiveClasses.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/MediaInfo.h"
#include "shared/RecordingErrors.h"
#include "support/FakeRecordingOwner.h"
#include "support/FakeWindowController.h"
#include "support/TestUserDefaults.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

namespace {

class CollectingErrorHandler final : public BMRecordingErrorHandler
{
public:
    void recordingErrorOccurred(const QString &message, bool) override { messages.append(message); }
    QStringList messages;
};

// The program's own engines, with the test microphone, on the real clock.
TEST(RecordAndPlayBackTest, ASessionRecordedFromTheTestMicrophonePlaysBackToItsEnd)
{
    registerModelArchiveClasses();
    lq::test::TestUserDefaults defaults;
    MediaEngineFactory engines;
    LQEngineFactory *previous = LQEngineFactory::setCurrent(&engines);
    QTemporaryDir media;
    lq::test::FakeRecordingOwner owner;
    lq::test::FakeWindowController controller;
    CollectingErrorHandler errors;
    {
        WrenRecording recording;
        recording.setTempDir(media.path());
        recording.setOwner(&owner);
        recording.setErrorHandler(&errors);
        recording.loadController(&controller);

        ASSERT_TRUE(recording.startSession(true, false));
        QElapsedTimer recorded;
        recorded.start();
        // A main thread held up as writing begins, as on a loaded machine, hears of it late: the
        // session must still span all the media.
        std::this_thread::sleep_for(500ms);
        lq::runEventLoopUntil([&] { return recorded.elapsed() >= 5000; }, 10s);
        ASSERT_TRUE(recording.stopSession());
        ASSERT_TRUE(
            lq::runEventLoopUntil([&] { return owner.finishedRecording.contains(true); }, 20s));
        EXPECT_TRUE(errors.messages.isEmpty()) << errors.messages.join(u'\n').toStdString();

        const QStringList files = recording.recordingFiles().value(0);
        ASSERT_FALSE(files.isEmpty());
        double sessionLength = 0.0;
        ASSERT_TRUE(recording.session(0)->length(&sessionLength));
        EXPECT_NEAR(sessionLength, 5.0, 0.5);
        lq::Error error;
        const auto info =
            lq::MediaInfo::probe(QDir(media.path()).filePath(files.first()), 10s, &error);
        ASSERT_TRUE(info) << error.localizedDescription().toStdString();
        EXPECT_NEAR(info->duration, sessionLength, 0.2);
        EXPECT_EQ(info->audioStreams.size(), 1);

        // Played from its last second, the session reaches its end and playback stops.
        const int stoppedBefore = owner.playbackStoppedCalls;
        ASSERT_TRUE(recording.playSession(0, sessionLength - 1.0, std::nullopt, std::nullopt, false,
                                          false));
        EXPECT_TRUE(recording.playing());
        EXPECT_TRUE(
            lq::runEventLoopUntil([&] { return owner.playbackStoppedCalls > stoppedBefore; }, 20s));
        EXPECT_FALSE(recording.playing());
        recording.close();
    }
    LQEngineFactory::setCurrent(previous);
}

} // namespace
