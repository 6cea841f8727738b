// What a start offers back of the program's last end: autosaved untitled notes and recordings a
// crash left in the notes' temporary folders.

#include "app/CrashRecovery.h"

#include "AppTestSupport.h"
#include "engines/avf/MediaEngineFactory.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/ui/QtAlertPresenter.h"
#include "shared/ScopedEnvironment.h"
#include "support/KilledChild.h"
#include "support/MediaFixtures.h"
#include "support/ModalWatcher.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMessageBox>

#include <cstdio>

namespace lq::test {
namespace {

using namespace std::chrono_literals;

constexpr char kChildFolderVariable[] = "LQ_CRASH_RECOVERY_CHILD_FOLDER";
const QString kOffer = QStringLiteral("Luma Quill found a recording that was not saved.");

// The program's folders under a root of the test's, which a child started by the test shares;
// the engines of today's media stack record and play.
class CrashRecoveryTest : public DocumentControllerTest
{
protected:
    CrashRecoveryTest() { useFoldersUnder(root.path()); }
    void useFoldersUnder(const QString &root)
    {
        environment.set("XDG_CACHE_HOME", root + QStringLiteral("/cache"));
        environment.set("XDG_DATA_HOME", root + QStringLiteral("/data"));
    }
    // A new start of the program: a fresh document controller offers what was left.
    void start()
    {
        controller = std::make_unique<LumaDocumentController>([](MyDocument &note) {
            note.addWindowController(std::make_unique<FakeDocumentWindow>(note.textStorage()));
        });
        crash_recovery::offerWhatWasLeft(*controller);
    }
    // Typed as the user does; the change counts once the event loop turns.
    static void type(MyDocument &note, const QString &text)
    {
        note.replaceCharacters(TextRange{note.textStorage().length(), 0}, text);
        runEventLoopUntil([&note] { return note.isDocumentEdited(); }, 2s);
    }

    QTemporaryDir root;
    ScopedEnvironment environment;
    MediaEngineFactory engines;
    const struct Restore
    {
        LQEngineFactory *previous;
        ~Restore() { LQEngineFactory::setCurrent(previous); }
    } restoreEngines{LQEngineFactory::setCurrent(&engines)};
};

// Run by the test below in a process of its own: records from the test microphone, types, lets
// the autosave store the note, says how long it has recorded, and goes on until it is killed.
TEST_F(CrashRecoveryTest, ChildRecordsUntilKilled)
{
    if (qEnvironmentVariableIsEmpty(kChildFolderVariable))
        GTEST_SKIP() << "run by ARecordingCutOffByAKillIsOfferedBackToTheKill";
    useFoldersUnder(qEnvironmentVariable(kChildFolderVariable));
    Document::setAutosaveDelay(1);
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    ASSERT_TRUE(note->startRecording(true, false));
    // Timed from the first media written.
    const QString media =
        QDir(note->tempRecordingDir).filePath(QStringLiteral("recording-0.0.mov"));
    ASSERT_TRUE(runEventLoopUntil([&] { return QFileInfo(media).size() > 0; }, 10s));
    QElapsedTimer recorded;
    recorded.start();
    type(*note, QStringLiteral("Words typed while recording"));
    const QString autosaved = Document::autosaveFolder() + "/Untitled.lumaquill/recording";
    ASSERT_TRUE(runEventLoopUntil([&] { return QFileInfo::exists(autosaved); }, 20s));
    QFile time(qEnvironmentVariable(kChildFolderVariable) + QStringLiteral("/recorded"));
    ASSERT_TRUE(time.open(QIODevice::WriteOnly) &&
                time.write(QByteArray::number(recorded.elapsed())));
    time.close();
    std::printf("recorded\n");
    std::fflush(stdout);
    runEventLoopUntil([] { return false; }, 60s);
}

TEST_F(CrashRecoveryTest, ARecordingCutOffByAKillIsOfferedBackToTheKill)
{
    int waited = 0;
    ASSERT_NO_FATAL_FAILURE(
        waited = killChildAtRandom(QStringLiteral("CrashRecoveryTest.ChildRecordsUntilKilled"),
                                   kChildFolderVariable, root.path(), 2500, "recorded\n"));
    QFile time(root.filePath(QStringLiteral("recorded")));
    ASSERT_TRUE(time.open(QIODevice::ReadOnly));
    const double recordedAtKill = (time.readAll().toDouble() + waited) / 1000.0;

    // Answered in the message box the user sees.
    QtAlertPresenter messageBoxes;
    AlertPresenter *scripted = AlertPresenter::setCurrent(&messageBoxes);
    QString message;
    whenModalShown<QMessageBox>([&](QMessageBox *box) {
        EXPECT_TRUE(box->grab().save(QStringLiteral("crash-recovery-offer.png")));
        message = box->text() + QLatin1Char('|') + box->informativeText();
        box->defaultButton()->click(); // Open
    });
    start();
    AlertPresenter::setCurrent(scripted);
    EXPECT_TRUE(message.startsWith(kOffer + QStringLiteral("|It was recorded on ")) &&
                message.endsWith(QStringLiteral(". Open puts it into a new note; Discard deletes "
                                                "it for good.")))
        << message.toStdString();
    // The autosaved note and, from the answer Open, the recording.
    ASSERT_EQ(controller->notes().size(), 2u);
    MyDocument *autosaved = controller->notes().front();
    EXPECT_EQ(autosaved->textStorage().string(), QStringLiteral("Words typed while recording"));
    EXPECT_TRUE(autosaved->fileUrl().isEmpty() && autosaved->isDocumentEdited());
    WrenRecording &recording = controller->notes().back()->recordingObject();
    ASSERT_EQ(recording.sessionCount(), 1);
    EXPECT_NEAR(recording.length(), recordedAtKill, 1.0);
    // Played from half a second before its end, it plays to the end and stops.
    ASSERT_TRUE(recording.playSession(0, recording.length() - 0.5));
    QElapsedTimer played;
    played.start();
    EXPECT_TRUE(runEventLoopUntil([&] { return !recording.playing(); }, 10s));
    EXPECT_GE(played.elapsed(), 400);
}

TEST_F(CrashRecoveryTest, AStartLooksAtTheFoldersNoRunningNoteHolds)
{
    const struct
    {
        const char *name;
        QList<double> takes; // seconds of each recording-<i>.0.mov in the temporary folder
        double stored;       // seconds of the package's recording-0.0.mov; 0: never saved
        bool running;        // the note runs on, autosaved, instead of being cut off
        int answer;          // -1: nothing is offered
    } cases[] = {
        {"a running note's", {2.0}, 0.0, true, -1},
        {"empty: cut off before it recorded", {}, 0.0, false, -1},
        {"every take stored in the package", {2.0}, 2.0, false, -1},
        {"a take longer than the package's, discarded", {2.0}, 1.0, false, 1},
        {"two takes never stored, opened", {1.0, 2.0}, 0.0, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir caseRoot;
        useFoldersUnder(caseRoot.path());
        std::unique_ptr<MyDocument> note = MyDocument::create();
        const QString left = note->tempRecordingDir;
        for (qsizetype i = 0; i < c.takes.size(); ++i)
            ASSERT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::AacMov, c.takes[i]),
                                    note->tempRecordingDir + "/recording-" + QString::number(i) +
                                        ".0.mov"));
        const QString package = caseRoot.filePath(QStringLiteral("Saved.lumaquill"));
        if (c.stored > 0.0) {
            ASSERT_TRUE(note->saveToUrl(package, SaveOperation::SaveAs, nullptr));
            ASSERT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::AacMov, c.stored),
                                    package + "/recording-0.0.mov"));
        }
        if (c.running)
            ASSERT_TRUE(note->saveToUrl({}, SaveOperation::AutosaveElsewhere, nullptr));
        else
            note.reset(); // as a crash leaves it
        const int alertsBefore = alerts.count();
        if (c.answer >= 0)
            alerts.addResponse(c.answer);

        start();
        ASSERT_EQ(alerts.count(), alertsBefore + (c.answer >= 0 ? 1 : 0));
        EXPECT_TRUE(c.answer < 0 ||
                    (alerts.last().request.messageText == kOffer &&
                     alerts.last().request.buttons ==
                         QStringList{QStringLiteral("Open"), QStringLiteral("Discard")}));
        EXPECT_EQ(QFileInfo::exists(left), c.running);
        ASSERT_EQ(controller->notes().size(), c.answer == 0 ? 1u : 0u);
        if (c.answer == 0) {
            const WrenRecording &opened = controller->notes().front()->recordingObject();
            EXPECT_EQ(opened.sessionCount(), c.takes.size());
            EXPECT_NEAR(opened.length(), 3.0, 0.2);
        }
        controller.reset();
    }
}

TEST_F(CrashRecoveryTest, AnUntitledNoteKeptAtTheEndReopensEditedUntilItIsNotSaved)
{
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    type(*note, QStringLiteral("kept at the end"));
    // A quit by a signal keeps the changes, at every end; a Don't Save of the user does not.
    for (int end = 0; end < 2; ++end) {
        ASSERT_TRUE(controller->closeDocument(note, LumaDocumentController::Asking::Nobody));
        start();
        ASSERT_EQ(controller->notes().size(), 1u);
        note = controller->notes().front();
        EXPECT_EQ(note->textStorage().string(), QStringLiteral("kept at the end"));
        EXPECT_TRUE(note->fileUrl().isEmpty() && note->isDocumentEdited());
    }
    alerts.addResponse(1);
    ASSERT_TRUE(controller->closeDocument(note));
    EXPECT_EQ(alerts.last().request.buttons.value(1), QStringLiteral("Don't Save"));
    start();
    EXPECT_TRUE(controller->notes().empty());
    EXPECT_TRUE(QDir(Document::autosaveFolder()).isEmpty());
}

} // namespace
} // namespace lq::test
