#include "platform/pdf/TemporaryOutputFile.h"

#include "platform/foundation/FileOperations.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace lq {

namespace {

constexpr int kNameAttempts = 100;

Error systemError(const QString &action, const QString &path, int errorNumber)
{
    return Error(
        QStringLiteral("pdf"), errorNumber,
        QStringLiteral("Could not %1 “%2”: %3.").arg(action, path, qt_error_string(errorNumber)));
}

} // namespace

TemporaryOutputFile::TemporaryOutputFile(QString destination)
    : m_destination(std::move(destination))
{}

TemporaryOutputFile::~TemporaryOutputFile()
{
    close(nullptr);
    if (!m_committed && !m_temporaryPath.isEmpty())
        FileOperations::current().remove(m_temporaryPath, nullptr);
}

bool TemporaryOutputFile::open(Error *error)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate = temporaryPathBeside(m_destination);
        // Another writer may take the name first; 0666 lets the umask decide, as for any new file.
        const int descriptor = ::open(QFile::encodeName(candidate).constData(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        const int openErrno = errno;
        if (descriptor < 0 && openErrno == EEXIST)
            continue;
        if (descriptor < 0) {
            setError(error, systemError(QStringLiteral("create a file next to"), m_destination,
                                        openErrno));
            return false;
        }
        m_temporaryPath = candidate;
        m_stream = ::fdopen(descriptor, "wb");
        if (!m_stream) {
            const int fdopenErrno = errno;
            ::close(descriptor);
            setError(error, systemError(QStringLiteral("write"), candidate, fdopenErrno));
            return false;
        }
        return true;
    }
    setError(error, systemError(QStringLiteral("find a free temporary name next to"), m_destination,
                                EEXIST));
    return false;
}

bool TemporaryOutputFile::close(Error *error)
{
    if (!m_stream)
        return true;
    const bool written = std::fflush(m_stream) == 0 && ::fsync(::fileno(m_stream)) == 0;
    const int writeErrno = errno;
    const bool closed = std::fclose(m_stream) == 0;
    const int closeErrno = errno;
    m_stream = nullptr;
    if (!written || !closed) {
        setError(error, systemError(QStringLiteral("write"), m_temporaryPath,
                                    !written ? writeErrno : closeErrno));
        return false;
    }
    return true;
}

bool TemporaryOutputFile::commit(Error *error)
{
    if (m_temporaryPath.isEmpty() || !close(error))
        return false;
    if (!FileOperations::current().replace(m_temporaryPath, m_destination, error))
        return false;
    m_committed = true;
    return true;
}

} // namespace lq
