#include "support/KilledChild.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace lq::test {

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
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(variable), value);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + test});
    int waited = 0;
    waitAndKill(child, longestMillis, mark, &waited);
    return waited;
}

} // namespace lq::test
