#include "platform/foundation/FileLock.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lq {

std::unique_ptr<FileLock> FileLock::take(const QString &path, Outcome *outcome)
{
    const auto answer = [outcome](Outcome value) {
        if (outcome)
            *outcome = value;
        return nullptr;
    };
    const int descriptor = ::open(QFile::encodeName(path).constData(),
                                  O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (descriptor < 0)
        return answer(errno == ENOENT ? Outcome::Held : Outcome::Failed);
    int result;
    do {
        result = ::flock(descriptor, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        ::close(descriptor);
        return answer(error == EWOULDBLOCK ? Outcome::Held : Outcome::Failed);
    }
    if (!isFileAt(descriptor, path)) {
        ::close(descriptor);
        return answer(Outcome::Held);
    }
    if (outcome)
        *outcome = Outcome::Taken;
    return std::unique_ptr<FileLock>(new FileLock(descriptor));
}

bool FileLock::isFileAt(int descriptor, const QString &path)
{
    struct stat opened = {};
    struct stat named = {};
    return ::fstat(descriptor, &opened) == 0 &&
           ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

FileLock::~FileLock()
{
    ::close(m_descriptor); // lets the lock go
}

} // namespace lq
