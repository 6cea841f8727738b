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

#include <functional>
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

    // Adds a finished session of seconds with one media file listed; media go to tempDir.
    std::shared_ptr<WrenTimerSession> addSessionWithMedia(WrenRecording &recording, double seconds,
                                                          bool video)
    {
        recording.setTempDir(tempDir.path());
        auto session = finishedSession(seconds, true, video);
        recording.addSession(session);
        const int32_t index = recording.sessionCount() - 1;
        recording.setRecordingFiles(QStringList{QStringLiteral("recording-%1.0.mov").arg(index)},
                                    index);
        return session;
    }

    // Fires timers in due order until done holds; fails the test after limit firings.
    void fireUntil(const std::function<bool()> &done, int limit = 100000)
    {
        for (int fired = 0; !done(); ++fired) {
            if (fired == limit || !timers.fireNext()) {
                ADD_FAILURE() << "the awaited moment never came";
                return;
            }
        }
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
