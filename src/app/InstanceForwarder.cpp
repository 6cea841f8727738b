#include "app/InstanceForwarder.h"

#include "platform/foundation/Log.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <unistd.h>

namespace {

constexpr char kAccepted = 'K';
const char *const kBufferProperty = "lqLaunchRequestBytes";

} // namespace

InstanceForwarder::InstanceForwarder(QObject *parent)
    : QObject(parent), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &InstanceForwarder::accept);
}

InstanceForwarder::~InstanceForwarder() = default;

QString InstanceForwarder::socketPath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("lumaquill-%1.socket").arg(::getuid()));
}

bool InstanceForwarder::listen(const QString &path)
{
    if (m_server->listen(path))
        return true;
    QLocalServer::removeServer(path);
    if (m_server->listen(path))
        return true;
    lq::log(QStringLiteral("Cannot receive files from later launches at %1: %2\n")
                .arg(path, m_server->errorString()));
    return false;
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
