#include "platform/foundation/FileOperations.h"

#include "platform/foundation/ReplaceableService.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <utility>

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

// The cause alone, as a sentence: "because there isn't enough space" becomes "There isn't
// enough space.", "(No such device)" becomes "No such device.".
QString causeSentence(QString reason)
{
    const QString because = QStringLiteral("because ");
    if (reason.startsWith(because))
        reason.remove(0, because.size());
    else if (reason.startsWith(QLatin1Char('(')) && reason.endsWith(QLatin1Char(')')))
        reason = reason.mid(1, reason.size() - 2);
    if (!reason.isEmpty())
        reason[0] = reason[0].toUpper();
    return reason + QLatin1Char('.');
}

// A sentence of the failed action and its cause: "The file “a” could not be removed because
// there is no such file or folder."
Error fileError(const QString &action, int code, const QString &reason = {})
{
    const QString cause = reason.isEmpty() ? reasonFor(code) : reason;
    return Error(kErrorDomain, code, QStringLiteral("%1 %2.").arg(action, cause))
        .withFailureReason(causeSentence(cause));
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

QString parentOf(const QString &path)
{
    return QFileInfo(path).absolutePath();
}

// A descriptor closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    ~Descriptor()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_descriptor; }
    // Closes now and answers 0 or the errno of a failed close (a late write error shows there).
    int close()
    {
        const int result = ::close(std::exchange(m_descriptor, -1));
        return result == 0 ? 0 : errno;
    }

private:
    int m_descriptor;
};

// The copy helpers answer 0 or the errno of the step that failed.

// Copies the bytes of a file, keeping the errno of a short write (a full disk answers ENOSPC).
int copyBytes(int from, int to)
{
    constexpr size_t kChunk = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (;;) {
        const ssize_t got = ::read(from, buffer.get(), kChunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.get() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                return errno;
            done += put;
        }
    }
}

// *made tells whether to was created, so that a failure removes only what this call made.
int copyFile(const QByteArray &from, const QByteArray &to, mode_t mode, bool *made)
{
    Descriptor source(::open(from.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (source.get() < 0)
        return errno;
    Descriptor copy(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777));
    if (copy.get() < 0)
        return errno;
    *made = true;
    if (const int code = copyBytes(source.get(), copy.get()))
        return code;
    if (::fchmod(copy.get(), mode & 07777) != 0 || ::fsync(copy.get()) != 0)
        return errno;
    return copy.close();
}

int copyEntry(const QByteArray &from, const QByteArray &to, bool *made);

int copyFolder(const QByteArray &from, const QByteArray &to, mode_t mode, bool *made)
{
    // Owner rights while filling it; its own mode once full.
    if (::mkdir(to.constData(), S_IRWXU) != 0)
        return errno;
    *made = true;
    const std::unique_ptr<DIR, int (*)(DIR *)> folder(::opendir(from.constData()), &::closedir);
    if (!folder)
        return errno;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(folder.get());
        if (!entry)
            break;
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        bool madeEntry = false;
        if (const int code = copyEntry(from + '/' + name, to + '/' + name, &madeEntry))
            return code;
    }
    if (errno != 0)
        return errno;
    Descriptor copy(::open(to.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (copy.get() < 0 || ::fchmod(copy.get(), mode & 07777) != 0 || ::fsync(copy.get()) != 0)
        return errno;
    return 0;
}

int copyLink(const QByteArray &from, const QByteArray &to, bool *made)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(from.constData(), target.data(), size_t(target.size()));
    if (length < 0)
        return errno;
    if (length >= target.size())
        return ENAMETOOLONG;
    target.truncate(length);
    if (::symlink(target.constData(), to.constData()) != 0)
        return errno;
    *made = true;
    return 0;
}

int copyEntry(const QByteArray &from, const QByteArray &to, bool *made)
{
    struct stat info;
    if (::lstat(from.constData(), &info) != 0)
        return errno;
    if (S_ISREG(info.st_mode))
        return copyFile(from, to, info.st_mode, made);
    if (S_ISDIR(info.st_mode))
        return copyFolder(from, to, info.st_mode, made);
    if (S_ISLNK(info.st_mode))
        return copyLink(from, to, made);
    return ENOTSUP; // pipes, sockets and devices
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

bool FileOperations::isCrossDevice(const Error &error)
{
    return error.domain() == kErrorDomain && error.code() == EXDEV;
}

bool LocalFileOperations::copy(const QString &source, const QString &destination, Error *error)
{
    const QString action = copyAction(source, destination);
    struct stat info;
    if (!lstatPath(source, &info))
        return failWithErrno(error, action);
    if (S_ISDIR(info.st_mode) && liesInside(destination, source))
        return fail(error, action, EINVAL, QStringLiteral("because it lies inside the folder"));
    bool made = false;
    const int code = copyEntry(nativePath(source), nativePath(destination), &made);
    if (code == 0 && sync(parentOf(destination), error))
        return true;
    if (made)
        remove(destination, nullptr); // leave no half-made copy behind
    return code != 0 && fail(error, action, code);
}

bool LocalFileOperations::hardLink(const QString &existing, const QString &newPath, Error *error)
{
    return LocalFileOperations::hardLinkUnsynced(existing, newPath, error) &&
           sync(parentOf(newPath), error);
}

bool LocalFileOperations::hardLinkUnsynced(const QString &existing, const QString &newPath,
                                           Error *error)
{
    const QString action =
        QStringLiteral("A link to “%1” could not be made at “%2”").arg(existing, newPath);
    if (::link(nativePath(existing).constData(), nativePath(newPath).constData()) != 0) {
        const int code = errno;
        return fail(error, action, code,
                    code == EXDEV ? QStringLiteral("because the two lie on different volumes")
                                  : QString());
    }
    return true;
}

bool LocalFileOperations::symbolicLink(const QString &target, const QString &linkPath, Error *error)
{
    const QString action =
        QStringLiteral("A symbolic link to “%1” could not be made at “%2”").arg(target, linkPath);
    return checked(::symlink(nativePath(target).constData(), nativePath(linkPath).constData()),
                   error, action) &&
           sync(parentOf(linkPath), error);
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
    if (::renameat2(AT_FDCWD, nativePath(source).constData(), AT_FDCWD,
                    nativePath(destination).constData(), RENAME_NOREPLACE) == 0)
        return syncFoldersOf(source, destination, error);
    if (errno != EXDEV)
        return failWithErrno(error, action);
    // Across file systems: a full copy first, so that a failure never loses the source.
    Error stepError;
    if (copy(source, destination, &stepError) && remove(source, &stepError))
        return true;
    setError(error, fileError(action, stepError.code()).withUnderlyingError(stepError));
    return false;
}

bool LocalFileOperations::replace(const QString &source, const QString &destination, Error *error)
{
    const QString action =
        QStringLiteral("The file “%1” could not replace “%2”").arg(source, destination);
    struct stat info;
    if (!lstatPath(source, &info))
        return failWithErrno(error, action);
    return sync(source, error) &&
           checked(::rename(nativePath(source).constData(), nativePath(destination).constData()),
                   error, action) &&
           syncFoldersOf(source, destination, error);
}

bool LocalFileOperations::exchange(const QString &first, const QString &second, Error *error)
{
    const QString action =
        QStringLiteral("The file “%1” could not trade places with “%2”").arg(first, second);
    return checked(::renameat2(AT_FDCWD, nativePath(first).constData(), AT_FDCWD,
                               nativePath(second).constData(), RENAME_EXCHANGE),
                   error, action) &&
           syncFoldersOf(first, second, error);
}

bool LocalFileOperations::sync(const QString &path, Error *error)
{
    const QString action =
        QStringLiteral("The file “%1” could not be written to the disk").arg(path);
    struct stat info;
    if (!lstatPath(path, &info))
        return failWithErrno(error, action);
    if (S_ISLNK(info.st_mode)) // a link holds no data of its own; its folder holds the entry
        return true;
    Descriptor file(::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    return (file.get() >= 0 && ::fsync(file.get()) == 0) || failWithErrno(error, action);
}

bool LocalFileOperations::writeFile(const QString &path, const QByteArray &data, Error *error)
{
    const QString action = QStringLiteral("The file “%1” could not be written").arg(path);
    struct stat existing;
    if (lstatPath(path, &existing))
        return fail(error, action, EEXIST);
    // Written under a hidden name and moved into place whole, so that a process killed while
    // writing never leaves a file at path that looks complete.
    const QString partial =
        parentOf(path) + QStringLiteral("/.") + QFileInfo(path).fileName() +
        QStringLiteral(".partial-") +
        QString::number(QRandomGenerator::global()->generate64() & 0xffffffffffULL, 36);
    Descriptor file(::open(nativePath(partial).constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (file.get() < 0)
        return failWithErrno(error, action);
    int code = 0;
    for (qsizetype done = 0; done < data.size() && code == 0;) {
        const ssize_t put =
            ::write(file.get(), data.constData() + done, static_cast<size_t>(data.size() - done));
        if (put >= 0)
            done += put;
        else if (errno != EINTR)
            code = errno;
    }
    if (code == 0)
        code = file.close();
    Error stepError;
    if (code == 0 && !sync(partial, &stepError))
        code = stepError.code();
    if (code == 0 && ::renameat2(AT_FDCWD, nativePath(partial).constData(), AT_FDCWD,
                                 nativePath(path).constData(), RENAME_NOREPLACE) != 0)
        code = errno;
    if (code != 0) {
        remove(partial, nullptr); // leave no half-written file behind
        return fail(error, action, code);
    }
    if (sync(parentOf(path), error))
        return true;
    remove(path, nullptr);
    return false;
}

bool LocalFileOperations::makeFolder(const QString &path, Error *error)
{
    const QString action = QStringLiteral("The folder “%1” could not be made").arg(path);
    if (!checked(::mkdir(nativePath(path).constData(), 0755), error, action))
        return false;
    if (sync(parentOf(path), error))
        return true;
    remove(path, nullptr);
    return false;
}

bool LocalFileOperations::syncFoldersOf(const QString &first, const QString &second, Error *error)
{
    const QString firstFolder = parentOf(first);
    const QString secondFolder = parentOf(second);
    return sync(secondFolder, error) && (firstFolder == secondFolder || sync(firstFolder, error));
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

bool FailingFileOperations::hardLinkUnsynced(const QString &existing, const QString &newPath,
                                             Error *error)
{
    return !injectFailure(QStringLiteral("hardLink"), newPath, error) &&
           LocalFileOperations::hardLinkUnsynced(existing, newPath, error);
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

bool FailingFileOperations::exchange(const QString &first, const QString &second, Error *error)
{
    return !injectFailure(QStringLiteral("exchange"), second, error) &&
           LocalFileOperations::exchange(first, second, error);
}

bool FailingFileOperations::sync(const QString &path, Error *error)
{
    return !injectFailure(QStringLiteral("sync"), path, error) &&
           LocalFileOperations::sync(path, error);
}

bool FailingFileOperations::writeFile(const QString &path, const QByteArray &data, Error *error)
{
    return !injectFailure(QStringLiteral("writeFile"), path, error) &&
           LocalFileOperations::writeFile(path, data, error);
}

bool FailingFileOperations::makeFolder(const QString &path, Error *error)
{
    return !injectFailure(QStringLiteral("makeFolder"), path, error) &&
           LocalFileOperations::makeFolder(path, error);
}

FileIdentity FileIdentity::of(const QString &path)
{
    struct stat info;
    if (!lstatPath(path, &info))
        return {};
    return {true, static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
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

bool isTemporaryPathBeside(const QString &path, const QString &destination)
{
    const QFileInfo info(destination);
    const QFileInfo candidate(path);
    const QString prefix = QLatin1Char('.') + info.fileName() + QLatin1Char('.');
    const QString name = candidate.fileName();
    if (candidate.absolutePath() != info.absolutePath() || !name.startsWith(prefix) ||
        !name.endsWith(QLatin1String(".tmp")))
        return false;
    const QStringView suffix =
        QStringView(name).mid(prefix.size(), name.size() - prefix.size() - 4);
    bool ok = false;
    return suffix.toULongLong(&ok, 36) <= std::numeric_limits<quint32>::max() && ok;
}

std::optional<QByteArray> readRegularFile(const QString &path, qint64 maxSize, LinkHandling links,
                                          Error *error)
{
    const QString action = QStringLiteral("The file “%1” could not be read").arg(path);
    // Never blocks on a pipe, never takes a terminal.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (links == LinkHandling::Refuse)
        flags |= O_NOFOLLOW;
    Descriptor file(::open(nativePath(path).constData(), flags));
    if (file.get() < 0) {
        const int code = errno;
        fail(error, action, code,
             code == ELOOP && links == LinkHandling::Refuse
                 ? QStringLiteral("because it is a symbolic link")
                 : QString());
        return std::nullopt;
    }
    struct stat info;
    if (::fstat(file.get(), &info) != 0) {
        failWithErrno(error, action);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        fail(error, action, EINVAL, QStringLiteral("because it is not a regular file"));
        return std::nullopt;
    }
    if (info.st_size > maxSize) {
        fail(error, action, EFBIG,
             QStringLiteral("because it is larger than %1 MB").arg(maxSize / (1 << 20)));
        return std::nullopt;
    }
    // Only the size seen before reading is read, however the file grows meanwhile.
    QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::read(file.get(), bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            failWithErrno(error, action);
            return std::nullopt;
        }
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

} // namespace lq
