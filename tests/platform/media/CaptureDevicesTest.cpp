#include "platform/media/GStreamer.h"
#include "platform/media/GstCaptureDevices.h"
#include "shared/ScopedEnvironment.h"
#include "support/FakeCaptureDevices.h"
#include "support/TestLeakSuppressions.h"

#include <gtest/gtest.h>

using lq::CaptureDevice;
using lq::CaptureDeviceKind;
using lq::GstCaptureDevices;

namespace {

QStringList idsOf(const QList<CaptureDevice> &devices)
{
    QStringList ids;
    for (const CaptureDevice &device : devices)
        ids.append(device.uniqueId);
    return ids;
}

} // namespace

TEST(GstCaptureDevicesTest, OnlyTheTestDevicesWhenAsked)
{
    ScopedEnvironment environment;
    environment.set("LUMAQUILL_TEST_DEVICES", QStringLiteral("1"));
    GstCaptureDevices devices;

    const QList<CaptureDevice> audio = devices.devices(CaptureDeviceKind::Audio);
    const QList<CaptureDevice> video = devices.devices(CaptureDeviceKind::Video);
    EXPECT_EQ(idsOf(audio), QStringList{GstCaptureDevices::kTestMicrophoneId});
    EXPECT_EQ(audio.value(0).displayName, QStringLiteral("Test Microphone"));
    EXPECT_EQ(idsOf(video),
              (QStringList{GstCaptureDevices::kTestCameraHDId, GstCaptureDevices::kTestCameraId}));
    const CaptureDevice hd = *devices.device(GstCaptureDevices::kTestCameraHDId);
    const CaptureDevice sd = *devices.device(GstCaptureDevices::kTestCameraId);
    EXPECT_TRUE(hd.supports1280x720);
    EXPECT_FALSE(sd.supports1280x720);
    EXPECT_EQ(hd.kind, CaptureDeviceKind::Video);
    EXPECT_TRUE(devices.devices(CaptureDeviceKind::Muxed).isEmpty());
}

TEST(GstCaptureDevicesTest, NoTestDevicesUnlessAsked)
{
    ScopedEnvironment environment;
    environment.unset("LUMAQUILL_TEST_DEVICES");
    GstCaptureDevices devices;
    EXPECT_FALSE(devices.device(GstCaptureDevices::kTestMicrophoneId));
    EXPECT_FALSE(devices.device(GstCaptureDevices::kTestCameraHDId));
}

TEST(CaptureDevicesTest, DefaultIsTheMarkedDeviceElseTheFirst)
{
    lq::test::FakeCaptureDevices devices;
    EXPECT_FALSE(devices.defaultDevice(CaptureDeviceKind::Audio));

    devices.setDevices({{"a", "First", CaptureDeviceKind::Audio, false, false},
                        {"b", "Second", CaptureDeviceKind::Audio, false, false}});
    EXPECT_EQ(devices.defaultDevice(CaptureDeviceKind::Audio)->uniqueId, QStringLiteral("a"));

    devices.setDevices({{"a", "First", CaptureDeviceKind::Audio, false, false},
                        {"b", "Second", CaptureDeviceKind::Audio, true, false}});
    EXPECT_EQ(devices.defaultDevice(CaptureDeviceKind::Audio)->uniqueId, QStringLiteral("b"));
    EXPECT_FALSE(devices.defaultDevice(CaptureDeviceKind::Video));
}

TEST(GStreamerTest, MissingElementIsAnErrorNamingThePackage)
{
    lq::Error error;
    EXPECT_TRUE(lq::GStreamer::hasElement(QStringLiteral("audiotestsrc"), &error));
    EXPECT_TRUE(error.isNull());

    EXPECT_FALSE(lq::GStreamer::hasElement(QStringLiteral("nosuchelement"), &error));
    EXPECT_TRUE(error.localizedDescription().contains(QLatin1String("\"nosuchelement\"")));
    EXPECT_TRUE(error.localizedDescription().contains(QLatin1String("GStreamer plugin packages")));

    EXPECT_EQ(lq::GStreamer::packageForElement(QStringLiteral("v4l2src")),
              QStringLiteral("gstreamer1.0-plugins-good"));
    EXPECT_EQ(lq::GStreamer::packageForElement(QStringLiteral("avenc_aac")),
              QStringLiteral("gstreamer1.0-libav"));
}
