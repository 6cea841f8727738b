#include "preferences/PrefsController.h"

#include "platform/foundation/ClockSource.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/update/UpdateFeeds.h"
#include "shared/ScopedEnvironment.h"
#include "support/FakeCaptureDevices.h"
#include "support/FakeUpdater.h"
#include "support/TestLeakSuppressions.h"
#include "support/TestUserDefaults.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

using lq::CaptureDevice;
using lq::CaptureDeviceKind;

namespace {

const CaptureDevice kMicrophone{"mic-1", "Built-in Microphone", CaptureDeviceKind::Audio, true,
                                false};
const CaptureDevice kHeadset{"mic-2", "Headset", CaptureDeviceKind::Audio, false, false};
const CaptureDevice kHDCamera{"cam-hd", "HD Camera", CaptureDeviceKind::Video, false, true};
const CaptureDevice kSDCamera{"cam-sd", "SD Camera", CaptureDeviceKind::Video, false, false};

class PrefsControllerTest : public testing::Test
{
protected:
    void useEngines(const char *kind)
    {
        if (kind)
            m_environment.set("LUMAQUILL_MEDIA_ENGINE", QString::fromLatin1(kind));
        else
            m_environment.unset("LUMAQUILL_MEDIA_ENGINE");
    }

    std::unique_ptr<PrefsController> makeController()
    {
        return std::make_unique<PrefsController>(PrefsController::Services{&m_devices, &m_updater});
    }

    ScopedEnvironment m_environment;
    lq::test::TestUserDefaults m_defaults;
    lq::test::FakeCaptureDevices m_devices;
    lq::test::FakeUpdater m_updater;
};

} // namespace

TEST_F(PrefsControllerTest, StoredAudioQualitiesAreTranslatedToTheRunningEngine)
{
    struct Case
    {
        const char *engine; // LUMAQUILL_MEDIA_ENGINE, null for the default
        const char *stored; // null: key absent
        const char *name;
        const char *id;
    };
    const Case cases[] = {
        {nullptr, "QTCompressionOptionsLosslessALACAudio", "Lossless (ALAC)", "lossless"},
        {nullptr, "QTCompressionOptionsHighQualityAACAudio", "High quality (64 kbps AAC)", "64"},
        {nullptr, "256", "Very high quality (256 kbps AAC)", "256"},
        {nullptr, "unknown", "Voice quality (32 kbps AAC)", "32"},
        {nullptr, nullptr, "Voice quality (32 kbps AAC)", "32"},
        {"legacy", "128", "Voice quality (32 kbps AAC)",
         "QTCompressionOptionsVoiceQualityAACAudio"},
        {"legacy", "QTCompressionOptionsLosslessALACAudio", "Lossless (ALAC)",
         "QTCompressionOptionsLosslessALACAudio"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "(absent)");
        useEngines(c.engine);
        if (c.stored)
            m_defaults->setString(QStringLiteral("audioQuality"), QString::fromLatin1(c.stored));
        else
            m_defaults->removeObject(QStringLiteral("audioQuality"));
        const auto controller = makeController();
        EXPECT_EQ(controller->audioQualityNames().size(), c.engine ? 3 : 5);
        EXPECT_EQ(controller->selectedAudioQualityName(), QString::fromLatin1(c.name));
        EXPECT_EQ(controller->currentAudioQuality(), QString::fromLatin1(c.id));
        EXPECT_EQ(m_defaults->object(QStringLiteral("audioQuality")),
                  c.stored ? QVariant(QString::fromLatin1(c.stored)) : QVariant());
    }
}

TEST_F(PrefsControllerTest, StoredVideoQualitiesAreTranslatedToTheRunningEngine)
{
    struct Case
    {
        const char *engine;
        const char *stored;
        const char *name;
        const char *id;
        QSize size;
    };
    const Case cases[] = {
        {nullptr,
         "QTCompressionOptions240SizeMPEG4Video",
         "Medium quality (320x240)",
         "medium",
         {320, 240}},
        {nullptr,
         "QTCompressionOptionsSD480SizeH264Video",
         "High quality (640x480)",
         "high",
         {640, 480}},
        {nullptr, "hd", "HD quality (1280x720)", "hd", {1280, 720}},
        {nullptr, "bogus", "Low quality (160x120)", "low", {160, 120}},
        {"legacy",
         "QTCompressionOptions120SizeMPEG4Video",
         "Low quality (160x120)",
         "QTCompressionOptions120SizeH264Video",
         {160, 120}},
        {"legacy",
         "medium",
         "Low quality (160x120)",
         "QTCompressionOptions120SizeH264Video",
         {160, 120}},
        {"legacy",
         "hd",
         "Low quality (160x120)",
         "QTCompressionOptions120SizeH264Video",
         {160, 120}},
    };
    m_devices.setDevices({kHDCamera});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored);
        useEngines(c.engine);
        m_defaults->setString(QStringLiteral("videoQuality"), QString::fromLatin1(c.stored));
        const auto controller = makeController();
        EXPECT_EQ(controller->videoQualityNames().size(), c.engine ? 3 : 4);
        EXPECT_EQ(controller->selectedVideoQualityName(), QString::fromLatin1(c.name));
        EXPECT_EQ(controller->currentVideoQuality(), QString::fromLatin1(c.id));
        EXPECT_EQ(controller->currentVideoSize(), c.size);
        EXPECT_EQ(m_defaults->stringForKey(QStringLiteral("videoQuality")),
                  QString::fromLatin1(c.stored));
    }
}

TEST_F(PrefsControllerTest, TheHDRowFollowsTheSelectedCamera)
{
    useEngines(nullptr);
    m_devices.setDevices({kHDCamera, kSDCamera});
    m_defaults->setString(QStringLiteral("videoQuality"), QStringLiteral("hd"));
    const auto controller = makeController();
    EXPECT_TRUE(controller->videoQualityNames().contains(QStringLiteral("HD quality (1280x720)")));
    EXPECT_EQ(controller->currentVideoQuality(), QStringLiteral("hd"));

    controller->setSelectedVideoDeviceName(kSDCamera.displayName);
    EXPECT_FALSE(controller->videoQualityNames().contains(QStringLiteral("HD quality (1280x720)")));
    EXPECT_EQ(controller->selectedVideoQualityName(), QStringLiteral("Low quality (160x120)"));
    EXPECT_EQ(controller->currentVideoSize(), QSize(160, 120));
    EXPECT_EQ(m_defaults->stringForKey(QStringLiteral("videoQuality")), QStringLiteral("hd"));

    controller->setSelectedVideoDeviceName(kHDCamera.displayName);
    EXPECT_EQ(controller->currentVideoQuality(), QStringLiteral("hd"));
}

TEST_F(PrefsControllerTest, DeviceSelectionFollowsTheStoredIdOrFallsBackToTheDefault)
{
    m_devices.setDevices({kHeadset, kMicrophone, kSDCamera});
    m_defaults->setString(QStringLiteral("audioDevice"), QStringLiteral("unplugged"));
    auto controller = makeController();
    EXPECT_EQ(controller->audioDeviceNames(),
              QStringList({kHeadset.displayName, kMicrophone.displayName}));
    EXPECT_EQ(controller->currentAudioDevice(), kMicrophone.uniqueId); // marked default
    EXPECT_EQ(controller->currentVideoDevice(), kSDCamera.uniqueId);   // the first
    EXPECT_EQ(m_defaults->stringForKey(QStringLiteral("audioDevice")), QStringLiteral("unplugged"));

    m_devices.setDevices(
        {kHeadset, kMicrophone, {"unplugged", "USB Mic", CaptureDeviceKind::Audio}});
    controller->devicesChanged();
    EXPECT_EQ(controller->selectedAudioDeviceName(), QStringLiteral("USB Mic"));
}

TEST_F(PrefsControllerTest, TwinNamesMapToTheLaterDevice)
{
    const CaptureDevice first{"usb-1", "USB Camera", CaptureDeviceKind::Video, false, true};
    const CaptureDevice second{"usb-2", "USB Camera", CaptureDeviceKind::Video, false, false};
    const CaptureDevice muxed{"dv-1", "DV Deck", CaptureDeviceKind::Muxed, false, false};
    m_devices.setDevices({first, second, muxed});
    m_defaults->setString(QStringLiteral("videoDevice"), first.uniqueId);
    const auto controller = makeController();
    EXPECT_EQ(controller->videoDeviceNames(),
              QStringList({first.displayName, second.displayName, muxed.displayName}));
    EXPECT_EQ(controller->videoDevices().value(first.displayName), second.uniqueId);
    EXPECT_EQ(controller->currentVideoDevice(), second.uniqueId);
    // Muxed devices serve both lists.
    EXPECT_EQ(controller->audioDeviceNames(), QStringList({muxed.displayName}));
    EXPECT_EQ(controller->currentAudioDevice(), muxed.uniqueId);
}

TEST_F(PrefsControllerTest, RecordingAnswersFollowDevicesAndSettings)
{
    struct Case
    {
        bool microphone;
        bool camera;
        QVariant recordAudio; // invalid: absent
        QVariant recordVideo;
        bool shouldRecordAudio;
        bool shouldRecordVideo;
    };
    const Case cases[] = {
        {true, true, {}, {}, true, false},
        {true, true, false, true, false, true},
        {true, true, QStringLiteral("YES"), QStringLiteral("NO"), true, false},
        {false, false, true, true, false, false},
        {true, false, {}, true, true, false},
    };
    for (const Case &c : cases) {
        QList<CaptureDevice> devices;
        if (c.microphone)
            devices.append(kMicrophone);
        if (c.camera)
            devices.append(kSDCamera);
        m_devices.setDevices(devices);
        m_defaults->setObject(QStringLiteral("recordAudio"), c.recordAudio);
        m_defaults->setObject(QStringLiteral("recordVideo"), c.recordVideo);
        const auto controller = makeController();
        EXPECT_EQ(controller->shouldRecordAudio(), c.shouldRecordAudio);
        EXPECT_EQ(controller->shouldRecordVideo(), c.shouldRecordVideo);
    }
}

TEST_F(PrefsControllerTest, WithoutDevicesThereIsNothingToChoose)
{
    m_devices.setDevices({kMicrophone, kHDCamera});
    const auto controller = makeController();
    m_devices.setDevices({});
    controller->devicesChanged();
    EXPECT_TRUE(controller->audioDeviceNames().isEmpty());
    EXPECT_TRUE(controller->selectedAudioDeviceName().isNull());
    EXPECT_TRUE(controller->selectedVideoDeviceName().isNull());
    EXPECT_TRUE(controller->currentAudioDevice().isNull());
    EXPECT_TRUE(controller->currentVideoDevice().isNull());
    EXPECT_FALSE(controller->videoQualityNames().contains(QStringLiteral("HD quality (1280x720)")));
    EXPECT_FALSE(controller->shouldRecordAudio());
}

TEST_F(PrefsControllerTest, DeviceChangesFromAnotherThreadRebuildOnTheMainThreadAndPostOnce)
{
    m_devices.setDevices({kMicrophone});
    const auto controller = makeController();
    std::atomic<int> offMainRebuilds{0};
    std::atomic<int> posted{0};
    QObject::connect(
        controller.get(), &PrefsController::audioDevicesChanged, controller.get(),
        [&] { offMainRebuilds += lq::isMainThread() ? 0 : 1; }, Qt::DirectConnection);
    const auto observer = lq::NotificationCenter::defaultCenter().addObserver(
        this, PrefsController::kDevicesChangedNotification, controller.get(),
        [&](const lq::Notification &) { ++posted; });

    m_devices.setDevices({kMicrophone, kHeadset});
    std::atomic<bool> done{false};
    std::unique_ptr<QThread> worker(QThread::create([&] {
        controller->devicesChanged();
        done = true;
    }));
    worker->start();
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return done.load(); }, std::chrono::seconds(20)));
    worker->wait();
    lq::NotificationCenter::defaultCenter().removeObserver(observer);

    EXPECT_EQ(offMainRebuilds.load(), 0);
    EXPECT_EQ(posted.load(), 1);
    EXPECT_EQ(controller->audioDeviceNames().size(), 2);
}

TEST_F(PrefsControllerTest, DevicesStillBeingListedAreThereWhenAskedForOrWhenTheListingEnds)
{
    m_environment.set("LUMAQUILL_TEST_DEVICES", QStringLiteral("1"));
    for (const bool askAtOnce : {true, false}) {
        SCOPED_TRACE(askAtOnce ? "asked at once" : "asked once listed");
        // The program's devices, listed on their own thread while the controller is made.
        lq::GstCaptureDevices devices;
        PrefsController controller({&devices, &m_updater});
        std::atomic<int> posted{0};
        const auto observer = lq::NotificationCenter::defaultCenter().addObserver(
            this, PrefsController::kDevicesChangedNotification, &controller,
            [&](const lq::Notification &) { ++posted; });
        if (askAtOnce) {
            EXPECT_TRUE(controller.audioDeviceNames().contains(QStringLiteral("Test Microphone")));
        }
        EXPECT_TRUE(
            lq::runEventLoopUntil([&] { return posted.load() > 0; }, std::chrono::seconds(20)));
        lq::NotificationCenter::defaultCenter().removeObserver(observer);
        EXPECT_TRUE(controller.audioDeviceNames().contains(QStringLiteral("Test Microphone")));
        EXPECT_FALSE(controller.currentAudioDevice().isNull());
        EXPECT_FALSE(controller.currentVideoDevice().isNull());
    }
}

TEST_F(PrefsControllerTest, AHotPlugRebuildsTheLists)
{
    const auto controller = makeController();
    EXPECT_TRUE(controller->audioDeviceNames().isEmpty());
    m_devices.setDevices({kHeadset});
    m_devices.announce();
    EXPECT_EQ(controller->currentAudioDevice(), kHeadset.uniqueId);
}

TEST_F(PrefsControllerTest, EventBufferAndGeneralSettings)
{
    auto controller = makeController();
    EXPECT_EQ(controller->eventBuffer(), 10.0);
    EXPECT_TRUE(m_defaults->boolForKey(QStringLiteral("autoExpandAudio")));
    EXPECT_TRUE(m_defaults->boolForKey(QStringLiteral("autoExpandVideo")));
    controller->setEventBuffer(2.5);
    EXPECT_EQ(controller->eventBuffer(), 2.5);

    m_defaults->setBool(QStringLiteral("autoExpandVideo"), false);
    controller = makeController();
    EXPECT_FALSE(m_defaults->boolForKey(QStringLiteral("autoExpandVideo")));
}

TEST_F(PrefsControllerTest, SaveFilenamesComeFromTheClock)
{
    lq::ManualClockSource clock;
    clock.setWallNow(lq::Date::fromQDateTime(QDateTime(QDate(2024, 12, 8), QTime(9, 5, 7, 42))));
    const lq::ClockSource *previous = lq::ClockSource::setCurrent(&clock);
    const auto controller = makeController();
    struct Case
    {
        QString format;
        QString name;
    };
    const Case cases[] = {
        {QStringLiteral("%Y-%m-%d Lecture"), QStringLiteral("2024-12-08 Lecture")},
        {QStringLiteral("%a %e %B %H.%M.%S.%F %p"),
         QStringLiteral("Sun 8 December 09.05.07.042 AM")},
        {QStringLiteral("%j %w %I %y %b %A 100%% %q"),
         QStringLiteral("343 0 09 24 Dec Sunday 100% %q")},
        {QStringLiteral("%x Notes"), QString()}, // "12/08/24 Notes" would name folders
        {QStringLiteral("a/b"), QString()},
        {QString(), QString()},
        {QStringLiteral(""), QStringLiteral("")},
    };
    for (const Case &c : cases) {
        const QString name = controller->saveFilenameForFormat(c.format);
        EXPECT_EQ(name, c.name) << qPrintable(c.format);
        EXPECT_EQ(name.isNull(), c.name.isNull()) << qPrintable(c.format);
    }
    EXPECT_TRUE(controller->currentDefaultFilename().isNull());
    m_defaults->setString(QStringLiteral("defaultSaveFilename"), QStringLiteral("Notes %d"));
    EXPECT_EQ(controller->currentDefaultFilename(), QStringLiteral("Notes 08"));
    lq::ClockSource::setCurrent(previous);
}

TEST_F(PrefsControllerTest, TheDefaultFontFallsBackToHelvetica12)
{
    const auto controller = makeController();
    EXPECT_EQ(controller->currentDefaultFont(), QFont(QStringLiteral("Helvetica"), 12));
    EXPECT_EQ(controller->currentDefaultFontString().text, QStringLiteral("Helvetica 12pt"));

    int announced = 0;
    QObject::connect(controller.get(), &PrefsController::currentDefaultFontStringChanged,
                     [&] { ++announced; });
    const QFont serif(QStringLiteral("Serif"), 15);
    controller->setCurrentDefaultFont(serif);
    EXPECT_EQ(controller->currentDefaultFont(), serif);
    EXPECT_EQ(controller->currentDefaultFontString().text, QStringLiteral("Serif 15pt"));

    m_defaults->setObject(QStringLiteral("defaultUserFont"), QByteArray("garbage"));
    EXPECT_EQ(controller->currentDefaultFont(), QFont(QStringLiteral("Helvetica"), 12));

    controller->setCurrentDefaultFont(std::nullopt);
    EXPECT_FALSE(m_defaults->contains(QStringLiteral("defaultUserFont")));
    EXPECT_EQ(announced, 2);
}

TEST_F(PrefsControllerTest, UpdateSettingsFollowTheUpdater)
{
    m_updater.setFeedURL(QUrl(QStringLiteral("http://updates.example.org/feeds/a.xml?x=1")));
    const auto controller = makeController();
    EXPECT_EQ(m_updater.feedURL(),
              QUrl(QStringLiteral("https://updates.example.org/feeds/a.xml?x=1")));
    EXPECT_FALSE(controller->includeBetas());

    controller->setAutomaticallyUpdates(true);
    EXPECT_TRUE(m_updater.automaticallyChecksForUpdates());
    controller->setIncludeBetas(true);
    EXPECT_EQ(m_updater.feedURL(), lq::UpdateFeeds::beta());
    EXPECT_TRUE(controller->includeBetas());

    // Turning automatic checks off goes back to the release feed.
    m_updater.setAutomaticallyChecksForUpdates(false);
    EXPECT_EQ(m_updater.feedURL(), lq::UpdateFeeds::release());
    EXPECT_FALSE(controller->automaticallyUpdates());

    // A feed set elsewhere is mirrored.
    int announced = 0;
    QObject::connect(controller.get(), &PrefsController::includeBetasChanged,
                     [&](bool include) { announced += include ? 1 : 0; });
    m_updater.setFeedURL(lq::UpdateFeeds::beta());
    EXPECT_TRUE(controller->includeBetas());
    EXPECT_EQ(announced, 1);
}

TEST(PrefsControllerSharedTest, IsMadeOnTheMainThreadWhenFirstReachedFromAnother)
{
    std::atomic<PrefsController *> reached{nullptr};
    std::unique_ptr<QThread> worker(
        QThread::create([&] { reached = &PrefsController::sharedController(); }));
    worker->start();
    EXPECT_TRUE(
        lq::runEventLoopUntil([&] { return reached.load() != nullptr; }, std::chrono::seconds(30)));
    worker->wait();
    ASSERT_NE(reached.load(), nullptr);
    EXPECT_EQ(reached.load()->thread(), QThread::currentThread());
    EXPECT_EQ(&PrefsController::sharedController(), reached.load());
}
