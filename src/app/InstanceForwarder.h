#pragma once

#include "app/LaunchRequest.h"

#include <QObject>
#include <QString>

#include <chrono>

class QLocalServer;
class QLocalSocket;

// The running copy's end of the hand-over between launches: a local socket that only this user
// can reach, in $XDG_RUNTIME_DIR. A later launch sends its request (send) and, once the running
// copy has answered that it took it, ends. Main thread only.
class InstanceForwarder final : public QObject
{
    Q_OBJECT
public:
    // Bytes a client may take to deliver its request before it is dropped.
    static constexpr std::chrono::milliseconds kClientTimeLimit{5000};

    explicit InstanceForwarder(QObject *parent = nullptr);
    ~InstanceForwarder() override;

    // The socket's path for this user: $XDG_RUNTIME_DIR (else the temporary folder) and the uid.
    static QString socketPath();

    // Starts listening; a socket left by a copy that crashed is replaced (the caller holds the
    // single-instance lock, so no live copy listens there). False when listening fails.
    bool listen(const QString &path = socketPath());

    // From a later launch: hands request to the running copy; true once it has confirmed it.
    static bool send(const LaunchRequest &request, const QString &path = socketPath(),
                     std::chrono::milliseconds timeLimit = std::chrono::milliseconds(3000));

Q_SIGNALS:
    // A valid request arrived (it was answered already).
    void requestReceived(const LaunchRequest &request);

private:
    void accept();
    void readFrom(QLocalSocket *socket);

    QLocalServer *m_server;
};
