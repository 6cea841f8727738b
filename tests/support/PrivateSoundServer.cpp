#include "support/PrivateSoundServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>

namespace lq::test {

const QString PrivateSoundServer::kMonitorName = QStringLiteral("Monitor of Null Output");

namespace {

constexpr std::chrono::seconds kStartLimit{10};
constexpr std::chrono::seconds kStopLimit{5};

// Whether a server listens on the Unix socket at path.
bool acceptsConnections(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, encoded.constData(), encoded.size());
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return false;
    const bool connected =
        ::connect(descriptor, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
    ::close(descriptor);
    return connected;
}

} // namespace

PrivateSoundServer::PrivateSoundServer()
    : m_folder(QDir::tempPath() + QStringLiteral("/lq-sound-server-XXXXXX"))
{
    if (!start())
        stop();
}

PrivateSoundServer::~PrivateSoundServer()
{
    stop();
}

bool PrivateSoundServer::start()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (program.isEmpty()) {
        m_failure = QStringLiteral("The sound server pulseaudio is not installed (Debian package "
                                   "pulseaudio), so the tests with a real sound device cannot "
                                   "run.");
        return false;
    }
    if (!m_folder.isValid()) {
        m_failure = QStringLiteral("No private folder could be made for the sound server.");
        return false;
    }
    const QDir folder(m_folder.path());
    const QString socket = folder.filePath(QStringLiteral("native"));
    const QString logFile = folder.filePath(QStringLiteral("server.log"));

    // Everything the server keeps (cookie, state, runtime files) stays in the private folder.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), folder.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                       folder.filePath(QStringLiteral("config")));
    environment.remove(QStringLiteral("PULSE_SERVER"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(logFile);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // Should the test program die without stopping the server, the server goes with it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    // The sink is loaded before the socket, so a listening socket means the sink is there. As
    // on a desktop, each program's stream volume is remembered and given to its next streams.
    m_process.start(program,
                    {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                     QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
                     QStringLiteral("--realtime=no"), QStringLiteral("--high-priority=no"),
                     QStringLiteral("--log-target=stderr"),
                     QStringLiteral("--load=module-null-sink sink_name=lq_test_sink"),
                     QStringLiteral("--load=module-stream-restore"),
                     QStringLiteral("--load=module-native-protocol-unix socket=%1 "
                                    "auth-anonymous=1")
                         .arg(socket)});

    const QDeadlineTimer deadline(kStartLimit);
    bool ready = false;
    while (!ready && m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        ready = acceptsConnections(socket);
        if (!ready)
            m_process.waitForFinished(20);
    }
    if (ready) {
        m_environment.set("PULSE_SERVER", QStringLiteral("unix:") + socket);
        return true;
    }
    QFile log(logFile);
    const QString output =
        log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()).trimmed() : QString();
    QString reason;
    if (m_process.state() != QProcess::NotRunning)
        reason = QStringLiteral("it did not answer within %1 s").arg(kStartLimit.count());
    else if (m_process.error() == QProcess::FailedToStart)
        reason = m_process.errorString();
    else
        reason = QStringLiteral("it ended with code %1").arg(m_process.exitCode());
    m_failure =
        QStringLiteral("The sound server pulseaudio could not be started (%1)%2")
            .arg(reason, output.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + output);
    return false;
}

void PrivateSoundServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(std::chrono::milliseconds(kStopLimit).count())) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

} // namespace lq::test
