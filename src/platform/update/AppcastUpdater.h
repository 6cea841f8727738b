#pragma once

#include "platform/update/Updater.h"

#include <QTimer>

#include <memory>

class QNetworkAccessManager;

namespace lq {

// The updater: settings kept in the user defaults, the feed read with Qt Network (http, https
// or a local file), the newest item compared with this program's version. Automatic checks run
// at start and then once a day while they are on.
class AppcastUpdater final : public Updater
{
    Q_OBJECT
public:
    explicit AppcastUpdater(QObject *parent = nullptr);
    ~AppcastUpdater() override;

    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool checks) override;
    QUrl feedURL() const override;
    void setFeedURL(const QUrl &url) override;
    void checkForUpdates() override;
    void start() override;

    // The version compared with the feed; the bundle's short version unless set.
    void setCurrentVersion(const QString &version);

    static const QString kAutomaticChecksKey; // "automaticallyChecksForUpdates"
    static const QString kFeedURLKey;         // "updateFeedURL"

private:
    void check(bool userInitiated);
    void finish(bool userInitiated, const QByteArray &feed, const QString &failure);
    void scheduleChecks();

    std::unique_ptr<QNetworkAccessManager> m_network;
    QTimer m_dailyCheck;
    QString m_currentVersion;
};

} // namespace lq
