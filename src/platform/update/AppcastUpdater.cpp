#include "platform/update/AppcastUpdater.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/update/Appcast.h"
#include "platform/update/UpdateFeeds.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <chrono>

namespace lq {

const QString AppcastUpdater::kAutomaticChecksKey = QStringLiteral("automaticallyChecksForUpdates");
const QString AppcastUpdater::kFeedURLKey = QStringLiteral("updateFeedURL");

namespace {

constexpr std::chrono::hours kCheckInterval{24};
constexpr int kTransferTimeoutMs = 30000;

} // namespace

AppcastUpdater::AppcastUpdater(QObject *parent)
    : Updater(parent)
    , m_network(std::make_unique<QNetworkAccessManager>())
    , m_currentVersion(Bundle::shortVersion())
{
    m_network->setTransferTimeout(kTransferTimeoutMs);
    m_dailyCheck.setInterval(kCheckInterval);
    connect(&m_dailyCheck, &QTimer::timeout, this, [this] { check(false); });
}

AppcastUpdater::~AppcastUpdater() = default;

bool AppcastUpdater::automaticallyChecksForUpdates() const
{
    return UserDefaults::standard().boolForKey(kAutomaticChecksKey);
}

void AppcastUpdater::setAutomaticallyChecksForUpdates(bool checks)
{
    UserDefaults::standard().setBool(kAutomaticChecksKey, checks);
    scheduleChecks();
    Q_EMIT automaticallyChecksForUpdatesChanged(checks);
}

QUrl AppcastUpdater::feedURL() const
{
    const QString stored = UserDefaults::standard().stringForKey(kFeedURLKey);
    return stored.isEmpty() ? UpdateFeeds::release() : QUrl(stored);
}

void AppcastUpdater::setFeedURL(const QUrl &url)
{
    UserDefaults::standard().setString(kFeedURLKey, url.toString());
    Q_EMIT feedURLChanged(url);
}

void AppcastUpdater::checkForUpdates()
{
    check(true);
}

void AppcastUpdater::start()
{
    if (UserDefaults::standard().contains(kAutomaticChecksKey)) {
        scheduleChecks();
        if (automaticallyChecksForUpdates())
            check(false);
    } else if (delegate() && delegate()->updaterShouldPromptForPermissionToCheckForUpdates(*this)) {
        Q_EMIT permissionRequested();
    }
}

void AppcastUpdater::setCurrentVersion(const QString &version)
{
    m_currentVersion = version;
}

void AppcastUpdater::scheduleChecks()
{
    if (automaticallyChecksForUpdates())
        m_dailyCheck.start();
    else
        m_dailyCheck.stop();
}

void AppcastUpdater::check(bool userInitiated)
{
    QNetworkReply *reply = m_network->get(QNetworkRequest(feedURL()));
    connect(reply, &QNetworkReply::finished, this, [this, reply, userInitiated] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError)
            finish(userInitiated, {}, reply->errorString());
        else
            finish(userInitiated, reply->readAll(), {});
    });
}

void AppcastUpdater::finish(bool userInitiated, const QByteArray &feed, const QString &failure)
{
    UpdateCheckResult result;
    result.userInitiated = userInitiated;
    result.currentVersion = m_currentVersion;
    result.failureReason = failure;
    if (failure.isEmpty()) {
        const std::optional<QList<AppcastItem>> items = Appcast::parse(feed);
        const std::optional<AppcastItem> newest = items ? Appcast::newest(*items) : std::nullopt;
        if (!newest) {
            result.failureReason = QStringLiteral("The update feed holds no release.");
        } else {
            result.newestVersion = newest->displayVersion();
            result.downloadURL = newest->downloadURL;
            result.status = Appcast::compareVersions(result.newestVersion, m_currentVersion) > 0
                                ? UpdateCheckResult::Status::NewerVersionAvailable
                                : UpdateCheckResult::Status::UpToDate;
        }
    }
    Q_EMIT checkFinished(result);
}

} // namespace lq
