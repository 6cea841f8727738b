#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

namespace lq {

class Updater;

// Questions the updater asks its owner.
class UpdaterDelegate
{
public:
    virtual ~UpdaterDelegate() = default;
    // Whether to ask the user, while automatic checks were never chosen, to turn them on.
    virtual bool updaterShouldPromptForPermissionToCheckForUpdates(Updater &updater) = 0;
};

struct UpdateCheckResult
{
    enum class Status { NewerVersionAvailable, UpToDate, Failed };
    Status status = Status::Failed;
    bool userInitiated = false;
    QString currentVersion;
    QString newestVersion; // of the feed's newest item; empty when the check failed
    QUrl downloadURL;      // where the newest version is found
    QString failureReason;
};

// Tells the user whether a newer version exists and where; it never installs anything (the
// package manager does). Main thread only.
class Updater : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool checks) = 0;
    virtual QUrl feedURL() const = 0;
    virtual void setFeedURL(const QUrl &url) = 0;
    virtual void checkForUpdates() = 0; // the user's menu command

    // Starts automatic checks if they are on, or asks the delegate whether to ask for them.
    virtual void start() = 0;

    UpdaterDelegate *delegate() const { return m_delegate; }
    void setDelegate(UpdaterDelegate *delegate) { m_delegate = delegate; }

    // The updater every caller uses: an AppcastUpdater unless a test installed another.
    static Updater &shared();
    static Updater *setShared(Updater *updater);

Q_SIGNALS:
    // Emitted on every change.
    void automaticallyChecksForUpdatesChanged(bool checks);
    void feedURLChanged(const QUrl &url);
    void checkFinished(const lq::UpdateCheckResult &result);
    // The delegate allowed asking the user whether to check automatically.
    void permissionRequested();

private:
    UpdaterDelegate *m_delegate = nullptr;
};

} // namespace lq
