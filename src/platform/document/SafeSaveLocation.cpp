#include "platform/document/SafeSaveLocation.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>

namespace lq {

namespace {

struct FileIdentity
{
    bool valid = false;
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity &) const = default;
};

FileIdentity identityOf(const QString &path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    return {true, status.st_dev, status.st_ino};
}

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

} // namespace

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
    const FileIdentity writtenIdentity = identityOf(written);
    // A rename that happened but whose folder sync failed still put the new package in place:
    // it must then count as done, or the old package would be taken for the unused new one.
    const auto tookPlace = [&] {
        return writtenIdentity.valid && identityOf(destination) == writtenIdentity;
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
