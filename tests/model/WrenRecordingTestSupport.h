#pragma once

#include "model/ModelArchiveClasses.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/ClockSource.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeRecordingOwner.h"
#include "support/FakeWindowController.h"
#include "support/ManualTimerService.h"
#include "support/ScriptedAlertPresenter.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace lq::test {

// A recording with fake engines, owner and controller, on a clock that moves when told.
class RecordingTestBase : public testing::Test
{
protected:
    RecordingTestBase()
    {
        registerModelArchiveClasses();
        m_previousClock = ClockSource::setCurrent(&clock);
        clock.setWallNow(Date::fromQDateTime(QDateTime(QDate(2024, 3, 1), QTime(9, 0), Qt::UTC)));
    }
    ~RecordingTestBase() override { ClockSource::setCurrent(m_previousClock); }

    // A finished session of seconds, with the media flags given.
    std::shared_ptr<WrenTimerSession> finishedSession(double seconds, bool audio, bool video)
    {
        auto session = std::make_shared<WrenTimerSession>();
        session->startSession();
        clock.advance(seconds);
        session->stopSession();
        session->setHasAudio(audio);
        session->setHasVideo(video);
        return session;
    }

    // Adds a session that records now and makes it current.
    std::shared_ptr<WrenTimerSession> startRecording(WrenRecording &recording)
    {
        auto session = std::make_shared<WrenTimerSession>();
        recording.addSession(session);
        EXPECT_TRUE(session->startSession(recording.intervalForPreviousSessions()));
        recording.setCurrentSession(recording.sessionCount() - 1);
        recording.setRecording(true);
        return session;
    }

    ManualClockSource clock;
    ManualTimerService timers{&clock};
    FakeEngineFactory engines;
    ScriptedAlertPresenter alerts;
    FakeRecordingOwner owner;
    FakeWindowController controller;
    QTemporaryDir tempDir;

private:
    const ClockSource *m_previousClock = nullptr;
};

} // namespace lq::test
