#include "preferences/PrefsController.h"

#include "platform/document/Document.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Date.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/update/UpdateFeeds.h"
#include "platform/update/Updater.h"
#include "preferences/ArchivedValues.h"
#include "preferences/CalendarDateFormat.h"

#include <atomic>

using lq::CaptureDeviceKind;
using lq::UserDefaults;

const QString PrefsController::kDevicesChangedNotification = QStringLiteral("qtDevicesChanged");
const QString PrefsController::kJumpBackTimeChangedNotification =
    QStringLiteral("jumpBackTimeChanged");
const QString PrefsController::kAudioBoostChangedNotification = QStringLiteral("audioBootChanged");
const QString PrefsController::kAudioQualityChangedNotification =
    QStringLiteral("audio_quality_changed");
const QString PrefsController::kAudioDeviceChangedNotification =
    QStringLiteral("audio_device_changed");
const QString PrefsController::kVideoQualityChangedNotification =
    QStringLiteral("video_quality_changed");
const QString PrefsController::kVideoDeviceChangedNotification =
    QStringLiteral("video_device_changed");

namespace {

const QString kRecordAudioKey = QStringLiteral("recordAudio");
const QString kRecordVideoKey = QStringLiteral("recordVideo");
const QString kAudioQualityKey = QStringLiteral("audioQuality");
const QString kVideoQualityKey = QStringLiteral("videoQuality");
const QString kAudioDeviceKey = QStringLiteral("audioDevice");
const QString kVideoDeviceKey = QStringLiteral("videoDevice");
const QString kEventBufferKey = QStringLiteral("eventBuffer");
const QString kDefaultSaveFilenameKey = QStringLiteral("defaultSaveFilename");
const QString kDefaultUserFontKey = QStringLiteral("defaultUserFont");
const QString kAutoExpandAudioKey = QStringLiteral("autoExpandAudio");
const QString kAutoExpandVideoKey = QStringLiteral("autoExpandVideo");

constexpr double kDefaultEventBuffer = 10.0;

std::atomic<PrefsController *> sharedInstance{nullptr};

UserDefaults &defaults()
{
    return UserDefaults::standard();
}

QFont defaultFont()
{
    return QFont(QStringLiteral("Helvetica"), 12);
}

} // namespace

PrefsController &PrefsController::sharedController()
{
    if (PrefsController *shared = sharedInstance.load())
        return *shared;
    return *lq::runOnMainThread([] {
        if (!sharedInstance.load()) {
            sharedInstance.store(
                new PrefsController({&lq::CaptureDevices::current(), &lq::Updater::shared()}));
        }
        return sharedInstance.load();
    });
}

PrefsController::PrefsController(Services services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_hidesAutosavePreference(lq::Document::kSavesInBackground)
{
    setupGeneral();
    // The device lists wait for the devices' first listing (it ends with devicesChanged), unless
    // asked for sooner.
    if (m_services.devices->isListed())
        makeDeviceLists();
    setupAudioQualities();
    setupVideoQualities();
    m_videoQualitiesFollowCamera = true;
    connect(m_services.devices, &lq::CaptureDevices::devicesChanged, this,
            &PrefsController::devicesChanged);
    checkSparkleURL();
    followUpdater();
}

PrefsController::~PrefsController() = default;

void PrefsController::followUpdater()
{
    lq::Updater *updater = m_services.updater;
    connect(updater, &lq::Updater::automaticallyChecksForUpdatesChanged, this, [this](bool checks) {
        if (!checks)
            setIncludeBetas(false);
        setAutomaticallyUpdates(checks);
    });
    connect(updater, &lq::Updater::feedURLChanged, this, [this](const QUrl &url) {
        Q_EMIT includeBetasChanged(url == lq::UpdateFeeds::beta());
    });
}

// Model properties.

QMap<QString, QString> PrefsController::audioQualities() const
{
    std::lock_guard lock(m_mutex);
    return m_audioQualities.table.ids;
}

QStringList PrefsController::audioQualityNames() const
{
    std::lock_guard lock(m_mutex);
    return m_audioQualities.table.names;
}

QString PrefsController::selectedAudioQualityName() const
{
    std::lock_guard lock(m_mutex);
    return m_audioQualities.selected;
}

void PrefsController::setSelectedAudioQualityName(const QString &name)
{
    {
        std::lock_guard lock(m_mutex);
        m_audioQualities.selected = name;
    }
    emitChanged(&PrefsController::m_audioQualities);
}

QMap<QString, QString> PrefsController::videoQualities() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoQualities.table.ids;
}

QStringList PrefsController::videoQualityNames() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoQualities.table.names;
}

QString PrefsController::selectedVideoQualityName() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoQualities.selected;
}

void PrefsController::setSelectedVideoQualityName(const QString &name)
{
    ensureDeviceLists();
    {
        std::lock_guard lock(m_mutex);
        m_videoQualities.selected = name;
    }
    emitChanged(&PrefsController::m_videoQualities);
}

QMap<QString, QSize> PrefsController::videoSizes() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoQualities.table.sizes;
}

QMap<QString, QString> PrefsController::audioDevices() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_audioDevices.ids;
}

QStringList PrefsController::audioDeviceNames() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_audioDevices.names;
}

QString PrefsController::selectedAudioDeviceName() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_audioDevices.selected;
}

void PrefsController::setSelectedAudioDeviceName(const QString &name)
{
    ensureDeviceLists();
    {
        std::lock_guard lock(m_mutex);
        m_audioDevices.selected = name;
    }
    emitChanged(&PrefsController::m_audioDevices);
}

QMap<QString, QString> PrefsController::videoDevices() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoDevices.ids;
}

QStringList PrefsController::videoDeviceNames() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoDevices.names;
}

QString PrefsController::selectedVideoDeviceName() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoDevices.selected;
}

void PrefsController::setSelectedVideoDeviceName(const QString &name)
{
    ensureDeviceLists();
    {
        std::lock_guard lock(m_mutex);
        m_videoDevices.selected = name;
    }
    emitChanged(&PrefsController::m_videoDevices);
}

bool PrefsController::hidesAutosavePreference() const
{
    std::lock_guard lock(m_mutex);
    return m_hidesAutosavePreference;
}

void PrefsController::setHidesAutosavePreference(bool hides)
{
    std::lock_guard lock(m_mutex);
    m_hidesAutosavePreference = hides;
}

void PrefsController::emitChanged(DeviceChoice PrefsController::*choice)
{
    if (choice == &PrefsController::m_audioDevices) {
        Q_EMIT audioDevicesChanged();
        return;
    }
    Q_EMIT videoDevicesChanged();
    if (m_videoQualitiesFollowCamera)
        setupVideoQualities();
}

void PrefsController::emitChanged(QualityChoice PrefsController::*choice)
{
    if (choice == &PrefsController::m_audioQualities)
        Q_EMIT audioQualitiesChanged();
    else
        Q_EMIT videoQualitiesChanged();
}

// Answers.

QString PrefsController::currentAudioQuality() const
{
    std::lock_guard lock(m_mutex);
    return m_audioQualities.table.ids.value(m_audioQualities.selected);
}

QString PrefsController::currentVideoQuality() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoQualities.table.ids.value(m_videoQualities.selected);
}

QSize PrefsController::currentVideoSize() const
{
    ensureDeviceLists();
    std::lock_guard lock(m_mutex);
    return m_videoQualities.table.sizes.value(m_videoQualities.selected);
}

QString PrefsController::currentAudioDevice() const
{
    ensureDeviceLists();
    return chosenDeviceId(m_audioDevices);
}

QString PrefsController::currentVideoDevice() const
{
    ensureDeviceLists();
    return chosenDeviceId(m_videoDevices);
}

QString PrefsController::chosenDeviceId(const DeviceChoice &choice) const
{
    std::lock_guard lock(m_mutex);
    return choice.selected.isNull() ? QString() : choice.ids.value(choice.selected);
}

bool PrefsController::shouldRecordAudio() const
{
    if (selectedAudioDeviceName().isNull())
        return false;
    return !defaults().contains(kRecordAudioKey) || defaults().boolForKey(kRecordAudioKey);
}

bool PrefsController::shouldRecordVideo() const
{
    return defaults().contains(kRecordVideoKey) && defaults().boolForKey(kRecordVideoKey) &&
           !selectedVideoDeviceName().isNull();
}

double PrefsController::eventBuffer() const
{
    return defaults().contains(kEventBufferKey) ? defaults().doubleForKey(kEventBufferKey)
                                                : kDefaultEventBuffer;
}

void PrefsController::setEventBuffer(const QVariant &seconds)
{
    defaults().setObject(kEventBufferKey, seconds);
}

QFont PrefsController::currentDefaultFont() const
{
    return lq::ArchivedValues::decodeFont(defaults().dataForKey(kDefaultUserFontKey))
        .value_or(defaultFont());
}

void PrefsController::setCurrentDefaultFont(const std::optional<QFont> &font)
{
    if (font)
        defaults().setObject(kDefaultUserFontKey, lq::ArchivedValues::encodeFont(*font));
    else
        defaults().removeObject(kDefaultUserFontKey);
    Q_EMIT currentDefaultFontStringChanged();
}

PrefsController::FontDescription PrefsController::currentDefaultFontString() const
{
    const QFont font = currentDefaultFont();
    return {
        QStringLiteral("%1 %2pt").arg(font.family(), QString::number(font.pointSizeF(), 'f', 0)),
        font};
}

QString PrefsController::saveFilenameForFormat(const QString &format) const
{
    if (format.isNull() || format.contains(QLatin1Char('/')))
        return {};
    const QString name =
        lq::formatCalendarDate(format, lq::Date::now().toQDateTime().toLocalTime());
    return name.contains(QLatin1Char('/')) ? QString() : name;
}

QString PrefsController::currentDefaultFilename() const
{
    if (!defaults().contains(kDefaultSaveFilenameKey))
        return {};
    return saveFilenameForFormat(defaults().stringForKey(kDefaultSaveFilenameKey));
}

// Update settings.

bool PrefsController::automaticallyUpdates() const
{
    return m_services.updater->automaticallyChecksForUpdates();
}

void PrefsController::setAutomaticallyUpdates(bool updates)
{
    if (m_services.updater->automaticallyChecksForUpdates() != updates)
        m_services.updater->setAutomaticallyChecksForUpdates(updates);
    Q_EMIT automaticallyUpdatesChanged(updates);
}

bool PrefsController::includeBetas() const
{
    return m_services.updater->feedURL() == lq::UpdateFeeds::beta();
}

void PrefsController::setIncludeBetas(bool include)
{
    if (include == includeBetas())
        return;
    // The updater's change signal tells whoever shows the setting.
    m_services.updater->setFeedURL(include ? lq::UpdateFeeds::beta() : lq::UpdateFeeds::release());
}

void PrefsController::checkSparkleURL()
{
    const QUrl feed = m_services.updater->feedURL();
    if (feed.scheme() == QLatin1String("http")) {
        m_services.updater->setFeedURL(
            QUrl(QStringLiteral("https:") + feed.toString(QUrl::RemoveScheme)));
    }
}

// Set-up.

void PrefsController::setupGeneral()
{
    for (const QString &key : {kAutoExpandAudioKey, kAutoExpandVideoKey}) {
        if (!defaults().contains(key))
            defaults().setBool(key, true);
    }
}

void PrefsController::setupAudioDevices()
{
    setupDevices(&PrefsController::m_audioDevices, CaptureDeviceKind::Audio, kAudioDeviceKey);
}

void PrefsController::setupVideoDevices()
{
    setupDevices(&PrefsController::m_videoDevices, CaptureDeviceKind::Video, kVideoDeviceKey);
}

void PrefsController::setupDevices(DeviceChoice PrefsController::*choice, CaptureDeviceKind kind,
                                   const QString &key)
{
    const lq::CaptureDevices &devices = *m_services.devices;
    const QList<lq::CaptureDevice> found =
        devices.devices(kind) + devices.devices(CaptureDeviceKind::Muxed);
    DeviceChoice made;
    if (!found.isEmpty()) {
        for (const lq::CaptureDevice &device : found) {
            made.names.append(device.displayName);
            made.ids.insert(device.displayName, device.uniqueId); // a later twin wins
        }
        if (defaults().contains(key)) {
            const QString stored = defaults().stringForKey(key);
            for (const QString &name : std::as_const(made.names)) {
                if (made.ids.value(name) == stored) {
                    made.selected = name;
                    break;
                }
            }
        }
        if (made.selected.isNull()) {
            std::optional<lq::CaptureDevice> fallback = devices.defaultDevice(kind);
            if (!fallback)
                fallback = devices.defaultDevice(CaptureDeviceKind::Muxed);
            if (fallback)
                made.selected = fallback->displayName;
        }
    }
    {
        std::lock_guard lock(m_mutex);
        DeviceChoice &current = this->*choice;
        if (found.isEmpty()) {
            // The dictionary keeps what it held.
            current.names.clear();
            current.selected = QString();
        } else {
            current = made;
        }
    }
    emitChanged(choice);
}

void PrefsController::setupAudioQualities()
{
    const bool modern = lq::Bundle::modernMediaEnginesAvailable();
    setupQualities(
        &PrefsController::m_audioQualities, lq::QualityTables::audio(modern),
        lq::QualityTables::translatedAudioId(defaults().stringForKey(kAudioQualityKey), modern));
}

void PrefsController::setupVideoQualities()
{
    const bool modern = lq::Bundle::modernMediaEnginesAvailable();
    // The camera as listed now: the qualities are made again when the list is.
    const QString deviceId = chosenDeviceId(m_videoDevices);
    const std::optional<lq::CaptureDevice> camera =
        deviceId.isNull() ? std::nullopt : m_services.devices->device(deviceId);
    const bool offersHD = camera && camera->supports1280x720;
    setupQualities(
        &PrefsController::m_videoQualities, lq::QualityTables::video(modern, offersHD),
        lq::QualityTables::translatedVideoId(defaults().stringForKey(kVideoQualityKey), modern));
}

void PrefsController::setupQualities(QualityChoice PrefsController::*choice,
                                     const lq::QualityTable &table, const QString &storedId)
{
    {
        std::lock_guard lock(m_mutex);
        QualityChoice &current = this->*choice;
        current.table = table;
        current.selected = table.nameForId(storedId);
    }
    emitChanged(choice);
}

void PrefsController::makeDeviceLists()
{
    // What their change signals ask for meanwhile is what is being made.
    m_makingDeviceLists = true;
    setupAudioDevices();
    setupVideoDevices();
    m_makingDeviceLists = false;
    m_deviceListsMade = true;
}

void PrefsController::ensureDeviceLists() const
{
    if (m_deviceListsMade)
        return;
    // Made once, on the main thread, as the devices' change would make them.
    auto *self = const_cast<PrefsController *>(this);
    lq::runOnMainThread([self] {
        if (!self->m_deviceListsMade && !self->m_makingDeviceLists)
            self->makeDeviceLists();
    });
}

void PrefsController::devicesChanged()
{
    lq::runOnMainThread([this] { makeDeviceLists(); });
    lq::NotificationCenter::defaultCenter().post(kDevicesChangedNotification, this);
}
