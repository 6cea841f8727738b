#include "window/RecordingController.h"

#include "document/InformationBar.h"
#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "model/WrenRecording.h"
#include "model/WrenTimerSession.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ImageButton.h"
#include "platform/ui/MainMenu.h"
#include "preferences/PrefsController.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeEngineFactory.h"
#include "support/FakeUpdater.h"
#include "support/TestUserDefaults.h"
#include "support/WidgetPictures.h"
#include "window/AudioMeter.h"
#include "window/DocumentWindow.h"
#include "window/SidebarSection.h"
#include "window/TimeView.h"
#include "window/TimerBarBack.h"
#include "window/TimerBarSlider.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

using namespace Qt::StringLiterals;
using lq::ArchiveDictionary;
using lq::ArchiveValue;

constexpr int L = RecordingController::Leave;

const lq::CaptureDevice kMicrophone{u"mic-1"_s, u"Microphone"_s, lq::CaptureDeviceKind::Audio, true,
                                    false};
const lq::CaptureDevice kCamera{u"cam-1"_s, u"Camera"_s, lq::CaptureDeviceKind::Video, true, false};

// A note with fake engines and its window controller, set up as the note's document does.
class RecordingControllerTest : public testing::Test
{
protected:
    RecordingControllerTest()
    {
        devices.setDevices({kMicrophone, kCamera});
        preferences =
            std::make_unique<PrefsController>(PrefsController::Services{&devices, &updater});
        document = std::make_unique<MyDocument>();
        document->tempRecordingDir = temp.path();
        document->recordingObject().setTempDir(temp.path());
        controller = makeController();
    }

    std::unique_ptr<RecordingController> makeController() const
    {
        auto made = std::make_unique<RecordingController>(*document, *preferences);
        made->windowControllerDidLoadNib();
        return made;
    }

    DocumentWindow &window() const { return controller->window(); }
    WrenRecording &recording() const { return document->recordingObject(); }

    void addSessionOfLength(double seconds) const
    {
        recording().addSession(WrenTimerSession::sessionWithLength(seconds));
        lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(20));
        document->updateChangeCount(lq::Document::ChangeKind::Cleared);
    }

    lq::test::TestUserDefaults defaults;
    lq::test::FakeCaptureDevices devices;
    lq::test::FakeUpdater updater;
    lq::test::FakeEngineFactory engines;
    QTemporaryDir temp;
    std::unique_ptr<PrefsController> preferences;
    std::unique_ptr<MyDocument> document;
    std::unique_ptr<RecordingController> controller;
};

lq::Date clockAt(double seconds)
{
    return lq::clockEpoch().addingTimeInterval(seconds);
}

TEST_F(RecordingControllerTest, ObservedValuesFromAnotherThreadReachTheWidgetsOnTheGuiThread)
{
    addSessionOfLength(90.0);
    const struct
    {
        const char *name;
        bool recording;
        bool playing;
        bool marksChanged;
    } cases[] = {{"recording", true, false, true}, {"playing", false, true, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        controller->setRecording(c.recording);
        document->playing = c.playing;
        document->updateChangeCount(lq::Document::ChangeKind::Cleared);
        window().timeField->setObjectValue(std::nullopt);
        window().audioMeter->setLevelValue(AudioMeter::kFloorLevel);
        std::unique_ptr<QThread> engine(QThread::create([this] {
            controller->clockTimeChanged(clockAt(30.0));
            controller->percentageDoneChanged(33.0f);
            controller->selectedPlaybackSpeedChanged(2.0f);
            controller->audioLevelChanged(-20.0f);
        }));
        engine->start();
        engine->wait();
        // Nothing was touched from the engine's thread.
        EXPECT_EQ(window().timeField->text(), u"0:00:00"_s);
        ASSERT_TRUE(
            lq::runEventLoopUntil([this] { return window().audioMeter->levelValue() == -20.0f; },
                                  std::chrono::seconds(5)));
        EXPECT_EQ(window().timeField->text(), u"0:00:30"_s);
        EXPECT_EQ(window().timeField2->text(), u"-0:01:00"_s);
        EXPECT_EQ(window().playhead->value(), 33.0);
        EXPECT_NEAR(window().speedSlide->speed(), 2.0, 1e-6);
        EXPECT_EQ(window().speedTextField->text(), u"2"_s);
        EXPECT_EQ(document->isDocumentEdited(), c.marksChanged);
    }
}

TEST_F(RecordingControllerTest, ButtonCodesSetEnabledImageAndToolTip)
{
    enum Button { Record, Back, Play, FastForward, Rewind, Pause };
    const struct
    {
        Button button;
        int before; // code given first
        int code;
        std::optional<int64_t> jumpBack; // "defaultJumpBackTime", none: absent
        bool enabled;
        const char *image;
        const char *alternate;
        const char *toolTip;
    } cases[] = {
        {Record, 1, 0, {}, false, "LUMArecord-disabled", "", ""},
        {Record, 0, 1, {}, true, "LUMArecord", "", "Record - Ctrl+Alt+R"},
        {Record, 1, 2, {}, true, "LUMArecord-active", "", "Stop Recording - Ctrl+Alt+R"},
        {Record, 2, -1, {}, true, "LUMArecord-active", "", "Stop Recording - Ctrl+Alt+R"},
        {Play, 0, 2, {}, true, "LUMAplay-active", "", "Stop Playing - Ctrl+Alt+P"},
        {Play, 2, 1, {}, true, "LUMAplay", "", "Play - Ctrl+Alt+P"},
        {FastForward,
         1,
         2,
         {},
         true,
         "LUMAfast_forward-active",
         "",
         "Stop Fast Forwarding - Ctrl+Alt+Right"},
        {FastForward, 0, 1, {}, true, "LUMAfast_forward", "", "Fast Forward - Ctrl+Alt+Right"},
        {Rewind, 1, 2, {}, true, "LUMArewind-active", "", "Stop Rewinding - Ctrl+Alt+Left"},
        {Rewind, 1, 0, {}, false, "LUMArewind-disabled", "", ""},
        {Pause, 0, 1, {}, true, "LUMApause", "", "Pause - Ctrl+Alt+S"},
        {Pause, 1, 2, {}, true, "LUMApause", "", "Pause - Ctrl+Alt+S"},
        {Back, 0, 1, {}, true, "LUMAreplay", "LUMAreplay-active", "Back - Ctrl+Alt+B"},
        {Back, 0, 1, 30, true, "LUMAreplay", "LUMAreplay-active", "Back - Ctrl+Alt+B"},
        {Back, 0, 1, 10, true, "LUMAreplay-bare", "LUMAreplay-bare-active", "Back - Ctrl+Alt+B"},
        {Back, 1, 0, 10, false, "LUMAreplay-bare-disabled", "LUMAreplay-bare-active", ""},
        {Back, 1, 2, 30, true, "LUMAreplay", "LUMAreplay-active", "Back - Ctrl+Alt+B"},
        // -1 renders the back button again in its state, with the jump-back time of now.
        {Back, 1, -1, 10, true, "LUMAreplay-bare", "LUMAreplay-bare-active", "Back - Ctrl+Alt+B"},
        {Back, 0, -1, 10, false, "LUMAreplay-bare-disabled", "LUMAreplay-bare-active", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.button << ": " << c.before << " then " << c.code);
        const auto codes = [&](int code) {
            int all[6] = {L, L, L, L, L, L};
            all[c.button] = code;
            controller->setRecord(all[0], all[1], all[2], all[3], all[4], all[5]);
        };
        defaults->removeObject(u"defaultJumpBackTime"_s);
        codes(c.before);
        if (c.jumpBack)
            defaults->setInteger(u"defaultJumpBackTime"_s, *c.jumpBack);
        codes(c.code);
        lq::ImageButton *buttons[] = {window().recordButton, window().backButton,
                                      window().playButton,   window().ffButton,
                                      window().rwButton,     window().pauseButton};
        const lq::ImageButton &button = *buttons[c.button];
        EXPECT_EQ(button.isEnabled(), c.enabled);
        EXPECT_EQ(button.imageName(), QString::fromLatin1(c.image));
        EXPECT_EQ(button.alternateImageName(), QString::fromLatin1(c.alternate));
        EXPECT_EQ(button.toolTip(), QString::fromLatin1(c.toolTip));
    }
}

TEST_F(RecordingControllerTest, AJumpBackTimeChangeRedrawsTheBackButtonAsItWas)
{
    for (const bool enabled : {true, false}) {
        SCOPED_TRACE(enabled);
        defaults->removeObject(u"defaultJumpBackTime"_s);
        controller->setRecord(L, enabled ? 1 : 0, L, L, L, L);
        defaults->setInteger(u"defaultJumpBackTime"_s, 15);
        lq::NotificationCenter::defaultCenter().post(
            PrefsController::kJumpBackTimeChangedNotification);
        EXPECT_EQ(window().backButton->isEnabled(), enabled);
        EXPECT_EQ(window().backButton->imageName(),
                  enabled ? u"LUMAreplay-bare"_s : u"LUMAreplay-bare-disabled"_s);
    }
}

TEST_F(RecordingControllerTest, TheRecordingMenuFollowsTheRecordAndPlayButtons)
{
    lq::MainMenu menu;
    lq::MainMenu *previous = lq::MainMenu::setCurrent(&menu);
    QMenu *recordingMenu = menu.addMenu(u"&Recording"_s);
    QAction *record = recordingMenu->addAction(u"Start Recording"_s);
    QAction *play = recordingMenu->addAction(u"Start Playback"_s);
    const struct
    {
        int record;
        int play;
        const char *recordTitle;
        const char *playTitle;
        bool lit;
    } steps[] = {
        {2, 0, "Stop Recording", "Start Playback", false},
        {1, 1, "Start Recording", "Start Playback", false},
        {0, 2, "Start Recording", "Stop Playback", true},
        {-1, -1, "Start Recording", "Stop Playback", true},
        {1, 1, "Start Recording", "Start Playback", false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(testing::Message() << step.record << ", " << step.play);
        controller->setRecord(step.record, L, step.play, L, L, L);
        EXPECT_EQ(record->text(), QString::fromLatin1(step.recordTitle));
        EXPECT_EQ(play->text(), QString::fromLatin1(step.playTitle));
        EXPECT_EQ(window().playhead->cell().isLit(), step.lit);
    }
    lq::MainMenu::setCurrent(previous);
}

TEST_F(RecordingControllerTest, TheWindowStartsIdleAndFollowsTheRecordingComingAndGoing)
{
    window().show();
    const auto state = [this] {
        return std::make_tuple(window().recordButton->isEnabled(), window().playButton->isEnabled(),
                               window().pauseButton->isEnabled(), window().playhead->isVisible(),
                               window().timeField2->isVisible());
    };
    EXPECT_EQ(state(), std::make_tuple(true, false, false, false, false));
    controller->setRecordingExists();
    EXPECT_EQ(state(), std::make_tuple(true, true, false, true, true));
    controller->setRecordingGone();
    EXPECT_EQ(state(), std::make_tuple(true, false, false, false, false));
}

TEST_F(RecordingControllerTest, ThePreviewBoxesPreviewTheInputsAndPlaybackStoppedRestartsThem)
{
    lq::test::FakeRecSession &engine = *engines.lastRecordingEngine;
    window().show();
    const struct
    {
        const char *name;
        bool engineAnswers;
        const char *calls;
        bool meterWhenOn;
    } cases[] = {
        {"the engine previews", true, "previewAudio,previewVideo", true},
        {"the engine refuses", false, "previewAudio,previewVideo", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        engine.script.previewAudio = c.engineAnswers;
        engine.script.previewVideo = c.engineAnswers;
        engine.calls.clear();
        QTest::mouseClick(window().audioPreviewCheckBox, Qt::LeftButton);
        QTest::mouseClick(window().videoPreviewCheckBox, Qt::LeftButton);
        EXPECT_EQ(engine.calls.join(u','), QString::fromLatin1(c.calls));
        EXPECT_EQ(window().audioMeter->meterEnabled(), c.meterWhenOn);

        // Playback stopping starts the previews of the ticked boxes again.
        window().audioPreviewCheckBox->setEnabled(false);
        window().videoPreviewCheckBox->setEnabled(false);
        window().audioMeter->setMeterEnabled(false);
        engine.calls.clear();
        controller->playbackStopped();
        EXPECT_EQ(engine.calls.join(u','), QString::fromLatin1(c.calls));
        EXPECT_EQ(window().audioMeter->meterEnabled(), c.meterWhenOn);
        EXPECT_TRUE(window().audioPreviewCheckBox->isEnabled());
        EXPECT_TRUE(window().videoPreviewCheckBox->isEnabled());
        EXPECT_TRUE(window().recordButton->isEnabled());
        EXPECT_TRUE(window().playButton->isEnabled());
        EXPECT_FALSE(window().pauseButton->isEnabled());

        engine.calls.clear();
        QTest::mouseClick(window().audioPreviewCheckBox, Qt::LeftButton);
        QTest::mouseClick(window().videoPreviewCheckBox, Qt::LeftButton);
        EXPECT_EQ(engine.calls.join(u','), u"stopAudioPreview,stopVideoPreview"_s);
        EXPECT_FALSE(window().audioMeter->meterEnabled());
    }
}

ArchiveDictionary stateOf(std::initializer_list<std::pair<const char *, ArchiveValue>> entries)
{
    ArchiveDictionary state;
    for (const auto &[key, value] : entries)
        state.append({ArchiveValue::string(QString::fromLatin1(key)), value});
    return state;
}

// The state as key -> value texts, for comparing.
QMap<QString, QString> describe(const ArchiveDictionary &state)
{
    QMap<QString, QString> described;
    for (const auto &[key, value] : state) {
        QString text;
        if (value.kind() == ArchiveValue::Kind::Array) {
            text = u"array of %1"_s.arg(value.toArray().size());
            for (qsizetype i = 0; i < value.toArray().size(); ++i)
                text += (i == 0 ? u": "_s : u" "_s) + QString::number(value.toArray()[i].toReal());
        } else if (value.kind() == ArchiveValue::Kind::Bool)
            text = value.toBool() ? u"YES"_s : u"NO"_s;
        else
            text = QString::number(value.toInteger());
        described.insert(key.toString(), text);
    }
    return described;
}

ArchiveValue frame(std::initializer_list<double> numbers)
{
    lq::ArchiveArray values;
    for (const double number : numbers)
        values.append(ArchiveValue::real(number));
    return ArchiveValue::array(values);
}

TEST_F(RecordingControllerTest, StateRoundTripsAndSkipsMissingShortAndMistypedKeys)
{
    const ArchiveValue yes = ArchiveValue::boolean(true);
    const ArchiveValue no = ArchiveValue::boolean(false);
    const ArchiveValue on = ArchiveValue::integer(1);
    const ArchiveValue off = ArchiveValue::integer(0);
    const ArchiveValue shortFrame =
        ArchiveValue::array({ArchiveValue::real(10.0), ArchiveValue::real(20.0)});
    const struct
    {
        const char *name;
        ArchiveDictionary given;
        QMap<QString, QString> expected;
    } cases[] = {
        {"everything",
         stateOf({{"audioCheckBoxState", on},
                  {"videoCheckBoxState", on},
                  {"audioSectionState", no},
                  {"videoSectionState", yes},
                  {"slidesSectionState", yes},
                  {"videoFrameState", ArchiveValue::array({})},
                  {"slidesFrameState", ArchiveValue::array({})}}),
         {{u"audioCheckBoxState"_s, u"1"_s},
          {u"videoCheckBoxState"_s, u"1"_s},
          {u"audioSectionState"_s, u"NO"_s},
          {u"videoSectionState"_s, u"YES"_s},
          {u"slidesSectionState"_s, u"YES"_s},
          {u"videoFrameState"_s, u"array of 0"_s},
          {u"slidesFrameState"_s, u"array of 0"_s}}},
        // A box ticked opens its section; a later section state overrides that.
        {"boxes only",
         stateOf({{"audioCheckBoxState", on}, {"videoCheckBoxState", off}}),
         {{u"audioCheckBoxState"_s, u"1"_s},
          {u"videoCheckBoxState"_s, u"0"_s},
          {u"audioSectionState"_s, u"YES"_s},
          {u"videoSectionState"_s, u"NO"_s},
          {u"slidesSectionState"_s, u"NO"_s},
          {u"videoFrameState"_s, u"array of 0"_s},
          {u"slidesFrameState"_s, u"array of 0"_s}}},
        {"short frames and mistyped values",
         stateOf({{"videoFrameState", shortFrame},
                  {"slidesFrameState", ArchiveValue::array({})},
                  {"audioCheckBoxState", ArchiveValue::string(u"1"_s)},
                  {"slidesSectionState", ArchiveValue::integer(1)}}),
         {{u"audioCheckBoxState"_s, u"0"_s},
          {u"videoCheckBoxState"_s, u"0"_s},
          {u"audioSectionState"_s, u"NO"_s},
          {u"videoSectionState"_s, u"NO"_s},
          {u"slidesSectionState"_s, u"YES"_s},
          {u"videoFrameState"_s, u"array of 0"_s},
          {u"slidesFrameState"_s, u"array of 0"_s}}},
        // Promoted windows come back where they were, as long as they fit their screen.
        {"promoted windows",
         stateOf({{"slidesFrameState", frame({100, 120, 400, 300})},
                  {"videoFrameState", frame({60, 80, 320, 240})}}),
         {{u"audioCheckBoxState"_s, u"0"_s},
          {u"videoCheckBoxState"_s, u"0"_s},
          {u"audioSectionState"_s, u"NO"_s},
          {u"videoSectionState"_s, u"NO"_s},
          {u"slidesSectionState"_s, u"NO"_s},
          {u"videoFrameState"_s, u"array of 4: 60 80 320 240"_s},
          {u"slidesFrameState"_s, u"array of 4: 100 120 400 300"_s}}},
    };
    // The preferences tick no box of a new window.
    defaults->setBool(u"recordAudio"_s, false);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<RecordingController> fresh = makeController();
        fresh->setState(c.given);
        EXPECT_EQ(describe(fresh->currentState()), c.expected);
        const std::unique_ptr<RecordingController> restored = makeController();
        restored->setState(fresh->currentState());
        EXPECT_EQ(describe(restored->currentState()), c.expected);
        // The disclosure buttons follow the sections.
        EXPECT_EQ(fresh->window().audioSectionView->disclosureButton()->isChecked(),
                  fresh->window().audioSectionView->expanded());
    }
    // The user's click on a disclosure button is kept too.
    controller->window().show();
    for (const bool expanded : {true, false}) {
        QTest::mouseClick(window().slidesSectionView->disclosureButton(), Qt::LeftButton);
        EXPECT_EQ(describe(controller->currentState()).value(u"slidesSectionState"_s),
                  expanded ? u"YES"_s : u"NO"_s);
        EXPECT_EQ(window().slidesSectionView->expanded(), expanded);
    }
    EXPECT_EQ(describe(controller->currentStateForDefault()),
              (QMap<QString, QString>{{u"videoFrameState"_s, u"array of 0"_s},
                                      {u"slidesFrameState"_s, u"array of 0"_s}}));
}

TEST_F(RecordingControllerTest, TheMediaBoxesStartFromThePreferencesAndFollowTheDevices)
{
    const struct
    {
        const char *name;
        std::optional<bool> recordVideo; // "recordVideo" default
        QList<lq::CaptureDevice> devicesLeft;
        bool audioAtStart, videoAtStart, audioAfter, videoAfter;
    } cases[] = {
        {"both kept", true, {kMicrophone, kCamera}, true, true, true, true},
        {"camera gone", true, {kMicrophone}, true, true, true, false},
        {"microphone gone", {}, {kCamera}, true, false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        devices.setDevices({kMicrophone, kCamera});
        preferences->setupAudioDevices();
        preferences->setupVideoDevices();
        if (c.recordVideo)
            defaults->setBool(u"recordVideo"_s, *c.recordVideo);
        else
            defaults->removeObject(u"recordVideo"_s);
        const std::unique_ptr<RecordingController> made = makeController();
        DocumentWindow &w = made->window();
        EXPECT_EQ(w.audioCheckBox->isChecked(), c.audioAtStart);
        EXPECT_EQ(w.videoCheckBox->isChecked(), c.videoAtStart);
        EXPECT_EQ(w.videoSectionView->expanded(), c.videoAtStart);
        devices.setDevices(c.devicesLeft);
        preferences->devicesChanged();
        lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(20));
        EXPECT_EQ(w.audioCheckBox->isChecked(), c.audioAfter);
        EXPECT_EQ(w.videoCheckBox->isChecked(), c.videoAfter);
        EXPECT_EQ(w.audioSectionView->expanded(), c.audioAfter);
        EXPECT_EQ(w.videoSectionView->expanded(), c.videoAfter);
    }
}

TEST_F(RecordingControllerTest, OnlyTheUsersSliderAndSpeedActionsReachTheRecording)
{
    recording().loadController(controller.get());
    addSessionOfLength(100.0);
    window().resize(900, 620);
    window().show();
    QSignalSpy playheadMoves(window().playhead, &TimerBarSlider::sliderMoved);
    QSignalSpy speedMoves(window().speedSlide, &SpeedSlider::sliderMoved);
    controller->percentageDoneChanged(40.0f);
    controller->selectedPlaybackSpeedChanged(2.0f);
    EXPECT_EQ(playheadMoves.count(), 0);
    EXPECT_EQ(speedMoves.count(), 0);
    EXPECT_EQ(recording().selectedPlaybackSpeed(), 1.0f);

    // Where the knob of a slider is now.
    const auto knobAt = [](const lq::DoubleSlider &s) {
        const double x = s.knobThickness() / 2.0 + (s.width() - s.knobThickness()) *
                                                       (s.value() - s.minimum()) /
                                                       (s.maximum() - s.minimum());
        return QPoint(int(x), s.height() / 2);
    };
    // A drag of the speed slider's knob to the right end.
    SpeedSlider &slider = *window().speedSlide;
    recording().setSelectedPlaybackSpeed(1.0f);
    const QPoint knob = knobAt(slider);
    QTest::mousePress(&slider, Qt::LeftButton, {}, knob);
    QTest::mouseMove(&slider, QPoint(slider.width() - 1, knob.y()));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(slider.width() - 1, knob.y()));
    EXPECT_GT(speedMoves.count(), 0);
    EXPECT_GT(recording().selectedPlaybackSpeed(), 10.0f);
    EXPECT_FLOAT_EQ(recording().selectedPlaybackSpeed(), controller->speedSlideCurrentValue());

    const struct
    {
        float from;
        QToolButton *button;
        float expected;
    } presses[] = {
        {1.0f, window().speedMinusButton, 0.9f}, {1.04f, window().speedMinusButton, 0.9f},
        {1.0f, window().speedPlusButton, 1.1f},  {1.05f, window().speedPlusButton, 1.1f},
        {0.9f, window().speedPlusButton, 1.0f},  {2.0f, window().speedMinusButton, 1.9f},
    };
    for (const auto &press : presses) {
        SCOPED_TRACE(testing::Message() << press.from << " -> " << press.expected);
        recording().setSelectedPlaybackSpeed(press.from);
        QTest::mouseClick(press.button, Qt::LeftButton);
        EXPECT_NEAR(recording().selectedPlaybackSpeed(), press.expected, 1e-5);
        EXPECT_NEAR(window().speedSlide->speed(), press.expected, 1e-5);
    }

    // A drag of the playhead moves the recording there.
    controller->setRecordingExists();
    TimerBarSlider &playhead = *window().playhead;
    const QPoint from = knobAt(playhead);
    const QPoint to(playhead.width() * 3 / 4, from.y());
    QTest::mousePress(&playhead, Qt::LeftButton, {}, from);
    QTest::mouseMove(&playhead, to);
    QTest::mouseRelease(&playhead, Qt::LeftButton, {}, to);
    ASSERT_GT(playheadMoves.count(), 0);
    EXPECT_GT(playhead.value(), 60.0);
    EXPECT_NEAR(recording().percentageDone(), playhead.value(), 0.01);

    // A speed typed into the field.
    window().speedTextField->clear();
    QTest::keyClicks(window().speedTextField, QLocale().toString(1.5));
    QTest::keyClick(window().speedTextField, Qt::Key_Return);
    EXPECT_FLOAT_EQ(recording().selectedPlaybackSpeed(), 1.5f);
}

TEST_F(RecordingControllerTest, ThePictureOfTheWindowShowsEveryKeyWidgetApart)
{
    addSessionOfLength(754.0);
    lq::test::LookGuard guard;
    const QDir folder(QCoreApplication::applicationDirPath());
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? lq::test::darkPalette() : guard.saved);
        // One window over the note's text, as in the program (each view lays the text out).
        controller.reset();
        controller = makeController();
        RecordingController *made = controller.get();
        DocumentWindow &w = made->window();
        made->setRecordingExists();
        made->setState(stateOf({{"audioSectionState", ArchiveValue::boolean(true)},
                                {"videoSectionState", ArchiveValue::boolean(true)}}));
        w.notesDateField->setText(u"Created: 9 December 2026"_s);
        w.charCountField->setText(u"1,204 characters"_s);
        w.recLengthField->setText(u"Recorded: 0:12:34"_s);
        // Placed as the note places them.
        for (QLabel *field : {w.notesDateField, w.charCountField, w.recLengthField})
            field->adjustSize();
        information_bar::positionPrecedingField(w.notesDateField, w.charCountImageView,
                                                w.charCountField);
        information_bar::positionPrecedingField(w.charCountField, w.recImageView, w.recLengthField);
        w.textView->setPlainText(u"Notes typed while the talk was recorded."_s);
        made->clockTimeChanged(clockAt(125.0));
        made->percentageDoneChanged(30.0f);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        EXPECT_EQ(w.size(), QSize(900, 620));
        const QList<QWidget *> keys = {w.recordButton,
                                       w.backButton,
                                       w.rwButton,
                                       w.playButton,
                                       w.pauseButton,
                                       w.ffButton,
                                       w.timeField,
                                       w.timerStrip,
                                       w.timeField2,
                                       w.speedMinusButton,
                                       w.speedSlide,
                                       w.speedPlusButton,
                                       w.speedTextField,
                                       w.shareButton,
                                       w.textView,
                                       w.audioCheckBox,
                                       w.videoCheckBox,
                                       w.audioPreviewCheckBox,
                                       w.videoPreviewCheckBox,
                                       w.audioMeter,
                                       w.listButton,
                                       w.notesDateField,
                                       w.charCountField,
                                       w.recLengthField,
                                       w.collapseButton};
        for (int i = 0; i < keys.size(); ++i) {
            const QRect a(keys[i]->mapTo(&w, QPoint(0, 0)), keys[i]->size());
            EXPECT_TRUE(keys[i]->isVisible()) << i;
            EXPECT_TRUE(w.rect().contains(a)) << i;
            for (int j = i + 1; j < keys.size(); ++j) {
                const QRect b(keys[j]->mapTo(&w, QPoint(0, 0)), keys[j]->size());
                EXPECT_FALSE(a.intersects(b)) << i << " and " << j;
            }
        }
        for (const qreal scale : {1.0, 2.0}) {
            const QImage image = lq::test::picture(w, scale);
            EXPECT_GT(lq::test::colourCount(image), 20);
            image.save(
                folder.filePath(u"RecordingWindow-%1@%2x.png"_s.arg(dark ? u"dark"_s : u"light"_s)
                                    .arg(int(scale))));
        }
    }
}

} // namespace
