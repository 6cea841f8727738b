#include "platform/document/SafeSaveLocation.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace lq {

namespace {

// Fresh folders made for one save: more than one only when a clearing save takes the first
// between its making and its locking.
constexpr int kFreshFolderAttempts = 3;

const QString kSavingMarker = QStringLiteral(".saving-");
const QString kReplacedMarker = QStringLiteral(".replaced-");

QString siblingPrefix(const QString &destination, const QString &marker)
{
    return QStringLiteral(".") + QFileInfo(destination).fileName() + marker;
}

QString freshName(const QString &destination, const QString &marker)
{
    const QDir folder = QFileInfo(destination).absoluteDir();
    FileOperations &files = FileOperations::current();
    for (;;) {
        const QString candidate = folder.filePath(
            siblingPrefix(destination, marker) +
            QString::number(QRandomGenerator::global()->generate64() & 0xffffffffffULL, 36));
        if (!files.exists(candidate))
            return candidate;
    }
}

QStringList siblings(const QString &destination, const QString &marker)
{
    const QDir folder = QFileInfo(destination).absoluteDir();
    QStringList found;
    const QString prefix = siblingPrefix(destination, marker);
    for (const QString &name :
         folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (name.startsWith(prefix) && name.size() > prefix.size())
            found.append(folder.filePath(name));
    }
    return found;
}

int openForLock(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(),
                  O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
}

} // namespace

SaveFolder::SaveFolder(QString path, int descriptor)
    : m_path(std::move(path)), m_descriptor(descriptor)
{}

SaveFolder::~SaveFolder()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool SaveFolder::lock()
{
    if (m_descriptor < 0) // nothing a save could have locked
        return true;
    if (::flock(m_descriptor, LOCK_EX | LOCK_NB) != 0)
        return errno != EWOULDBLOCK; // other errors: a file system without locks
    struct stat opened;
    return ::fstat(m_descriptor, &opened) == 0 &&
           FileIdentity::of(m_path) == FileIdentity{true, static_cast<uint64_t>(opened.st_dev),
                                                    static_cast<uint64_t>(opened.st_ino)};
}

std::unique_ptr<SaveFolder> SaveFolder::makeFresh(const QString &destination, Error *error)
{
    for (int attempt = 0; attempt < kFreshFolderAttempts; ++attempt) {
        const QString path = SafeSaveLocation::freshSibling(destination);
        // Not synced: it only matters once the save's result takes the stored file's place.
        if (::mkdir(QFile::encodeName(path).constData(), 0755) != 0) {
            const int code = errno;
            if (code == EEXIST)
                continue;
            setError(error, Error(QStringLiteral("saving"), code,
                                  QStringLiteral("The folder “%1” for the save could not be made "
                                                 "(%2).")
                                      .arg(path, QString::fromLocal8Bit(std::strerror(code)))));
            return nullptr;
        }
        // Gone or taken: a save clearing leftovers took it and removes it.
        const int descriptor = openForLock(path);
        if (descriptor < 0)
            continue;
        std::unique_ptr<SaveFolder> folder(new SaveFolder(path, descriptor));
        if (folder->lock())
            return folder;
    }
    setError(error, Error(QStringLiteral("saving"), EBUSY,
                          QStringLiteral("No folder for the save of “%1” could be made, because "
                                         "other saves kept clearing them.")
                              .arg(destination)));
    return nullptr;
}

std::unique_ptr<SaveFolder> SaveFolder::hold(const QString &path)
{
    const int descriptor = openForLock(path);
    if (descriptor < 0 && errno == ENOENT)
        return nullptr;
    // One that cannot be opened (a link) was never locked by a save.
    std::unique_ptr<SaveFolder> folder(new SaveFolder(path, descriptor));
    return folder->lock() ? std::move(folder) : nullptr;
}

QString SafeSaveLocation::freshSibling(const QString &destination)
{
    return freshName(destination, kSavingMarker);
}

QStringList SafeSaveLocation::unfinishedSaves(const QString &destination)
{
    return siblings(destination, kSavingMarker);
}

QStringList SafeSaveLocation::replacedVersions(const QString &destination)
{
    return siblings(destination, kReplacedMarker);
}

bool SafeSaveLocation::commit(const QString &written, const QString &destination, Error *error)
{
    FileOperations &files = FileOperations::current();
    const FileIdentity writtenIdentity = FileIdentity::of(written);
    // A rename that happened but whose folder sync failed still put the new package in place:
    // it must then count as done, or the old package would be taken for the unused new one.
    const auto tookPlace = [&] {
        return writtenIdentity.valid && FileIdentity::of(destination) == writtenIdentity;
    };
    const auto reportUnsynced = [&](const Error &syncError) {
        log(QStringLiteral("%1 was saved, but it may not be on the disk yet: %2")
                .arg(destination, syncError.localizedDescription()));
    };
    Error stepError;
    if (!files.exists(destination)) {
        if (files.move(written, destination, &stepError))
            return true;
        if (tookPlace()) {
            reportUnsynced(stepError);
            return true;
        }
        files.remove(written, nullptr);
        setError(error, stepError);
        return false;
    }
    if (!files.exchange(written, destination, &stepError)) {
        if (!tookPlace()) {
            files.remove(written, nullptr);
            setError(error, stepError);
            return false;
        }
        reportUnsynced(stepError);
    }
    // The old package now sits at the sibling name. Marked as replaced before its removal
    // starts, so that a half-removed one is never taken for a complete unfinished save.
    const QString replaced = freshName(destination, kReplacedMarker);
    const QString old = files.move(written, replaced, nullptr) ? replaced : written;
    Error removeError;
    if (!files.remove(old, &removeError)) {
        log(QStringLiteral("The previous version of %1 could not be removed after saving: %2")
                .arg(destination, removeError.localizedDescription()));
    }
    return true;
}

QString SafeSaveLocation::recoveredName(const QString &destination)
{
    const QFileInfo info(destination);
    const QString suffix =
        info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix();
    const QString stem = info.completeBaseName();
    FileOperations &files = FileOperations::current();
    for (int n = 1;; ++n) {
        const QString label =
            n == 1 ? QStringLiteral(" (recovered)") : QStringLiteral(" (recovered %1)").arg(n);
        const QString candidate = info.absoluteDir().filePath(stem + label + suffix);
        if (!files.exists(candidate))
            return candidate;
    }
}

} // namespace lq
