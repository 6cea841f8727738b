#include "LockHolder.h"
#include "app/AppDelegate.h"
#include "app/InstanceForwarder.h"
#include "app/SingleInstanceLock.h"
#include "platform/foundation/MainThread.h"
#include "support/ScriptedAlertPresenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using lq::test::LockHolder;

TEST(SingleInstanceLockTest, OutcomeDependsOnWhoHoldsTheFile)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("ASLock"));
    {
        SCOPED_TRACE("held by another process");
        LockHolder holder(path);
        ASSERT_TRUE(holder.locked());
        SingleInstanceLock lock;
        bool existed = false;
        EXPECT_EQ(lock.acquire(path, &existed), SingleInstanceLock::Outcome::Held);
        EXPECT_TRUE(existed);
        EXPECT_EQ(lock.fd(), -1);
    }
    {
        SCOPED_TRACE("stale file left by a crashed copy");
        ASSERT_TRUE(QFileInfo::exists(path));
        SingleInstanceLock lock;
        bool existed = false;
        EXPECT_EQ(lock.acquire(path, &existed), SingleInstanceLock::Outcome::Taken);
        EXPECT_TRUE(existed);
        lock.release();
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_EQ(lock.fd(), -1);
        lock.release(); // a second release closes nothing
    }
    {
        SCOPED_TRACE("no file yet");
        SingleInstanceLock lock;
        bool existed = true;
        EXPECT_EQ(lock.acquire(path, &existed), SingleInstanceLock::Outcome::Taken);
        EXPECT_FALSE(existed);
        EXPECT_EQ(QFileInfo(path).permissions() & QFile::WriteOther, 0);
    }
    {
        SCOPED_TRACE("cannot be created (a plain file where the folder should be)");
        QFile plain(folder.filePath(QStringLiteral("plain")));
        ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
        SingleInstanceLock lock;
        EXPECT_EQ(lock.acquire(plain.fileName() + QStringLiteral("/ASLock")),
                  SingleInstanceLock::Outcome::NoLockFile);
    }
}

TEST(SingleInstanceLockTest, AnotherCopyRunningAlertsOnlyWhenTheLockIsHeld)
{
    QTemporaryDir folder;
    AppDelegate &delegate = AppDelegate::init();
    lq::test::ScriptedAlertPresenter alerts;
    {
        LockHolder holder(folder.filePath(QStringLiteral("ASLock")));
        ASSERT_TRUE(holder.locked());
        EXPECT_TRUE(delegate.anotherCopyRunning(folder.path()));
        ASSERT_EQ(alerts.count(), 1);
        EXPECT_EQ(alerts.last().request.messageText,
                  QStringLiteral("Error: Luma Quill is already running"));
        EXPECT_EQ(alerts.last().request.informativeText,
                  QStringLiteral("This copy of Luma Quill will now exit. Please exit all other "
                                 "copies of Luma Quill if you would like to run this one."));
    }
    EXPECT_FALSE(delegate.anotherCopyRunning(folder.path()));
    EXPECT_FALSE(delegate.anotherCopyRunning(QString()));
    EXPECT_EQ(alerts.count(), 1);
    delegate.goingDown();
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("ASLock"))));
    AppDelegate::destroy();
}

// Sends request from another thread while the main thread serves the socket.
bool sendWhileServing(const LaunchRequest &request, const QString &path)
{
    std::atomic<bool> done{false};
    bool sent = false;
    std::thread client([&] {
        sent = InstanceForwarder::send(request, path, 3000ms);
        done = true;
    });
    lq::runEventLoopUntil([&] { return done.load(); }, 10000ms);
    client.join();
    return sent;
}

TEST(InstanceForwarderTest, AValidRequestIsDeliveredAndConfirmed)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("forward.socket"));
    InstanceForwarder forwarder;
    ASSERT_TRUE(forwarder.listen(path));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::WriteOther), 0);
    QSignalSpy received(&forwarder, &InstanceForwarder::requestReceived);
    const LaunchRequest request{{QStringLiteral("/x/slides.pdf"), QStringLiteral("/y/a.mov")},
                                QStringLiteral("moon")};
    EXPECT_TRUE(sendWhileServing(request, path));
    lq::runEventLoopUntil([&] { return received.count() == 1; }, 2000ms);
    ASSERT_EQ(received.count(), 1);
    EXPECT_EQ(received.at(0).at(0).value<LaunchRequest>(), request);
}

TEST(InstanceForwarderTest, NothingIsDeliveredWithoutAValidRequest)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("forward.socket"));
    {
        SCOPED_TRACE("nobody listens");
        EXPECT_FALSE(InstanceForwarder::send({}, path, 200ms));
    }
    InstanceForwarder forwarder;
    {
        SCOPED_TRACE("a stale socket file is replaced");
        QFile stale(path);
        ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
        stale.close();
        ASSERT_TRUE(forwarder.listen(path));
    }
    QSignalSpy received(&forwarder, &InstanceForwarder::requestReceived);
    const QByteArray cases[] = {
        QByteArray("GET / HTTP/1.1\r\n\r\n"),
        QByteArray("LUMAQUILL-OPEN-1F\0\0\0\x03a/bE", 25),
        QByteArray("LUMAQUILL-OPEN-1") + QByteArray(LaunchRequest::kMaxEncodedBytes, 'F'),
    };
    for (const QByteArray &bytes : cases) {
        std::atomic<bool> done{false};
        QByteArray answer;
        std::thread client([&] {
            QLocalSocket socket;
            socket.connectToServer(path);
            if (socket.waitForConnected(2000)) {
                socket.write(bytes);
                socket.waitForBytesWritten(2000);
                // The server drops the connection without an answer.
                socket.waitForDisconnected(3000);
                answer = socket.readAll();
            }
            done = true;
        });
        lq::runEventLoopUntil([&] { return done.load(); }, 10000ms);
        client.join();
        EXPECT_TRUE(answer.isEmpty());
    }
    EXPECT_EQ(received.count(), 0);
}

} // namespace
