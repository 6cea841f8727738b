#include "support/KilledChild.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace lq::test {

ChildTestProcess::ChildTestProcess(const QString &test, Variables variables)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), m_temporaryFolder.path());
    for (const auto &[name, value] : variables)
        environment.insert(QString::fromLatin1(name), value);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--gtest_filter=") + test});
}

ChildTestProcess::~ChildTestProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(10000);
}

void killChildAtRandom(const QString &test, const char *variable, const QString &value,
                       int longestMillis)
{
    ChildTestProcess child(test, {{variable, value}});
    QProcess &process = child.process();
    ASSERT_TRUE(process.waitForStarted(10000));
    ASSERT_TRUE(process.waitForReadyRead(20000));
    QThread::msleep(QRandomGenerator::global()->bounded(20, longestMillis));
    ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished(10000);
}

} // namespace lq::test
