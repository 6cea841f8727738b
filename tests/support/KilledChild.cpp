#include "support/KilledChild.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace lq::test {

void killChildAtRandom(const QString &test, const char *variable, const QString &value,
                       int longestMillis)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(variable), value);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + test});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.waitForReadyRead(20000));
    QThread::msleep(QRandomGenerator::global()->bounded(20, longestMillis));
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(10000);
}

} // namespace lq::test
