#include "app/AppDelegate.h"

#include "app/CrashReporter.h"
#include "app/MoveToApplications.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertPresenter.h"
#include "platform/ui/MainMenu.h"
#include "platform/ui/SystemSleepMonitor.h"
#include "platform/update/Updater.h"
#include "preferences/PrefsController.h"
#include "preferences/UpdateAlerts.h"
#include "shared/AppFolders.h"
#include "window/PrefsWindowController.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeySequence>
#include <QMenu>
#include <QMessageBox>
#include <QStandardPaths>

#include <filesystem>
#include <system_error>

namespace {

AppDelegate *g_delegate = nullptr;

const QString kHelpMenu = QStringLiteral("Help");
const QString kViewMenu = QStringLiteral("View");
constexpr int kUpdateItemIndex = 2;

void registerFirstRunDefaults()
{
    lq::UserDefaults &defaults = lq::UserDefaults::standard();
    if (!defaults.contains(QStringLiteral("audioBoost")))
        defaults.setFloat(QStringLiteral("audioBoost"), 5.0f);
    if (!defaults.contains(QStringLiteral("checkSpellingByDefault")))
        defaults.setBool(QStringLiteral("checkSpellingByDefault"), true);
}

void showSupportFolderError(const QString &path, const QString &detail, bool informative)
{
    lq::AlertRequest alert;
    alert.style = lq::AlertRequest::Style::Critical;
    alert.messageText = QObject::tr("Error creating Support directory: %1").arg(path);
    if (informative)
        alert.informativeText = detail;
    else
        alert.messageText += QObject::tr(": %1").arg(detail);
    lq::AlertPresenter::current().runModal(alert);
}

QWidget *activeTopLevel()
{
    QWidget *window = QApplication::activeWindow();
    return window ? window->window() : nullptr;
}

} // namespace

AppDelegate::AppDelegate() : m_updater(lq::Updater::shared())
{
    PrefsController::sharedController();
    m_updater.setDelegate(&m_sparkleDel);
    m_updateAlerts = std::make_unique<UpdateAlerts>(m_updater);
    registerFirstRunDefaults();
}

AppDelegate::~AppDelegate()
{
    if (m_updater.delegate() == &m_sparkleDel)
        m_updater.setDelegate(nullptr);
    goingDown();
}

AppDelegate &AppDelegate::init()
{
    if (!g_delegate)
        g_delegate = new AppDelegate;
    return *g_delegate;
}

AppDelegate *AppDelegate::sharedAppDelegate()
{
    return g_delegate;
}

void AppDelegate::destroy()
{
    delete g_delegate;
    g_delegate = nullptr;
}

QString AppDelegate::appSupportFolder()
{
    return appSupportPaths().value(UserDomain).value(0);
}

bool AppDelegate::awakeFromNib()
{
    if (m_awoken)
        return true;
    m_awoken = true;

    const QString folder = appSupportFolder();
    if (!createAppSuppDir(folder) || anotherCopyRunning(folder))
        return false;
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::goingDown);
    addUpdateMenuItem();
    if (justCrashed())
        lq::log(QStringLiteral("Crashed previously\n"));
    // Moved into the applications folder: the new copy starts once this one has ended.
    if (PFMoveToApplicationsFolderIfNecessary())
        return false;
    createPDFService(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                     QCoreApplication::applicationFilePath());
    addFullScreenMenuItem();
    m_sleepMonitor = new lq::SystemSleepMonitor(this);
    m_updater.start();
    return true;
}

bool AppDelegate::createAppSuppDir(const QString &path)
{
    namespace fs = std::filesystem;
    const fs::path where(QFile::encodeName(path).toStdString());
    std::error_code error;
    const fs::file_status status = fs::symlink_status(where, error);
    if (fs::exists(status) && !fs::is_directory(fs::status(where, error))) {
        if (!fs::remove(where, error)) {
            showSupportFolderError(path, QString::fromStdString(error.message()), true);
            return false;
        }
    }
    if (fs::is_directory(where, error))
        return true;
    // The user's data folder itself may be missing on a fresh account.
    fs::create_directories(where, error);
    if (error || !fs::is_directory(where, error)) {
        showSupportFolderError(path, QString::fromStdString(error.message()), false);
        return false;
    }
    return true;
}

bool AppDelegate::anotherCopyRunning(const QString &folder, bool *existed)
{
    if (folder.isEmpty()) {
        lq::log(QStringLiteral("Failed to find app support directory\n"));
        return false;
    }
    if (m_lock.fd() >= 0)
        return false;
    switch (m_lock.acquire(QDir(folder).filePath(QLatin1String(kLockFileName)), existed)) {
    case SingleInstanceLock::Outcome::Taken:
        return false;
    case SingleInstanceLock::Outcome::NoLockFile:
        lq::log(QStringLiteral("Failed to create ASLock file, continuing\n"));
        return false;
    case SingleInstanceLock::Outcome::Held:
        break;
    }
    lq::AlertRequest alert;
    alert.messageText = tr("Error: Luma Quill is already running");
    alert.informativeText = tr("This copy of Luma Quill will now exit. Please exit all other "
                               "copies of Luma Quill if you would like to run this one.");
    lq::AlertPresenter::current().runModal(alert);
    return true;
}

void AppDelegate::goingDown()
{
    m_lock.release();
}

void AppDelegate::createPDFService(const QString &libraryFolder, const QString &target)
{
    if (libraryFolder.isEmpty())
        return;
    namespace fs = std::filesystem;
    const QString linkPath =
        QDir(libraryFolder)
            .filePath(QStringLiteral("PDF Services/") + QLatin1String(kPdfServiceName));
    const fs::path link(QFile::encodeName(linkPath).toStdString());
    const std::string wanted = QFile::encodeName(target).toStdString();
    std::error_code error;
    // The test follows links: a link whose target is gone counts as absent.
    if (fs::exists(link, error) && fs::is_symlink(link, error) &&
        fs::read_symlink(link, error).string() == wanted)
        return;
    fs::remove(link, error);
    fs::create_symlink(wanted, link, error);
}

bool AppDelegate::justCrashed()
{
    return JXCrashReporterCheckForCrash();
}

void AppDelegate::addUpdateMenuItem()
{
    lq::MainMenu *mainMenu = lq::MainMenu::current();
    QMenu *help = mainMenu ? mainMenu->menuTitled(kHelpMenu) : nullptr;
    if (!help)
        return;
    auto *item = new QAction(tr("Check For Updates"), help);
    connect(item, &QAction::triggered, &m_updater, &lq::Updater::checkForUpdates);
    const QList<QAction *> actions = help->actions();
    help->insertAction(actions.value(kUpdateItemIndex), item);
}

void AppDelegate::addFullScreenMenuItem()
{
    lq::MainMenu *mainMenu = lq::MainMenu::current();
    QMenu *view = mainMenu ? mainMenu->menuTitled(kViewMenu) : nullptr;
    if (!view)
        return;
    view->addSeparator();
    auto *item = view->addAction(tr("Enter Full Screen"));
    // Ctrl+Meta+F as the desktop convention of the key, F11 as this desktop's.
    item->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::META | Qt::Key_F), QKeySequence(QKeySequence::FullScreen)});
    connect(item, &QAction::triggered, this, [] {
        if (QWidget *window = activeTopLevel())
            window->setWindowState(window->windowState() ^ Qt::WindowFullScreen);
    });
    connect(view, &QMenu::aboutToShow, item, [item] {
        const QWidget *window = activeTopLevel();
        const bool full = window && window->isFullScreen();
        item->setText(full ? tr("Exit Full Screen") : tr("Enter Full Screen"));
    });
}

QString AppDelegate::versionString()
{
    const auto orUnknown = [](const QString &value) {
        return value.isEmpty() ? tr("unknown") : value;
    };
    return tr("Version %1 (build %2)")
        .arg(orUnknown(lq::Bundle::shortVersion()), orUnknown(lq::Bundle::buildRevision()));
}

void AppDelegate::showAboutWindow()
{
    QMessageBox about(activeTopLevel());
    about.setWindowTitle(tr("About Luma Quill"));
    about.setIconPixmap(QApplication::windowIcon().pixmap(128, 128));
    about.setText(QStringLiteral("<b>%1</b>").arg(lq::Bundle::name().toHtmlEscaped()));
    about.setInformativeText(
        versionString() + QStringLiteral("\n\n") +
        tr("Takes notes while it records sound and video, and plays the recording back from "
           "any word of the notes."));
    about.exec();
}

void AppDelegate::openPreferencesWindow()
{
    if (!m_prefsWindow)
        m_prefsWindow =
            std::make_unique<PrefsWindowController>(PrefsController::sharedController());
    m_prefsWindow->show();
}
