#include "model/WrenEvents.h"
#include "model/WrenRecordingTestSupport.h"
#include "shared/RecordingErrors.h"
#include "support/MediaFixtures.h"
#include "support/ScriptedPanelPresenter.h"
#include "support/ScriptedScriptRunner.h"
#include "support/TestLeakSuppressions.h"
#include "support/TestUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

using lq::test::MediaFixture;
using lq::test::MediaFixtures;

class CollectingErrorHandler final : public BMRecordingErrorHandler
{
public:
    void recordingErrorOccurred(const QString &message, bool) override { messages.append(message); }
    QStringList messages;
};

class SessionsTest : public lq::test::RecordingTestBase
{
protected:
    SessionsTest()
    {
        recording.setTempDir(tempDir.path());
        recording.setOwner(&owner);
        recording.setErrorHandler(&errors);
        recording.loadController(&controller);
    }

    lq::test::FakeRecSession &engine() { return *engines.lastRecordingEngine; }

    // Records a session of seconds.
    void recordSession(bool audio, bool video, double seconds)
    {
        ASSERT_TRUE(recording.startSession(audio, video));
        clock.advance(seconds);
        ASSERT_TRUE(recording.stopSession());
    }

    lq::test::TestUserDefaults defaults;
    CollectingErrorHandler errors;
    WrenRecording recording;
};

TEST_F(SessionsTest, SessionsStartInOrderAtTheEndOfTheTimeline)
{
    recordSession(true, false, 4.0);
    recordSession(false, false, 6.0);
    ASSERT_TRUE(recording.startSession(true, false));
    EXPECT_EQ(engine().stem(), QDir(tempDir.path()).filePath(QStringLiteral("recording-2.")));
    const auto sessions = recording.timerSessions();
    ASSERT_EQ(sessions.size(), 3u);
    EXPECT_EQ(sessions[2]->clockTime(), lq::clockEpoch().addingTimeInterval(10.0));
    EXPECT_EQ(recording.currentSession(), 2);
    EXPECT_TRUE(recording.recording());
    EXPECT_EQ(recording.recordingFiles().value(0),
              QStringList{QStringLiteral("recording-0.0.mov")});
    EXPECT_FALSE(recording.recordingFiles().contains(1));
    EXPECT_EQ(recording.events().sessionLengths().value(1), 6.0f);
    controller.observed.clear();
    engine().setAudioLevel(-20.0f);
    QCoreApplication::processEvents();
    EXPECT_EQ(controller.observed, QStringList{QStringLiteral("audioLevel")});
}

TEST_F(SessionsTest, RefusedStartLeavesNothingBehind)
{
    engine().script.startRecording = false;
    EXPECT_FALSE(recording.startSession(true, true));
    EXPECT_EQ(recording.currentSession(), -1);
    EXPECT_EQ(recording.sessionCount(), 0);
    EXPECT_FALSE(recording.recording());
    EXPECT_FALSE(recording.videoRecorded());
    controller.observed.clear();
    engine().setAudioLevel(-20.0f);
    QCoreApplication::processEvents();
    EXPECT_TRUE(controller.observed.isEmpty());

    // A missing media folder refuses the start too.
    engine().script.startRecording = true;
    recording.setTempDir(tempDir.filePath(QStringLiteral("gone")));
    EXPECT_FALSE(recording.startSession(true, false));
    EXPECT_EQ(recording.sessionCount(), 0);
}

TEST_F(SessionsTest, TypingOnlySessionNeedsNoEngineAndNoFileWait)
{
    recordSession(false, false, 5.0);
    EXPECT_FALSE(engine().calls.contains(QStringLiteral("startRecording")));
    EXPECT_FALSE(recording.recordingSpinningUp());
    EXPECT_TRUE(recording.recordingFiles().isEmpty());
    EXPECT_EQ(owner.finishedRecording, QList<bool>{true});
    // Phase 2 leaves the new session current at its end.
    EXPECT_EQ(recording.currentSession(), 0);
    double now = 0.0;
    ASSERT_TRUE(recording.session(0)->nowInterval(&now));
    EXPECT_DOUBLE_EQ(now, 5.0);
}

TEST_F(SessionsTest, EngineWithoutAFileListLeavesTimeButNoMedia)
{
    engine().script.reportsFilesOnStop = false;
    recordSession(true, true, 5.0);
    const auto session = recording.session(0);
    EXPECT_FALSE(session->hasAudio());
    EXPECT_FALSE(session->hasVideo());
    double length = 0.0;
    ASSERT_TRUE(session->length(&length));
    EXPECT_DOUBLE_EQ(length, 5.0);
    EXPECT_FALSE(recording.recordingFiles().contains(0));
}

TEST_F(SessionsTest, FailedEngineStopIsRetriedAndNeverLocksIn)
{
    for (const bool secondStopWorks : {true, false}) {
        SCOPED_TRACE(secondStopWorks);
        WrenRecording other;
        other.setTempDir(tempDir.path());
        other.setErrorHandler(&errors);
        lq::test::FakeRecSession &otherEngine = *engines.lastRecordingEngine;
        errors.messages.clear();
        ASSERT_TRUE(other.startSession(true, false));
        clock.advance(3.0);
        otherEngine.script.stopRecording = false;
        EXPECT_FALSE(other.stopSession());
        EXPECT_TRUE(other.recording());
        EXPECT_EQ(other.currentSession(), 0);

        otherEngine.script.stopRecording = secondStopWorks;
        EXPECT_TRUE(other.stopSession());
        EXPECT_FALSE(other.recording());
        EXPECT_EQ(other.session(0)->hasAudio(), secondStopWorks);
        EXPECT_EQ(other.recordingFiles().contains(0), secondStopWorks);
        EXPECT_EQ(errors.messages.size(), secondStopWorks ? 0 : 1);
        // Recording can begin again.
        otherEngine.script.stopRecording = true;
        otherEngine.failRecording();
        EXPECT_TRUE(other.startSession(false, false));
        EXPECT_TRUE(other.stopSession());
    }
}

TEST_F(SessionsTest, SecondStartWhileRecordingChangesNothing)
{
    struct Case
    {
        const char *name;
        bool audio;
    };
    for (const Case &c : {Case{"typing only", false}, Case{"with the engine", true}}) {
        SCOPED_TRACE(c.name);
        const int32_t index = recording.sessionCount();
        ASSERT_TRUE(recording.startSession(c.audio, false));
        const qsizetype engineStarts = engine().calls.count(QStringLiteral("startRecording"));
        clock.advance(2.0);
        for (const bool audio : {false, true})
            EXPECT_FALSE(recording.startSession(audio, false));
        EXPECT_EQ(recording.sessionCount(), index + 1);
        EXPECT_EQ(recording.currentSession(), index);
        EXPECT_TRUE(recording.recording());
        EXPECT_EQ(recording.session(index)->mode(), WrenTimerSession::Recording);
        EXPECT_EQ(engine().calls.count(QStringLiteral("startRecording")), engineStarts);

        clock.advance(3.0);
        ASSERT_TRUE(recording.stopSession());
        EXPECT_FALSE(recording.recording());
        EXPECT_FALSE(engine().currentlyRecording());
        EXPECT_EQ(recording.events().sessionLengths().value(index), 5.0f);
        EXPECT_EQ(recording.recordingFiles().contains(index), c.audio);
    }
}

TEST_F(SessionsTest, StopAskedForDuringAStopDoesNothing)
{
    // The engine's time stands still, so the stall watch trips inside the stop and asks the
    // window to stop, which asks the recording again.
    engine().script.nowInterval = 1.0;
    ASSERT_TRUE(recording.startSession(true, false));
    double now = 0.0;
    for (int reading = 0; reading < 2; ++reading) // the watch notes the time and the moment
        ASSERT_TRUE(recording.session(0)->nowInterval(&now));
    clock.advance(11.0);
    std::optional<bool> nestedStop;
    controller.onStopRecording = [&] { nestedStop = recording.stopSession(); };
    ASSERT_TRUE(recording.stopSession());
    ASSERT_TRUE(nestedStop.has_value());
    EXPECT_FALSE(*nestedStop);
    EXPECT_EQ(engine().calls.count(QStringLiteral("stopRecording")), 1);
    EXPECT_EQ(engine().calls.count(QStringLiteral("prepareToSave")), 0);
    EXPECT_EQ(recording.recordingFiles().value(0),
              QStringList{QStringLiteral("recording-0.0.mov")});
    EXPECT_TRUE(recording.session(0)->hasAudio());
    EXPECT_FALSE(recording.recording());
    EXPECT_EQ(recording.currentSession(), 0);
    EXPECT_EQ(recording.sessionCount(), 1);
}

TEST_F(SessionsTest, VideoCountsAsRecordedOnlyOnceTheEngineRuns)
{
    engine().script.startRecording = false;
    EXPECT_FALSE(recording.startSession(false, true));
    EXPECT_FALSE(recording.videoRecorded());
    engine().script.startRecording = true;
    ASSERT_TRUE(recording.startSession(false, true));
    EXPECT_TRUE(recording.videoRecorded());
    EXPECT_NE(recording.captureView(), nullptr);
    EXPECT_EQ(controller.videoView, recording.captureView());
    EXPECT_EQ(engine().captureView(), recording.captureView());
}

TEST_F(SessionsTest, EngineStartReportsEndSpinningUp)
{
    engine().script.reportsStartAtOnce = false;
    ASSERT_TRUE(recording.startSession(true, false));
    EXPECT_TRUE(recording.recordingSpinningUp());
    clock.advance(2.0);
    engine().reportWritingStarted();
    EXPECT_FALSE(recording.recordingSpinningUp());
    double now = -1.0;
    ASSERT_TRUE(recording.session(0)->nowInterval(&now));
    EXPECT_EQ(now, 0.0);

    // An engine that reports from inside its start leaves nothing spinning.
    ASSERT_TRUE(recording.stopSession());
    engine().script.reportsStartAtOnce = true;
    ASSERT_TRUE(recording.startSession(true, false));
    EXPECT_FALSE(recording.recordingSpinningUp());
}

TEST_F(SessionsTest, EngineErrorStopsTheRecordingOnce)
{
    ASSERT_TRUE(recording.startSession(true, false));
    engine().failRecording();
    engine().failRecording();
    EXPECT_EQ(controller.calls.count(QStringLiteral("stopRecording")), 1);
    // The controller stops the session; what the engine wrote before the error stays.
    ASSERT_TRUE(recording.stopSession());
    EXPECT_EQ(recording.recordingFiles().value(0),
              QStringList{QStringLiteral("recording-0.0.mov")});

    // Without a controller the session is stopped directly.
    WrenRecording other;
    other.setTempDir(tempDir.path());
    ASSERT_TRUE(other.startSession(true, false));
    engines.lastRecordingEngine->failRecording();
    EXPECT_FALSE(other.recording());
}

class CallRecorderTest : public SessionsTest
{
protected:
    CallRecorderTest() { defaults->setBool(QStringLiteral("useCallRecorder"), true); }

    QString savedCalls() const
    {
        return QDir(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation))
            .filePath(QStringLiteral("Saved Calls"));
    }

    lq::test::ScriptedPanelPresenter panels;
};

TEST_F(CallRecorderTest, WithoutScriptingTheStartFailsHonestly)
{
    defaults->setBool(QStringLiteral("suppressCallRecorderWarning"), true);
    EXPECT_FALSE(recording.startSession(true, false));
    EXPECT_EQ(recording.sessionCount(), 0);
    EXPECT_EQ(recording.currentSession(), -1);
    EXPECT_EQ(alerts.last().request.messageText, QStringLiteral("Failed to communicate"));
    EXPECT_EQ(alerts.last().request.informativeText,
              QStringLiteral("Failed to communicate with Skype. Aborting."));
}

TEST_F(CallRecorderTest, WarningDecidesAndItsBoxIsRemembered)
{
    lq::test::ScriptedScriptRunner scripts;
    alerts.addResponse(1, false);
    EXPECT_FALSE(recording.startSession(true, false));
    EXPECT_EQ(recording.currentSession(), -1);
    EXPECT_TRUE(scripts.runs().isEmpty());
    EXPECT_FALSE(defaults->contains(QStringLiteral("suppressCallRecorderWarning")));

    alerts.addResponse(1, true); // cancelled, but the box was ticked
    EXPECT_FALSE(recording.startSession(true, false));
    EXPECT_TRUE(defaults->boolForKey(QStringLiteral("suppressCallRecorderWarning")));

    ASSERT_TRUE(recording.startSession(true, true));
    ASSERT_EQ(scripts.runs().size(), 1);
    EXPECT_EQ(scripts.runs()[0].application, QStringLiteral("Skype"));
    EXPECT_EQ(scripts.runs()[0].source,
              QStringLiteral("tell application \"Skype\"\n\t\u00abevent CLreStrt\u00bb\nend tell"));
    EXPECT_FALSE(engine().calls.contains(QStringLiteral("startRecording")));
    EXPECT_TRUE(recording.usingCallRecorder());
}

TEST_F(CallRecorderTest, PickedFileBecomesTheSessionsMedia)
{
    const QString movie = MediaFixtures::path(MediaFixture::H264AacMov, 5.0);
    ASSERT_FALSE(movie.isEmpty());
    lq::test::ScriptedScriptRunner scripts;
    defaults->setBool(QStringLiteral("suppressCallRecorderWarning"), true);
    // An earlier import already took the plain name for another session.
    owner.undo.disableUndoRegistration();
    recording.addSession(finishedSession(1.0, true, false));
    recording.setRecordingFiles(QStringList{QStringLiteral("recording-1.mov")}, 0);
    owner.undo.enableUndoRegistration();
    panels.choose(movie);
    recordSession(true, false, 16.0); // 11 s longer than the file: no question

    EXPECT_EQ(scripts.runs().size(), 2);
    EXPECT_TRUE(scripts.runs()[1].source.contains(QStringLiteral("CLreStop")));
    ASSERT_EQ(panels.shown().size(), 1);
    EXPECT_EQ(panels.shown()[0].title, QStringLiteral("Select Skype recording"));
    EXPECT_EQ(panels.shown()[0].nameFieldLabel, QStringLiteral("Skype recording:"));
    EXPECT_EQ(alerts.count(), 0);
    EXPECT_EQ(recording.recordingFiles().value(1),
              QStringList{QStringLiteral("recording-1-1.mov")});
    EXPECT_EQ(recording.recordingFiles().value(0), QStringList{QStringLiteral("recording-1.mov")});
    EXPECT_TRUE(QFileInfo(tempDir.filePath(QStringLiteral("recording-1-1.mov"))).isFile());
    const auto session = recording.session(1);
    EXPECT_TRUE(session->hasAudio());
    EXPECT_TRUE(session->hasVideo());
    EXPECT_EQ(owner.fileAccesses, 1);
    EXPECT_EQ(defaults->stringForKey(QStringLiteral("callRecorderLastSelectedDir")),
              QFileInfo(movie).absolutePath());
}

TEST_F(CallRecorderTest, FileOfAnotherLengthBringsTheQuestion)
{
    const QString movie = MediaFixtures::path(MediaFixture::AacMov, 5.0);
    ASSERT_FALSE(movie.isEmpty());
    lq::test::ScriptedScriptRunner scripts;
    defaults->setBool(QStringLiteral("suppressCallRecorderWarning"), true);
    struct Case
    {
        const char *name;
        QList<int> answers; // to the length question, in turn
        int panelsShown;
        bool taken;
    };
    const Case cases[] = {
        {"pick again, then abort", {0, 1}, 2, false},
        {"proceed anyway", {2}, 1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int before = alerts.count();
        const qsizetype panelsBefore = panels.shown().size();
        for (int answer : c.answers) {
            panels.choose(movie);
            alerts.addResponse(answer);
        }
        recordSession(true, false, 26.0); // 21 s longer than the file
        const int32_t index = recording.sessionCount() - 1;
        EXPECT_EQ(alerts.count() - before, c.answers.size());
        EXPECT_EQ(alerts.last().request.messageText,
                  QStringLiteral("Are you sure this is the right file?"));
        EXPECT_TRUE(alerts.last().request.informativeText.contains(QStringLiteral("too short")));
        EXPECT_EQ(panels.shown().size() - panelsBefore, c.panelsShown);
        EXPECT_EQ(recording.recordingFiles().contains(index), c.taken);
        EXPECT_EQ(recording.session(index)->hasAudio(), c.taken);
        EXPECT_FALSE(recording.session(index)->hasVideo());
    }
}

TEST_F(CallRecorderTest, PanelStartsInSavedCallsAndAnInvalidFileIsNamed)
{
    ASSERT_TRUE(QDir().mkpath(savedCalls()));
    lq::test::ScriptedScriptRunner scripts;
    defaults->setBool(QStringLiteral("suppressCallRecorderWarning"), true);
    const QString junk = tempDir.filePath(QStringLiteral("junk.mov"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a movie");
    file.close();
    panels.choose(junk);
    alerts.addResponse(1); // abort
    recordSession(true, false, 5.0);
    ASSERT_EQ(panels.shown().size(), 1);
    EXPECT_EQ(panels.shown()[0].directory, savedCalls());
    EXPECT_EQ(alerts.last().request.buttons,
              (QStringList{QStringLiteral("Pick again"), QStringLiteral("Abort")}));
    EXPECT_TRUE(alerts.last().request.informativeText.startsWith(
        QStringLiteral("The file you chose (junk.mov) does not appear to be a valid movie file")));
    EXPECT_FALSE(recording.recordingFiles().contains(0));
}

} // namespace
