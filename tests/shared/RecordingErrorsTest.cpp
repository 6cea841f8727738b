#include "shared/RecordingErrors.h"

#include "support/LogCapture.h"

#include <QList>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

class RecordingHandler : public BMRecordingErrorHandler
{
public:
    struct Report
    {
        QString message;
        bool shouldRetry;
        std::thread::id thread;
    };

    void recordingErrorOccurred(const QString &message, bool shouldRetry) override
    {
        std::lock_guard lock(mutex);
        reports.append({message, shouldRetry, std::this_thread::get_id()});
    }

    std::mutex mutex;
    QList<Report> reports;
};

TEST(RecordingErrorsTest, HandlerGetsMessageAndRetryFromAWorkerThread)
{
    RecordingHandler handler;
    lq::test::LogCapture log;
    std::thread::id worker;
    std::thread thread([&] {
        worker = std::this_thread::get_id();
        reportRecordingError(&handler, QStringLiteral("The camera stopped."), true);
        reportRecordingError(&handler, QStringLiteral("The disk is full."), false);
    });
    thread.join();

    ASSERT_EQ(handler.reports.size(), 2);
    EXPECT_EQ(handler.reports[0].message, QStringLiteral("The camera stopped."));
    EXPECT_TRUE(handler.reports[0].shouldRetry);
    EXPECT_EQ(handler.reports[1].message, QStringLiteral("The disk is full."));
    EXPECT_FALSE(handler.reports[1].shouldRetry);
    EXPECT_EQ(handler.reports[0].thread, worker);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(RecordingErrorsTest, WithoutHandlerTheMessageIsLogged)
{
    lq::test::LogCapture log;
    std::thread thread(
        [] { reportRecordingError(nullptr, QStringLiteral("The microphone vanished."), true); });
    thread.join();

    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("The microphone vanished.")});
}

} // namespace
