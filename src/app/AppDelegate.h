#pragma once

#include "app/SingleInstanceLock.h"
#include "preferences/SparkleDelegate.h"

#include <QObject>
#include <QString>

#include <memory>

class PrefsWindowController;
class UpdateAlerts;

namespace lq {
class SystemSleepMonitor;
class Updater;
} // namespace lq

// The program's one-time start-up work and its single-instance lock: the data folder, the lock,
// the menu items start-up adds (Check For Updates, full screen), the PDF service link, the About
// window, and the release of the lock when the program ends. Main thread only.
class AppDelegate final : public QObject
{
    Q_OBJECT
public:
    static constexpr char kLockFileName[] = "ASLock";
    static constexpr char kPdfServiceName[] = "Send PDF to Luma Quill";

    // The delegate, made on the first call (the preferences controller, the updater's delegate
    // and alerts, the first-run defaults); later calls answer the same object.
    static AppDelegate &init();
    // Null before init.
    static AppDelegate *sharedAppDelegate();
    // Ends the delegate (the program's end; tests start afresh).
    static void destroy();

    ~AppDelegate() override;

    // The start-up steps, once; false when the program must end before its event loop (the
    // data folder cannot be made, another copy runs, or the program moved itself). Later calls do
    // nothing and answer true.
    bool awakeFromNib();

    // Makes sure the program's folder under the user's data folder exists (its parents too);
    // false after an alert.
    static bool createAppSuppDir(const QString &path);
    // Takes the single-instance lock in folder; true, after an alert, when another copy holds
    // it. existed tells whether the lock file was there already.
    bool anotherCopyRunning(const QString &folder, bool *existed = nullptr);
    // Closes and deletes the lock file (the program ends).
    void goingDown();

    // The program's folder under the user's data folder; empty when none is known.
    static QString appSupportFolder();
    // Makes or repairs the link libraryFolder/"PDF Services"/"Send PDF to Luma Quill" to
    // target, silently; nothing without a "PDF Services" folder.
    static void createPDFService(const QString &libraryFolder, const QString &target);

    void addUpdateMenuItem();
    // Offers the crash log the last run left, when there is one; true when it was offered.
    static bool justCrashed();
    void addFullScreenMenuItem();
    // "Version 3.1 (build …)".
    static QString versionString();
    void showAboutWindow();
    // Shows the preferences window, made on first use.
    void openPreferencesWindow();

    const SingleInstanceLock &lock() const { return m_lock; }

private:
    AppDelegate();

    bool m_awoken = false;
    SingleInstanceLock m_lock;
    lq::Updater &m_updater;
    SparkleDelegate m_sparkleDel;
    std::unique_ptr<UpdateAlerts> m_updateAlerts;
    std::unique_ptr<PrefsWindowController> m_prefsWindow;
    lq::SystemSleepMonitor *m_sleepMonitor = nullptr;
};
