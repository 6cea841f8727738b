#include "platform/foundation/FileOperations.h"

#include "platform/foundation/ReplaceableService.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace lq {
namespace {

namespace fs = std::filesystem;

const QString kErrorDomain = QStringLiteral("file");

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

fs::path fsPath(const QString &path)
{
    return fs::path(nativePath(path).toStdString());
}

bool lstatPath(const QString &path, struct stat *info)
{
    return ::lstat(nativePath(path).constData(), info) == 0;
}

QString reasonFor(int code)
{
    switch (code) {
    case EEXIST:
        return QStringLiteral("because it already exists");
    case ENOENT:
        return QStringLiteral("because there is no such file or folder");
    case EACCES:
    case EPERM:
        return QStringLiteral("because you don't have permission");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("because there isn't enough space");
    case EROFS:
        return QStringLiteral("because the volume is read-only");
    default:
        return QStringLiteral("(%1)").arg(
            QString::fromStdString(std::generic_category().message(code)));
    }
}

// A sentence of the failed action and its cause: "The file “a” could not be removed because
// there is no such file or folder."
Error fileError(const QString &action, int code, const QString &reason = {})
{
    return Error(kErrorDomain, code,
                 QStringLiteral("%1 %2.").arg(action, reason.isEmpty() ? reasonFor(code) : reason));
}

bool fail(Error *error, const QString &action, int code, const QString &reason = {})
{
    setError(error, fileError(action, code, reason));
    return false;
}

// For a failed POSIX call: errno is read before anything else can change it.
bool failWithErrno(Error *error, const QString &action)
{
    const int code = errno;
    return fail(error, action, code);
}

bool checked(int result, Error *error, const QString &action)
{
    return result == 0 || failWithErrno(error, action);
}

// Whether path lies inside folder, after resolving links.
bool liesInside(const QString &path, const QString &folder)
{
    std::error_code folderError;
    std::error_code pathError;
    const fs::path resolvedFolder = fs::canonical(fsPath(folder), folderError);
    const fs::path resolvedPath = fs::weakly_canonical(fsPath(path), pathError);
    if (folderError || pathError)
        return false;
    const fs::path relative = resolvedPath.lexically_relative(resolvedFolder);
    return !relative.empty() && *relative.begin() != "..";
}

QString copyAction(const QString &source, const QString &destination)
{
    return QStringLiteral("The file “%1” could not be copied to “%2”").arg(source, destination);
}

QString removeAction(const QString &path)
{
    return QStringLiteral("The file “%1” could not be removed").arg(path);
}

LocalFileOperations &localOperations()
{
    static LocalFileOperations operations;
    return operations;
}

ReplaceableService<FileOperations> installedOperations;

} // namespace

FileOperations &FileOperations::current()
{
    return installedOperations.current(localOperations());
}

FileOperations *FileOperations::setCurrent(FileOperations *operations)
{
    return installedOperations.install(operations);
}

bool LocalFileOperations::copy(const QString &source, const QString &destination, Error *error)
{
    const QString action = copyAction(source, destination);
    struct stat info;
    if (!lstatPath(source, &info))
        return failWithErrno(error, action);
    const bool copiesFolder = S_ISDIR(info.st_mode);
    if (lstatPath(destination, &info))
        return fail(error, action, EEXIST);
    if (copiesFolder && liesInside(destination, source))
        return fail(error, action, EINVAL, QStringLiteral("because it lies inside the folder"));
    std::error_code code;
    fs::copy(fsPath(source), fsPath(destination),
             fs::copy_options::recursive | fs::copy_options::copy_symlinks, code);
    if (!code)
        return true;
    std::error_code ignored;
    fs::remove_all(fsPath(destination), ignored); // leave no half-made copy behind
    return fail(error, action, code.value());
}

bool LocalFileOperations::hardLink(const QString &existing, const QString &newPath, Error *error)
{
    const QString action =
        QStringLiteral("A link to “%1” could not be made at “%2”").arg(existing, newPath);
    return checked(::link(nativePath(existing).constData(), nativePath(newPath).constData()), error,
                   action);
}

bool LocalFileOperations::symbolicLink(const QString &target, const QString &linkPath, Error *error)
{
    const QString action =
        QStringLiteral("A symbolic link to “%1” could not be made at “%2”").arg(target, linkPath);
    return checked(::symlink(nativePath(target).constData(), nativePath(linkPath).constData()),
                   error, action);
}

QString LocalFileOperations::readLink(const QString &path, Error *error)
{
    const QByteArray native = nativePath(path);
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t length =
            ::readlink(native.constData(), target.data(), static_cast<size_t>(target.size()));
        if (length < 0) {
            const int code = errno;
            fail(error, QStringLiteral("The link “%1” could not be read").arg(path), code,
                 code == EINVAL ? QStringLiteral("because it is not a symbolic link") : QString());
            return {};
        }
        if (length < target.size()) // else the target may have been cut short
            return QFile::decodeName(target.left(length));
        target.resize(target.size() * 2);
    }
}

bool LocalFileOperations::remove(const QString &path, Error *error)
{
    const QString action = removeAction(path);
    struct stat info;
    if (!lstatPath(path, &info))
        return failWithErrno(error, action);
    if (!S_ISDIR(info.st_mode))
        return checked(::unlink(nativePath(path).constData()), error, action);
    std::error_code code;
    fs::remove_all(fsPath(path), code);
    return !code || fail(error, action, code.value());
}

bool LocalFileOperations::move(const QString &source, const QString &destination, Error *error)
{
    const QString action =
        QStringLiteral("The file “%1” could not be moved to “%2”").arg(source, destination);
    struct stat info;
    if (lstatPath(destination, &info)) // rename(2) would replace it
        return fail(error, action, EEXIST);
    if (::rename(nativePath(source).constData(), nativePath(destination).constData()) == 0)
        return true;
    if (errno != EXDEV)
        return failWithErrno(error, action);
    // Across file systems: a full copy first, so that a failure never loses the source.
    Error stepError;
    if (LocalFileOperations::copy(source, destination, &stepError) &&
        LocalFileOperations::remove(source, &stepError))
        return true;
    setError(error, fileError(action, stepError.code()).withUnderlyingError(stepError));
    return false;
}

bool LocalFileOperations::replace(const QString &source, const QString &destination, Error *error)
{
    const QString action =
        QStringLiteral("The file “%1” could not replace “%2”").arg(source, destination);
    return checked(::rename(nativePath(source).constData(), nativePath(destination).constData()),
                   error, action);
}

bool LocalFileOperations::exists(const QString &path)
{
    struct stat info;
    return lstatPath(path, &info);
}

bool LocalFileOperations::isSameFile(const QString &first, const QString &second)
{
    struct stat firstInfo;
    struct stat secondInfo;
    return ::stat(nativePath(first).constData(), &firstInfo) == 0 &&
           ::stat(nativePath(second).constData(), &secondInfo) == 0 &&
           firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino;
}

FailingFileOperations::FailingFileOperations(FailurePredicate shouldFail)
    : m_shouldFail(std::move(shouldFail))
{}

bool FailingFileOperations::injectFailure(const QString &operation, const QString &path,
                                          Error *error) const
{
    if (!m_shouldFail || !m_shouldFail(operation, path))
        return false;
    setError(error,
             Error(kErrorDomain, EIO,
                   QStringLiteral(
                       "The operation “%1” on “%2” could not be completed (injected failure).")
                       .arg(operation, path)));
    return true;
}

bool FailingFileOperations::copy(const QString &source, const QString &destination, Error *error)
{
    return !injectFailure(QStringLiteral("copy"), destination, error) &&
           LocalFileOperations::copy(source, destination, error);
}

bool FailingFileOperations::hardLink(const QString &existing, const QString &newPath, Error *error)
{
    return !injectFailure(QStringLiteral("hardLink"), newPath, error) &&
           LocalFileOperations::hardLink(existing, newPath, error);
}

bool FailingFileOperations::symbolicLink(const QString &target, const QString &linkPath,
                                         Error *error)
{
    return !injectFailure(QStringLiteral("symbolicLink"), linkPath, error) &&
           LocalFileOperations::symbolicLink(target, linkPath, error);
}

QString FailingFileOperations::readLink(const QString &path, Error *error)
{
    return injectFailure(QStringLiteral("readLink"), path, error)
               ? QString()
               : LocalFileOperations::readLink(path, error);
}

bool FailingFileOperations::remove(const QString &path, Error *error)
{
    return !injectFailure(QStringLiteral("remove"), path, error) &&
           LocalFileOperations::remove(path, error);
}

bool FailingFileOperations::move(const QString &source, const QString &destination, Error *error)
{
    return !injectFailure(QStringLiteral("move"), destination, error) &&
           LocalFileOperations::move(source, destination, error);
}

bool FailingFileOperations::replace(const QString &source, const QString &destination, Error *error)
{
    return !injectFailure(QStringLiteral("replace"), destination, error) &&
           LocalFileOperations::replace(source, destination, error);
}

QString temporaryPathBeside(const QString &destination)
{
    const QFileInfo info(destination);
    const QString prefix = info.absolutePath() + QLatin1String("/.") + info.fileName();
    QString candidate;
    do {
        const QString suffix = QString::number(QRandomGenerator::global()->generate(), 36);
        candidate = prefix + QLatin1Char('.') + suffix + QLatin1String(".tmp");
    } while (FileOperations::current().exists(candidate));
    return candidate;
}

} // namespace lq
