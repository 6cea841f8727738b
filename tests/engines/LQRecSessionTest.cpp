#include "engines/LQRecSession.h"

#include "engines/LQRecordingController.h"
#include "support/FakeRecSession.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>

namespace {

using lq::test::FakeRecSession;
using Callback = LQRecSessionOwner::Callback;

// An owner that answers the callbacks it is given and counts what reaches it.
class CountingOwner final : public LQRecSessionOwner, public LQRecordingController
{
public:
    explicit CountingOwner(std::set<Callback> answered = {}) : m_answered(std::move(answered)) {}

    bool answers(Callback callback) const override { return m_answered.count(callback) > 0; }
    void didStartRecordingToOutputFile(const QUrl &url, double) override { started.append(url); }
    void sessionRecordingCompleted(LQRecSession *engine) override { completed.append(engine); }
    LQRecordingController *controller() override { return this; }
    void recordingStopped() override { ++stoppedReports; }
    void stopRecording() override { ++stopRequests; }

    QList<QUrl> started;
    QList<LQRecSession *> completed;
    int stoppedReports = 0;
    int stopRequests = 0;

private:
    std::set<Callback> m_answered;
};

void recordOneSession(FakeRecSession &engine, const QString &stem)
{
    ASSERT_TRUE(engine.startRecording(stem, true, false));
    QStringList files;
    ASSERT_TRUE(engine.stopRecording(&files));
}

TEST(LQRecSessionTest, AudioLevelStartsIdleAndSignalsEachChangeOnTheMainThread)
{
    FakeRecSession engine;
    EXPECT_FLOAT_EQ(engine.audioLevel(), LQRecSession::kIdleAudioLevel);
    EXPECT_FLOAT_EQ(engine.property("audioLevel").toFloat(), -60.0f);

    QSignalSpy spy(&engine, &LQRecSession::audioLevelChanged);
    QThread *signalThread = nullptr;
    QObject::connect(
        &engine, &LQRecSession::audioLevelChanged, &engine,
        [&] { signalThread = QThread::currentThread(); }, Qt::DirectConnection);

    engine.setAudioLevel(-20.0f);
    ASSERT_EQ(spy.count(), 1); // synchronously on the main thread
    engine.setAudioLevel(-20.0f);
    EXPECT_EQ(spy.count(), 1); // no change, no signal

    std::thread worker([&] { engine.setAudioLevel(-12.5f); });
    worker.join();
    EXPECT_FLOAT_EQ(engine.audioLevel(), -12.5f); // the value is there at once
    EXPECT_EQ(spy.count(), 1);                    // the signal waits for the main thread
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 2);
    EXPECT_FLOAT_EQ(spy.at(1).at(0).toFloat(), -12.5f);
    EXPECT_EQ(signalThread, QCoreApplication::instance()->thread());
}

TEST(LQRecSessionTest, LevelSetElsewhereForAnEngineAlreadyGoneIsDropped)
{
    auto engine = std::make_unique<FakeRecSession>();
    std::thread worker([&] { engine->setAudioLevel(-3.0f); });
    worker.join();
    engine.reset();
    QCoreApplication::processEvents(); // must not touch the deleted engine
}

TEST(LQRecSessionTest, OwnerAnsweringNothingGetsNothingAndRecordingWorksTheSame)
{
    QTemporaryDir folder;
    for (bool withOwner : {false, true}) {
        CountingOwner owner;
        FakeRecSession engine;
        if (withOwner)
            engine.setOwner(&owner);
        recordOneSession(engine, folder.filePath("recording-0."));
        engine.failRecording();
        EXPECT_EQ(engine.askOwnerForController(), nullptr);
        EXPECT_TRUE(owner.started.isEmpty());
        EXPECT_TRUE(owner.completed.isEmpty());
        EXPECT_EQ(owner.stoppedReports, 0);
        EXPECT_FALSE(engine.writingFile());
    }
}

TEST(LQRecSessionTest, OwnerGetsExactlyTheCallbacksItAnswers)
{
    QTemporaryDir folder;
    CountingOwner owner({Callback::SessionRecordingCompleted});
    FakeRecSession engine;
    engine.setOwner(&owner);
    recordOneSession(engine, folder.filePath("recording-0."));
    recordOneSession(engine, folder.filePath("recording-1."));
    EXPECT_EQ(owner.completed, (QList<LQRecSession *>{&engine, &engine}));
    EXPECT_TRUE(owner.started.isEmpty());

    CountingOwner everything({Callback::DidStartRecordingToOutputFile,
                              Callback::SessionRecordingCompleted, Callback::Controller,
                              Callback::RecordingStopped});
    engine.setOwner(&everything);
    engine.script.finishesWritingOnStop = false;
    recordOneSession(engine, folder.filePath("recording-2."));
    EXPECT_EQ(everything.started,
              QList<QUrl>{QUrl::fromLocalFile(folder.filePath("recording-2.0.mov"))});
    EXPECT_TRUE(everything.completed.isEmpty());
    EXPECT_TRUE(engine.writingFile());
    engine.finishWriting();
    engine.finishWriting(); // once per session
    EXPECT_EQ(everything.completed.size(), 1);

    engine.askOwnerForController()->stopRecording();
    engine.failRecording();
    EXPECT_EQ(everything.stopRequests, 1);
    EXPECT_EQ(everything.stoppedReports, 1);
}

TEST(LQRecSessionTest, FileNumbersRestartPerSessionOrRunOnLikeTheLegacyEngine)
{
    for (bool continues : {false, true}) {
        QTemporaryDir folder;
        FakeRecSession engine;
        engine.script.continuesNumbering = continues;
        engine.script.createsFiles = true;
        QStringList first;
        QStringList second;
        ASSERT_TRUE(engine.startRecording(folder.filePath("recording-0."), true, false));
        engine.beginNextFile();
        ASSERT_TRUE(engine.stopRecording(&first));
        ASSERT_TRUE(engine.startRecording(folder.filePath("recording-1."), true, true));
        ASSERT_TRUE(engine.stopRecording(&second));

        EXPECT_EQ(first, (QStringList{"recording-0.0.mov", "recording-0.1.mov"}));
        EXPECT_EQ(second, QStringList{continues ? "recording-1.2.mov" : "recording-1.0.mov"});
        for (const QString &name : first + second)
            EXPECT_TRUE(QFileInfo::exists(folder.filePath(name))) << qPrintable(name);
        QStringList saved;
        EXPECT_TRUE(engine.prepareToSave(&saved));
        EXPECT_EQ(saved, second);
    }
}

} // namespace
