#pragma once

#include "platform/media/CaptureDevices.h"
#include "preferences/QualityTables.h"

#include <QFont>
#include <QMap>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <mutex>
#include <optional>

namespace lq {
class Updater;
}

// The preferences: the capture devices and recording qualities on offer and chosen, the
// answers other parts ask for (what to record with, the notes font, the default note name,
// the event lead-in), and the update settings mirrored from the updater. The model properties
// are read under a lock, so any thread may ask; device lists are rebuilt on the main thread.
// A null QString stands for "none".
class PrefsController : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        lq::CaptureDevices *devices = nullptr;
        lq::Updater *updater = nullptr;
    };

    // The one controller, made on the main thread on first use (a caller on another thread
    // waits for it).
    static PrefsController &sharedController();

    // A controller of its own (tests); must be made on the main thread.
    explicit PrefsController(Services services, QObject *parent = nullptr);
    ~PrefsController() override;

    // Model properties.
    QMap<QString, QString> audioQualities() const;
    QStringList audioQualityNames() const;
    QString selectedAudioQualityName() const;
    void setSelectedAudioQualityName(const QString &name);
    QMap<QString, QString> videoQualities() const;
    QStringList videoQualityNames() const;
    QString selectedVideoQualityName() const;
    void setSelectedVideoQualityName(const QString &name);
    QMap<QString, QSize> videoSizes() const;
    QMap<QString, QString> audioDevices() const;
    QStringList audioDeviceNames() const;
    QString selectedAudioDeviceName() const;
    void setSelectedAudioDeviceName(const QString &name);
    QMap<QString, QString> videoDevices() const;
    QStringList videoDeviceNames() const;
    QString selectedVideoDeviceName() const;
    // Every set also rebuilds the video qualities, so the HD row follows the camera.
    void setSelectedVideoDeviceName(const QString &name);
    bool hidesAutosavePreference() const;
    void setHidesAutosavePreference(bool hides);

    // Answers for the recording, the window and the document.
    QString currentAudioQuality() const;
    QString currentVideoQuality() const;
    QSize currentVideoSize() const;
    QString currentAudioDevice() const;
    QString currentVideoDevice() const;
    bool shouldRecordAudio() const;
    bool shouldRecordVideo() const;
    double eventBuffer() const; // seconds; 10 when not set
    void setEventBuffer(const QVariant &seconds);

    // Font sizes are Qt points throughout the program.
    QFont currentDefaultFont() const;
    void setCurrentDefaultFont(const std::optional<QFont> &font); // none removes the setting
    struct FontDescription
    {
        QString text; // "Helvetica 12pt"
        QFont font;   // the font to show it in
    };
    FontDescription currentDefaultFontString() const;

    // Now formatted with a calendar-date format; none when the format is none, or when the
    // format or its result holds a "/" (a name must not name folders).
    QString saveFilenameForFormat(const QString &format) const;
    QString currentDefaultFilename() const;

    // Update settings.
    bool automaticallyUpdates() const;
    void setAutomaticallyUpdates(bool updates);
    bool includeBetas() const;
    void setIncludeBetas(bool include);
    void checkSparkleURL(); // an http feed becomes https

    // Set-up, also run when devices come and go.
    void setupGeneral();
    void setupAudioDevices();
    void setupVideoDevices();
    void setupAudioQualities();
    void setupVideoQualities();
    // Rebuilds both device lists on the main thread (waiting for it), then posts
    // kDevicesChangedNotification.
    void devicesChanged();

    static const QString kDevicesChangedNotification;      // "qtDevicesChanged"
    static const QString kJumpBackTimeChangedNotification; // "jumpBackTimeChanged"
    static const QString kAudioBoostChangedNotification;   // "audioBootChanged"
    static const QString kAudioQualityChangedNotification;
    static const QString kAudioDeviceChangedNotification;
    static const QString kVideoQualityChangedNotification;
    static const QString kVideoDeviceChangedNotification;

Q_SIGNALS:
    // Emitted on every set of a list or selection, from the setting thread.
    void audioDevicesChanged();
    void videoDevicesChanged();
    void audioQualitiesChanged();
    void videoQualitiesChanged();
    void automaticallyUpdatesChanged(bool updates);
    void includeBetasChanged(bool include); // on every change of the updater's feed
    void currentDefaultFontStringChanged();

private:
    struct DeviceChoice
    {
        QMap<QString, QString> ids; // display name -> unique id
        QStringList names;
        QString selected;
    };
    struct QualityChoice
    {
        lq::QualityTable table;
        QString selected;
    };

    void setupDevices(DeviceChoice PrefsController::*choice, lq::CaptureDeviceKind kind,
                      const QString &key);
    // The unique id of the chosen device, as the list stands.
    QString chosenDeviceId(const DeviceChoice &choice) const;
    void makeDeviceLists();
    // Makes the device lists (waiting for the devices' first listing) unless they are made.
    void ensureDeviceLists() const;
    void setupQualities(QualityChoice PrefsController::*choice, const lq::QualityTable &table,
                        const QString &storedId);
    void emitChanged(DeviceChoice PrefsController::*choice);
    void emitChanged(QualityChoice PrefsController::*choice);
    void followUpdater();

    Services m_services;
    mutable std::mutex m_mutex;
    DeviceChoice m_audioDevices;
    DeviceChoice m_videoDevices;
    QualityChoice m_audioQualities;
    QualityChoice m_videoQualities;
    bool m_hidesAutosavePreference;
    bool m_videoQualitiesFollowCamera = false;
    std::atomic<bool> m_deviceListsMade{false};
    bool m_makingDeviceLists = false; // main thread
};
