#pragma once

#include "app/LaunchRequest.h"

#include <QObject>
#include <QString>

#include <chrono>

class QLocalServer;
class QLocalSocket;

// The running copy's end of the hand-over between launches: a local socket in a folder that only
// this user can enter. A later launch sends its request (send) and, once the running copy has
// answered that it took it, ends. Each end checks that the other runs as the same user. Main
// thread only.
class InstanceForwarder final : public QObject
{
    Q_OBJECT
public:
    // Bytes a client may take to deliver its request before it is dropped.
    static constexpr std::chrono::milliseconds kClientTimeLimit{5000};

    explicit InstanceForwarder(QObject *parent = nullptr);
    ~InstanceForwarder() override;

    // The socket's path for this user: in $XDG_RUNTIME_DIR when that is the user's private
    // folder, else in "lumaquill-<uid>" of the temporary folder, made 0700 and checked; empty
    // when neither is private.
    static QString socketPath();

    // Starts listening; a socket left by a copy that crashed is replaced, one that a live copy
    // serves never is. False when listening fails.
    bool listen(const QString &path = socketPath());

    // From a later launch: hands request to the running copy; true once a peer of this user has
    // confirmed it.
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
