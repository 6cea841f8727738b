#include "document/EditingTestSupport.h"
#include "document/PackageTestSupport.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/WindowFrameString.h"
#include "support/LogCapture.h"
#include "support/ManualTimerService.h"
#include "support/ScriptedAlertPresenter.h"

#include <QMainWindow>

#include <thread>

namespace {

using lq::test::EditingTest;
using lq::test::FakeDocumentWindow;
using lq::test::LogCapture;
using lq::test::ManualTimerService;
using lq::test::ScriptedAlertPresenter;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// Notes in a window whose timers fire when the test says, with scripted alerts.
class MyDocumentClosingTest : public EditingTest
{
public:
    ~MyDocumentClosingTest() override { document.reset(); }

    // A note with a temporary folder of its own, which closing removes.
    void openNote(const QString &text)
    {
        open(text);
        const QString temporary = folder.filePath(u"temp-%1"_s.arg(++m_notes));
        QDir().mkpath(temporary);
        document->tempRecordingDir = temporary;
        recording().setTempDir(temporary);
    }
    FakeDocumentWindow &window() const
    {
        return static_cast<FakeDocumentWindow &>(*document->windowController());
    }
    int calls(const QString &call) const { return int(window().calls.count(call)); }

    ManualTimerService timers{&clock};
    ScriptedAlertPresenter alerts;

private:
    int m_notes = 0;
};

TEST_F(MyDocumentClosingTest, ARecordingErrorRestartsAtMostOnceIn20SecondsElseItIsShown)
{
    struct Step
    {
        const char *name;
        double secondsLater;
        bool retry;
        bool recordingAgainByThen;
        bool fromAnotherThread;
        bool restarted;
        bool shown;
    };
    const Step steps[] = {
        {"first error with retry", 0, true, false, false, true, false},
        {"again 10 s after the restart", 10, true, false, false, false, true},
        {"again 25 s after the restart, from an engine's thread", 15, true, false, true, true,
         false},
        {"without retry", 30, false, false, false, false, true},
        {"retried, but recording again before the restart", 30, true, true, false, false, false},
    };
    openNote(u"abc"_s);
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        clock.advance(step.secondsLater);
        const int pressesBefore = calls(u"recordButtonPressed"_s);
        const int alertsBefore = alerts.count();
        const QString message = QString::fromUtf8(step.name);
        if (step.fromAnotherThread) {
            std::atomic<bool> done{false};
            std::thread engine([&] {
                document->recordingErrorOccurred(message, step.retry);
                done = true;
            });
            EXPECT_TRUE(lq::runEventLoopUntil([&] { return done.load(); }, 5s));
            engine.join();
        } else {
            document->recordingErrorOccurred(message, step.retry);
        }
        // The restart waits its 2 seconds.
        EXPECT_EQ(calls(u"recordButtonPressed"_s), pressesBefore);
        EXPECT_EQ(timers.pendingIntervals().contains(2.0),
                  step.restarted || step.recordingAgainByThen);
        document->recording = step.recordingAgainByThen;
        while (timers.pendingIntervals().contains(2.0))
            timers.fireNext();
        document->recording = false;
        EXPECT_EQ(calls(u"recordButtonPressed"_s), pressesBefore + (step.restarted ? 1 : 0));
        ASSERT_EQ(alerts.count(), alertsBefore + (step.shown ? 1 : 0));
        if (step.shown) {
            EXPECT_EQ(alerts.last().request.messageText, message);
            EXPECT_EQ(alerts.last().sheetWindow, window().window());
        }
    }
}

TEST_F(MyDocumentClosingTest, TheCloseDecisionRefusesARecordingNoteFirstAndFollowsTheQuestion)
{
    enum Setting { Untouched, EditedWithFile, EditedUntitled, Recording };
    struct Case
    {
        const char *name;
        Setting setting;
        int button; // answer to the save question: 0 save, 1 don't save, 2 cancel
        bool closes;
        QString alert; // the first alert shown; empty for none
    };
    const QString refusal =
        u"I'm sorry, but you cannot close a Luma Quill document while it is recording."_s;
    const QString question = u"Do you want to save the changes made to the document “Untitled”?"_s;
    const Case cases[] = {
        {"untouched", Untouched, 0, true, {}},
        {"edited, with a file: saved without asking", EditedWithFile, 0, true, {}},
        {"edited, untitled, Cancel", EditedUntitled, 2, false, question},
        {"edited, untitled, Don't Save", EditedUntitled, 1, true, question},
        {"recording", Recording, 0, false, refusal},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openNote(u"abc"_s);
        document->updateChangeCount(lq::Document::ChangeKind::Cleared);
        const QString package = folder.filePath(u"closing.lumaquill"_s);
        if (c.setting == EditedWithFile) {
            ASSERT_TRUE(document->saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
        }
        if (c.setting != Untouched)
            type(u"d"_s);
        document->recording = c.setting == Recording;
        if (!c.alert.isEmpty()) {
            alerts.addResponse(c.button);
        }
        const int alertsBefore = alerts.count();

        std::optional<bool> decided;
        int alertsWhenDecided = -1;
        bool closingWhenDecided = true;
        document->closeWhenAllowed([&](bool closed) {
            decided = closed;
            alertsWhenDecided = alerts.count() - alertsBefore;
            closingWhenDecided = document->isClosing;
        });
        ASSERT_TRUE(lq::runEventLoopUntil([&] { return decided.has_value(); }, 10s));
        EXPECT_EQ(*decided, c.closes);
        EXPECT_EQ(document->isClosed(), c.closes);
        EXPECT_FALSE(closingWhenDecided);
        EXPECT_FALSE(document->isClosing);
        if (c.setting == Recording) {
            EXPECT_EQ(alertsWhenDecided, 0) << "the caller hears no before the alert";
        }
        ASSERT_EQ(alerts.count() - alertsBefore, c.alert.isEmpty() ? 0 : 1);
        if (!c.alert.isEmpty()) {
            EXPECT_EQ(alerts.last().request.messageText, c.alert);
        }
        if (c.setting == EditedWithFile) {
            EXPECT_EQ(lq::test::metaOf(package).serialNumber, 2u) << "saved while closing";
        }
        EXPECT_EQ(window().window()->isVisible(), !c.closes);
        document->recording = false;
        if (!c.closes)
            document->close();
    }
}

TEST_F(MyDocumentClosingTest, ClosingLetsGoOfWhatTheNoteHeldAndARestartQueuedBeforeDoesNothing)
{
    openNote(u"abc"_s);
    const QString temporary = document->tempRecordingDir;
    ASSERT_TRUE(QDir().mkpath(temporary + u"/partial"_s));
    int closingPosts = 0;
    const void *closingSender = nullptr;
    lq::NotificationCenter::defaultCenter().addObserver(
        &timers, QLatin1String(MyDocument::kDocumentClosingNotification), nullptr,
        [&](const lq::Notification &notification) {
            ++closingPosts;
            closingSender = notification.sender;
        });
    document->recordingErrorOccurred(u"The camera stopped."_s, true);
    ASSERT_GE(timers.pendingCount(), 2) << "the information bar and the restart";

    document->close();
    lq::NotificationCenter::defaultCenter().removeObserver(&timers);

    EXPECT_TRUE(document->isClosed());
    EXPECT_FALSE(QFileInfo::exists(temporary));
    EXPECT_EQ(closingPosts, 1);
    EXPECT_EQ(closingSender, static_cast<const QObject *>(document.get()));
    EXPECT_EQ(timers.pendingCount(), 0) << "no timer of the note is left";
    EXPECT_EQ(calls(u"close"_s), 2) << "once at set-up, once at the close";
    document->restartRecordingNow();
    EXPECT_EQ(calls(u"recordButtonPressed"_s), 0);

    // Closed is closed: no autosave, no second close.
    type(u"x"_s);
    int autosaves = 0;
    document->autosaveWithImplicitCancellability(true, [&](bool saved, const lq::Error &error) {
        ++autosaves;
        EXPECT_FALSE(saved);
        EXPECT_TRUE(error.isNull());
    });
    EXPECT_EQ(autosaves, 1);
    document->close();
    EXPECT_EQ(closingPosts, 1);
}

// A note whose recording stops as the test says, and whose close preparations tests may run.
class StoppingNote : public MyDocument
{
public:
    using MyDocument::prepareForClose;
    bool stopAnswer = true;
    std::optional<std::chrono::milliseconds> finishAfter;
    int stops = 0;

protected:
    bool stopRecording() override
    {
        ++stops;
        if (finishAfter)
            lq::postToMainThread([this] { setFinishedRecordingToFile(true); }, *finishAfter);
        return stopAnswer;
    }
};

TEST_F(MyDocumentClosingTest, ClosingWaitsForTheStoppedRecordingOnlySoLong)
{
    struct Case
    {
        const char *name;
        bool recording;
        bool stopAnswer;
        std::optional<std::chrono::milliseconds> finishAfter;
        std::chrono::milliseconds leastWait;
        bool programError;
    };
    const Case cases[] = {
        {"not recording", false, true, std::nullopt, 0ms, false},
        {"the movie is final a little later", true, true, 100ms, 100ms, false},
        {"the engine never reports", true, true, std::nullopt, 300ms, true},
        {"the recording cannot stop", true, false, std::nullopt, 0ms, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StoppingNote note;
        note.setRecordingStopTimeLimit(300ms);
        note.recording = c.recording;
        note.stopAnswer = c.stopAnswer;
        note.finishAfter = c.finishAfter;
        LogCapture log;
        const auto start = std::chrono::steady_clock::now();
        note.prepareForClose();
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_GE(waited, c.leastWait);
        EXPECT_LT(waited, 5s) << "never hangs";
        EXPECT_EQ(note.stops, c.recording ? 1 : 0);
        EXPECT_EQ(log.contains(u"Program error"_s), c.programError);
        note.recording = false;
    }
}

TEST_F(MyDocumentClosingTest, AnAutosaveIsSkippedOrRefusedWithoutWritingAndAlwaysCompletes)
{
    enum Outcome { Saved, Skipped, Refused };
    struct Case
    {
        const char *name;
        std::function<void(MyDocument &, lq::test::FakeEngineFactory &)> setUp;
        Outcome outcome;
    };
    const lq::Error aborted(u"saving"_s, 8, u"Saving was aborted."_s);
    const QList<Case> cases = {
        {"nothing in the way", [](MyDocument &, auto &) {}, Saved},
        {"no auto recovery",
         [](MyDocument &, auto &) {
             lq::UserDefaults::standard().setBool(u"noAutoRecovery"_s, true);
         },
         Skipped},
        {"merging", [](MyDocument &, auto &e) { e.lastRecordingEngine->setMerging(true); },
         Skipped},
        {"after an aborted save",
         [aborted](MyDocument &d, auto &) { d.setFailedSaveAborted(aborted); }, Refused},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openNote(u"abc"_s);
        const QString package = folder.filePath(u"autosaved-%1.lumaquill"_s.arg(++round));
        ASSERT_TRUE(document->saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
        ASSERT_NE(engines.lastRecordingEngine, nullptr);
        type(u"d"_s);
        c.setUp(*document, engines);
        const QMap<QString, QString> stored = lq::test::treeOf(package);

        int completions = 0;
        bool saved = false;
        lq::Error error;
        document->autosaveWithImplicitCancellability(true,
                                                     [&](bool savedNow, const lq::Error &errorNow) {
                                                         ++completions;
                                                         saved = savedNow;
                                                         error = errorNow;
                                                     });
        EXPECT_TRUE(lq::runEventLoopUntil([&] { return completions > 0; }, 10s));
        EXPECT_EQ(completions, 1);
        EXPECT_EQ(saved, c.outcome == Saved);
        EXPECT_EQ(error.code(), c.outcome == Refused ? aborted.code() : 0);
        EXPECT_FALSE(document->currentlyAutosaving);
        if (c.outcome == Saved) {
            EXPECT_TRUE(lq::test::metaOf(package).autorecovery);
        } else {
            EXPECT_EQ(lq::test::treeOf(package), stored) << "nothing written";
        }

        // An explicit save works all the same, and ends the refusal.
        engines.lastRecordingEngine->setMerging(false);
        ASSERT_TRUE(document->save(nullptr));
        EXPECT_TRUE(document->failedSaveAborted().isNull());
        lq::UserDefaults::standard().removeObject(u"noAutoRecovery"_s);
    }
}

TEST_F(MyDocumentClosingTest, InFullScreenSavesStoreTheNormalFrame)
{
    openNote(u"abc"_s);
    QMainWindow *shown = window().window();
    shown->setGeometry(120, 90, 420, 240);
    const QString normalFrame = lq::windowFrameString(shown);
    const QString package = folder.filePath(u"full.lumaquill"_s);
    struct Step
    {
        const char *name;
        std::function<void()> act;
        bool fullScreen;
        int promotedClosings;
    };
    const Step steps[] = {
        {"full screen", [&] { shown->showFullScreen(); }, true, 1},
        {"normal again", [&] { shown->showNormal(); }, false, 1},
        {"full screen again", [&] { shown->showFullScreen(); }, true, 2},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        QCoreApplication::processEvents();
        EXPECT_EQ(document->isFullScreen(), step.fullScreen);
        EXPECT_EQ(calls(u"enterFullScreen"_s), step.promotedClosings);
        ASSERT_TRUE(document->saveToUrl(package, lq::SaveOperation::SaveAs, nullptr));
        EXPECT_EQ(lq::test::metaOf(package).winFrame.value_or(QString()).toStdString(),
                  normalFrame.toStdString());
    }
    shown->showNormal();
}

TEST_F(MyDocumentClosingTest, EveryOpenNoteRunsALowLevelAlertInTurn)
{
    openNote(u"abc"_s);
    MyDocument other;
    lq::AlertRequest alert;
    alert.messageText = u"The recording could not be put together."_s;
    struct Case
    {
        const char *name;
        QVariantMap userInfo;
        int alertsShown;
    };
    const Case cases[] = {
        {"with an alert", {{u"alert"_s, QVariant::fromValue(alert)}}, 2},
        {"without one", {{u"other"_s, 1}}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int before = alerts.count();
        lq::NotificationCenter::defaultCenter().post(
            QLatin1String(MyDocument::kLowLevelUserErrorNotification), nullptr, c.userInfo);
        ASSERT_EQ(alerts.count() - before, c.alertsShown);
        for (int i = before; i < alerts.count(); ++i) {
            EXPECT_EQ(alerts.shown()[i].request.messageText, alert.messageText);
            EXPECT_FALSE(alerts.shown()[i].asSheet);
        }
    }
}

} // namespace
