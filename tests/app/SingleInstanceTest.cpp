#include "LockHolder.h"
#include "OtherUserProcess.h"
#include "app/AppDelegate.h"
#include "app/InstanceForwarder.h"
#include "app/SingleInstanceLock.h"
#include "platform/foundation/MainThread.h"
#include "shared/ScopedEnvironment.h"
#include "support/ScriptedAlertPresenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using lq::test::LockHolder;
using lq::test::OtherUserProcess;

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

TEST(InstanceForwarderTest, TheSocketLivesInAFolderOnlyThisUserCanEnter)
{
    const QString uid = QString::number(::getuid());
    const QString socketName = QStringLiteral("lumaquill-%1.socket").arg(uid);
    struct Case
    {
        const char *name;
        std::optional<QFile::Permissions> runtime; // none: no $XDG_RUNTIME_DIR
        // Prepares the fallback folder at path before the look-up.
        std::function<void(const QString &path)> prepare;
        const char *expected; // "runtime", "fallback" or "" (no hand-over)
    };
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    const QFile::Permissions open = owner | QFile::ReadOther | QFile::ExeOther;
    const auto nothing = [](const QString &) {};
    const auto madeBy = [](uid_t user, mode_t mode) {
        return [user, mode](const QString &path) {
            ASSERT_EQ(::mkdir(QFile::encodeName(path).constData(), mode), 0);
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), user, user), 0);
        };
    };
    const Case cases[] = {
        {"a private runtime folder", owner, nothing, "runtime"},
        {"no runtime folder", std::nullopt, nothing, "fallback"},
        {"a runtime folder others may enter", open, nothing, "fallback"},
        {"a fallback of our own from before", std::nullopt, madeBy(::getuid(), 0700), "fallback"},
        {"a fallback another user made first", std::nullopt, madeBy(65534, 0700), ""},
        {"a fallback others may enter", std::nullopt, madeBy(::getuid(), 0777), ""},
        {"a fallback that links to a private folder", std::nullopt,
         [](const QString &path) { ASSERT_TRUE(QFile::link(QDir::homePath(), path)); }, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir temporary;
        ScopedEnvironment environment;
        environment.set("TMPDIR", temporary.path());
        const QString runtime = temporary.filePath(QStringLiteral("runtime"));
        if (c.runtime) {
            ASSERT_TRUE(QDir().mkpath(runtime));
            ASSERT_TRUE(QFile::setPermissions(runtime, *c.runtime));
            environment.set("XDG_RUNTIME_DIR", runtime);
        } else {
            environment.unset("XDG_RUNTIME_DIR");
        }
        const QString fallback = temporary.filePath(QStringLiteral("lumaquill-") + uid);
        ASSERT_NO_FATAL_FAILURE(c.prepare(fallback));

        const QString path = InstanceForwarder::socketPath();
        const QString expected = QLatin1String(c.expected) == QLatin1String("runtime")
                                     ? QDir(runtime).filePath(socketName)
                                 : QLatin1String(c.expected) == QLatin1String("fallback")
                                     ? QDir(fallback).filePath(socketName)
                                     : QString();
        EXPECT_EQ(path, expected);
        if (!path.isEmpty()) {
            struct stat folder = {};
            ASSERT_EQ(::lstat(QFile::encodeName(QFileInfo(path).path()).constData(), &folder), 0);
            EXPECT_EQ(folder.st_mode & 0777, 0700u);
            InstanceForwarder forwarder;
            EXPECT_TRUE(forwarder.listen(path));
        }
    }
}

TEST(InstanceForwarderTest, AListenerNeverTakesTheSocketOfALiveCopy)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("forward.socket"));
    InstanceForwarder running;
    ASSERT_TRUE(running.listen(path));
    {
        InstanceForwarder later;
        EXPECT_FALSE(later.listen(path));
    }
    QSignalSpy received(&running, &InstanceForwarder::requestReceived);
    EXPECT_TRUE(sendWhileServing({{QStringLiteral("/x/a.mov")}, QString()}, path));
    lq::runEventLoopUntil([&] { return received.count() == 1; }, 2000ms);
    EXPECT_EQ(received.count(), 1);
}

TEST(InstanceForwarderTest, NothingIsHandedOverToOrFromAnotherUser)
{
    if (!OtherUserProcess::canRun())
        GTEST_SKIP() << "only root can run a process as another user";
    QTemporaryDir folder;
    // A folder any user may write in, as /tmp is.
    ASSERT_TRUE(QFile::setPermissions(folder.path(), QFile::Permissions(0x7777)));
    const QString path = folder.filePath(QStringLiteral("forward.socket"));
    const LaunchRequest request{{QStringLiteral("/home/me/secret.mov")}, QString()};
    {
        SCOPED_TRACE("another user's listener, which confirms anything");
        OtherUserProcess squatter(QStringLiteral("s=socket.socket(socket.AF_UNIX)\n"
                                                 "s.bind(sys.argv[1])\n"
                                                 "s.listen(1)\n"
                                                 "print('ready',flush=True)\n"
                                                 "c,_=s.accept()\n"
                                                 "c.sendall(b'K')\n"
                                                 "c.recv(65536)\n"),
                                  {path});
        ASSERT_TRUE(squatter.process().waitForReadyRead(10000));
        EXPECT_FALSE(InstanceForwarder::send(request, path, 2000ms));
        QFile::remove(path);
    }
    {
        SCOPED_TRACE("another user's launch");
        InstanceForwarder forwarder;
        ASSERT_TRUE(forwarder.listen(path));
        ASSERT_TRUE(QFile::setPermissions(path, QFile::Permissions(0x6666)));
        QSignalSpy received(&forwarder, &InstanceForwarder::requestReceived);
        OtherUserProcess launch(QStringLiteral("c=socket.socket(socket.AF_UNIX)\n"
                                               "c.connect(sys.argv[1])\n"
                                               "c.settimeout(3)\n"
                                               "try:\n"
                                               "    c.sendall(bytes.fromhex(sys.argv[2]))\n"
                                               "    a=c.recv(1)\n"
                                               "except OSError:\n"
                                               "    a=b''\n"
                                               "print('answer',a.hex(),flush=True)\n"),
                                {path, QString::fromLatin1(request.encoded().toHex())});
        lq::runEventLoopUntil([&] { return launch.process().state() == QProcess::NotRunning; },
                              10000ms);
        EXPECT_EQ(launch.process().readAllStandardOutput().trimmed(), QByteArray("answer"));
        EXPECT_EQ(received.count(), 0);
    }
}

} // namespace
