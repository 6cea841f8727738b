#include "app/InstanceForwarder.h"

#include "platform/foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kAccepted = 'K';
const char *const kBufferProperty = "lqLaunchRequestBytes";
constexpr int kProbeMilliseconds = 1000;

// Whether folder is a folder of this user's (not a link to one) that no one else may enter.
bool isPrivateFolder(const QString &folder)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// Whether the process at the other end of the connection runs as this user.
bool peerIsThisUser(const QLocalSocket &socket)
{
    ucred peer = {};
    socklen_t size = sizeof peer;
    return socket.socketDescriptor() >= 0 &&
           ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) ==
               0 &&
           peer.uid == ::geteuid();
}

// Whether some process serves the socket at path now.
bool isServed(const QString &path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    const bool served = probe.waitForConnected(kProbeMilliseconds);
    probe.abort();
    return served;
}

} // namespace

InstanceForwarder::InstanceForwarder(QObject *parent)
    : QObject(parent), m_server(new QLocalServer(this))
{
    // No access options: with them Qt binds elsewhere and renames over the path, replacing a
    // live copy's socket. Bound in place, listening fails where a socket is already.
    connect(m_server, &QLocalServer::newConnection, this, &InstanceForwarder::accept);
}

InstanceForwarder::~InstanceForwarder() = default;

QString InstanceForwarder::socketPath()
{
    const QString name = QStringLiteral("lumaquill-%1.socket").arg(::getuid());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return QDir(runtime).filePath(name);
    // A folder of our own in the temporary folder: a name another user made first, or opened to
    // others, is not used.
    const QString own =
        QDir(QDir::tempPath()).filePath(QStringLiteral("lumaquill-%1").arg(::getuid()));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    if (isPrivateFolder(own))
        return QDir(own).filePath(name);
    lq::log(QStringLiteral("The folder %1 is not private to this user, so launches open their "
                           "files themselves.\n")
                .arg(own));
    return QString();
}

bool InstanceForwarder::listen(const QString &path)
{
    if (path.isEmpty())
        return false;
    if (!m_server->listen(path)) {
        if (isServed(path)) {
            lq::log(QStringLiteral("Another copy receives files from later launches at %1.\n")
                        .arg(path));
            return false;
        }
        // Left by a copy that crashed; none can start meanwhile, as the caller holds the
        // single-instance lock.
        QLocalServer::removeServer(path);
        if (!m_server->listen(path)) {
            lq::log(QStringLiteral("Cannot receive files from later launches at %1: %2\n")
                        .arg(path, m_server->errorString()));
            return false;
        }
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return true;
}

bool InstanceForwarder::send(const LaunchRequest &request, const QString &path,
                             std::chrono::milliseconds timeLimit)
{
    if (!request.isValid())
        return false;
    QLocalSocket socket;
    const int limit = static_cast<int>(timeLimit.count());
    socket.connectToServer(path);
    if (!socket.waitForConnected(limit))
        return false;
    if (!peerIsThisUser(socket)) {
        lq::log(QStringLiteral("The socket %1 is served by another user; the files are not handed "
                               "over.\n")
                    .arg(path));
        return false;
    }
    socket.write(request.encoded());
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(limit))
            return false;
    }
    if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(limit))
        return false;
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == kAccepted;
}

void InstanceForwarder::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (!peerIsThisUser(*socket)) {
            lq::log(QStringLiteral("Refused files from a process of another user.\n"));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        QTimer::singleShot(kClientTimeLimit, socket, [socket] { socket->abort(); });
    }
}

void InstanceForwarder::readFrom(QLocalSocket *socket)
{
    QByteArray bytes = socket->property(kBufferProperty).toByteArray();
    // Never more than a request can hold, however much the client sends.
    bytes.append(socket->read(LaunchRequest::kMaxEncodedBytes + 1 - bytes.size()));
    bool complete = false;
    const std::optional<LaunchRequest> request = LaunchRequest::decode(bytes, &complete);
    if (!complete) {
        socket->setProperty(kBufferProperty, bytes);
        return;
    }
    socket->setProperty(kBufferProperty, QVariant());
    if (!request) {
        lq::log(QStringLiteral("Ignored a malformed request from another launch.\n"));
        socket->abort();
        return;
    }
    socket->write(&kAccepted, 1);
    socket->flush();
    socket->disconnectFromServer();
    Q_EMIT requestReceived(*request);
}
