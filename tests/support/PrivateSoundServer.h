#pragma once

#include "shared/ScopedEnvironment.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace lq::test {

// A pulseaudio server of the test's own, in a private folder, with one null sink whose monitor
// lists as a microphone, and the desktop's memory of stream volumes. While it lives, the process's
// sound clients (PULSE_SERVER) reach it and nothing else; it is stopped when it goes, and killed
// with the test program should that die first. Main thread only.
class PrivateSoundServer
{
public:
    // The name the null sink's monitor lists under.
    static const QString kMonitorName;

    // Starts the server and waits until it takes clients.
    PrivateSoundServer();
    ~PrivateSoundServer();
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    // Why the server is not running, as a sentence; empty while it runs.
    QString failure() const { return m_failure; }

private:
    bool start();
    void stop();

    // Its path holds no spaces, which module arguments cannot carry.
    QTemporaryDir m_folder;
    QProcess m_process;
    ScopedEnvironment m_environment;
    QString m_failure;
};

} // namespace lq::test
