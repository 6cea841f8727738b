#pragma once

#include "engines/LQRecSession.h"
#include "engines/LQRecordingController.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/GstCaptureDevices.h"
#include "platform/media/MediaInfo.h"
#include "preferences/PrefsController.h"
#include "shared/RecordingErrors.h"
#include "shared/ScopedEnvironment.h"
#include "support/FakeUpdater.h"
#include "support/TestUserDefaults.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace lq::test {

// An owner that answers every engine callback and records what reaches it; its window
// controller counts the stops it is asked for.
class RecordingOwner final : public LQRecSessionOwner, public LQRecordingController
{
public:
    bool answers(Callback) const override { return true; }
    void didStartRecordingToOutputFile(const QUrl &url, double) override { started.append(url); }
    void sessionRecordingCompleted(LQRecSession *) override { ++completed; }
    LQRecordingController *controller() override { return this; }
    void recordingStopped() override { ++stopped; }
    void stopRecording() override { ++stopRequests; }

    QList<QUrl> started;
    int completed = 0;
    int stopped = 0;
    int stopRequests = 0;
};

struct ErrorReport
{
    QString message;
    bool retry;
};

class RecordedErrors final : public BMRecordingErrorHandler
{
public:
    void recordingErrorOccurred(const QString &message, bool retry) override
    {
        reports.append({message, retry});
    }
    QList<ErrorReport> reports;
};

// An engine over the test devices (or the machine's own) with preferences of its own, an owner,
// an error handler and a folder for the media files.
template <class Engine>
class RecordingRigFor
{
public:
    enum class Devices { Test, Real };

    explicit RecordingRigFor(Devices devices = Devices::Test)
        : m_environment(withDevices(devices))
        , m_devices(std::make_unique<GstCaptureDevices>())
        , preferences({m_devices.get(), &m_updater})
        , engine(typename Engine::Services{&preferences, m_devices.get()})
    {
        engine.setOwner(&owner);
        engine.setErrorHandler(&errors);
        selectAudioDevice(GstCaptureDevices::kTestMicrophoneId);
        selectVideoDevice(GstCaptureDevices::kTestCameraId);
    }

    void selectAudioDevice(const QString &uniqueId)
    {
        preferences.setSelectedAudioDeviceName(preferences.audioDevices().key(uniqueId));
    }
    void selectVideoDevice(const QString &uniqueId)
    {
        preferences.setSelectedVideoDeviceName(preferences.videoDevices().key(uniqueId));
    }
    // Tokens the table does not offer select nothing, which reads as an unknown token.
    void selectAudioQuality(const QString &token)
    {
        preferences.setSelectedAudioQualityName(
            preferences.audioQualities().key(token, QStringLiteral("none")));
    }
    void selectVideoQuality(const QString &token)
    {
        preferences.setSelectedVideoQualityName(
            preferences.videoQualities().key(token, QStringLiteral("none")));
    }

    QString stem(int session = 1) const
    {
        return QDir(folder.path()).filePath(QStringLiteral("recording-%1.").arg(session));
    }
    QString path(const QString &name) const { return QDir(folder.path()).filePath(name); }

    // Starts and waits for the first file to be written.
    bool start(bool audio, bool video)
    {
        const qsizetype before = owner.started.size();
        if (!engine.startRecording(stem(), audio, video))
            return false;
        return runEventLoopUntil([&] { return owner.started.size() > before; },
                                 std::chrono::seconds(10));
    }

    // Stops and waits for the session to complete; files gets the names handed back.
    bool stop(QStringList *files)
    {
        const int before = owner.completed;
        if (!engine.stopRecording(files))
            return false;
        return runEventLoopUntil([&] { return owner.completed > before; },
                                 std::chrono::seconds(15));
    }

    bool record(std::chrono::milliseconds length, bool audio, bool video, QStringList *files)
    {
        if (!start(audio, video))
            return false;
        runEventLoopUntil([] { return false; }, length);
        return stop(files);
    }

    std::optional<MediaInfo> probe(const QString &name) const
    {
        Error error;
        auto info = MediaInfo::probe(path(name), std::chrono::seconds(10), &error);
        EXPECT_TRUE(info) << name.toStdString() << ": "
                          << error.localizedDescription().toStdString();
        return info;
    }

    TestUserDefaults defaults;
    QTemporaryDir folder;

private:
    static std::unique_ptr<ScopedEnvironment> withDevices(Devices devices)
    {
        auto environment = std::make_unique<ScopedEnvironment>();
        if (devices == Devices::Test)
            environment->set("LUMAQUILL_TEST_DEVICES", QStringLiteral("1"));
        else
            environment->unset("LUMAQUILL_TEST_DEVICES");
        return environment;
    }

    std::unique_ptr<ScopedEnvironment> m_environment;
    FakeUpdater m_updater;
    std::unique_ptr<GstCaptureDevices> m_devices;

public:
    PrefsController preferences;
    RecordingOwner owner;
    RecordedErrors errors;
    Engine engine;
};

} // namespace lq::test
