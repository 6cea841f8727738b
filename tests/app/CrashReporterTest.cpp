// The crash reporter: logs a crash leaves, what the next start offers of them, and the report as
// it reaches the report address.

#include "app/CrashReporter.h"

#include "app/CrashLogWriter.h"
#include "app/SystemInfo.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ClockSource.h"
#include "shared/ScopedEnvironment.h"
#include "support/KilledChild.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/TestUserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <stdexcept>
#include <thread>

namespace lq::test {
namespace {

constexpr char kCrashVariable[] = "LQ_CRASH_REPORTER_CHILD";
// The parent's crash folder (a child test program has folders of its own).
constexpr char kFolderVariable[] = "LQ_CRASH_REPORTER_FOLDER";

// Answers one HTTP request with a status and keeps what it received.
class LoopbackServer
{
public:
    explicit LoopbackServer(int status) : m_status(status)
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            QTcpSocket *socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                received += socket->readAll();
                const qsizetype end = received.indexOf("\r\n\r\n");
                if (end < 0 || received.size() < end + 4 + contentLength())
                    return;
                socket->write("HTTP/1.1 " + QByteArray::number(m_status) +
                              " Status\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
            });
        });
    }
    QUrl address() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/report").arg(m_server.serverPort()));
    }
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : received.left(received.indexOf("\r\n\r\n")).split('\n'))
            if (line.toLower().startsWith(name.toLower() + ':'))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }
    QByteArray body() const { return received.mid(received.indexOf("\r\n\r\n") + 4); }

    QByteArray received;

private:
    qsizetype contentLength() const { return header("Content-Length").toLongLong(); }

    QTcpServer m_server;
    int m_status;
};

enum class Answer { Send, Remind, Discard };

struct Offer
{
    bool offered = false;
    QString log;
};

class CrashReporterTest : public ::testing::Test
{
protected:
    CrashReporterTest()
    {
        environment.set("XDG_STATE_HOME", state.path());
        QDir().mkpath(crash_log::folder());
    }
    ~CrashReporterTest() override { JXCrashReporter::setReportAddress({}); }

    static QString logPath(const QString &stamp)
    {
        return QDir(crash_log::folder())
            .filePath(crash_log::programName() + QLatin1Char('_') + stamp + "_host.crash");
    }
    static void writeLog(const QString &stamp, const QByteArray &text,
                         const QDateTime &modified = QDateTime::currentDateTime())
    {
        QFile file(logPath(stamp));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.flush();
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
    static QByteArray crash(const QByteArray &what, const QString &version = Bundle::shortVersion())
    {
        return "Process:     test\nVersion:     " + version.toUtf8() + " (abc)\n" + what + "\n";
    }

    // A start of the program: the check runs, and the window it shows gets the answer.
    Offer start(Answer answer, const QString &comment = {})
    {
        Offer offer;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
            auto *reporter = qobject_cast<JXCrashReporter *>(QApplication::activeModalWidget());
            if (!reporter || !reporter->isVisible() || offer.offered)
                return;
            offer.offered = true;
            offer.log = reporter->findChild<QPlainTextEdit *>("crashLogField")->toPlainText();
            if (!comment.isEmpty())
                reporter->findChild<QPlainTextEdit *>("informationField")->setPlainText(comment);
            const char *button = answer == Answer::Send     ? "sendButton"
                                 : answer == Answer::Remind ? "remindButton"
                                                            : "discardButton";
            reporter->findChild<QPushButton *>(QLatin1String(button))->click();
        });
        poll.start(10);
        EXPECT_EQ(JXCrashReporterCheckForCrash(facts), offer.offered);
        return offer;
    }

    QTemporaryDir state;
    ScopedEnvironment environment;
    TestUserDefaults defaults;
    ScriptedAlertPresenter alerts;
    MachineFacts facts{QStringLiteral("Unknown (Test Machine)"), 1, 2400, QStringLiteral("12.5.0")};
};

TEST_F(CrashReporterTest, TheNewestLogOfThisVersionIsOfferedWithItsLastCrash)
{
    const QDateTime now = QDateTime::currentDateTime();
    struct Case
    {
        const char *name;
        QList<std::pair<QByteArray, QDateTime>> logs; // written as files, or folders when empty
        bool offered;
        QString shows;
        QString hides;
    };
    const QByteArray three = crash("first") + "\n\n**********\n\n" + crash("second") +
                             "\n\n**********\n\n" + crash("third");
    const Case cases[] = {
        {"the later of two",
         {{crash("older"), now.addSecs(-60)}, {crash("newer"), now}},
         true,
         "newer",
         "older"},
        {"the last of three", {{three, now}}, true, "third", "second"},
        {"another version", {{crash("other", QStringLiteral("0.9")), now}}, false, {}, {}},
        {"unreadable", {{QByteArray(), now}}, true, "*** Couldn't read Report ***", "\x01"},
        {"Latin-1", {{crash("caf\xe9"), now}}, true, QString::fromUtf8("caf\xc3\xa9"), "\x01"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(crash_log::folder()).removeRecursively();
        QDir().mkpath(crash_log::folder());
        int index = 0;
        for (const auto &[text, modified] : c.logs) {
            const QString stamp = QStringLiteral("2026-01-0%1-000000").arg(++index);
            if (text.isEmpty())
                ASSERT_TRUE(QDir().mkpath(logPath(stamp)));
            else
                writeLog(stamp, text, modified);
        }
        const Offer offer = start(Answer::Remind);
        ASSERT_EQ(offer.offered, c.offered);
        EXPECT_FALSE(defaults->contains(JXCrashReporter::kLastCrashReportDateKey));
        if (!c.offered)
            continue;
        EXPECT_TRUE(offer.log.startsWith("Model: Unknown (Test Machine)\nCPU Speed: 2.40 GHz\n"));
        EXPECT_TRUE(offer.log.contains(c.shows)) << offer.log.toStdString();
        EXPECT_FALSE(offer.log.contains(c.hides)) << offer.log.toStdString();
        EXPECT_TRUE(offer.log.contains("\n\nPreferences:\n{"));
    }
}

TEST_F(CrashReporterTest, OnlyADeliveredOrDiscardedLogCountsAsDealtWith)
{
    // Times at which a single-precision store is off by about a minute: 63 s late, 63 s early.
    const auto at = [](double seconds) {
        return QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000));
    };
    ManualClockSource clock;
    ClockSource::setCurrent(&clock);
    const auto systemClock = qScopeGuard([] { ClockSource::setCurrent(nullptr); });
    struct Case
    {
        const char *name;
        Answer answer;
        int status; // 0: nobody listens
        bool offeredAgain;
    };
    const Case cases[] = {
        {"discard", Answer::Discard, 200, false},  {"sent", Answer::Send, 200, false},
        {"remind", Answer::Remind, 200, true},     {"refused", Answer::Send, 0, true},
        {"server error", Answer::Send, 500, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults->removeObject(JXCrashReporter::kLastCrashReportDateKey);
        QDir(crash_log::folder()).removeRecursively();
        QDir().mkpath(crash_log::folder());
        clock.setWallNow(Date::fromSecondsSince1970(1'700'000'063));
        writeLog(QStringLiteral("2026-01-01-000000"), crash("boom"), at(1'700'000'058));
        LoopbackServer server(c.status);
        JXCrashReporter::setReportAddress(c.status ? server.address()
                                                   : QUrl(QStringLiteral("http://127.0.0.1:1/")));
        const int alertsBefore = alerts.count();
        ASSERT_TRUE(start(c.answer).offered);
        const bool failed = c.answer == Answer::Send && c.status != 200;
        EXPECT_EQ(alerts.count(), alertsBefore + (failed ? 1 : 0));
        if (failed) {
            EXPECT_EQ(alerts.last().request.messageText, "The crash report could not be sent.");
        }
        defaults.restart();
        EXPECT_EQ(start(Answer::Remind).offered, c.offeredAgain);
    }
    // A crash half a minute after the last one was dealt with is a new one.
    clock.setWallNow(Date::fromSecondsSince1970(1'700'000'065));
    writeLog(QStringLiteral("2026-01-02-000000"), crash("boom"), at(1'700'000'060));
    EXPECT_TRUE(start(Answer::Discard).offered);
    writeLog(QStringLiteral("2026-01-03-000000"), crash("again"), at(1'700'000'095));
    EXPECT_TRUE(start(Answer::Remind).log.contains("again"));
}

TEST_F(CrashReporterTest, TheReportArrivesAsOneFormFieldBetweenTwoBoundaries)
{
    writeLog(QStringLiteral("2026-01-01-000000"), crash("boom 0xKhTmLbOuNdArY"));
    LoopbackServer server(200);
    JXCrashReporter::setReportAddress(server.address());
    const Offer offer = start(Answer::Send, QStringLiteral("I typed 0xKhTmLbOuNdArY"));
    ASSERT_TRUE(offer.offered);

    EXPECT_EQ(server.header("Content-Type"), "multipart/form-data; boundary=0xKhTmLbOuNdArY");
    EXPECT_EQ(server.header("User-Agent"), "JXCrashReporter");
    EXPECT_EQ(server.header("Content-Length").toLongLong(), server.body().size());
    const QByteArray expected =
        "--0xKhTmLbOuNdArY\r\nContent-Disposition: form-data; name=\"crashlog\"\r\n\r\n"
        "I typed USED_TO_BE_KHTMLBOUNDARY\n==========\n" +
        QString(offer.log).replace("0xKhTmLbOuNdArY", "USED_TO_BE_KHTMLBOUNDARY").toUtf8() +
        "\r\n--0xKhTmLbOuNdArY--\r\n";
    EXPECT_EQ(server.body(), expected);
    EXPECT_EQ(server.body().count("0xKhTmLbOuNdArY"), 2);
}

TEST_F(CrashReporterTest, FeedbackShowsTheSystemAndLeavesTheCrashDateAlone)
{
    JXFeedbackProvider::orderFrontFeedbackWindow();
    JXCrashReporter *reporter = nullptr;
    for (QWidget *window : QApplication::topLevelWidgets())
        if (auto *found = qobject_cast<JXCrashReporter *>(window); found && found->isVisible())
            reporter = found;
    ASSERT_NE(reporter, nullptr);
    EXPECT_TRUE(reporter->feedbackMode());
    EXPECT_TRUE(reporter->findChild<QPushButton *>("remindButton")->isHidden());
    EXPECT_EQ(reporter->findChild<QTabWidget *>()->tabText(1), "System Information");
    const QString log = reporter->findChild<QPlainTextEdit *>("crashLogField")->toPlainText();
    EXPECT_TRUE(log.startsWith("Application: Luma Quill " + Bundle::buildRevision() + "\n"));
    EXPECT_TRUE(log.contains("\nSystem Version: ")) << log.toStdString();
    reporter->grab().save(
        QDir(QCoreApplication::applicationDirPath()).filePath("crash-reporter-feedback.png"));
    QPointer<JXCrashReporter> gone(reporter);
    reporter->findChild<QPushButton *>("discardButton")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gone.isNull());
    EXPECT_FALSE(defaults->contains(JXCrashReporter::kLastCrashReportDateKey));
}

// Run as a child: installs the handlers and dies the way the variable says.
TEST(CrashReporterChild, Crash)
{
    const QString how = qEnvironmentVariable(kCrashVariable);
    if (how.isEmpty())
        GTEST_SKIP() << "runs only as a child of LeavesALogTheNextStartOffers";
    const rlimit noCore = {0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ASSERT_TRUE(crash_log::install(qEnvironmentVariable(kFolderVariable)));
    if (how == "segv")
        ::raise(SIGSEGV);
    else if (how == "abort")
        std::abort();
    else if (how == "exception")
        // Out of the test's reach: a thread's function that throws ends the program.
        std::thread([] { throw std::runtime_error("nobody catches this"); }).join();
    else
        qFatal("fatal test message");
}

TEST_F(CrashReporterTest, ACrashedChildLeavesALogTheNextStartOffers)
{
    struct Case
    {
        const char *how;
        int signal;
        const char *reason;
    };
    const Case cases[] = {
        {"segv", SIGSEGV, "Crashed with: SIGSEGV (11)"},
        {"abort", SIGABRT, "Crashed with: SIGABRT (6)"},
        {"exception", SIGABRT, "Reason:      uncaught exception: nobody catches this"},
        {"fatal", SIGABRT, "Reason:      fatal message: fatal test message"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        if (c.signal == SIGSEGV && crash_log::sanitizerOwnsFaultSignals())
            continue; // the sanitizer reports the fault itself
        QDir(crash_log::folder()).removeRecursively();
        defaults->removeObject(JXCrashReporter::kLastCrashReportDateKey);
        ChildTestProcess child(
            QStringLiteral("CrashReporterChild.Crash"),
            {{kCrashVariable, QString::fromLatin1(c.how)}, {kFolderVariable, crash_log::folder()}});
        ASSERT_TRUE(child.process().waitForFinished(30000));
        EXPECT_EQ(child.process().exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(child.process().exitCode(), c.signal);

        const QString path = JXCrashReporterFindTenFiveCrashReportPath(crash_log::programName(),
                                                                       crash_log::folder());
        ASSERT_FALSE(path.isEmpty());
        QFile log(path);
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        EXPECT_TRUE(text.contains("\nVersion:     " + Bundle::shortVersion() + " ("))
            << text.toStdString();
        EXPECT_TRUE(text.contains(c.reason)) << text.toStdString();
        EXPECT_TRUE(text.contains("Backtrace:\n")) << text.toStdString();
        EXPECT_TRUE(start(Answer::Discard).log.contains(c.reason));
    }
}

} // namespace
} // namespace lq::test
