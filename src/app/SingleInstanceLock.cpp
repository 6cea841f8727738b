#include "app/SingleInstanceLock.h"

#include "platform/foundation/FileLock.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

int openLockFile(const QByteArray &path, bool *existed)
{
    int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    *existed = fd >= 0;
    if (fd < 0 && errno == ENOENT)
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    return fd;
}

} // namespace

SingleInstanceLock::~SingleInstanceLock()
{
    // Only release() deletes the file; a copy that did not end normally just lets the lock go.
    if (m_fd >= 0)
        ::close(m_fd);
}

SingleInstanceLock::Outcome SingleInstanceLock::acquire(const QString &path, bool *existed)
{
    m_path = path;
    const QByteArray encoded = QFile::encodeName(path);
    for (int attempt = 0; attempt < 5; ++attempt) {
        bool fileExisted = false;
        const int fd = openLockFile(encoded, &fileExisted);
        if (existed && attempt == 0)
            *existed = fileExisted;
        if (fd < 0)
            return Outcome::NoLockFile;
        if (::lockf(fd, F_TLOCK, 0) != 0) {
            const int error = errno;
            ::close(fd);
            // Both codes mean that another process holds the lock.
            if (error == EAGAIN || error == EACCES)
                return Outcome::Held;
            return Outcome::NoLockFile;
        }
        // A copy that quit may have deleted the file between our open and our lock.
        if (lq::FileLock::isFileAt(fd, path)) {
            m_fd = fd;
            return Outcome::Taken;
        }
        ::close(fd);
    }
    return Outcome::NoLockFile;
}

void SingleInstanceLock::release()
{
    if (m_fd < 0)
        return;
    // The name goes first: a copy that opened the file before it goes finds, once it holds the
    // lock, that the file is no longer the one at the path, and tries again with a new one.
    QFile::remove(m_path);
    ::close(m_fd);
    m_fd = -1;
}
