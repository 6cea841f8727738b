#include "document/PackageWriter.h"

#include "model/WrenRecording.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"

#include <QFileInfo>

namespace {

lq::FileOperations &files()
{
    return lq::FileOperations::current();
}

bool isSymbolicLink(const QString &path)
{
    return QFileInfo(path).isSymLink();
}

} // namespace

lq::Error PackageWriter::savingError(int code, const QString &message, const lq::Error *underlying)
{
    const lq::Error error(QStringLiteral("saving"), code, message);
    lq::log(message + QLatin1Char('\n'));
    return underlying ? error.withUnderlyingError(*underlying) : error;
}

QString PackageWriter::memberPath(const QString &name) const
{
    return m_target + QLatin1Char('/') + name;
}

bool PackageWriter::makePackageFolder(lq::Error *error)
{
    const QFileInfo info(m_target);
    if (info.isDir() && !info.isSymLink())
        return true;
    lq::Error cause;
    int code = 2;
    if (files().exists(m_target)) {
        if (!files().remove(m_target, &cause)) {
            lq::setError(
                error,
                savingError(3,
                            QStringLiteral("Failed to remove file %1 while saving.").arg(m_target),
                            &cause));
            return false;
        }
        code = 4;
    }
    if (files().makeFolder(m_target, &cause))
        return true;
    lq::setError(error,
                 savingError(code, QStringLiteral("Failed to create file %1 while saving: %2")
                                       .arg(m_target, cause.localizedDescription())));
    return false;
}

bool PackageWriter::writeMember(const QString &name, const QByteArray &data, int code,
                                lq::Error *error)
{
    const QString path = memberPath(name);
    lq::Error cause;
    if (files().writeFile(path, data, &cause))
        return true;
    lq::setError(
        error, savingError(code, QStringLiteral("Failed to create file %1 while saving.").arg(path),
                           &cause));
    return false;
}

bool PackageWriter::writeImages(const QList<BMImageFileEntry> &images, const QString &storedPackage,
                                lq::Error *error)
{
    for (const BMImageFileEntry &image : images) {
        if (!WrenRecording::isPlainFileName(image.filePath)) {
            lq::log(QStringLiteral("Image file name \"%1\" is not a plain file name; the image "
                                   "is not saved.\n")
                        .arg(image.filePath));
            continue;
        }
        const QString destination = memberPath(image.filePath);
        if (image.fileUnchanged && !storedPackage.isEmpty() &&
            files().hardLink(storedPackage + QLatin1Char('/') + image.filePath, destination,
                             nullptr))
            continue;
        if (files().exists(destination))
            files().remove(destination, nullptr); // a link that failed half-way
        lq::Error cause;
        if (!files().writeFile(destination, image.fileData, &cause)) {
            lq::setError(error, savingError(93,
                                            QStringLiteral("Failed to write image file %1 while "
                                                           "saving.")
                                                .arg(destination),
                                            &cause));
            return false;
        }
    }
    return true;
}

PackageWriter::HeldFiles::~HeldFiles()
{
    for (const HeldFile &file : files) {
        if (file.kind == HeldFile::Kind::Staged)
            lq::FileOperations::current().remove(file.staged, nullptr);
    }
}

void PackageWriter::holdFiles(const MediaFiles &media, HeldFiles *held) const
{
    for (const QString &path : media.paths)
        held->files.push_back(hold(path, media));
}

PackageWriter::HeldFile PackageWriter::hold(const QString &path, const MediaFiles &media) const
{
    using Kind = HeldFile::Kind;
    HeldFile file;
    file.path = path;
    if (!files().exists(path)) {
        file.kind = Kind::Missing;
        return file;
    }
    if (isSymbolicLink(path)) {
        file.linkTarget = files().readLink(path, nullptr);
        file.kind = file.linkTarget.isEmpty() ? Kind::Copied : Kind::SymbolicLink;
        return file;
    }
    const QString name = QFileInfo(path).fileName();
    const QString destination = memberPath(name);
    // The file being recorded grows while the save runs; a name met twice is the writer's to
    // sort out.
    if (path == media.currentRecordingFile || !WrenRecording::isPlainFileName(name) ||
        files().exists(destination))
        return file;
    file.identity = lq::FileIdentity::of(path);
    if (files().hardLinkUnsynced(path, destination, nullptr)) {
        file.kind = Kind::Linked;
        return file;
    }
    const QString staged = lq::temporaryPathBeside(path);
    if (files().hardLinkUnsynced(path, staged, nullptr)) {
        file.kind = Kind::Staged;
        file.staged = staged;
        return file;
    }
    file.identity = {};
    return file;
}

bool PackageWriter::bringInFiles(const HeldFiles &held, const MediaFiles &media,
                                 const MissingFileQuestion &ask,
                                 const std::function<void(const QString &)> &forget, bool *complete,
                                 lq::Error *error)
{
    *complete = true;
    for (const HeldFile &file : held.files) {
        const bool missing = file.kind == HeldFile::Kind::Missing ||
                             (file.kind == HeldFile::Kind::Copied && !files().exists(file.path));
        if (!missing) {
            if (!bringInHeldFile(file, media, error))
                return false;
            continue;
        }
        const bool isSlides = file.path == media.slidesPath;
        if (!ask(file.path, isSlides)) {
            lq::setError(
                error,
                savingError(
                    8, QStringLiteral("Failed to locate file %1 while saving.").arg(file.path)));
            return false;
        }
        lq::log(QStringLiteral("Failed to locate file %1 while saving, continuing due to user "
                               "choice\n")
                    .arg(file.path));
        *complete = false;
        if (!isSlides)
            forget(file.path);
    }
    return true;
}

bool PackageWriter::bringInHeldFile(const HeldFile &file, const MediaFiles &media, lq::Error *error)
{
    const QString destination = memberPath(QFileInfo(file.path).fileName());
    lq::Error cause;
    switch (file.kind) {
    case HeldFile::Kind::Linked:
    case HeldFile::Kind::Missing:
        return true;
    case HeldFile::Kind::Staged:
        return files().copy(file.staged, destination, &cause) ||
               copyFailed(file.path, destination, cause, error);
    case HeldFile::Kind::SymbolicLink:
        if (files().symbolicLink(file.linkTarget, destination, &cause))
            return true;
        lq::setError(error, savingError(10,
                                        QStringLiteral("Failed to copy file %1 (a symbolic link) "
                                                       "to %2 while saving.")
                                            .arg(file.path, destination),
                                        &cause));
        return false;
    case HeldFile::Kind::Copied:
        break;
    }
    return bringInFile(file.path, media, error);
}

bool PackageWriter::bringInFile(const QString &path, const MediaFiles &media, lq::Error *error)
{
    const QString name = QFileInfo(path).fileName();
    if (!WrenRecording::isPlainFileName(name)) {
        lq::log(QStringLiteral("Media file \"%1\" has no plain file name; it is not saved.\n")
                    .arg(path));
        return true;
    }
    const QString destination = memberPath(name);
    lq::Error cause;
    if (files().exists(destination)) {
        if (files().isSameFile(path, destination))
            return true;
        if (!files().remove(destination, &cause)) {
            lq::setError(error, savingError(9,
                                            QStringLiteral("Failed to remove pre-existing file %1 "
                                                           "while saving.")
                                                .arg(destination),
                                            &cause));
            return false;
        }
    }
    if (isSymbolicLink(path)) {
        if (files().copy(path, destination, &cause))
            return true;
        lq::setError(error, savingError(10,
                                        QStringLiteral("Failed to copy file %1 (a symbolic link) "
                                                       "to %2 while saving.")
                                            .arg(path, destination),
                                        &cause));
        return false;
    }
    if (path != media.currentRecordingFile && files().hardLink(path, destination, &cause))
        return true;
    if (files().exists(destination))
        files().remove(destination, nullptr); // a link made but not synced
    return files().copy(path, destination, &cause) || copyFailed(path, destination, cause, error);
}

bool PackageWriter::copyFailed(const QString &path, const QString &destination,
                               const lq::Error &cause, lq::Error *error)
{
    lq::setError(
        error,
        savingError(
            12, QStringLiteral("Failed to copy file %1 to %2 while saving.").arg(path, destination),
            &cause));
    return false;
}
