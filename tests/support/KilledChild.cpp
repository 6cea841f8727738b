#include "support/KilledChild.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace lq::test {

namespace {

void waitAndKill(QProcess &child, int longestMillis, const QByteArray &mark, KilledChildRun &run)
{
    ASSERT_TRUE(child.waitForStarted(10000));
    QDeadlineTimer deadline(20000);
    do {
        ASSERT_TRUE(child.waitForReadyRead(int(deadline.remainingTime())))
            << "the child wrote " << run.output.toStdString();
        run.output += child.readAllStandardOutput();
    } while (!run.output.contains(mark));
    run.waitedMillis = QRandomGenerator::global()->bounded(20, longestMillis);
    QThread::msleep(static_cast<unsigned long>(run.waitedMillis));
    ::kill(pid_t(child.processId()), SIGKILL);
    child.waitForFinished(10000);
}

} // namespace

KilledChildRun killChildAtRandom(const QString &test, const char *variable, const QString &value,
                                 int longestMillis, const QByteArray &mark)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(variable), value);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=") + test});
    KilledChildRun run;
    waitAndKill(child, longestMillis, mark, run);
    return run;
}

} // namespace lq::test
