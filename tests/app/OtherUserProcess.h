#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <unistd.h>

namespace lq::test {

// A Python script run as the user "nobody" (uid and gid 65534), for what another user on the
// machine may do; needs root, as in CI. The modules it may use are imported before the switch,
// since nobody may not read where they are installed.
class OtherUserProcess
{
public:
    static bool canRun() { return ::geteuid() == 0; }

    OtherUserProcess(const QString &script, const QStringList &arguments)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("python3"),
                        QStringList{QStringLiteral("-c"), QStringLiteral("import os, socket, sys\n"
                                                                         "os.setgid(65534)\n"
                                                                         "os.setuid(65534)\n") +
                                                              script} +
                            arguments);
    }
    ~OtherUserProcess()
    {
        m_process.kill();
        m_process.waitForFinished();
    }

    QProcess &process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace lq::test
