#include "LockHolder.h"
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
#include <unistd.h>

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

// Runs a Python script as the user "nobody"; the modules are imported before the switch, since
// that user may not read where they are installed.
void runAsNobody(QProcess &process, const char *script, const QStringList &arguments)
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("python3"),
                  QStringList{QStringLiteral("-c"),
                              QStringLiteral("import os, socket, sys\nos.setgid(65534)\n"
                                             "os.setuid(65534)\n") +
                                  QLatin1String(script)} +
                      arguments);
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
    const QString socket = QStringLiteral("/lumaquill-%1.socket").arg(::getuid());
    const struct
    {
        const char *name;
        bool privateRuntime;
        const char *fallbackBefore; // shell command; $0 is the fallback folder
        bool handsOver;
    } cases[] = {
        {"a private runtime folder", true, "", true},
        {"no runtime folder", false, "", true},
        {"a fallback another user made first", false, "mkdir -m 700 \"$0\" && chown 65534 \"$0\"",
         false},
        {"a fallback others may enter", false, "mkdir -m 777 \"$0\"", false},
        {"a fallback that is a link", false, "mkdir -m 700 \"$0.real\" && ln -s \"$0.real\" \"$0\"",
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir temporary;
        ScopedEnvironment environment;
        environment.set("TMPDIR", temporary.path());
        const QString runtime = temporary.filePath(QStringLiteral("runtime"));
        environment.set("XDG_RUNTIME_DIR", runtime);
        ASSERT_TRUE(!c.privateRuntime || QDir().mkdir(runtime, QFile::Permissions(0x7000)));
        const QString fallback = temporary.filePath(QStringLiteral("lumaquill-%1").arg(::getuid()));
        ASSERT_EQ(QProcess::execute("sh", {"-c", QString::fromLatin1(c.fallbackBefore), fallback}),
                  0);

        const QString path = InstanceForwarder::socketPath();
        const QString expected = c.privateRuntime ? runtime : c.handsOver ? fallback : QString();
        EXPECT_EQ(path, expected.isEmpty() ? QString() : expected + socket);
        if (c.handsOver) {
            EXPECT_EQ(QFileInfo(expected).permissions() & 0x0077, 0);
            InstanceForwarder running;
            EXPECT_TRUE(running.listen(path));
            // A later listener never takes a live copy's socket.
            EXPECT_FALSE(InstanceForwarder().listen(path));
            EXPECT_TRUE(sendWhileServing({{QStringLiteral("/x/a.mov")}, QString()}, path));
        }
    }
}

TEST(InstanceForwarderTest, NothingIsHandedOverToOrFromAnotherUser)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can run a process as another user";
    QTemporaryDir folder;
    // Any user may write in it, as in /tmp; the socket is then made reachable for everyone.
    ASSERT_TRUE(QFile::setPermissions(folder.path(), QFile::Permissions(0x7777)));
    const QString path = folder.filePath(QStringLiteral("forward.socket"));
    const LaunchRequest request{{QStringLiteral("/home/me/secret.mov")}, QString()};
    {
        SCOPED_TRACE("another user's listener, which confirms anything");
        QProcess squatter;
        runAsNobody(squatter,
                    "s=socket.socket(socket.AF_UNIX)\ns.bind(sys.argv[1])\ns.listen(1)\n"
                    "print('ready',flush=True)\nc,_=s.accept()\ntry:\n    c.sendall(b'K')\n"
                    "    c.recv(99)\nexcept OSError:\n    pass\n",
                    {path});
        ASSERT_TRUE(squatter.waitForReadyRead(10000));
        EXPECT_FALSE(InstanceForwarder::send(request, path, 2000ms));
        squatter.kill();
        squatter.waitForFinished();
        QFile::remove(path);
    }
    SCOPED_TRACE("another user's launch");
    InstanceForwarder forwarder;
    ASSERT_TRUE(forwarder.listen(path));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::Permissions(0x6666)));
    QSignalSpy received(&forwarder, &InstanceForwarder::requestReceived);
    QProcess launch;
    runAsNobody(launch,
                "c=socket.socket(socket.AF_UNIX)\nc.connect(sys.argv[1])\nc.settimeout(3)\n"
                "try:\n    c.sendall(bytes.fromhex(sys.argv[2]))\n    a=c.recv(1)\n"
                "except OSError:\n    a=b''\nprint('answer',a.hex(),flush=True)\n",
                {path, QString::fromLatin1(request.encoded().toHex())});
    lq::runEventLoopUntil([&] { return launch.state() == QProcess::NotRunning; }, 10000ms);
    EXPECT_EQ(launch.readAllStandardOutput().trimmed(), QByteArray("answer"));
    EXPECT_EQ(received.count(), 0);
}

} // namespace
