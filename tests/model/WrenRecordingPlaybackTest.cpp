#include "model/WrenEvents.h"
#include "model/WrenRecordingTestSupport.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/SystemSleepMonitor.h"
#include "support/TestUserDefaults.h"

namespace {

using lq::test::FakePlaySession;

class PlaybackTest : public lq::test::RecordingTestBase
{
protected:
    PlaybackTest()
    {
        recording.setOwner(&owner);
        recording.loadController(&controller);
    }

    // Sessions of the lengths given, each with media.
    void sessions(std::initializer_list<double> lengths)
    {
        owner.undo.disableUndoRegistration();
        for (double length : lengths)
            addSessionWithMedia(recording, length, false);
        owner.undo.enableUndoRegistration();
        owner.highlighted.clear();
        controller.calls.clear();
    }

    void stamp(int32_t type, uint32_t index, int32_t session, double offset)
    {
        owner.undo.disableUndoRegistration();
        recording.events().insertEvent(type == WrenTimeStampTypeKey
                                           ? WrenTimeStamp::initWithKey(index, session, offset)
                                           : WrenTimeStamp::initWithSlide(index, session, offset),
                                       false);
        owner.undo.enableUndoRegistration();
    }

    FakePlaySession &player()
    {
        EXPECT_NE(engines.lastPlaybackEngine, nullptr);
        return *engines.lastPlaybackEngine;
    }

    // Where the current session's clock stands.
    double sessionOffset()
    {
        double seconds = -1.0;
        EXPECT_TRUE(recording.session(recording.currentSession())->nowInterval(&seconds));
        return seconds;
    }

    // Plays from the position given, the fake player reporting that moment.
    void playFrom(int32_t session, double offset)
    {
        double start = 0.0;
        for (int32_t i = 0; i < session; ++i) {
            double length = 0.0;
            ASSERT_TRUE(recording.session(i)->length(&length));
            start += length;
        }
        recording.jumpToPercentage(0.0f, start + offset);
        player().script.currentTime = offset;
        ASSERT_TRUE(recording.startPlayback());
        owner.highlighted.clear();
        controller.calls.clear();
    }

    lq::test::TestUserDefaults defaults;
    WrenRecording recording;
};

TEST_F(PlaybackTest, JumpToPercentagePositionsTheSession)
{
    sessions({10.0, 20.0});
    struct Case
    {
        float percentage;
        int32_t session;
        double offset;
    };
    const Case cases[] = {{50.0f, 1, 5.0},
                          {100.0f, 1, 20.0},
                          {float(100.0 / 3.0), 0, 10.0},
                          {0.0f, 0, 0.0},
                          {-3.0f, 0, 0.0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.percentage);
        recording.jumpToPercentage(c.percentage);
        EXPECT_EQ(recording.currentSession(), c.session);
        EXPECT_NEAR(sessionOffset(), c.offset, 1e-4);
        EXPECT_NEAR(player().seeks.last(), c.offset, 1e-4);
        EXPECT_FALSE(recording.playing());
    }
}

TEST_F(PlaybackTest, ZeroLengthRecordingMapsToTheStart)
{
    sessions({0.0});
    recording.jumpToPercentage(50.0f);
    EXPECT_EQ(recording.currentSession(), 0);
    EXPECT_EQ(sessionOffset(), 0.0);
    EXPECT_EQ(recording.percentageDone(), 0.0f);
    EXPECT_EQ(recording.percentageRate(), 0.0f);
    recording.updatePercentage();
    EXPECT_EQ(recording.percentageDone(), 0.0f);
}

TEST_F(PlaybackTest, StartNearTheEndPlaysFromTheBeginning)
{
    sessions({10.0, 20.0});
    recording.jumpToPercentage(0.0f, 29.5);
    ASSERT_EQ(recording.currentSession(), 1);
    ASSERT_TRUE(recording.startPlayback());
    EXPECT_EQ(recording.currentSession(), 0);
    EXPECT_TRUE(recording.playing());
    EXPECT_EQ(player().seeks.last(), 0.0);
    EXPECT_EQ(player().startOffset, 0.0);
    EXPECT_TRUE(recording.playbackTimers().positionTimerRuns());
}

TEST_F(PlaybackTest, StopNearTheEndRewinds)
{
    struct Case
    {
        double length;
        float stoppedAt;
        bool rewinds;
    };
    const Case cases[] = {
        {100.0, 99.5f, true}, {100.0, 98.5f, false}, {1600.0, 99.4f, false}, {1600.0, 99.6f, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.stoppedAt << "% of " << c.length << " s");
        WrenRecording other;
        owner.undo.disableUndoRegistration();
        other.setOwner(&owner);
        addSessionWithMedia(other, c.length, false);
        other.jumpToPercentage(50.0f);
        ASSERT_TRUE(other.startPlayback());
        other.setPercentageDone(c.stoppedAt);
        const qsizetype seeks = player().seeks.size();
        EXPECT_TRUE(other.stopPlayback());
        EXPECT_FALSE(other.playing());
        EXPECT_EQ(player().seeks.size() > seeks, c.rewinds);
        if (c.rewinds) {
            EXPECT_EQ(player().seeks.last(), 0.0);
        }
        other.setOwner(nullptr);
        owner.undo.enableUndoRegistration();
    }
}

TEST_F(PlaybackTest, JumpBack)
{
    sessions({100.0, 20.0});
    // Nothing current: nothing happens.
    WrenRecording idle;
    idle.addSession(finishedSession(10.0, false, false));
    idle.jumpBack();
    EXPECT_EQ(idle.currentSession(), -1);

    recording.jumpToPercentage(0.0f, 112.0);
    recording.jumpBack();
    EXPECT_EQ(recording.currentSession(), 0);
    EXPECT_NEAR(sessionOffset(), 82.0, 1e-6);

    defaults->setInteger(QStringLiteral("defaultJumpBackTime"), 5);
    recording.jumpToPercentage(0.0f, 112.0);
    recording.jumpBack();
    EXPECT_EQ(recording.currentSession(), 1);
    EXPECT_NEAR(sessionOffset(), 7.0, 1e-6);
}

TEST_F(PlaybackTest, JumpFromACharacterLeadsInWithinItsSession)
{
    sessions({60.0});
    stamp(WrenTimeStampTypeKey, 0, 0, 7.0);
    stamp(WrenTimeStampTypeKey, 1, 0, 30.0);
    stamp(WrenTimeStampTypeKey, 2, 0, 25.0);
    // Idle: exactly the character's moment, no lead-in.
    recording.jumpToCharacter(1);
    EXPECT_NEAR(sessionOffset(), 30.0, 1e-6);
    playFrom(0, 40.0);
    recording.jumpToCharacter(0);
    EXPECT_EQ(player().seeks.last(), 0.0);
    recording.jumpToCharacter(2);
    EXPECT_EQ(player().seeks.last(), 15.0);
    EXPECT_EQ(sessionOffset(), 40.0); // the player's time rules while it plays
}

TEST_F(PlaybackTest, StampTimerFollowsTheSpeed)
{
    sessions({60.0});
    stamp(WrenTimeStampTypeKey, 0, 0, 13.0);
    recording.setSelectedPlaybackSpeed(2.0f);
    playFrom(0, 10.0);
    EXPECT_EQ(recording.playbackTimers().armedInterval(), 1.5);
    EXPECT_EQ(recording.playbackTimers().armedPosition(), 0u);
    recording.setSelectedPlaybackSpeed(0.5f);
    EXPECT_EQ(recording.playbackTimers().armedInterval(), 6.0);
    EXPECT_EQ(player().rate, 0.5f);
}

TEST_F(PlaybackTest, PassedSlidesAreShownAtOnceInOrder)
{
    sessions({60.0});
    stamp(WrenTimeStampTypeKey, 0, 0, 1.0);
    stamp(WrenTimeStampTypeSlide, 2, 0, 5.0);
    stamp(WrenTimeStampTypeSlide, 3, 0, 6.0);
    stamp(WrenTimeStampTypeKey, 1, 0, 20.0);
    playFrom(0, 10.0);
    recording.nextEvent(0);
    EXPECT_EQ(owner.highlighted, QList<uint32_t>{0});
    EXPECT_EQ(controller.calls, (QStringList{QStringLiteral("gotoSlide:2 recordUndo:NO"),
                                             QStringLiteral("gotoSlide:3 recordUndo:NO")}));
    EXPECT_EQ(recording.playbackTimers().armedPosition(), 3u);
    EXPECT_EQ(recording.playbackTimers().armedInterval(), 10.0);
}

TEST_F(PlaybackTest, PlayingBackwardsStopsTheWalkAtTheSessionBoundary)
{
    sessions({10.0, 10.0});
    stamp(WrenTimeStampTypeSlide, 2, 0, 2.0);
    stamp(WrenTimeStampTypeKey, 0, 0, 8.0);
    stamp(WrenTimeStampTypeKey, 1, 1, 3.0);
    playFrom(1, 5.0);
    ASSERT_EQ(recording.toggleRW(), 2);
    EXPECT_EQ(recording.playbackTimers().armedPosition(), 2u);
    EXPECT_EQ(recording.playbackTimers().armedInterval(), 0.5);
    recording.nextEvent(2);
    EXPECT_EQ(owner.highlighted, QList<uint32_t>{1});
    EXPECT_TRUE(controller.calls.isEmpty());
    EXPECT_FALSE(recording.playbackTimers().armedPosition());
}

TEST_F(PlaybackTest, SessionsChainInBothDirections)
{
    sessions({10.0, 20.0});
    playFrom(0, 5.0);
    recording.sessionPlaybackStopped();
    EXPECT_EQ(recording.currentSession(), 1);
    EXPECT_TRUE(recording.playing());
    EXPECT_FALSE(player().startOffset);
    EXPECT_FALSE(player().startedBackwards);

    ASSERT_EQ(recording.toggleRW(), 2);
    recording.sessionPlaybackStopped();
    EXPECT_EQ(recording.currentSession(), 0);
    EXPECT_TRUE(player().startedBackwards);

    // Backwards past the start of the first session: playback ends, nothing current.
    recording.sessionPlaybackStopped();
    EXPECT_FALSE(recording.playing());
    EXPECT_EQ(recording.currentSession(), -1);
    EXPECT_EQ(owner.playbackStoppedCalls, 1);
}

TEST_F(PlaybackTest, FailingPlayerOnTheNextSessionEndsPlaybackCleanly)
{
    sessions({10.0, 20.0});
    playFrom(0, 5.0);
    player().script.startPlaying = false;
    recording.sessionPlaybackStopped();
    EXPECT_FALSE(recording.playing());
    EXPECT_EQ(recording.currentSession(), -1);
    EXPECT_EQ(owner.playbackStoppedCalls, 1);
    EXPECT_EQ(controller.calls.count(QStringLiteral("playbackStopped")), 1);
    EXPECT_FALSE(recording.playbackTimers().positionTimerRuns());
    EXPECT_FALSE(recording.playbackTimers().armedPosition());
    // Sleep no longer reaches playback.
    lq::NotificationCenter::defaultCenter().post(
        QLatin1String(lq::SystemSleepMonitor::kWillSleepNotification));
    EXPECT_EQ(owner.playbackStoppedCalls, 1);
}

// Typed after a recording stopped: stamped at the end of its session, never past it, and shown
// when playback reaches the end, also when the media end a little before the session does. The
// end of the recording leaves its start current for the next play.
TEST_F(PlaybackTest, TypingAfterARecordingShowsAtItsEnd)
{
    recording.setTempDir(tempDir.path());
    owner.inUndoGroup([&] {
        ASSERT_TRUE(recording.startSession(true, false));
        clock.advance(10.0);
        ASSERT_TRUE(recording.stopSession());
        ASSERT_TRUE(recording.recordKeyEventsForRange(0, 0, QStringLiteral("ab")));
    });
    double length = 0.0;
    ASSERT_TRUE(recording.session(0)->length(&length));
    for (const WrenTimeStampPtr &stamp : recording.events().keyEvents())
        EXPECT_TRUE(stamp->session() == 0 && stamp->offset() <= length && stamp->offset() > 9.9);

    ASSERT_TRUE(recording.startPlayback());
    player().script.length = length - 0.2;
    player().script.currentTime = length - 0.1;
    fireUntil([&] { return !recording.playing(); });
    EXPECT_EQ(owner.highlighted, (QList<uint32_t>{0, 1}));
    EXPECT_EQ(recording.currentSession(), -1);
    EXPECT_EQ(recording.percentageDone(), 0.0f);
    EXPECT_EQ(player().seeks.last(), 0.0);
}

TEST_F(PlaybackTest, FastForwardAndRewindToggles)
{
    sessions({60.0});
    EXPECT_EQ(recording.toggleFF(), -1); // nothing current
    recording.setSelectedPlaybackSpeed(1.5f);
    playFrom(0, 10.0);
    EXPECT_EQ(recording.toggleFF(), 2);
    EXPECT_EQ(player().rate, 4.0f);
    EXPECT_EQ(recording.toggleFF(), 1);
    EXPECT_EQ(player().rate, 1.5f);
    EXPECT_EQ(recording.session(0)->rate(), 1.5f);
    EXPECT_EQ(recording.playbackSpeed(), 1.5f);

    // Switching one on switches the other off; a stop clears both.
    EXPECT_EQ(recording.toggleFF(), 2);
    EXPECT_EQ(recording.toggleRW(), 2);
    EXPECT_FALSE(recording.fastforwarding());
    EXPECT_EQ(player().rate, -4.0f);
    recording.stopPlayback();
    EXPECT_FALSE(recording.rewinding());
    EXPECT_EQ(recording.playbackSpeed(), 1.5f);
}

TEST_F(PlaybackTest, IdleHighlightBeforeTheFirstCharacter)
{
    sessions({60.0});
    stamp(WrenTimeStampTypeSlide, 4, 0, 1.0);
    recording.nextEvent(-1);
    EXPECT_TRUE(owner.highlighted.isEmpty()); // a slide number is no character
    stamp(WrenTimeStampTypeKey, 3, 0, 2.0);
    recording.nextEvent(-1);
    EXPECT_EQ(owner.highlighted, QList<uint32_t>{2});
}

TEST_F(PlaybackTest, PlayRequestsAfterCloseAreRefused)
{
    sessions({10.0});
    recording.session(0)->setHasVideo(true);
    EXPECT_TRUE(recording.playSession(0, std::nullopt, std::nullopt, std::nullopt, true, true));
    recording.close();
    EXPECT_FALSE(recording.playSession(0, 1.0));
    const QStringList calls = player().calls;
    lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(700));
    EXPECT_EQ(player().calls, calls);
}

} // namespace
