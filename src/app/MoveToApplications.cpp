#include "app/MoveToApplications.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/ReplaceableService.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/AlertPresenter.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

constexpr char kSuppressKey[] = "moveToApplicationsFolderAlertSuppress";

lq::ReplaceableService<MoveToApplicationsSystem> g_system;

QString text(const char *english)
{
    return QCoreApplication::translate("MoveApplication", english);
}

void logLine(const QString &line)
{
    lq::log(line + QLatin1Char('\n'));
}

// Inside folder, compared by whole path components ("/optional" is not inside "/opt").
bool isInside(const QString &path, const QString &folder)
{
    QString prefix = QDir::cleanPath(folder);
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    return QDir::cleanPath(path).startsWith(prefix);
}

bool isInsideAny(const QString &path, const QStringList &folders)
{
    return std::any_of(folders.cbegin(), folders.cend(),
                       [&path](const QString &folder) { return isInside(path, folder); });
}

std::string localPath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

// Moving, and starting the new copy once this process has ended.
class ApplicationMove
{
public:
    ApplicationMove(MoveToApplicationsSystem &system, QString bundle)
        : m_system(system)
        , m_bundle(std::move(bundle))
        , m_destination(
              QDir(system.localApplicationsFolder()).filePath(QFileInfo(m_bundle).fileName()))
        , m_needsAuthorization(!system.isWritable(system.localApplicationsFolder()))
        , m_readOnlyVolume(!system.isWritable(m_bundle) && system.isOnRemovableMedia(m_bundle))
    {}

    bool offer() const
    {
        lq::AlertRequest alert;
        alert.messageText = text("Move to Applications folder?");
        alert.informativeText = text("I can move myself to the Applications folder if you'd like.");
        if (m_needsAuthorization)
            alert.informativeText +=
                QLatin1Char(' ') + text("Note that this will require an administrator password.");
        else if (isInsideAny(m_bundle, m_system.downloadsFolders()))
            alert.informativeText +=
                QLatin1Char(' ') + text("This will keep your Downloads folder uncluttered.");
        alert.buttons = {text("Move to Applications Folder"), text("Do Not Move")};
        alert.escapeButton = 1;
        alert.showsSuppressionButton = true;
        alert.style = lq::AlertRequest::Style::Informational;
        const lq::AlertResponse answer = lq::AlertPresenter::current().runModal(alert);
        if (answer.buttonIndex == 0)
            return true;
        if (answer.suppressed)
            lq::UserDefaults::standard().setBool(QLatin1String(kSuppressKey), true);
        return false;
    }

    // True when this process must end.
    bool move()
    {
        logLine(QStringLiteral("INFO -- Moving myself to the Applications folder"));
        if (m_needsAuthorization) {
            switch (copyWithAuthorization()) {
            case Outcome::Canceled:
                logLine(QStringLiteral("INFO -- Not moving because user canceled authorization"));
                return false;
            case Outcome::Failed:
                logLine(QStringLiteral(
                    "ERROR -- Could not copy myself to /Applications with authorization"));
                return failed();
            case Outcome::Copied:
                break;
            }
        } else {
            if (m_system.exists(m_destination)) {
                if (m_system.isRunningInside(m_destination)) {
                    logLine(QStringLiteral("INFO -- Switching to an already running version"));
                    m_system.startDetached(destinationExecutable(), {});
                    return true;
                }
                if (!Trash(m_destination))
                    return failed();
            }
            QString error;
            if (!m_system.copyFolder(m_bundle, m_destination, &error)) {
                logLine(QStringLiteral("ERROR -- Could not copy '%1' to '%2' (%3)")
                            .arg(m_bundle, m_destination, error));
                logLine(QStringLiteral("ERROR -- Could not copy myself to %1").arg(m_destination));
                return failed();
            }
        }
        if (!m_readOnlyVolume && !Trash(m_bundle))
            logLine(QStringLiteral(
                "WARNING -- Could not delete application after moving it to Applications folder"));
        relaunch();
        return true;
    }

private:
    enum class Outcome { Copied, Canceled, Failed };

    Outcome copyWithAuthorization()
    {
        if (!m_destination.endsWith(QLatin1String(".app")) || m_destination.trimmed().isEmpty() ||
            m_bundle.trimmed().isEmpty())
            return Outcome::Failed;
        // The paths are the script's arguments, never part of its text.
        const int status = m_system.runPrivileged(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"), QStringLiteral("rm -rf -- \"$1\" && cp -pR -- \"$2\" \"$1\""),
             QStringLiteral("sh"), m_destination, m_bundle});
        if (status == 126)
            return Outcome::Canceled;
        return status == 0 ? Outcome::Copied : Outcome::Failed;
    }

    QString destinationExecutable() const
    {
        return QDir(m_destination).filePath(m_system.executableInBundle());
    }

    void relaunch()
    {
        m_system.startDetached(
            QStringLiteral("/bin/sh"),
            {QStringLiteral("-c"),
             QStringLiteral("while kill -0 \"$1\" 2>/dev/null; do sleep 0.1; done; exec \"$2\""),
             QStringLiteral("sh"), QString::number(m_system.processId()), destinationExecutable()});
        if (m_readOnlyVolume)
            m_system.startDetached(QStringLiteral("/bin/sh"),
                                   {QStringLiteral("-c"),
                                    QStringLiteral("sleep 5 && gio mount -u -- \"$1\""),
                                    QStringLiteral("sh"), QFileInfo(m_bundle).path()});
    }

    static bool failed()
    {
        lq::AlertRequest alert;
        alert.messageText = text("Could not move to Applications folder");
        alert.style = lq::AlertRequest::Style::Critical;
        lq::AlertPresenter::current().runModal(alert);
        return false;
    }

    MoveToApplicationsSystem &m_system;
    const QString m_bundle;
    const QString m_destination;
    const bool m_needsAuthorization;
    const bool m_readOnlyVolume;
};

} // namespace

QString MoveToApplicationsSystem::bundlePath() const
{
    QDir folder(QCoreApplication::applicationDirPath());
    if (folder.dirName() != QLatin1String("bin") || !folder.cdUp())
        return {};
    const bool relocatable = folder.dirName().endsWith(QLatin1String(".app")) &&
                             QFileInfo(folder.filePath(QStringLiteral("share"))).isDir();
    return relocatable ? folder.absolutePath() : QString();
}

QString MoveToApplicationsSystem::executableInBundle() const
{
    return QStringLiteral("bin/") + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

QStringList MoveToApplicationsSystem::applicationsFolders() const
{
    return {QDir::home().filePath(QStringLiteral("Applications")), localApplicationsFolder()};
}

QString MoveToApplicationsSystem::localApplicationsFolder() const
{
    return QStringLiteral("/opt");
}

QStringList MoveToApplicationsSystem::downloadsFolders() const
{
    return QStandardPaths::standardLocations(QStandardPaths::DownloadLocation);
}

bool MoveToApplicationsSystem::isWritable(const QString &path) const
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

bool MoveToApplicationsSystem::exists(const QString &path) const
{
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(localPath(path), error));
}

bool MoveToApplicationsSystem::isOnRemovableMedia(const QString &path) const
{
    return isInsideAny(path, {QStringLiteral("/media"), QStringLiteral("/run/media")});
}

bool MoveToApplicationsSystem::moveToTrash(const QString &path)
{
    return QFile::moveToTrash(path);
}

bool MoveToApplicationsSystem::copyFolder(const QString &source, const QString &destination,
                                          QString *error)
{
    namespace fs = std::filesystem;
    std::error_code failure;
    fs::copy(localPath(source), localPath(destination),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks, failure);
    if (failure && error)
        *error = QString::fromStdString(failure.message());
    return !failure;
}

bool MoveToApplicationsSystem::isRunningInside(const QString &folder) const
{
    QDirIterator processes(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (processes.hasNext()) {
        const QString process = processes.next();
        const QString executable =
            QFile::symLinkTarget(QDir(process).filePath(QStringLiteral("exe")));
        if (!executable.isEmpty() && isInside(executable, folder))
            return true;
    }
    return false;
}

int MoveToApplicationsSystem::runPrivileged(const QString &program, const QStringList &arguments)
{
    QProcess pkexec;
    pkexec.start(QStringLiteral("pkexec"), QStringList{program} + arguments);
    if (!pkexec.waitForFinished(-1) || pkexec.exitStatus() != QProcess::NormalExit)
        return -1;
    return pkexec.exitCode();
}

void MoveToApplicationsSystem::startDetached(const QString &program, const QStringList &arguments)
{
    QProcess::startDetached(program, arguments);
}

qint64 MoveToApplicationsSystem::processId() const
{
    return QCoreApplication::applicationPid();
}

MoveToApplicationsSystem &MoveToApplicationsSystem::current()
{
    static MoveToApplicationsSystem real;
    return g_system.current(real);
}

MoveToApplicationsSystem *MoveToApplicationsSystem::setCurrent(MoveToApplicationsSystem *system)
{
    return g_system.install(system);
}

bool Trash(const QString &path)
{
    if (MoveToApplicationsSystem::current().moveToTrash(path))
        return true;
    logLine(QStringLiteral("ERROR -- Could not trash '%1'").arg(path));
    return false;
}

bool PFMoveToApplicationsFolderIfNecessary()
{
    MoveToApplicationsSystem &system = MoveToApplicationsSystem::current();
    const QString bundle = system.bundlePath();
    if (bundle.isEmpty() || lq::UserDefaults::standard().boolForKey(QLatin1String(kSuppressKey)) ||
        isInsideAny(bundle, system.applicationsFolders()))
        return false;
    if (!system.isWritable(bundle) && !system.isOnRemovableMedia(bundle)) {
        logLine(QStringLiteral("INFO -- No access to delete the app. Not offering to move it."));
        return false;
    }
    ApplicationMove move(system, bundle);
    return move.offer() && move.move();
}
