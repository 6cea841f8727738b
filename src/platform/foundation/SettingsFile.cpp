#include "platform/foundation/SettingsFile.h"

#include "platform/foundation/FileOperations.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace lq {
namespace {

const QString kErrorDomain = QStringLiteral("userDefaults");
constexpr int kLockWaitMilliseconds = 2000;
constexpr int kNameAttempts = 100;

// The lock file beside the settings, held while it lives. Another process holds it only for the
// few milliseconds of a save, so waiting is bounded rather than endless.
class SettingsLock
{
public:
    SettingsLock(const QString &settingsPath, int waitMilliseconds)
    {
        const QFileInfo info(settingsPath);
        const QString lockPath =
            info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1String(".lock");
        m_descriptor =
            ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_descriptor < 0) {
            m_errno = errno;
            return;
        }
        QDeadlineTimer deadline(waitMilliseconds);
        while (::flock(m_descriptor, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
                m_errno = errno;
                return;
            }
            QThread::msleep(5);
        }
        m_held = true;
    }
    ~SettingsLock()
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor); // releases the lock
    }
    SettingsLock(const SettingsLock &) = delete;
    SettingsLock &operator=(const SettingsLock &) = delete;

    bool held() const { return m_held; }
    int errorNumber() const { return m_errno; }

private:
    int m_descriptor = -1;
    int m_errno = 0;
    bool m_held = false;
};

Error saveError(const QString &path, const QString &reason)
{
    return Error(kErrorDomain, 0,
                 QStringLiteral("The settings could not be saved in “%1” (%2).").arg(path, reason));
}

// Writes bytes to a new temporary file beside path; answers its path, or empty with errno.
QString writeTemporary(const QString &path, const QByteArray &bytes, int *errorNumber)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate = temporaryPathBeside(path);
        const int descriptor = ::open(QFile::encodeName(candidate).constData(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor < 0 && errno == EEXIST)
            continue;
        if (descriptor < 0)
            break;
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t put = ::write(descriptor, bytes.constData() + done,
                                        static_cast<size_t>(bytes.size() - done));
            if (put > 0)
                done += put;
            else if (errno != EINTR)
                break;
        }
        const int writeErrno = errno;
        const bool closed = ::close(descriptor) == 0;
        if (done == bytes.size() && closed)
            return candidate;
        *errorNumber = done == bytes.size() ? errno : writeErrno;
        FileOperations::current().remove(candidate, nullptr);
        return {};
    }
    *errorNumber = errno;
    return {};
}

} // namespace

SettingsFile::SettingsFile(QString path) : m_path(std::move(path))
{}

QString SettingsFile::damagedPath() const
{
    return m_path + QLatin1String(".damaged");
}

PlistPtr SettingsFile::read(bool *unreadable) const
{
    *unreadable = false;
    QFile file(m_path);
    if (!file.exists())
        return nullptr;
    PlistPtr root;
    if (file.open(QIODevice::ReadOnly))
        root = plistFromBinary(file.readAll());
    if (root && plist_get_node_type(root.get()) == PLIST_DICT)
        return root;
    *unreadable = true;
    return nullptr;
}

bool SettingsFile::update(const std::function<void(plist_t dictionary)> &change, Error *error)
{
    FileOperations &files = FileOperations::current();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const SettingsLock lock(m_path, kLockWaitMilliseconds);
    if (!lock.held()) {
        setError(error, saveError(m_path, lock.errorNumber() == EWOULDBLOCK
                                              ? QStringLiteral("another program keeps it busy")
                                              : qt_error_string(lock.errorNumber())));
        return false;
    }
    bool unreadable = false;
    PlistPtr dictionary = read(&unreadable);
    if (unreadable && !files.replace(m_path, damagedPath(), error))
        return false;
    if (!dictionary)
        dictionary.reset(plist_new_dict());
    change(dictionary.get());

    const QByteArray bytes = plistToBinary(dictionary.get());
    if (bytes.isEmpty()) {
        setError(error, saveError(m_path, QStringLiteral("they could not be encoded")));
        return false;
    }
    int errorNumber = 0;
    const QString temporary = writeTemporary(m_path, bytes, &errorNumber);
    if (temporary.isEmpty()) {
        setError(error, saveError(m_path, qt_error_string(errorNumber)));
        return false;
    }
    if (files.replace(temporary, m_path, error))
        return true;
    if (files.exists(temporary))
        files.remove(temporary, nullptr);
    return false;
}

void SettingsFile::removeLeftovers()
{
    const QFileInfo info(m_path);
    if (!info.absoluteDir().exists())
        return;
    const SettingsLock lock(m_path, 0); // a save running now is no leftover
    if (!lock.held())
        return;
    const QDir folder = info.absoluteDir();
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QString path = folder.filePath(name);
        if (isTemporaryPathBeside(path, m_path))
            FileOperations::current().remove(path, nullptr);
    }
}

} // namespace lq
