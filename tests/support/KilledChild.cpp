#include "support/KilledChild.h"

#include "platform/foundation/MainThread.h"

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

bool ChildTestProcess::waitForLine(const QByteArray &line, std::chrono::milliseconds limit)
{
    const QByteArray wanted = '\n' + line + '\n';
    return runEventLoopUntil(
        [&] {
            m_output += m_process.readAllStandardOutput();
            return m_output.contains(wanted);
        },
        limit);
}

bool ChildTestProcess::killAfter(std::chrono::milliseconds runFor)
{
    runEventLoopUntil([] { return false; }, runFor);
    m_process.kill();
    return m_process.waitForFinished(5000);
}

namespace {

void waitAndKill(QProcess &child, int longestMillis, const QByteArray &mark, int *waited)
{
    ASSERT_TRUE(child.waitForStarted(10000));
    QByteArray output;
    while (output.isEmpty() || !output.contains(mark)) {
        ASSERT_TRUE(child.waitForReadyRead(20000)) << output.toStdString();
        output += child.readAllStandardOutput();
    }
    *waited = QRandomGenerator::global()->bounded(20, longestMillis);
    QThread::msleep(static_cast<unsigned long>(*waited));
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(10000);
}

} // namespace

int killChildAtRandom(const QString &test, const char *variable, const QString &value,
                      int longestMillis, const QByteArray &mark)
{
    ChildTestProcess child(test, {{variable, value}});
    int waited = 0;
    waitAndKill(child.process(), longestMillis, mark, &waited);
    return waited;
}

} // namespace lq::test
