#include "PreferencesFixture.h"
#include "preferences/ArchivedValues.h"
#include "support/ScriptedPanelPresenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTemporaryDir>

#include <functional>

namespace lq::test {
namespace {

using namespace Qt::StringLiterals;

QStringList items(const QComboBox *popUp)
{
    QStringList shown;
    for (int i = 0; i < popUp->count(); ++i)
        shown.append(popUp->itemText(i));
    return shown;
}

TEST_F(PreferencesTest, TheCallRecorderDisablesTheSixRecordingControlsAlsoAtTheNextStart)
{
    const QStringList replaced = {u"recordAudio"_s,      u"recordVideo"_s,
                                  u"audioDevicePopUp"_s, u"audioQualityPopUp"_s,
                                  u"videoDevicePopUp"_s, u"videoQualityPopUp"_s};
    const auto enabledControls = [&] {
        QStringList enabled;
        for (const QString &name : replaced)
            if (find<QWidget>(name)->isEnabled())
                enabled.append(name);
        return enabled;
    };
    openPane(u"recordingToolbarItem"_s);
    EXPECT_EQ(enabledControls(), replaced);

    tick(find<QCheckBox>(u"useCallRecorder"_s));
    EXPECT_EQ(enabledControls(), QStringList());
    EXPECT_TRUE(find<QCheckBox>(u"useCallRecorder"_s)->isEnabled());

    restart();
    EXPECT_TRUE(defaults->boolForKey(u"useCallRecorder"_s));
    EXPECT_TRUE(find<QCheckBox>(u"useCallRecorder"_s)->isChecked());
    EXPECT_EQ(enabledControls(), QStringList());

    openPane(u"recordingToolbarItem"_s);
    tick(find<QCheckBox>(u"useCallRecorder"_s));
    EXPECT_EQ(enabledControls(), replaced);
    EXPECT_FALSE(defaults->boolForKey(u"useCallRecorder"_s));
}

TEST_F(PreferencesTest, APopUpChoiceStoresTheIdSelectsTheNameAndTellsObservers)
{
    // The user picks each pop-up's last item with the End key.
    const struct
    {
        QString popUp;
        QString key;
        QString id;
        std::function<QString()> selected;
        QString notification;
    } cases[] = {
        {u"audioQualityPopUp"_s, u"audioQuality"_s, u"lossless"_s,
         [&] { return prefs->selectedAudioQualityName(); }, u"audio_quality_changed"_s},
        {u"videoQualityPopUp"_s, u"videoQuality"_s, u"hd"_s,
         [&] { return prefs->selectedVideoQualityName(); }, u"video_quality_changed"_s},
        // A camera without 1280x720: the HD row goes, the stored "hd" stays.
        {u"videoDevicePopUp"_s, u"videoDevice"_s, u"cam-sd"_s,
         [&] { return prefs->selectedVideoDeviceName(); }, u"video_device_changed"_s},
        {u"audioDevicePopUp"_s, u"audioDevice"_s, u"mic-usb"_s,
         [&] { return prefs->selectedAudioDeviceName(); }, u"audio_device_changed"_s},
    };
    openPane(u"recordingToolbarItem"_s);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.popUp.toStdString());
        posted.clear();
        auto *popUp = find<QComboBox>(c.popUp);
        QTest::keyClick(popUp, Qt::Key_End);
        EXPECT_EQ(defaults->stringForKey(c.key), c.id);
        EXPECT_EQ(c.selected(), popUp->currentText());
        EXPECT_EQ(posted, QStringList{c.notification});
    }
    EXPECT_EQ(items(find<QComboBox>(u"videoQualityPopUp"_s)).size(), 3);
    EXPECT_EQ(prefs->currentVideoQuality(), u"low"_s);

    restart();
    for (const auto &c : cases)
        EXPECT_EQ(defaults->stringForKey(c.key), c.id) << c.key.toStdString();
    EXPECT_EQ(find<QComboBox>(u"videoDevicePopUp"_s)->currentText(), u"Test Camera"_s);
    EXPECT_EQ(find<QComboBox>(u"audioDevicePopUp"_s)->currentText(), u"USB Microphone"_s);
}

TEST_F(PreferencesTest, DevicesPluggedInOrOutWhileOpenAreListedAndNothingIsStored)
{
    openPane(u"recordingToolbarItem"_s);
    auto *microphones = find<QComboBox>(u"audioDevicePopUp"_s);
    auto *cameras = find<QComboBox>(u"videoDevicePopUp"_s);
    devices.setDevices({{"mic-1", "Test Microphone", CaptureDeviceKind::Audio, true, false},
                        {"mic-usb", "USB Microphone", CaptureDeviceKind::Audio, false, false},
                        {"mic-2", "Headset", CaptureDeviceKind::Audio, false, false},
                        {"cam-sd", "Test Camera", CaptureDeviceKind::Video, true, false}});
    devices.announce();
    EXPECT_EQ(items(microphones),
              (QStringList{u"Test Microphone"_s, u"USB Microphone"_s, u"Headset"_s}));
    EXPECT_EQ(microphones->currentText(), u"Test Microphone"_s);
    EXPECT_EQ(items(cameras), QStringList{u"Test Camera"_s});
    EXPECT_EQ(items(find<QComboBox>(u"videoQualityPopUp"_s)).size(), 3);

    devices.setDevices({});
    devices.announce();
    EXPECT_EQ(microphones->count(), 0);
    EXPECT_EQ(microphones->currentIndex(), -1);

    for (const char *key : {"audioDevice", "videoDevice", "audioQuality", "videoQuality"})
        EXPECT_FALSE(defaults->contains(QString::fromLatin1(key))) << key;
    EXPECT_EQ(posted, (QStringList{u"qtDevicesChanged"_s, u"qtDevicesChanged"_s}));
}

TEST_F(PreferencesTest, ThePlaybackPaneShowsTheStoredBoostAndJumpBackTime)
{
    const struct
    {
        QVariant boost; // invalid: not stored
        QVariant jump;
        bool boxOn;
        int slider; // tenths
        QString field;
    } cases[] = {
        {{}, {}, false, 50, u"30"_s},
        {2.5f, qint64(12), true, 25, u"12"_s},
        {-1.0f, {}, true, 25, u"30"_s}, // "off" leaves the box and slider as they were
        {0.0f, qint64(0), true, 0, u"0"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field.toStdString());
        defaults->setObject(u"audioBoost"_s, c.boost);
        defaults->setObject(u"defaultJumpBackTime"_s, c.jump);
        openPane(u"playbackToolbarItem"_s);
        EXPECT_EQ(find<QCheckBox>(u"boostAudioCheckbox"_s)->isChecked(), c.boxOn);
        EXPECT_EQ(find<QSlider>(u"boostAudioSlider"_s)->isEnabled(), c.boxOn);
        EXPECT_EQ(find<QSlider>(u"boostAudioSlider"_s)->value(), c.slider);
        EXPECT_EQ(find<QLineEdit>(u"jumpTextField"_s)->text(), c.field);
    }
    EXPECT_EQ(posted, QStringList());
}

TEST_F(PreferencesTest, ThePlaybackPaneStoresWhatTheUserChanges)
{
    openPane(u"playbackToolbarItem"_s);
    auto *box = find<QCheckBox>(u"boostAudioCheckbox"_s);
    auto *slider = find<QSlider>(u"boostAudioSlider"_s);
    auto *jump = find<QLineEdit>(u"jumpTextField"_s);
    const struct
    {
        const char *step;
        std::function<void()> act;
        QString key;
        QVariant stored; // invalid: absent
        QString notification;
    } steps[] = {
        {"negative jump",
         [&] { typeInto(jump, u"-5"_s); },
         u"defaultJumpBackTime"_s,
         {},
         u"jumpBackTimeChanged"_s},
        {"jump", [&] { typeInto(jump, u"12"_s); }, u"defaultJumpBackTime"_s, qint64(12),
         u"jumpBackTimeChanged"_s},
        {"boost on", [&] { tick(box); }, u"audioBoost"_s, 5.0f, u"audioBootChanged"_s},
        {"louder", [&] { QTest::keyClick(slider, Qt::Key_Right); }, u"audioBoost"_s, 5.1f,
         u"audioBootChanged"_s},
        {"boost off", [&] { tick(box); }, u"audioBoost"_s, -1.0f, u"audioBootChanged"_s},
        {"lead-in", [&] { typeInto(find<QLineEdit>(u"eventBufferField"_s), u"2.5"_s); },
         u"eventBuffer"_s, 2.5, QString()},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.step);
        posted.clear();
        s.act();
        EXPECT_EQ(defaults->object(s.key), s.stored);
        EXPECT_EQ(posted, s.notification.isNull() ? QStringList() : QStringList{s.notification});
    }
    EXPECT_EQ(jump->text(), u"12"_s);
    EXPECT_FALSE(slider->isEnabled());

    restart();
    EXPECT_EQ(defaults->integerForKey(u"defaultJumpBackTime"_s), 12);
    EXPECT_EQ(defaults->floatForKey(u"audioBoost"_s), -1.0f);
    EXPECT_EQ(prefs->eventBuffer(), 2.5);
}

TEST_F(PreferencesTest, TheFileNameFormatIsStoredOnlyWhileValidAndShowsTodaysName)
{
    openPane(u"savingToolbarItem"_s);
    auto *field = find<QLineEdit>(u"saveFilenameField"_s);
    auto *invalid = find<QLabel>(u"saveFilenameInvalid"_s);
    auto *wouldLookLike = find<QLabel>(u"wouldLookLike"_s);
    auto *looksLike = find<QLabel>(u"saveFilenameLooksLike"_s);
    const QString today = prefs->saveFilenameForFormat(u"Notes %Y-%m-%d"_s);
    ASSERT_FALSE(today.isEmpty());
    EXPECT_EQ(find<QLabel>(u"saveFilenameExampleOut1"_s)->text(), today);

    QTest::keyClicks(field, u"Notes %Y-%m-%d"_s);
    EXPECT_EQ(defaults->stringForKey(u"defaultSaveFilename"_s), u"Notes %Y-%m-%d"_s);
    EXPECT_TRUE(wouldLookLike->isVisible());
    EXPECT_FALSE(invalid->isVisible());
    EXPECT_EQ(looksLike->text(), today);

    QTest::keyClicks(field, u"/x"_s);
    EXPECT_EQ(defaults->stringForKey(u"defaultSaveFilename"_s), u"Notes %Y-%m-%d"_s);
    EXPECT_TRUE(invalid->isVisible());
    EXPECT_FALSE(wouldLookLike->isVisible());
    EXPECT_EQ(looksLike->text(), QString());

    restart();
    openPane(u"savingToolbarItem"_s);
    field = find<QLineEdit>(u"saveFilenameField"_s);
    EXPECT_EQ(field->text(), u"Notes %Y-%m-%d"_s);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_FALSE(defaults->contains(u"defaultSaveFilename"_s));
    EXPECT_FALSE(find<QLabel>(u"wouldLookLike"_s)->isVisible());
    EXPECT_FALSE(find<QLabel>(u"saveFilenameInvalid"_s)->isVisible());
}

TEST_F(PreferencesTest, TheSaveLocationIsChosenInAFolderPanelAndCleared)
{
    QTemporaryDir folder;
    ScriptedPanelPresenter panels;
    panels.cancel();
    panels.choose(folder.path());
    openPane(u"savingToolbarItem"_s);
    auto *path = find<QLineEdit>(u"saveLocationPathControl"_s);

    QTest::mouseClick(find<QWidget>(u"saveLocationButton"_s), Qt::LeftButton);
    EXPECT_FALSE(defaults->contains(u"defaultSaveLocation"_s));
    QTest::mouseClick(find<QWidget>(u"saveLocationButton"_s), Qt::LeftButton);
    EXPECT_EQ(path->text(), folder.path());
    ASSERT_EQ(panels.shown().size(), 2);
    const ScriptedPanelPresenter::Shown &shown = panels.shown().first();
    EXPECT_TRUE(shown.choosesFolder);
    EXPECT_TRUE(shown.canCreateFolders);
    EXPECT_EQ(shown.title, u"Default Save Location"_s);

    restart();
    EXPECT_EQ(ArchivedValues::decodeFolderURL(defaults->dataForKey(u"defaultSaveLocation"_s)),
              QUrl::fromLocalFile(folder.path()));
    openPane(u"savingToolbarItem"_s);
    EXPECT_EQ(find<QLineEdit>(u"saveLocationPathControl"_s)->text(), folder.path());
    QTest::mouseClick(find<QWidget>(u"clearSaveLocationButton"_s), Qt::LeftButton);
    EXPECT_FALSE(defaults->contains(u"defaultSaveLocation"_s));
    EXPECT_EQ(find<QLineEdit>(u"saveLocationPathControl"_s)->text(), QString());
}

TEST_F(PreferencesTest, GeneralOptionsFontAndUpdatesAreStored)
{
    const struct
    {
        QString key;
        bool tickedWhenAbsent;
        bool storedWhenClicked;
    } options[] = {
        {u"checkSpellingByDefault"_s, false, true},
        {u"noAutoRecovery"_s, true, true}, // the box says "autosave"
        {u"autoScrollDuringPlayback"_s, false, true},
        {u"skipHighlightingCharacters"_s, true, true}, // the box says "flash"
        {u"autoExpandAudio"_s, true, false},
        {u"autoExpandVideo"_s, true, false},
    };
    for (const auto &o : options) {
        SCOPED_TRACE(o.key.toStdString());
        auto *box = find<QCheckBox>(o.key);
        EXPECT_EQ(box->isChecked(), o.tickedWhenAbsent);
        tick(box);
        EXPECT_EQ(defaults->boolForKey(o.key), o.storedWhenClicked);
    }

    QTest::mouseClick(find<QWidget>(u"changeFontButton"_s), Qt::LeftButton);
    auto *fontPanel = find<QFontDialog>(u"fontPanel"_s);
    ASSERT_TRUE(fontPanel->isVisible());
    const QFont chosen(u"DejaVu Serif"_s, 15);
    fontPanel->setCurrentFont(chosen); // as the user's choice in the panel
    EXPECT_EQ(prefs->currentDefaultFont().family(), chosen.family());
    EXPECT_EQ(find<QLabel>(u"currentDefaultFontString"_s)->text(),
              prefs->currentDefaultFontString().text);
    fontPanel->close();
    fontPanel->setCurrentFont(QFont(u"DejaVu Sans"_s, 9)); // closed: no longer the default's
    EXPECT_EQ(prefs->currentDefaultFont().pointSize(), 15);

    auto *automatic = find<QCheckBox>(u"automaticallyUpdatesCheckbox"_s);
    auto *betas = find<QCheckBox>(u"includeBetasCheckbox"_s);
    EXPECT_FALSE(betas->isEnabled());
    tick(automatic);
    tick(betas);
    EXPECT_TRUE(updater.automaticallyChecksForUpdates());
    EXPECT_TRUE(prefs->includeBetas());
    tick(automatic); // off: back to the release feed
    EXPECT_FALSE(prefs->includeBetas());
    EXPECT_FALSE(betas->isChecked());
    EXPECT_FALSE(betas->isEnabled());

    restart();
    for (const auto &o : options)
        EXPECT_EQ(find<QCheckBox>(o.key)->isChecked(), !o.tickedWhenAbsent) << o.key.toStdString();
    EXPECT_EQ(prefs->currentDefaultFont().family(), chosen.family());
}

TEST_F(PreferencesTest, PanesSwapUnderAFixedTopLeftCornerAndTheLastOneComesBack)
{
    QWidget *prefsWindow = window->prefsWindow();
    const QPoint corner = prefsWindow->geometry().topLeft();
    QSet<int> heights;
    for (const char *item : {"recordingToolbarItem", "playbackToolbarItem", "savingToolbarItem",
                             "sharingToolbarItem", "generalToolbarItem"}) {
        SCOPED_TRACE(item);
        openPane(QString::fromLatin1(item));
        QWidget *pane = window->currentPane();
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(prefsWindow->geometry().topLeft(), corner);
        EXPECT_EQ(pane->parentWidget()->size(), pane->size());
        EXPECT_TRUE(find<QAction>(QString::fromLatin1(item))->isChecked());
        heights.insert(prefsWindow->height());
    }
    EXPECT_GT(heights.size(), 1); // the heights differ, so the window did resize

    openPane(u"savingToolbarItem"_s);
    QWidget *saving = window->currentPane();
    QTest::keyClick(prefsWindow, Qt::Key_Escape);
    EXPECT_FALSE(prefsWindow->isVisible());
    window->show();
    EXPECT_TRUE(prefsWindow->isVisible());
    EXPECT_EQ(window->currentPane(), saving);
    EXPECT_TRUE(saving->isVisible());
}

TEST_F(PreferencesTest, TheKeyboardGoesFromTheToolbarIntoThePaneAndMnemonicsWork)
{
    QWidget *prefsWindow = window->prefsWindow();
    QApplication::setActiveWindow(prefsWindow);
    const auto focused = [] { return QApplication::focusWidget(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return focused() != nullptr; }));
    EXPECT_EQ(focused(), toolbarButton(u"generalToolbarItem"_s));
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), toolbarButton(u"recordingToolbarItem"_s));
    QTest::keyClick(focused(), Qt::Key_Space);
    EXPECT_TRUE(find<QWidget>(u"recordAudio"_s)->isVisible());
    for (int i = 0; i < 4; ++i) // past the last three toolbar items
        QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), find<QWidget>(u"recordAudio"_s));

    QTest::keyClick(prefsWindow, Qt::Key_V, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return defaults->boolForKey(u"recordVideo"_s); }));
    QTest::keyClick(prefsWindow, Qt::Key_C, Qt::AltModifier);
    EXPECT_EQ(focused(), find<QWidget>(u"videoDevicePopUp"_s));
}

} // namespace
} // namespace lq::test
