#include "model/WrenEvents.h"
#include "model/WrenRecordingTestSupport.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/SystemSleepMonitor.h"
#include "support/FakeOldMediaConversion.h"
#include "support/LogCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <thread>

namespace {

using lq::ArchiveValue;
using lq::test::FakeOldMediaConversion;
using lq::test::LogCapture;

const QLatin1String kWillSleep(lq::SystemSleepMonitor::kWillSleepNotification);

// An archive of class "WrenRecording" holding exactly the keys given, as another writer made it.
class HandMadeRecording final : public lq::Archivable
{
public:
    QList<std::pair<QString, ArchiveValue>> keys;

    QStringList archiveClassNames() const override
    {
        return {QStringLiteral("WrenRecording"), QStringLiteral("NSObject")};
    }
    void encodeWithCoder(lq::KeyedArchiver &coder) const override
    {
        for (const auto &[key, value] : keys)
            coder.encodeObject(key, value);
    }
};

std::shared_ptr<WrenRecording> decoded(const QByteArray &data, lq::Error *error = nullptr)
{
    return lq::KeyedUnarchiver::unarchiveObject<WrenRecording>(data, registerModelArchiveClasses(),
                                                               error);
}

QByteArray archived(const lq::ArchivablePtr &object)
{
    return lq::KeyedArchiver::archivedData(ArchiveValue::object(object));
}

ArchiveValue namesValue(const QStringList &names)
{
    lq::ArchiveArray values;
    for (const QString &name : names)
        values.append(ArchiveValue::string(name));
    return ArchiveValue::array(values);
}

void writeFile(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("media");
}

class WrenRecordingTest : public lq::test::RecordingTestBase
{
protected:
    // Sessions [media, none, media] with one file each where there are media; saved in a
    // package whose folder holds the files.
    std::shared_ptr<WrenRecording> threeSessions()
    {
        auto recording = std::make_shared<WrenRecording>();
        const bool media[] = {true, false, true};
        for (int i = 0; i < 3; ++i) {
            auto session = finishedSession(10.0 + i, media[i], false);
            session->setSaved(true);
            recording->addSession(session);
            if (media[i])
                recording->setRecordingFiles(QStringList{QStringLiteral("r%1.mov").arg(i)}, i);
        }
        EXPECT_TRUE(QDir().mkpath(package()));
        recording->setURL(QUrl::fromLocalFile(package()));
        recording->setTempDir(tempDir.path());
        return recording;
    }

    QString package() const { return tempDir.filePath(QStringLiteral("note.lumaquill")); }
};

TEST_F(WrenRecordingTest, NewRecordingStartsEmptyAndIdle)
{
    for (const auto family : {LQEngineFactory::Family::Modern, LQEngineFactory::Family::Legacy}) {
        lq::test::FakeEngineFactory factory(family);
        WrenRecording recording;
        EXPECT_EQ(recording.sessionCount(), 0);
        EXPECT_EQ(recording.currentSession(), -1);
        EXPECT_EQ(recording.playbackSpeed(), 1.0f);
        EXPECT_EQ(recording.selectedPlaybackSpeed(), 1.0f);
        EXPECT_EQ(recording.clockTime(), lq::clockEpoch());
        EXPECT_EQ(recording.lastSessionBeingSaved(), -1);
        EXPECT_EQ(recording.AVFPlayable(), family == LQEngineFactory::Family::Modern);
        ASSERT_NE(factory.lastRecordingEngine, nullptr);
        EXPECT_EQ(factory.lastRecordingEngine->owner(), &recording);
    }
}

TEST_F(WrenRecordingTest, ArchiveRoundTripKeepsEverything)
{
    for (const bool withSlides : {false, true}) {
        auto recording = threeSessions();
        recording->setVideoRecorded(true);
        recording->setAVFPlayable(false);
        recording->timerSessions()[1]->setSaved(false);
        recording->events().insertEvent(WrenTimeStamp::initWithKey(0, 0, 1.5), false);
        recording->events().addSessionLength(10.0f, 0);
        if (withSlides)
            recording->slides().setPath(QStringLiteral("/x/slides.pdf"));

        lq::Error error;
        const auto copy = decoded(archived(recording), &error);
        ASSERT_TRUE(copy) << error.localizedDescription().toStdString();
        ASSERT_EQ(copy->sessionCount(), 3);
        for (const auto &session : copy->timerSessions()) {
            EXPECT_TRUE(session->saved());
            EXPECT_EQ(session->owner(), copy.get());
        }
        EXPECT_EQ(copy->recordingFiles(), recording->recordingFiles());
        EXPECT_EQ(copy->events().count(), 1u);
        EXPECT_EQ(copy->events().keyEvents().front()->offset(), 1.5);
        EXPECT_TRUE(copy->videoRecorded());
        EXPECT_FALSE(copy->AVFPlayable());
        EXPECT_EQ(copy->slidesSaved(), withSlides);
    }
}

TEST_F(WrenRecordingTest, LegacyArchiveGetsFileNamesAndSessionLengths)
{
    HandMadeRecording legacy;
    lq::ArchiveArray sessions;
    const bool media[] = {true, false, true};
    for (int i = 0; i < 3; ++i)
        sessions.append(ArchiveValue::object(finishedSession(5.0 * (i + 1), media[i], false)));
    legacy.keys = {
        {QStringLiteral("timerSessions"), ArchiveValue::array(sessions)},
        {QStringLiteral("wrenEvents"), ArchiveValue::object(std::make_shared<WrenEvents>())}};

    const auto recording = decoded(archived(std::make_shared<HandMadeRecording>(legacy)));
    ASSERT_TRUE(recording);
    const WrenRecording::RecordingFiles expected{{0, {QStringLiteral("recording-0.mov")}},
                                                 {2, {QStringLiteral("recording-2.mov")}}};
    EXPECT_EQ(recording->recordingFiles(), expected);
    const WrenEvents::SessionLengths lengths{{0, 5.0f}, {1, 10.0f}, {2, 15.0f}};
    EXPECT_EQ(recording->events().sessionLengths(), lengths);
    EXPECT_FALSE(recording->slidesSaved());
    EXPECT_FALSE(recording->AVFPlayable());
}

TEST_F(WrenRecordingTest, HostileFileListsAreDroppedWithALogLine)
{
    HandMadeRecording hostile;
    lq::ArchiveArray sessions{ArchiveValue::object(finishedSession(1.0, true, false))};
    lq::ArchiveDictionary files{
        {ArchiveValue::integer(0),
         namesValue({QStringLiteral("../x"), QStringLiteral("/etc/passwd"), QStringLiteral("a/b"),
                     QString(), QStringLiteral("."), QStringLiteral(".."),
                     QStringLiteral("good.mov")})},
        {ArchiveValue::integer(7), namesValue({QStringLiteral("orphan.mov")})},
        {ArchiveValue::integer(-1), namesValue({QStringLiteral("negative.mov")})},
        {ArchiveValue::string(QStringLiteral("0")), namesValue({QStringLiteral("text.mov")})},
    };
    hostile.keys = {{QStringLiteral("timerSessions"), ArchiveValue::array(sessions)},
                    {QStringLiteral("recordingFiles"), ArchiveValue::dictionary(files)}};

    LogCapture log;
    const auto recording = decoded(archived(std::make_shared<HandMadeRecording>(hostile)));
    ASSERT_TRUE(recording);
    const WrenRecording::RecordingFiles expected{{0, {QStringLiteral("good.mov")}}};
    EXPECT_EQ(recording->recordingFiles(), expected);
    EXPECT_EQ(log.lines().size(), 9);
    EXPECT_TRUE(log.contains(QStringLiteral("\"../x\"")));
}

TEST_F(WrenRecordingTest, WrongTypesAnswerAnError)
{
    const std::pair<QString, ArchiveValue> cases[] = {
        {QStringLiteral("timerSessions"), ArchiveValue::string(QStringLiteral("sessions"))},
        {QStringLiteral("timerSessions"),
         ArchiveValue::array({ArchiveValue::object(std::make_shared<WrenEvents>())})},
        {QStringLiteral("recordingFiles"), namesValue({QStringLiteral("a.mov")})},
        {QStringLiteral("wrenEvents"), ArchiveValue::integer(3)},
        {QStringLiteral("videoRecorded"), ArchiveValue::string(QStringLiteral("yes"))},
    };
    for (const auto &[key, value] : cases) {
        auto archive = std::make_shared<HandMadeRecording>();
        archive->keys = {{key, value}};
        lq::Error error;
        EXPECT_FALSE(decoded(archived(archive), &error)) << key.toStdString();
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
    QByteArray truncated = archived(threeSessions());
    truncated.chop(truncated.size() / 3);
    EXPECT_FALSE(decoded(truncated));
}

TEST_F(WrenRecordingTest, FileListsFollowTheMediaFolders)
{
    auto recording = threeSessions();
    const QDir dir(package());
    const QList<LQMediaElement> elements = recording->allRecordingFilesWithEmpties();
    ASSERT_EQ(elements.size(), 3);
    EXPECT_EQ(std::get<QString>(elements[0]), dir.filePath(QStringLiteral("r0.mov")));
    EXPECT_EQ(std::get<std::shared_ptr<GapEntry>>(elements[1]).get(),
              recording->timerSessions()[1].get());
    EXPECT_EQ(std::get<QString>(elements[2]), dir.filePath(QStringLiteral("r2.mov")));
    EXPECT_EQ(recording->allRecordingFiles(),
              (QStringList{dir.filePath(QStringLiteral("r0.mov")),
                           dir.filePath(QStringLiteral("r2.mov"))}));

    const auto before = recording->recordingFiles();
    EXPECT_FALSE(recording->forgetRecordingFile(dir.filePath(QStringLiteral("other.mov"))));
    EXPECT_EQ(recording->recordingFiles(), before);
    EXPECT_TRUE(recording->forgetRecordingFile(dir.filePath(QStringLiteral("r2.mov"))));
    EXPECT_EQ(recording->recordingFiles().value(2), QStringList());

    // An unsaved session whose temporary folder is gone: no full list at all.
    recording->markSessionNotSaved(0);
    recording->setTempDir(tempDir.filePath(QStringLiteral("missing")));
    EXPECT_TRUE(recording->allRecordingFiles().isEmpty());
    EXPECT_TRUE(recording->mediaPathWithSession(0).isEmpty());
    EXPECT_EQ(recording->mediaPathWithSession(2), package());
}

TEST_F(WrenRecordingTest, SettingFilesIsUndoable)
{
    auto recording = threeSessions();
    recording->setOwner(&owner);
    owner.inUndoGroup(
        [&] { recording->setRecordingFiles(QStringList{QStringLiteral("new.mov")}, 1); });
    owner.inUndoGroup([&] { recording->setRecordingFiles(std::nullopt, 0); });
    EXPECT_FALSE(recording->recordingFiles().contains(0));
    owner.undo.undo();
    EXPECT_EQ(recording->recordingFiles().value(0), QStringList{QStringLiteral("r0.mov")});
    owner.undo.undo();
    EXPECT_FALSE(recording->recordingFiles().contains(1));
    owner.undo.redo();
    EXPECT_EQ(recording->recordingFiles().value(1), QStringList{QStringLiteral("new.mov")});
}

TEST_F(WrenRecordingTest, UndoAfterTheRecordingIsReplacedLeavesItsSuccessorAlone)
{
    auto replaced = threeSessions();
    replaced->setOwner(&owner);
    owner.inUndoGroup(
        [&] { replaced->setRecordingFiles(QStringList{QStringLiteral("new.mov")}, 1); });
    owner.inUndoGroup([&] { replaced->recordKeyEventsForRange(0, 0, QStringLiteral("ab")); });
    ASSERT_TRUE(owner.undo.canUndo());

    // A revert replaces the document's recording object.
    replaced.reset();
    auto successor = threeSessions();
    successor->setOwner(&owner);
    ASSERT_FALSE(owner.undo.canUndo());
    owner.undo.undo();
    EXPECT_FALSE(successor->recordingFiles().contains(1));
    EXPECT_TRUE(successor->events().keyEvents().empty());
}

TEST_F(WrenRecordingTest, PrepareToSaveCoversTheFinishedSessions)
{
    auto recording = threeSessions();
    recording->addSession(finishedSession(3.0, false, false));
    EXPECT_TRUE(recording->prepareToSave());
    EXPECT_EQ(recording->lastSessionBeingSaved(), 3);

    recording->setRecordingSpinningUp(false);
    startRecording(*recording);
    engines.lastRecordingEngine->startRecording(tempDir.filePath(QStringLiteral("recording-4.")),
                                                true, false);
    EXPECT_TRUE(recording->prepareToSave());
    EXPECT_EQ(recording->lastSessionBeingSaved(), 3);
    EXPECT_EQ(recording->recordingFiles().value(4), engines.lastRecordingEngine->sessionFiles());

    recording->setIsCorrupt(true);
    EXPECT_FALSE(recording->prepareToSave());
}

TEST_F(WrenRecordingTest, ResetMarksSavedOnlySessionsUnchangedSinceTheSave)
{
    auto recording = threeSessions();
    for (int i = 0; i < 3; ++i)
        recording->markSessionNotSaved(i);
    ASSERT_TRUE(recording->prepareToSave());
    // A crop during the save's tail.
    recording->setRecordingFiles(QStringList{QStringLiteral("cropped.mov")}, 2);
    recording->resetExistingSessions();
    const auto sessions = recording->timerSessions();
    EXPECT_TRUE(sessions[0]->saved());
    EXPECT_TRUE(sessions[1]->saved());
    EXPECT_FALSE(sessions[2]->saved());
}

TEST_F(WrenRecordingTest, SaveThreadAndMainThreadShareTheLists)
{
    auto recording = threeSessions();
    std::atomic<bool> done{false};
    std::thread saver([&] {
        for (int i = 0; i < 200; ++i) {
            recording->prepareToSave();
            recording->allRecordingFiles();
            recording->forgetRecordingFile(QStringLiteral("/nowhere"));
            recording->currentRecordingFile();
            recording->resetExistingSessions();
        }
        done = true;
    });
    for (int i = 0; !done; ++i) {
        recording->setRecordingFiles(QStringList{QStringLiteral("f%1.mov").arg(i)}, i % 3);
        recording->markSessionNotSaved(i % 3);
    }
    saver.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(recording->sessionCount(), 3);
}

TEST_F(WrenRecordingTest, LoadControllerObservesAndCloseLetsGo)
{
    auto recording = threeSessions();
    recording->timerSessions()[2]->setHasVideo(true);
    recording->setVideoRecorded(true);
    lq::test::FakeWindowController earlier;
    recording->loadController(&earlier);
    earlier.observed.clear();
    recording->loadController(&controller);
    EXPECT_EQ(controller.calls, (QStringList{QStringLiteral("setRecordingExists"),
                                             QStringLiteral("expandVideoSection")}));
    EXPECT_TRUE(recording->loadingComplete());
    controller.observed.clear();

    recording->setClockTime(lq::clockEpoch());
    recording->setSelectedPlaybackSpeed(2.0f);
    recording->timerSessions()[1]->setClockTime(lq::clockEpoch());
    // New media move the position to the start of session 0.
    recording->setRecordingFiles(QStringList{QStringLiteral("r1.mov")}, 1);
    EXPECT_EQ(controller.observed,
              (QStringList{QStringLiteral("clockTime"), QStringLiteral("selectedPlaybackSpeed"),
                           QStringLiteral("sessionClockTime"), QStringLiteral("sessionClockTime"),
                           QStringLiteral("percentageDone")}));

    EXPECT_TRUE(earlier.observed.isEmpty());
    const qsizetype playersMade = engines.playbackFamilies.size();
    ASSERT_NE(engines.lastPlaybackEngine, nullptr);
    const QStringList playerCalls = engines.lastPlaybackEngine->calls;
    recording->close();
    EXPECT_EQ(controller.calls.last(), QStringLiteral("close"));
    EXPECT_EQ(recording->windowController(), nullptr);
    EXPECT_TRUE(engines.lastRecordingEngine->calls.contains(QStringLiteral("stopVideoPreview")));
    controller.observed.clear();
    recording->setClockTime(lq::clockEpoch());
    recording->timerSessions()[0]->setClockTime(lq::clockEpoch());
    EXPECT_TRUE(controller.observed.isEmpty());
    // The delayed first picture was cancelled with the close.
    lq::runEventLoopUntil([] { return false; }, std::chrono::milliseconds(700));
    EXPECT_EQ(engines.playbackFamilies.size(), playersMade);
    EXPECT_EQ(engines.lastPlaybackEngine->calls, playerCalls);
}

TEST_F(WrenRecordingTest, SavedSlidesAreShownOnLoad)
{
    auto withSlides = std::make_shared<WrenRecording>();
    withSlides->slides().setPath(QStringLiteral("/elsewhere/slides.pdf"));
    auto loaded = decoded(archived(withSlides));
    ASSERT_TRUE(loaded);
    loaded->setURL(QUrl::fromLocalFile(package()));
    loaded->loadController(&controller);
    const QString slides = package() + QStringLiteral("/slides.pdf");
    EXPECT_EQ(controller.calls,
              (QStringList{QStringLiteral("setSlidesPath:") + slides, QStringLiteral("gotoSlide:1"),
                           QStringLiteral("expandSlidesSection")}));
    EXPECT_EQ(loaded->slides().path(), slides);
}

TEST_F(WrenRecordingTest, SleepStopsRecordingOrPlayback)
{
    auto recording = threeSessions();
    recording->setOwner(&owner);
    recording->loadController(&controller);
    controller.calls.clear();
    lq::NotificationCenter::defaultCenter().post(kWillSleep);
    EXPECT_TRUE(controller.calls.isEmpty());

    recording->setCurrentSession(0);
    recording->setPlaying(true);
    lq::NotificationCenter::defaultCenter().post(
        QLatin1String(lq::SystemSleepMonitor::kSessionDidResignActiveNotification));
    EXPECT_FALSE(recording->playing());
    EXPECT_EQ(owner.playbackStoppedCalls, 1);

    startRecording(*recording);
    lq::NotificationCenter::defaultCenter().post(kWillSleep);
    EXPECT_EQ(controller.calls.last(), QStringLiteral("stopRecording"));
    recording->setRecording(false);
    controller.calls.clear();
    lq::NotificationCenter::defaultCenter().post(kWillSleep);
    EXPECT_TRUE(controller.calls.isEmpty());
}

TEST_F(WrenRecordingTest, EngineCallbacksReachOwnerAndSession)
{
    WrenRecording recording;
    recording.setOwner(&owner);
    recording.sessionRecordingCompleted(engines.lastRecordingEngine);
    EXPECT_EQ(owner.finishedRecording, QList<bool>{true});

    auto session = startRecording(recording);
    recording.setRecordingSpinningUp(true);
    clock.advance(3.0);
    // The first sample came a quarter of a second before the report: the session's time too.
    recording.didStartRecordingToOutputFile(QUrl(), 0.25);
    EXPECT_FALSE(recording.recordingSpinningUp());
    double now = -1.0;
    ASSERT_TRUE(session->nowInterval(&now));
    EXPECT_NEAR(now, 0.25, 1e-9);
}

class OldMediaCheckTest : public WrenRecordingTest
{
protected:
    void SetUp() override
    {
        recording = threeSessions();
        recording->setOwner(&owner);
        recording->setAVFPlayable(false);
        recording->setMediaPlayabilityCheck(&conversion);
        recording->setOldMediaConversion(&conversion);
        writeFile(QDir(package()).filePath(QStringLiteral("r0.mov")));
        writeFile(QDir(package()).filePath(QStringLiteral("r2.mov")));
    }

    QString converted() const { return tempDir.filePath(QStringLiteral("r2.mov")); }

    std::shared_ptr<WrenRecording> recording;
    FakeOldMediaConversion conversion;
};

TEST_F(OldMediaCheckTest, AllPlayableNeedsNoQuestion)
{
    recording->checkRecordingFiles();
    EXPECT_TRUE(recording->AVFPlayable());
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(OldMediaCheckTest, NotNowLeavesTheMediaUnplayable)
{
    conversion.unplayable = {QStringLiteral("r2.mov")};
    alerts.addResponse(1);
    recording->checkRecordingFiles();
    EXPECT_FALSE(recording->AVFPlayable());
    EXPECT_EQ(alerts.last().request.messageText, QStringLiteral("Convert audio/video?"));
    EXPECT_TRUE(conversion.calls.isEmpty());
}

TEST_F(OldMediaCheckTest, ConvertWritesToTheTemporaryFolder)
{
    conversion.unplayable = {QStringLiteral("r2.mov")};
    alerts.addResponse(0);
    recording->checkRecordingFiles();
    EXPECT_TRUE(recording->AVFPlayable());
    EXPECT_TRUE(QFileInfo(converted()).isFile());
    EXPECT_FALSE(recording->timerSessions()[2]->saved());
    EXPECT_TRUE(recording->timerSessions()[0]->saved());
    EXPECT_EQ(conversion.calls,
              (QStringList{QStringLiteral("showProgress:1"), QStringLiteral("convert:r2.mov:2"),
                           QStringLiteral("advanceProgress"), QStringLiteral("closeProgress")}));
    EXPECT_TRUE(owner.changeCounts.isEmpty());
    QCoreApplication::processEvents();
    EXPECT_EQ(owner.changeCounts, QList<int32_t>{0});
}

TEST_F(OldMediaCheckTest, FailedConversionsKeepTheSessionSaved)
{
    struct Case
    {
        const char *name;
        FakeOldMediaConversion::Script script;
    };
    const Case cases[] = {
        {"conversion fails", {false, true, true}},
        {"output does not open", {true, false, true}},
        {"nothing written", {true, true, false}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        conversion.unplayable = {QStringLiteral("r2.mov")};
        conversion.script = c.script;
        conversion.calls.clear();
        alerts.addResponse(0);
        alerts.addResponse(0);
        recording->checkRecordingFiles();
        EXPECT_FALSE(recording->AVFPlayable());
        EXPECT_TRUE(recording->timerSessions()[2]->saved());
        EXPECT_EQ(alerts.last().request.messageText, QStringLiteral("Error parsing media"));
        EXPECT_EQ(conversion.calls.last(), QStringLiteral("closeProgress"));
        EXPECT_FALSE(QFileInfo::exists(converted()));
    }
}

TEST_F(OldMediaCheckTest, MissingMediaFolderEndsTheCheck)
{
    recording->markSessionNotSaved(0);
    recording->setTempDir(tempDir.filePath(QStringLiteral("gone")));
    recording->checkRecordingFiles();
    EXPECT_FALSE(recording->AVFPlayable());
    EXPECT_EQ(alerts.count(), 0);
}

} // namespace
