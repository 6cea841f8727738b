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

bool PackageWriter::bringInFiles(const MediaFiles &media, const MissingFileQuestion &ask,
                                 const std::function<void(const QString &)> &forget, bool *complete,
                                 lq::Error *error)
{
    *complete = true;
    for (const QString &path : media.paths) {
        bool missing = false;
        if (!bringInFile(path, media, &missing, error))
            return false;
        if (!missing)
            continue;
        const bool isSlides = path == media.slidesPath;
        if (!ask(path, isSlides)) {
            lq::setError(
                error,
                savingError(8, QStringLiteral("Failed to locate file %1 while saving.").arg(path)));
            return false;
        }
        lq::log(QStringLiteral("Failed to locate file %1 while saving, continuing due to user "
                               "choice\n")
                    .arg(path));
        *complete = false;
        if (!isSlides)
            forget(path);
    }
    return true;
}

bool PackageWriter::bringInFile(const QString &path, const MediaFiles &media, bool *missing,
                                lq::Error *error)
{
    if (!files().exists(path)) {
        *missing = true;
        return true;
    }
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
    if (files().copy(path, destination, &cause))
        return true;
    lq::setError(
        error,
        savingError(
            12, QStringLiteral("Failed to copy file %1 to %2 while saving.").arg(path, destination),
            &cause));
    return false;
}
