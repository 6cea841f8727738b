// The real device path: a private sound server with a null sink, whose monitor the program lists
// as a microphone, so that what is played into the sink can be recorded and checked.

#include "engines/avf/LQPlayerSession.h"
#include "engines/avf/RecordingRig.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/media/TestCaptureSources.h"
#include "shared/ScopedEnvironment.h"
#include "soundserver/SoundPipelines.h"
#include "soundserver/ToneAnalysis.h"
#include "support/PrivateSoundServer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

using namespace std::chrono_literals;
using lq::test::PrivateSoundServer;

namespace {

// The test microphone sounds audiotestsrc's default tone.
constexpr double kTestMicrophonePitch = 440.0;
// Another pitch than the test microphone's, so that hearing it proves the monitor was recorded.
constexpr double kSinkTone = 660.0;
// The test microphone's level unless a test sets another.
constexpr double kTestMicrophoneLevel = -20.0;

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

    void TearDown() override
    {
        lq::TestCaptureSources::setToneLevels(kTestMicrophoneLevel, kTestMicrophoneLevel);
    }

    // The sink's monitor as the program's device list has it outside test runs; none, failing
    // the test, when it is not listed.
    static std::optional<lq::CaptureDevice> listedMonitor()
    {
        ScopedEnvironment realDevices;
        realDevices.unset("LUMAQUILL_TEST_DEVICES");
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

    // What the sink gave out while the player played from a position at a rate to its end,
    // from before it started until after it ended.
    static std::vector<float> heardWhilePlaying(LQPlayerSession &player, double from, float rate)
    {
        const auto monitor = listedMonitor();
        if (!monitor)
            return {};
        ScopedEnvironment realDevices;
        realDevices.unset("LUMAQUILL_TEST_DEVICES");
        lq::Error error;
        GstElement *source = lq::GstCaptureDevices::makeSource(monitor->uniqueId, &error);
        EXPECT_TRUE(source) << error.localizedDescription().toStdString();
        QString why;
        const auto capture = source ? lq::test::SoundCapture::record(source, &why) : nullptr;
        EXPECT_TRUE(why.isEmpty()) << why.toStdString();
        if (!capture)
            return {};
        lq::runEventLoopUntil([] { return false; }, 300ms);
        EXPECT_TRUE(player.startPlaying(from, false));
        EXPECT_TRUE(player.setRate(rate));
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return !player.currentlyPlaying(); }, 20s));
        lq::runEventLoopUntil([] { return false; }, 300ms);
        std::vector<float> samples = capture->stop(&why);
        EXPECT_TRUE(why.isEmpty()) << why.toStdString();
        return samples;
    }

    static bool load(LQPlayerSession &player, const lq::test::RecordingRig &rig,
                     const QStringList &files)
    {
        return player.addMediaFiles(files, rig.folder.path()) &&
               lq::runEventLoopUntil([&] { return !player.isLoading(); }, 20s);
    }

    PrivateSoundServer server;
    ScopedEnvironment environment;
};

TEST_F(SoundServerTest, ARecordingFromTheSinksMonitorHoldsTheTonePlayedIntoTheSink)
{
    QString why;
    const auto tone = lq::test::TonePlayer::play(kSinkTone, &why);
    ASSERT_TRUE(tone) << why.toStdString();

    lq::test::RecordingRig rig(lq::test::RecordingRig::Devices::Real);
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
    QStringList files;
    ASSERT_TRUE(rig.record(4s, true, false, &files));
    LQPlayerSession player;
    ASSERT_TRUE(load(player, rig, files));
    double length = 0.0;
    ASSERT_TRUE(player.length(&length));

    for (const Speed &speed : speeds) {
        SCOPED_TRACE(testing::Message() << "rate " << speed.rate);
        const std::vector<float> samples = heardWhilePlaying(player, speed.from, speed.rate);
        const double expected = (length - speed.from) / speed.rate;
        const lq::test::ToneSpan span = toneIn(samples, kTestMicrophonePitch);
        // Slack for a loaded machine, where the sound may break up; far less than what another
        // rate or pitch would change.
        EXPECT_NEAR(span.toneSeconds, expected, 0.3 + 0.2 * expected)
            << span.soundSeconds << " s of sound, the rest of it at another pitch";
    }
}

// The boost the program sets at its first start (five times) makes a quiet recording louder and
// a loud one no louder than full scale allows; a second run plays as loud as the first, whatever
// the sound server remembered of the first run's stream.
TEST_F(SoundServerTest, BoostedPlaybackIsLouderNeverClipsAndKeepsItsLevelFromRunToRun)
{
    // Peaks at full scale come out of the analysis' resampling near 1; the limited ones lie
    // near -1 dBFS.
    constexpr float kBelowFullScale = 0.95f;
    for (const double level : {-40.0, -13.5}) {
        SCOPED_TRACE(testing::Message() << "a tone at " << level << " dBFS");
        lq::TestCaptureSources::setToneLevels(level, level);
        lq::test::RecordingRig rig;
        rig.defaults->setFloat(QStringLiteral("audioBoost"), 5.0f);
        QStringList files;
        ASSERT_TRUE(rig.record(2s, true, false, &files));
        QString why;
        const std::vector<float> recorded =
            lq::test::SoundCapture::decode(rig.path(files.first()), &why);
        ASSERT_FALSE(recorded.empty()) << why.toStdString();
        const double recordedLevel =
            lq::test::measureLevel(recorded, lq::test::kAnalysisRate).decibels;
        EXPECT_NEAR(recordedLevel, level, 1.0);

        std::vector<double> playedLevels;
        for (int run = 1; run <= 2; ++run) {
            SCOPED_TRACE(testing::Message() << "run " << run);
            LQPlayerSession player;
            ASSERT_TRUE(load(player, rig, files));
            const lq::test::SoundLevel played = lq::test::measureLevel(
                heardWhilePlaying(player, 0.0, 1.0f), lq::test::kAnalysisRate);
            EXPECT_GT(played.decibels, recordedLevel + 6.0);
            EXPECT_LT(played.peak, kBelowFullScale);
            playedLevels.push_back(played.decibels);
        }
        EXPECT_NEAR(playedLevels[1], playedLevels[0], 1.0);
    }
}

// A test run stays away from the machine's microphones even when the settings name one: it
// offers and records only the test microphone, whose level the meter shows.
TEST_F(SoundServerTest, TestRunsOfferAndRecordOnlyTheTestDevices)
{
    QString why;
    const auto tone = lq::test::TonePlayer::play(kSinkTone, &why);
    ASSERT_TRUE(tone) << why.toStdString();
    const auto monitor = listedMonitor();
    ASSERT_TRUE(monitor);
    constexpr double kLevel = -13.5;
    lq::TestCaptureSources::setToneLevels(kLevel, kLevel);

    lq::test::RecordingRig rig;
    rig.defaults->setString(QStringLiteral("audioDevice"), monitor->uniqueId);
    rig.preferences.setupAudioDevices();
    EXPECT_EQ(rig.preferences.audioDeviceNames().join(", ").toStdString(), "Test Microphone");
    EXPECT_EQ(rig.preferences.currentAudioDevice().toStdString(),
              lq::GstCaptureDevices::kTestMicrophoneId.toStdString());
    lq::Error error;
    EXPECT_EQ(lq::GstCaptureDevices::makeSource(monitor->uniqueId, &error), nullptr);

    ASSERT_TRUE(rig.engine.previewAudio());
    EXPECT_TRUE(
        lq::runEventLoopUntil([&] { return std::abs(rig.engine.audioLevel() - kLevel) < 1.0; }, 3s))
        << rig.engine.audioLevel();
    rig.engine.stopAudioPreview();
    QStringList files;
    ASSERT_TRUE(rig.record(2s, true, false, &files));
    ASSERT_EQ(files.size(), 1);
    const std::vector<float> samples =
        lq::test::SoundCapture::decode(rig.path(files.first()), &why);
    ASSERT_FALSE(samples.empty()) << why.toStdString();
    EXPECT_GT(toneIn(samples, kTestMicrophonePitch).toneSeconds, 1.0);
    EXPECT_EQ(toneIn(samples, kSinkTone).toneSeconds, 0.0);
}

} // namespace
