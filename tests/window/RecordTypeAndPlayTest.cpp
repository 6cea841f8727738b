#include "document/WrenTextView.h"
#include "engines/LQPlaySession.h"
#include "model/WrenEvents.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/ui/ImageButton.h"
#include "support/FakeUpdater.h"
#include "support/TestUserDefaults.h"
#include "support/WidgetPictures.h"
#include "window/NoteWindowFixture.h"
#include "window/TestDeviceEngines.h"
#include "window/TimeView.h"
#include "window/TimerBarSlider.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>

#include <cmath>

namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

void wait(std::chrono::milliseconds time)
{
    lq::runEventLoopUntil([] { return false; }, time);
}

void savePicture(QWidget &window, const QString &name)
{
    const QImage shot = lq::test::picture(window, 1.0);
    shot.save(QDir(QCoreApplication::applicationDirPath()).filePath(name));
    EXPECT_GT(lq::test::colourCount(shot), 8) << name.toStdString();
}

// The test microphone records while the user types; played back at twice the speed, the clock,
// the playhead and the underlined character follow the stamps; after the end Play starts over.
TEST(RecordTypeAndPlayTest, WhatWasTypedWhileRecordingIsUnderlinedInTimeAtTwiceTheSpeed)
{
    lq::test::TestUserDefaults defaults;
    lq::GstCaptureDevices devices;
    lq::test::FakeUpdater updater;
    PrefsController preferences({&devices, &updater});
    lq::test::TestDeviceEngines engines({&preferences, &devices});
    const QString microphone =
        preferences.audioDevices().key(lq::GstCaptureDevices::kTestMicrophoneId);
    if (microphone.isEmpty())
        GTEST_SKIP() << "This machine has no test microphone (GStreamer's test sources).";
    preferences.setSelectedAudioDeviceName(microphone);

    lq::test::NoteWindowFixture note(preferences);
    DocumentWindow &w = note.window();
    WrenRecording &recording = note.recording();
    note.controller->setAudioState(1);
    note.controller->setVideoState(0);

    w.recordButton->click();
    ASSERT_TRUE(note.document->recording);
    wait(1000ms);
    const QString typed = u"Hellothere"_s;
    w.textView->setFocus();
    for (const QChar c : typed) {
        QTest::keyClicks(w.textView, QString(c));
        wait(300ms);
    }
    savePicture(w, u"RecordingWindow.png"_s);
    w.recordButton->click();
    ASSERT_FALSE(note.document->recording);
    ASSERT_TRUE(
        lq::runEventLoopUntil([&] { return note.document->finishedRecordingToFile.load(); }, 20s));

    const std::vector<WrenTimeStampPtr> stamps = recording.events().keyEvents().toVector();
    ASSERT_EQ(stamps.size(), size_t(typed.size()));
    const auto lastStampedBy = [&](double now) {
        qsizetype last = -1;
        for (size_t i = 0; i < stamps.size(); ++i)
            if (stamps[i]->offset() <= now)
                last = qsizetype(i);
        return last;
    };

    w.speedTextField->selectAll();
    QTest::keyClicks(w.speedTextField, u"2"_s);
    QTest::keyClick(w.speedTextField, Qt::Key_Return);
    ASSERT_FLOAT_EQ(recording.selectedPlaybackSpeed(), 2.0f);
    // Play after the recording plays it from the start.
    w.playButton->click();
    ASSERT_TRUE(note.document->playing);
    const std::vector<qsizetype> &underlined = note.document->highlightedChars();
    ASSERT_TRUE(
        lq::runEventLoopUntil([&] { return !underlined.empty() && underlined.back() >= 3; }, 10s));
    // The underline never runs ahead of the player's own time, read as it moves (or later, when
    // the machine is loaded), but for the whole milliseconds the stamp timers count in.
    constexpr double kTimerResolution = 0.01;
    double now = 0.0;
    ASSERT_TRUE(recording.session(0)->nowInterval(&now));
    EXPECT_LE(underlined.back(), lastStampedBy(now + kTimerResolution)) << "at " << now;

    const double length = recording.length();
    ASSERT_GT(length, 3.0);
    // Before the last stamp, at one instant, the underline shows what the player's time has
    // reached, and the clock and the playhead are at most a moment old (half a second of the
    // recording, a quarter of a second at twice the speed). Waited for: a loaded machine may
    // hold the event loop up past a stamp or a tick.
    constexpr double kMoment = 0.5;
    const auto shows = [&](double seconds) {
        return lq::formatClockTime(lq::clockEpoch().addingTimeInterval(seconds));
    };
    bool agreed = false;
    std::string seen;
    lq::runEventLoopUntil(
        [&] {
            if (underlined.empty() || !recording.session(0)->nowInterval(&now) ||
                now >= stamps.back()->offset())
                return true;
            const QString clock = w.timeField->text();
            const double playhead = w.playhead->value();
            const qsizetype shown = underlined.back();
            seen = u"%1, playhead %2, underlined %3 at %4"_s.arg(clock)
                       .arg(playhead)
                       .arg(shown)
                       .arg(now)
                       .toStdString();
            agreed = (clock == shows(now) || clock == shows(now - kMoment)) &&
                     std::abs(playhead - 100.0 * now / length) <= 100.0 * kMoment / length &&
                     shown == lastStampedBy(now);
            return agreed;
        },
        5s);
    EXPECT_TRUE(agreed) << seen;
    savePicture(w, u"PlayingWindow.png"_s);

    // Twice the speed: the recording's clock runs two seconds a second (measured from here, not
    // from before the checks and the picture above).
    QElapsedTimer wall;
    ASSERT_TRUE(recording.session(0)->nowInterval(&now));
    wall.start();
    ASSERT_TRUE(recording.session(0)->nowInterval(&now));
    wait(500ms);
    double later = 0.0;
    ASSERT_TRUE(recording.session(0)->nowInterval(&later));
    EXPECT_NEAR((later - now) / (double(wall.elapsed()) / 1000.0), 2.0, 0.4);

    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !note.document->playing; }, 15s));
    EXPECT_EQ(w.playButton->imageName(), u"LUMAplay"_s);
    EXPECT_TRUE(w.recordButton->isEnabled());
    EXPECT_FALSE(w.editLockView->isVisibleTo(&w));

    // Each end leaves the clock and the playhead at the start and no mark in the notes, and Play
    // then plays from the start, whether the end came forwards, fast or backwards: the clock and
    // the real player reach 1 s and 2 s.
    const auto reaches = [&](int second) {
        const QString shown = lq::formatClockTime(lq::clockEpoch().addingTimeInterval(second));
        double position = 0.0;
        return lq::runEventLoopUntil(
            [&] {
                LQPlaySession *player = recording.playerSession();
                return w.timeField->text() == shown && player && player->currentTime(&position) &&
                       position >= second;
            },
            3s);
    };
    // How the playback before each round ended, and what the round presses at 1 s.
    const std::pair<const char *, lq::ImageButton *> rounds[] = {
        {"playing to the end", w.ffButton},
        {"fast-forwarding to the end", w.rwButton},
        {"rewinding to the start", nullptr}};
    for (const auto &[after, button] : rounds) {
        SCOPED_TRACE(after);
        EXPECT_EQ(w.timeField->text(), u"0:00:00"_s);
        EXPECT_EQ(w.playhead->value(), 0.0);
        EXPECT_TRUE(w.textView->extraSelections().isEmpty());
        w.playButton->click();
        EXPECT_TRUE(reaches(1)) << w.timeField->text().toStdString();
        if (button)
            button->click();
        if (button != w.rwButton) {
            EXPECT_TRUE(reaches(2)) << w.timeField->text().toStdString();
        }
        ASSERT_TRUE(lq::runEventLoopUntil([&] { return !note.document->playing; }, 10s));
    }
}

} // namespace
