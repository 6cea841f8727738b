#include "model/WrenTimerSession.h"

#include "engines/LQRecordingController.h"
#include "model/ModelArchiveClasses.h"
#include "platform/foundation/ClockSource.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/UndoManager.h"
#include "shared/RecordingErrors.h"
#include "support/FakePlaySession.h"
#include "support/FakeRecSession.h"
#include "support/LogCapture.h"
#include "support/ManualTimerService.h"
#include "support/ScriptedAlertPresenter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <thread>

namespace {

using lq::Date;
using lq::test::FakePlaySession;
using lq::test::FakeRecSession;
using Callback = WrenTimerSessionOwner::Callback;

const QString kStalledText = QStringLiteral("Error: Recording stopped due to an unexpected error.");

// The recording object as far as a session needs one: it stops what the session asks it to and
// collects the errors it reports.
class FakeOwner final : public WrenTimerSessionOwner,
                        public LQRecordingController,
                        public BMRecordingErrorHandler
{
public:
    FakeOwner(WrenTimerSession &session, std::set<Callback> answered)
        : m_session(session), m_answered(std::move(answered))
    {
        session.setOwner(this);
        session.setErrorHandler(this);
    }

    bool answers(Callback callback) const override { return m_answered.count(callback) > 0; }
    LQRecordingController *controller() override { return this; }
    void stopRecording() override
    {
        ++stopRecordingCalls;
        stoppedOnMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        m_session.stopSession();
    }
    bool stopPlayback() override
    {
        ++stopPlaybackCalls;
        return m_session.stopPlayback();
    }
    void sessionPlaybackStopped() override { ++playbackStoppedCalls; }
    void recordingErrorOccurred(const QString &message, bool shouldRetry) override
    {
        reports.append({message, shouldRetry});
    }

    QList<std::pair<QString, bool>> reports;
    int stopRecordingCalls = 0;
    int stopPlaybackCalls = 0;
    int playbackStoppedCalls = 0;
    bool stoppedOnMainThread = false;

private:
    WrenTimerSession &m_session;
    std::set<Callback> m_answered;
};

class WrenTimerSessionTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // The clock epoch is local midnight: five hours after midnight UTC here.
        m_previousTimeZone = qgetenv("TZ");
        qputenv("TZ", "EST5EDT");
        m_previousClock = lq::ClockSource::setCurrent(&clock);
        clock.setWallNow(Date::fromQDateTime(QDateTime(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC)));
    }

    void TearDown() override
    {
        lq::ClockSource::setCurrent(m_previousClock);
        qputenv("TZ", m_previousTimeZone);
    }

    static double displayed(const WrenTimerSession &session)
    {
        return session.clockTime().timeIntervalSince(lq::clockEpoch());
    }

    static double now(WrenTimerSession &session)
    {
        double seconds = std::nan("");
        EXPECT_TRUE(session.nowInterval(&seconds));
        return seconds;
    }

    static void runPostedCalls() { QCoreApplication::processEvents(); }

    // Attaches an engine whose clock reads seconds until the test changes it.
    static std::shared_ptr<FakeRecSession> attachEngine(WrenTimerSession &session, double seconds)
    {
        auto engine = std::make_shared<FakeRecSession>();
        engine->script.nowInterval = seconds;
        session.setRecSession(engine);
        return engine;
    }

    lq::ManualClockSource clock;
    lq::test::ManualTimerService timers{&clock};
    lq::test::ScriptedAlertPresenter alerts;

private:
    const lq::ClockSource *m_previousClock = nullptr;
    QByteArray m_previousTimeZone;
};

TEST_F(WrenTimerSessionTest, ClockEpochIsLocalMidnightOfNewYear2008)
{
    WrenTimerSession session;
    ASSERT_TRUE(session.startSession());
    EXPECT_EQ(session.clockTime().toQDateTime(),
              QDateTime(QDate(2008, 1, 1), QTime(5, 0), Qt::UTC));
}

TEST_F(WrenTimerSessionTest, TicksWhenTheDisplayedSecondChangesAtAnyRate)
{
    struct Case
    {
        double shown;
        float rate;
        double wait;
    };
    const Case cases[] = {
        // 0.005 s is too short: a moment after the change, also when fast.
        {12.3, 1.0f, 0.7},  {12.995, 1.0f, 0.015}, {12.998, 4.0f, 0.0105}, {12.3, 2.0f, 0.35},
        {12.3, -1.0f, 0.3}, {12.0, 1.0f, 1.0},     {12.0, -1.0f, 1.0},     {0.0, 0.5f, 2.0},
    };
    for (const Case &c : cases) {
        auto session = WrenTimerSession::sessionWithLength(60.0);
        EXPECT_FALSE(session->setPlayRate(c.rate)); // idle: no position yet, the rate is kept
        ASSERT_TRUE(session->startPlayback(c.shown, 0.0, c.rate < 0));
        ASSERT_EQ(timers.pendingCount(), 1);
        EXPECT_NEAR(timers.pendingIntervals().first(), c.wait, 1e-6)
            << c.shown << " at rate " << c.rate;
    }
}

TEST_F(WrenTimerSessionTest, RecordingClockYieldsToAnEngineMoreThanFiveSecondsAway)
{
    struct Case
    {
        double engineTime;
        double answer;
    };
    const Case cases[] = {{94.0, 94.0}, {96.0, 100.0}, {105.0, 100.0}, {105.5, 105.5}};
    for (const Case &c : cases) {
        WrenTimerSession session;
        attachEngine(session, c.engineTime);
        ASSERT_TRUE(session.startSession());
        clock.advance(100.0);
        EXPECT_NEAR(now(session), c.answer, 1e-9) << "engine at " << c.engineTime;
        session.setRecSession(nullptr);
        clock.advance(0.5);
        EXPECT_NEAR(now(session), 100.5, 1e-9) << "without an engine";
    }
}

TEST_F(WrenTimerSessionTest, RecordingClockTicksOnWholeSecondsFromTheDisplayOffset)
{
    WrenTimerSession session;
    QSignalSpy shown(&session, &WrenTimerSession::clockTimeChanged);
    ASSERT_TRUE(session.startSession(90.0));
    EXPECT_NEAR(displayed(session), 90.0, 1e-6);
    for (int tick = 1; tick <= 3; ++tick) {
        ASSERT_TRUE(timers.fireNext());
        EXPECT_NEAR(displayed(session), 90.0 + tick, 1e-6);
    }
    EXPECT_EQ(shown.count(), 4);
    ASSERT_EQ(timers.scheduledIntervals().size(), 4);
    for (double interval : timers.scheduledIntervals())
        EXPECT_NEAR(interval, 1.0, 1e-6);

    ASSERT_TRUE(session.stopSession());
    EXPECT_EQ(timers.pendingCount(), 0);
    double length = 0.0;
    ASSERT_TRUE(session.length(&length));
    EXPECT_NEAR(length, 3.0, 1e-6); // the end comes from the session's own clock
    EXPECT_FALSE(session.stopSession());
    EXPECT_FALSE(session.startSession()); // recorded once
}

TEST_F(WrenTimerSessionTest, EngineTimeStandingStillStopsTheRecordingOnceAndReportsIt)
{
    WrenTimerSession session;
    FakeOwner owner(session, {Callback::Controller});
    auto engine = attachEngine(session, 5.0);
    ASSERT_TRUE(session.startSession());
    clock.advance(5.0);
    EXPECT_NEAR(now(session), 5.0, 1e-9); // the change date is noted
    engine->script.nowInterval = 6.0;
    clock.advance(1.0);
    EXPECT_NEAR(now(session), 6.0, 1e-9); // the media time is seen to change
    clock.advance(9.5);
    EXPECT_NEAR(now(session), 6.0, 1e-9); // snapped to the engine, not yet stalled
    EXPECT_TRUE(owner.reports.isEmpty());

    clock.advance(1.0);
    double seconds = 0.0;
    EXPECT_FALSE(session.nowInterval(&seconds));
    EXPECT_NEAR(seconds, 6.0, 1e-9); // the snapped value is still delivered
    EXPECT_EQ(owner.stopRecordingCalls, 1);
    EXPECT_EQ(owner.reports, (QList<std::pair<QString, bool>>{{kStalledText, true}}));
    EXPECT_EQ(session.mode(), WrenTimerSession::Idle);
    double length = 0.0;
    ASSERT_TRUE(session.length(&length));
    EXPECT_NEAR(length, 6.0, 1e-6); // the stop's own reading was snapped, not reported

    EXPECT_NEAR(now(session), 0.0, 1e-9); // idle now: shows the offset, reports nothing
    EXPECT_EQ(owner.reports.size(), 1);
    runPostedCalls();
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(WrenTimerSessionTest, StallSeenOffTheMainThreadIsHandledOnIt)
{
    WrenTimerSession session;
    FakeOwner owner(session, {Callback::Controller});
    attachEngine(session, 1.0);
    ASSERT_TRUE(session.startSession());
    now(session);
    now(session);
    clock.advance(11.0);

    bool answered = true;
    std::thread worker([&] {
        double seconds = 0.0;
        answered = session.nowInterval(&seconds);
    });
    worker.join();
    EXPECT_FALSE(answered);
    EXPECT_EQ(owner.stopRecordingCalls, 0);
    runPostedCalls();
    EXPECT_EQ(owner.stopRecordingCalls, 1);
    EXPECT_TRUE(owner.stoppedOnMainThread);
    EXPECT_EQ(owner.reports.size(), 1);
}

TEST_F(WrenTimerSessionTest, RecordingClockRunningBackwardsStopsThroughTheController)
{
    for (bool ownerAnswers : {true, false}) {
        WrenTimerSession session;
        FakeOwner owner(session,
                        ownerAnswers ? std::set{Callback::Controller} : std::set<Callback>{});
        ASSERT_TRUE(session.startSession(30.0));
        clock.setMonotonicNanoseconds(clock.monotonicNanoseconds() - 2'000'000'000ULL);

        const int alertsBefore = alerts.count();
        double seconds = 0.0;
        EXPECT_TRUE(session.nowInterval(&seconds));
        EXPECT_EQ(alerts.count(), alertsBefore); // never shown from inside the reading
        runPostedCalls();
        if (ownerAnswers) {
            EXPECT_NEAR(seconds, 1.0, 1e-9); // the shown clock, one second on
            EXPECT_EQ(owner.stopRecordingCalls, 1);
            ASSERT_EQ(alerts.count(), 1);
            EXPECT_TRUE(alerts.last().request.messageText.startsWith(
                "Error - time moved backwards. It appears that the time now is earlier than the "
                "time when recording started."));
            EXPECT_EQ(alerts.last().request.buttons, QStringList{"OK"});
            EXPECT_TRUE(alerts.last().onMainThread);
        } else {
            EXPECT_NEAR(seconds, -2.0, 1e-9);
            EXPECT_EQ(alerts.count(), alertsBefore);
            EXPECT_EQ(owner.stopRecordingCalls, 0);
        }
    }
}

TEST_F(WrenTimerSessionTest, PlaybackClockRunningBackwardsStopsPlaybackThroughTheOwner)
{
    for (bool ownerAnswers : {true, false}) {
        auto session = WrenTimerSession::sessionWithLength(60.0);
        FakeOwner owner(*session,
                        ownerAnswers ? std::set{Callback::StopPlayback} : std::set<Callback>{});
        ASSERT_TRUE(session->startPlayback(5.0, 0.0, false));
        // Monotonic time now lies before the moment position 0 was passed.
        clock.setMonotonicNanoseconds(clock.monotonicNanoseconds() - 6'000'000'000ULL);

        double seconds = 0.0;
        EXPECT_TRUE(session->nowInterval(&seconds));
        runPostedCalls();
        if (ownerAnswers) {
            EXPECT_NEAR(seconds, 6.0, 1e-9);
            EXPECT_EQ(owner.stopPlaybackCalls, 1);
            EXPECT_EQ(session->mode(), WrenTimerSession::Idle);
            ASSERT_EQ(alerts.count(), 1);
            EXPECT_TRUE(alerts.last().request.messageText.contains(
                "earlier than the time when playback started. Consequently, Luma Quill must stop "
                "playing."));
        } else {
            EXPECT_DOUBLE_EQ(seconds, 0.0);
            EXPECT_EQ(session->mode(), WrenTimerSession::Playing);
        }
    }
}

TEST_F(WrenTimerSessionTest, RateChangeKeepsThePositionContinuous)
{
    auto session = WrenTimerSession::sessionWithLength(60.0);
    ASSERT_TRUE(session->startPlayback(10.0, 0.0, false));
    clock.advance(2.0);
    EXPECT_NEAR(now(*session), 12.0, 1e-6);
    ASSERT_TRUE(session->setPlayRate(2.0f));
    EXPECT_NEAR(now(*session), 12.0, 1e-6);
    clock.advance(1.0);
    EXPECT_NEAR(now(*session), 14.0, 1e-6);
    ASSERT_TRUE(session->setPlayRate(-1.0f));
    clock.advance(4.0);
    EXPECT_NEAR(now(*session), 10.0, 1e-6);

    for (float refused : {0.0f, std::nanf(""), INFINITY}) {
        EXPECT_FALSE(session->setPlayRate(refused));
        EXPECT_FLOAT_EQ(session->rate(), -1.0f);
    }
    ASSERT_TRUE(session->stopPlayback());
    EXPECT_FLOAT_EQ(session->rate(), 1.0f);
}

TEST_F(WrenTimerSessionTest, BackwardsStartWithoutOffsetBeginsAtTheEndAndStopsAtTheStart)
{
    auto session = WrenTimerSession::sessionWithLength(2.5);
    FakeOwner owner(*session, {Callback::SessionPlaybackStopped});
    session->setPlayRate(-1.0f);
    ASSERT_TRUE(session->startPlayback(std::nullopt, 100.0, true));
    EXPECT_NEAR(now(*session), 2.5, 1e-6);
    EXPECT_NEAR(displayed(*session), 102.5, 1e-6);
    EXPECT_NEAR(timers.pendingIntervals().first(), 0.5, 1e-6);

    QList<double> shown;
    while (owner.playbackStoppedCalls == 0 && timers.fireNext())
        shown.append(displayed(*session));
    ASSERT_EQ(shown.size(), 3);
    EXPECT_NEAR(shown[0], 102.0, 1e-6);
    EXPECT_NEAR(shown[1], 101.0, 1e-6);
    EXPECT_NEAR(shown[2], 0.0, 1e-6); // back at the epoch once the start is passed
    EXPECT_EQ(owner.playbackStoppedCalls, 1);
    EXPECT_EQ(session->mode(), WrenTimerSession::Idle);
    EXPECT_EQ(timers.pendingCount(), 0);
}

TEST_F(WrenTimerSessionTest, PlaybackEngineTimeAndLengthDriveTheClock)
{
    auto session = WrenTimerSession::sessionWithLength(60.0);
    FakeOwner owner(*session, {Callback::SessionPlaybackStopped});
    auto player = std::make_shared<FakePlaySession>();
    player->script.length = 20.0;
    player->script.currentTime = 7.5;
    ASSERT_TRUE(player->startPlaying(std::nullopt, false));
    session->setPlaySession(player);
    ASSERT_TRUE(session->startPlayback(0.0, 0.0, false));
    EXPECT_NEAR(now(*session), 7.5, 1e-9);

    ASSERT_TRUE(timers.fireNext());
    EXPECT_NEAR(displayed(*session), 7.5, 1e-6);
    EXPECT_FLOAT_EQ(session->percentageDone(), 37.5f);

    player->script.currentTime = 20.0; // the player's end, though the session is longer
    ASSERT_TRUE(timers.fireNext());
    EXPECT_EQ(owner.playbackStoppedCalls, 1);
    EXPECT_FLOAT_EQ(session->percentageDone(), 100.0f);
    EXPECT_EQ(session->playSession(), nullptr); // detached on stop
}

TEST_F(WrenTimerSessionTest, SessionOfNoLengthIsOverAtItsFirstTick)
{
    for (bool ownerAnswers : {true, false}) {
        auto session = WrenTimerSession::sessionWithLength(0.0);
        FakeOwner owner(*session, ownerAnswers ? std::set{Callback::SessionPlaybackStopped}
                                               : std::set<Callback>{});
        ASSERT_TRUE(session->startPlayback(std::nullopt, 0.0, false));
        ASSERT_TRUE(timers.fireNext());
        EXPECT_FLOAT_EQ(session->percentageDone(), 100.0f); // not NaN
        EXPECT_EQ(session->mode(), WrenTimerSession::Idle);
        EXPECT_EQ(owner.playbackStoppedCalls, ownerAnswers ? 1 : 0);
    }
}

TEST_F(WrenTimerSessionTest, IdleSessionReadsItsShownClockAfterAJump)
{
    auto session = WrenTimerSession::sessionWithLength(60.0);
    double seconds = 0.0;
    EXPECT_FALSE(session->nowInterval(&seconds)); // no display start yet
    session->setStartOffset(40.0);
    session->jumpToOffset(12.0);
    EXPECT_NEAR(now(*session), 12.0, 1e-6);
    EXPECT_NEAR(displayed(*session), 52.0, 1e-6);
    EXPECT_EQ(timers.pendingCount(), 0); // an idle clock does not tick
}

TEST_F(WrenTimerSessionTest, ResetSessionRestartsTheClockFromTheDisplayStart)
{
    WrenTimerSession session;
    ASSERT_TRUE(session.startSession(10.0));
    const ConsistentDate firstBeginning = *session.theBeginning();
    ASSERT_TRUE(timers.fireNext());
    ASSERT_TRUE(timers.fireNext());
    EXPECT_NEAR(displayed(session), 12.0, 1e-6);
    clock.advance(0.4);
    session.resetSession(ConsistentDate::now());
    EXPECT_NEAR(displayed(session), 10.0, 1e-6);
    EXPECT_NEAR(session.theBeginning()->timeIntervalSinceDate(firstBeginning), 2.4, 1e-6);
    EXPECT_NEAR(now(session), 0.0, 1e-9);
    EXPECT_NEAR(timers.pendingIntervals().first(), 1.0, 1e-6);
}

TEST_F(WrenTimerSessionTest, ClockTimeIsSignalledOnTheSettingThread)
{
    WrenTimerSession session;
    QThread *signalled = nullptr;
    QObject::connect(
        &session, &WrenTimerSession::clockTimeChanged, &session,
        [&] { signalled = QThread::currentThread(); }, Qt::DirectConnection);
    QThread *worker = nullptr;
    std::thread thread([&] {
        worker = QThread::currentThread();
        session.setClockTime(lq::clockEpoch().addingTimeInterval(5.0));
    });
    thread.join();
    EXPECT_EQ(signalled, worker);
    EXPECT_EQ(session.property("clockTime").value<Date>(),
              lq::clockEpoch().addingTimeInterval(5.0));
}

TEST_F(WrenTimerSessionTest, TrimSetsAnUndoableEnd)
{
    lq::UndoManager undo;
    auto session = WrenTimerSession::sessionWithLength(60.0);
    session->setUm(&undo);
    const auto lengthOf = [&session] {
        double length = -1.0;
        EXPECT_TRUE(session->length(&length));
        return length;
    };

    EXPECT_FALSE(session->trimFrom(-1.0));
    EXPECT_NEAR(lengthOf(), 60.0, 1e-6);
    EXPECT_FALSE(undo.canUndo());

    ASSERT_TRUE(session->trimFrom(30.0));
    EXPECT_NEAR(lengthOf(), 30.0, 1e-6);
    ASSERT_TRUE(undo.canUndo());
    undo.undo();
    EXPECT_NEAR(lengthOf(), 60.0, 1e-6);
    ASSERT_TRUE(undo.canRedo());
    undo.redo();
    EXPECT_NEAR(lengthOf(), 30.0, 1e-6);
    session.reset(); // its undo actions go with it
    EXPECT_FALSE(undo.canUndo());

    WrenTimerSession unstarted;
    EXPECT_FALSE(unstarted.trimFrom(10.0));
    EXPECT_FALSE(unstarted.theEnd());
}

TEST_F(WrenTimerSessionTest, EnginesShareTheSessionsFileLengths)
{
    WrenTimerSession session;
    auto recorder = std::make_shared<FakeRecSession>();
    auto player = std::make_shared<FakePlaySession>();
    session.setSubSessionLengths({1.0});
    session.setPlaySession(player);
    EXPECT_EQ(player->subSessionLengths(), QList<double>{1.0});

    session.setRecSession(recorder);
    recorder->script.lengths = QList<double>{12.0, 3.5};
    session.setRecSession(nullptr); // the outgoing engine's lengths are kept
    EXPECT_EQ(session.subSessionLengths(), (QList<double>{12.0, 3.5}));
    EXPECT_EQ(player->subSessionLengths(), (QList<double>{12.0, 3.5}));

    session.setRecSession(std::make_shared<FakeRecSession>()); // one that knows none
    session.setRecSession(nullptr);
    EXPECT_EQ(session.subSessionLengths(), (QList<double>{12.0, 3.5}));
}

class WrenTimerSessionArchiveTest : public WrenTimerSessionTest
{
protected:
    void SetUp() override
    {
        WrenTimerSessionTest::SetUp();
        WrenTimerSession::registerArchiveClass();
    }

    static std::shared_ptr<WrenTimerSession>
    roundTrip(const std::shared_ptr<WrenTimerSession> &session)
    {
        const QByteArray bytes = lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(session));
        lq::Error error;
        auto decoded = lq::KeyedUnarchiver::unarchiveObject<WrenTimerSession>(
            bytes, registerModelArchiveClasses(), &error);
        EXPECT_TRUE(decoded) << qPrintable(error.localizedDescription());
        return decoded;
    }
};

TEST_F(WrenTimerSessionArchiveTest, DecodedSessionIsIdleUnsavedAndKeepsItsData)
{
    auto session = WrenTimerSession::sessionWithLength(42.25);
    session->setHasAudio(true);
    session->setHasSlides(true);
    session->setSaved(true);
    session->setSubSessionLengths({40.0, 2.25});
    ASSERT_TRUE(session->startPlayback(3.0, 0.0, false));
    session->setPlayRate(2.0f);

    const auto decoded = roundTrip(session);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->theBeginning()->date(), session->theBeginning()->date());
    EXPECT_EQ(decoded->theEnd()->date(), session->theEnd()->date());
    EXPECT_TRUE(decoded->hasAudio());
    EXPECT_FALSE(decoded->hasVideo());
    EXPECT_TRUE(decoded->hasSlides());
    EXPECT_EQ(decoded->subSessionLengths(), (QList<double>{40.0, 2.25}));
    EXPECT_EQ(decoded->mode(), WrenTimerSession::Idle);
    EXPECT_FLOAT_EQ(decoded->rate(), 1.0f);
    EXPECT_FALSE(decoded->saved());
    // Dates read back count their monotonic time from the decoding.
    clock.advance(2.0);
    EXPECT_NEAR(decoded->theBeginning()->elapsed(), 2.0, 1e-9);
}

TEST_F(WrenTimerSessionArchiveTest, RecordingSessionArchivesAnEndOfNowWithoutActingOnTheClock)
{
    auto session = std::make_shared<WrenTimerSession>();
    FakeOwner owner(*session, {Callback::Controller});
    auto engine = attachEngine(*session, 1.0); // stands still from here on
    engine->script.lengths = QList<double>{7.0};
    ASSERT_TRUE(session->startSession());
    now(*session);
    now(*session);
    clock.advance(3.0);

    auto decoded = roundTrip(session);
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(decoded->theEnd()->date().timeIntervalSince(clock.wallNow()), 0.0, 1e-6);
    EXPECT_EQ(decoded->subSessionLengths(), QList<double>{7.0}); // the engine's, while attached

    clock.advance(20.0); // the engine has now stood still for 23 s
    std::shared_ptr<WrenTimerSession> fromWorker;
    std::thread saver([&] { fromWorker = roundTrip(session); });
    saver.join();
    runPostedCalls();
    ASSERT_TRUE(fromWorker);
    EXPECT_NEAR(fromWorker->theEnd()->date().timeIntervalSince(session->theBeginning()->date()),
                1.0, 1e-6); // snapped to the engine's time
    EXPECT_EQ(owner.stopRecordingCalls, 0);
    EXPECT_TRUE(owner.reports.isEmpty());
    EXPECT_EQ(alerts.count(), 0);
    EXPECT_EQ(session->mode(), WrenTimerSession::Recording);
}

TEST_F(WrenTimerSessionArchiveTest, UnstartedSessionArchivesNoBeginningAndAnEndOfNow)
{
    const auto decoded = roundTrip(std::make_shared<WrenTimerSession>());
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->theBeginning());
    ASSERT_TRUE(decoded->theEnd());
    EXPECT_EQ(decoded->theEnd()->date(), clock.wallNow());
}

// Writes what a damaged archive might hold under the session's class name.
class ForgedSession final : public lq::Archivable
{
public:
    ForgedSession(QString key, lq::ArchiveValue value)
        : m_key(std::move(key)), m_value(std::move(value))
    {}
    QStringList archiveClassNames() const override { return {"WrenTimerSession", "NSObject"}; }
    void encodeWithCoder(lq::KeyedArchiver &coder) const override
    {
        coder.encodeObject(m_key, m_value);
    }

private:
    QString m_key;
    lq::ArchiveValue m_value;
};

TEST_F(WrenTimerSessionArchiveTest, MistypedFieldsFailTheDecoding)
{
    using lq::ArchiveValue;
    const std::pair<QString, ArchiveValue> cases[] = {
        {"theBeginning", ArchiveValue::string("yesterday")},
        {"theEnd", ArchiveValue::real(12.0)},
        {"subSessionLengths",
         ArchiveValue::array({ArchiveValue::real(1.0), ArchiveValue::string("2")})},
        {"subSessionLengths", ArchiveValue::real(3.0)},
    };
    for (const auto &[key, value] : cases) {
        const QByteArray bytes = lq::KeyedArchiver::archivedData(
            ArchiveValue::object(std::make_shared<ForgedSession>(key, value)));
        lq::Error error;
        EXPECT_FALSE(lq::KeyedUnarchiver::unarchiveObject<WrenTimerSession>(
            bytes, registerModelArchiveClasses(), &error))
            << qPrintable(key);
        EXPECT_FALSE(error.isNull());
    }

    // Absent keys are an unstarted session with no media.
    const QByteArray bytes = lq::KeyedArchiver::archivedData(ArchiveValue::object(
        std::make_shared<ForgedSession>("unrelated", ArchiveValue::integer(1))));
    const auto decoded = lq::KeyedUnarchiver::unarchiveObject<WrenTimerSession>(
        bytes, registerModelArchiveClasses());
    ASSERT_TRUE(decoded);
    EXPECT_FALSE(decoded->theBeginning());
    EXPECT_FALSE(decoded->theEnd());
    EXPECT_TRUE(decoded->subSessionLengths().isEmpty());
}

} // namespace
