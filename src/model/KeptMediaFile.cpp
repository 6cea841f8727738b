#include "model/KeptMediaFile.h"

#include "platform/foundation/FileOperations.h"
#include "platform/foundation/Log.h"

#include <QDir>
#include <QFileInfo>

std::shared_ptr<const KeptMediaFile> KeptMediaFile::keep(const QString &path, const QString &folder,
                                                         lq::Error *error)
{
    lq::FileOperations &files = lq::FileOperations::current();
    const QString undoFolder = QDir(folder).filePath(QStringLiteral(".undo"));
    if (!files.exists(undoFolder) && !files.makeFolder(undoFolder, error))
        return nullptr;
    const QString kept =
        lq::temporaryPathBeside(QDir(undoFolder).filePath(QFileInfo(path).fileName()));
    if (!linkOrCopy(path, kept, error))
        return nullptr;
    return std::shared_ptr<const KeptMediaFile>(new KeptMediaFile(kept));
}

KeptMediaFile::~KeptMediaFile()
{
    lq::Error error;
    lq::FileOperations &files = lq::FileOperations::current();
    if (files.exists(m_path) && !files.remove(m_path, &error))
        lq::log(QStringLiteral("Failed to delete the undo copy %1: %2\n")
                    .arg(m_path, error.localizedDescription()));
}

bool KeptMediaFile::restoreTo(const QString &path, lq::Error *error) const
{
    lq::FileOperations &files = lq::FileOperations::current();
    const QString temporary = lq::temporaryPathBeside(path);
    if (linkOrCopy(m_path, temporary, error) && files.replace(temporary, path, error))
        return true;
    if (files.exists(temporary))
        files.remove(temporary, nullptr);
    return false;
}

bool KeptMediaFile::linkOrCopy(const QString &source, const QString &destination, lq::Error *error)
{
    lq::FileOperations &files = lq::FileOperations::current();
    lq::Error linkError;
    if (files.hardLink(source, destination, &linkError))
        return true;
    if (files.exists(destination))
        files.remove(destination, nullptr);
    return files.copy(source, destination, error);
}
