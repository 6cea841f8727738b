#include "platform/document/Document.h"

#include "platform/document/SafeSaveLocation.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/AlertPresenter.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <atomic>

namespace lq {

namespace {

QString &autosaveFolderOverride()
{
    static QString folder;
    return folder;
}

std::atomic<int> g_autosaveDelaySeconds{900};

QDateTime modificationTime(const QString &path)
{
    return QFileInfo(path).lastModified();
}

} // namespace

void Document::withFileAccessLock(const std::function<void()> &work)
{
    // On the main thread the event loop keeps turning while it waits.
    if (isMainThread()) {
        runEventLoopUntil([this] { return m_fileAccess.try_lock(); }, std::chrono::hours(24 * 365));
    } else {
        m_fileAccess.lock();
    }
    const std::lock_guard guard(m_fileAccess, std::adopt_lock);
    work();
}

Document::Document(QObject *parent)
    : QObject(parent), m_undoManager(std::make_unique<UndoManager>())
{
    connect(m_undoManager.get(), &UndoManager::stepClosed, this,
            [this] { updateChangeCount(ChangeKind::Done); });
    connect(m_undoManager.get(), &UndoManager::stepUndone, this,
            [this] { updateChangeCount(ChangeKind::Undone); });
    connect(m_undoManager.get(), &UndoManager::stepRedone, this,
            [this] { updateChangeCount(ChangeKind::Redone); });
}

Document::~Document()
{
    waitForSaves();
}

void Document::setFileUrl(const QString &path)
{
    if (path == m_fileUrl)
        return;
    m_fileUrl = path;
    Q_EMIT fileUrlChanged(path);
}

QString Document::displayName() const
{
    if (m_fileUrl.isEmpty())
        return tr("Untitled");
    return QFileInfo(m_fileUrl).completeBaseName();
}

void Document::updateChangeCount(ChangeKind kind)
{
    const bool wasEdited = isDocumentEdited();
    switch (kind) {
    case ChangeKind::Done:
    case ChangeKind::Redone:
        ++m_changeCount;
        ++m_autosaveChangeCount;
        break;
    case ChangeKind::Undone:
        --m_changeCount;
        ++m_autosaveChangeCount;
        break;
    case ChangeKind::Cleared:
        m_changeCount = 0;
        m_autosaveChangeCount = 0;
        forgetCountsOfRunningSave();
        break;
    }
    changeCountChanged(wasEdited);
}

void Document::changeCountChanged(bool wasEdited)
{
    if (wasEdited != isDocumentEdited())
        Q_EMIT editedChanged(isDocumentEdited());
    if (hasUnautosavedChanges())
        scheduleAutosave();
    else if (m_autosaveTimer)
        m_autosaveTimer->stop();
}

void Document::scheduleAutosave()
{
    const int delay = autosaveDelay();
    if (delay <= 0)
        return;
    if (!m_autosaveTimer) {
        m_autosaveTimer = new QTimer(this);
        m_autosaveTimer->setSingleShot(true);
        connect(m_autosaveTimer, &QTimer::timeout, this, [this] {
            // Errors of periodic autosaves are logged: shown, they would come back every time.
            autosaveWithImplicitCancellability(true, [this](bool saved, const Error &error) {
                if (!saved && !error.isNull())
                    log(QStringLiteral("Autosave failed: %1").arg(error.localizedDescription()));
                // Changes that were not autosaved are tried again later.
                if (!saved && !isClosed() && hasUnautosavedChanges())
                    scheduleAutosave();
            });
        });
    }
    if (!m_autosaveTimer->isActive() && !isClosed())
        m_autosaveTimer->start(delay * 1000);
}

bool Document::openUrl(const QString &path, Error *error)
{
    bool read = false;
    performSynchronousFileAccess([&] {
        clearLeftovers(path, true);
        read = readFromUrl(path, error);
    });
    if (!read)
        return false;
    setFileUrl(path);
    updateChangeCount(ChangeKind::Cleared);
    return true;
}

bool Document::reopenAutosavedContents(const QString &path, Error *error)
{
    bool read = false;
    performSynchronousFileAccess([&] {
        clearLeftovers(path, false);
        read = readFromUrl(path, error);
    });
    if (!read)
        return false;
    setAutosavedContentsUrl(path);
    const bool wasEdited = isDocumentEdited();
    m_changeCount = 1;
    m_autosaveChangeCount = 0;
    changeCountChanged(wasEdited);
    return true;
}

void Document::setAutosavedContentsUrl(const QString &path)
{
    if (path == m_autosavedContentsUrl)
        return;
    m_autosavedContentsUrl = path;
    Q_EMIT autosavedContentsUrlChanged(path);
}

void Document::discardAutosavedContents()
{
    if (m_autosavedContentsUrl.isEmpty())
        return;
    FileOperations::current().remove(m_autosavedContentsUrl, nullptr);
    setAutosavedContentsUrl(QString());
}

bool Document::revertToContentsOfUrl(const QString &path, Error *error)
{
    bool read = false;
    performSynchronousFileAccess([&] { read = readFromUrl(path, error); });
    if (!read)
        return false;
    finishRevert(path);
    return true;
}

void Document::finishRevert(const QString &path)
{
    m_undoManager->removeAllActions();
    setFileUrl(path);
    updateChangeCount(ChangeKind::Cleared);
}

void Document::continueAsynchronousWorkOnMainThread(std::function<void()> work)
{
    postToMainThread(std::move(work));
}

void Document::performSynchronousFileAccess(const std::function<void()> &work)
{
    if (isMainThread()) {
        waitForSaves();
        withFileAccessLock(work);
        return;
    }
    const std::lock_guard writing(m_writing);
    withFileAccessLock(work);
}

bool Document::isCompleteFile(const QString &path) const
{
    return QFileInfo::exists(path);
}

void Document::clearLeftovers(const QString &path, bool offerNewer)
{
    FileOperations &files = FileOperations::current();
    for (const QString &replaced : SafeSaveLocation::replacedVersions(path))
        files.remove(replaced, nullptr);
    const bool stored = files.exists(path);
    for (const QString &leftover : SafeSaveLocation::unfinishedSaves(path)) {
        // Held while it is dealt with; one that a running save holds is left alone.
        const std::unique_ptr<SaveFolder> held = SaveFolder::hold(leftover);
        if (!held)
            continue;
        const bool newer = !stored || modificationTime(leftover) > modificationTime(path);
        if (!newer || !isCompleteFile(leftover)) {
            log(QStringLiteral("Removing %1, left by a save that did not finish.").arg(leftover));
            files.remove(leftover, nullptr);
            continue;
        }
        bool useIt = false;
        if (offerNewer && isMainThread()) {
            AlertRequest request;
            request.messageText =
                tr("A save of “%1” did not finish, but it left a complete copy that is newer "
                   "than the stored one.")
                    .arg(QFileInfo(path).fileName());
            request.informativeText =
                tr("You can open the newer copy instead, or keep both: the newer copy is then "
                   "kept beside the note as a recovered copy.");
            request.buttons = {tr("Open Newer Copy"), tr("Keep Both")};
            useIt = AlertPresenter::current().runModal(request).buttonIndex == 0;
        }
        if (useIt && SafeSaveLocation::commit(leftover, path, nullptr))
            continue;
        // Keep it where the user can see it; it is never lost silently.
        const QString recovered = SafeSaveLocation::recoveredName(path);
        Error moveError;
        if (files.move(leftover, recovered, &moveError)) {
            log(QStringLiteral("Kept %1, left by a save that did not finish, as %2.")
                    .arg(leftover, recovered));
        } else {
            log(QStringLiteral("Could not keep %1 as %2: %3")
                    .arg(leftover, recovered, moveError.localizedDescription()));
        }
    }
}

QString Document::autosaveElsewherePath()
{
    if (!m_autosavedContentsUrl.isEmpty())
        return m_autosavedContentsUrl;
    const QDir folder(autosaveFolder());
    if (!folder.exists() && !QDir().mkpath(folder.path()))
        return QString();
    const QString extension =
        fileExtension().isEmpty() ? QString() : QStringLiteral(".") + fileExtension();
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? tr("Untitled") : tr("Untitled %1").arg(n);
        const QString candidate = folder.filePath(name + extension);
        if (!FileOperations::current().exists(candidate) &&
            SafeSaveLocation::unfinishedSaves(candidate).isEmpty())
            return candidate;
    }
}

QString Document::autosaveFolder()
{
    if (!autosaveFolderOverride().isEmpty())
        return autosaveFolderOverride();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/") + Bundle::name() + QStringLiteral("/Autosave Information");
}

void Document::setAutosaveFolder(const QString &folder)
{
    autosaveFolderOverride() = folder;
}

void Document::setAutosaveDelay(int seconds)
{
    g_autosaveDelaySeconds = seconds;
}

int Document::autosaveDelay()
{
    return g_autosaveDelaySeconds;
}

} // namespace lq
