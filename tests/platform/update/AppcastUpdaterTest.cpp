#include "platform/update/AppcastUpdater.h"

#include "platform/foundation/MainThread.h"
#include "platform/update/UpdateFeeds.h"
#include "support/TestUserDefaults.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using lq::AppcastUpdater;
using lq::UpdateCheckResult;
using Status = lq::UpdateCheckResult::Status;

namespace {

QByteArray feedWithVersion(const QString &version)
{
    return QStringLiteral(R"(<rss version="2.0"><channel><item><title>Luma Quill %1</title>
<enclosure url="https://example.org/lumaquill-%1.tar.gz" shortVersionString="%1"/>
</item></channel></rss>)")
        .arg(version)
        .toUtf8();
}

UpdateCheckResult checkNow(AppcastUpdater &updater)
{
    std::optional<UpdateCheckResult> result;
    QObject::connect(&updater, &lq::Updater::checkFinished,
                     [&](const UpdateCheckResult &finished) { result = finished; });
    updater.checkForUpdates();
    EXPECT_TRUE(
        lq::runEventLoopUntil([&] { return result.has_value(); }, std::chrono::seconds(20)));
    return result.value_or(UpdateCheckResult{});
}

// Answers every request on a loopback port with one HTTP response.
class LoopbackFeedServer
{
public:
    explicit LoopbackFeedServer(QByteArray body) : m_body(std::move(body))
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/rss+xml\r\n"
                              "Connection: close\r\nContent-Length: " +
                              QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        });
        m_server.listen(QHostAddress::LocalHost);
    }

    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/feed.xml").arg(m_server.serverPort()));
    }

private:
    QTcpServer m_server;
    QByteArray m_body;
};

class AppcastUpdaterTest : public testing::Test
{
protected:
    QUrl writeFeed(const QByteArray &contents)
    {
        const QString path = m_folder.filePath(QStringLiteral("appcast.xml"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return QUrl::fromLocalFile(path);
    }

    lq::test::TestUserDefaults m_defaults;
    QTemporaryDir m_folder;
};

} // namespace

TEST_F(AppcastUpdaterTest, TellsWhetherTheFeedHoldsANewerVersion)
{
    struct Case
    {
        const char *feedVersion;
        Status status;
    };
    for (const Case &c : {Case{"3.2", Status::NewerVersionAvailable}, Case{"3.1", Status::UpToDate},
                          Case{"3.0.9", Status::UpToDate}}) {
        AppcastUpdater updater;
        updater.setCurrentVersion(QStringLiteral("3.1"));
        updater.setFeedURL(writeFeed(feedWithVersion(QString::fromLatin1(c.feedVersion))));
        const UpdateCheckResult result = checkNow(updater);
        EXPECT_EQ(result.status, c.status) << c.feedVersion;
        EXPECT_TRUE(result.userInitiated);
        EXPECT_EQ(result.newestVersion, QString::fromLatin1(c.feedVersion));
        EXPECT_EQ(result.currentVersion, QStringLiteral("3.1"));
        EXPECT_EQ(result.downloadURL.host(), QStringLiteral("example.org"));
    }
}

TEST_F(AppcastUpdaterTest, ReadsAFeedOverHttp)
{
    LoopbackFeedServer server(feedWithVersion(QStringLiteral("9.0")));
    AppcastUpdater updater;
    updater.setFeedURL(server.url());
    const UpdateCheckResult result = checkNow(updater);
    EXPECT_EQ(result.status, Status::NewerVersionAvailable) << qPrintable(result.failureReason);
    EXPECT_EQ(result.newestVersion, QStringLiteral("9.0"));
}

TEST_F(AppcastUpdaterTest, AMissingOrBrokenFeedFails)
{
    AppcastUpdater updater;
    updater.setFeedURL(QUrl::fromLocalFile(m_folder.filePath(QStringLiteral("missing.xml"))));
    UpdateCheckResult result = checkNow(updater);
    EXPECT_EQ(result.status, Status::Failed);
    EXPECT_FALSE(result.failureReason.isEmpty());

    updater.setFeedURL(writeFeed("<rss><channel></channel></rss>"));
    result = checkNow(updater);
    EXPECT_EQ(result.status, Status::Failed);
    EXPECT_TRUE(result.newestVersion.isEmpty());
}

TEST_F(AppcastUpdaterTest, SettingsAreStoredAndAnnounced)
{
    AppcastUpdater updater;
    EXPECT_FALSE(updater.automaticallyChecksForUpdates());
    EXPECT_EQ(updater.feedURL(), lq::UpdateFeeds::release());

    QSignalSpy automatic(&updater, &lq::Updater::automaticallyChecksForUpdatesChanged);
    QSignalSpy feed(&updater, &lq::Updater::feedURLChanged);
    updater.setAutomaticallyChecksForUpdates(true);
    updater.setFeedURL(lq::UpdateFeeds::beta());
    EXPECT_EQ(automatic.count(), 1);
    EXPECT_EQ(feed.count(), 1);

    AppcastUpdater again;
    EXPECT_TRUE(again.automaticallyChecksForUpdates());
    EXPECT_EQ(again.feedURL(), lq::UpdateFeeds::beta());
}

TEST_F(AppcastUpdaterTest, AsksTheDelegateOnlyWhileAutomaticChecksWereNeverChosen)
{
    struct Delegate : lq::UpdaterDelegate
    {
        bool answer = false;
        int asked = 0;
        bool updaterShouldPromptForPermissionToCheckForUpdates(lq::Updater &) override
        {
            ++asked;
            return answer;
        }
    } delegate;
    AppcastUpdater updater;
    updater.setDelegate(&delegate);
    QSignalSpy requested(&updater, &lq::Updater::permissionRequested);

    updater.start();
    EXPECT_EQ(delegate.asked, 1);
    EXPECT_EQ(requested.count(), 0);

    delegate.answer = true;
    updater.start();
    EXPECT_EQ(requested.count(), 1);

    updater.setAutomaticallyChecksForUpdates(false);
    updater.start();
    EXPECT_EQ(delegate.asked, 2);
    EXPECT_EQ(requested.count(), 1);
}
