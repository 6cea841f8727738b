// The real device path: a private sound server with a null sink, whose monitor the program lists
// as a microphone, so that what is played into the sink can be recorded and checked.

#include "engines/avf/LQPlayerSession.h"
#include "engines/avf/RecordingRig.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/GstCaptureDevices.h"
#include "shared/ScopedEnvironment.h"
#include "soundserver/SoundPipelines.h"
#include "soundserver/ToneAnalysis.h"
#include "support/PrivateSoundServer.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace std::chrono_literals;
using lq::test::PrivateSoundServer;

namespace {

// The test microphone sounds audiotestsrc's default tone.
constexpr double kTestMicrophonePitch = 440.0;
// Another pitch than the test microphone's, so that hearing it proves the monitor was recorded.
constexpr double kSinkTone = 660.0;

class SoundServerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!server.isRunning())
            GTEST_SKIP() << server.failure().toStdString();
        // The system's own output, which now reaches the private server.
        environment.unset("LUMAQUILL_AUDIO_OUTPUT");
    }

    // The sink's monitor as the program's device list has it; none, failing the test, when it
    // is not listed.
    static std::optional<lq::CaptureDevice> listedMonitor()
    {
        const lq::GstCaptureDevices devices;
        QStringList names;
        for (const lq::CaptureDevice &device : devices.devices(lq::CaptureDeviceKind::Audio)) {
            if (device.displayName == PrivateSoundServer::kMonitorName)
                return device;
            names.append(device.displayName);
        }
        ADD_FAILURE() << "Microphones listed: " << names.join(", ").toStdString();
        return std::nullopt;
    }

    static lq::test::ToneSpan toneIn(const std::vector<float> &samples, double frequency)
    {
        return lq::test::measureTone(samples, lq::test::kAnalysisRate, frequency);
    }

    PrivateSoundServer server;
    ScopedEnvironment environment;
};

TEST_F(SoundServerTest, ARecordingFromTheSinksMonitorHoldsTheTonePlayedIntoTheSink)
{
    QString why;
    const auto tone = lq::test::TonePlayer::play(kSinkTone, &why);
    ASSERT_TRUE(tone) << why.toStdString();

    lq::test::RecordingRig rig;
    const auto monitor = listedMonitor();
    ASSERT_TRUE(monitor);
    rig.selectAudioDevice(monitor->uniqueId);
    ASSERT_EQ(rig.preferences.currentAudioDevice(), monitor->uniqueId);
    QStringList files;
    ASSERT_TRUE(rig.record(3s, true, false, &files));
    EXPECT_TRUE(rig.errors.reports.isEmpty()) << rig.errors.reports.value(0).message.toStdString();
    ASSERT_EQ(files.size(), 1);
    const auto info = rig.probe(files.first());
    ASSERT_TRUE(info);

    const std::vector<float> samples =
        lq::test::SoundCapture::decode(rig.path(files.first()), &why);
    ASSERT_FALSE(samples.empty()) << why.toStdString();
    const lq::test::ToneSpan span = toneIn(samples, kSinkTone);
    // Most of it: on a loaded machine the sound may break up now and then.
    EXPECT_GT(span.toneSeconds, 0.6 * info->duration)
        << "of a " << info->duration << " s recording; " << span.soundSeconds
        << " s held any sound";
}

// Each rate plays a stretch of a session lasting one or two seconds of the wall clock, recorded
// from the monitor as it plays.
TEST_F(SoundServerTest, PlaybackIntoTheSinkKeepsThePitchAtOtherSpeedsForTheTimeTheyTake)
{
    struct Speed
    {
        float rate;
        double from;
    };
    const Speed speeds[] = {{0.5f, 3.0}, {2.0f, 0.0}, {4.0f, 0.0}};

    lq::test::RecordingRig rig;
    const auto monitor = listedMonitor();
    ASSERT_TRUE(monitor);
    QStringList files;
    ASSERT_TRUE(rig.record(4s, true, false, &files));
    LQPlayerSession player;
    ASSERT_TRUE(player.addMediaFiles(files, rig.folder.path()));
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !player.isLoading(); }, 20s));
    double length = 0.0;
    ASSERT_TRUE(player.length(&length));

    for (const Speed &speed : speeds) {
        SCOPED_TRACE(testing::Message() << "rate " << speed.rate);
        lq::Error error;
        GstElement *source = lq::GstCaptureDevices::makeSource(monitor->uniqueId, &error);
        ASSERT_TRUE(source) << error.localizedDescription().toStdString();
        QString why;
        const auto capture = lq::test::SoundCapture::record(source, &why);
        ASSERT_TRUE(capture) << why.toStdString();
        // The monitor is heard from before playing starts until after it ends.
        lq::runEventLoopUntil([] { return false; }, 300ms);
        ASSERT_TRUE(player.startPlaying(speed.from, false));
        ASSERT_TRUE(player.setRate(speed.rate));
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return !player.currentlyPlaying(); }, 20s));
        lq::runEventLoopUntil([] { return false; }, 300ms);
        const std::vector<float> samples = capture->stop(&why);
        EXPECT_TRUE(why.isEmpty()) << why.toStdString();

        const double expected = (length - speed.from) / speed.rate;
        const lq::test::ToneSpan span = toneIn(samples, kTestMicrophonePitch);
        // Slack for a loaded machine, where the sound may break up; far less than what another
        // rate or pitch would change.
        EXPECT_NEAR(span.toneSeconds, expected, 0.3 + 0.2 * expected)
            << span.soundSeconds << " s of sound, the rest of it at another pitch";
    }
}

} // namespace
