// What a start offers back of the program's last end: autosaved untitled notes and recordings a
// crash left in the notes' temporary folders.

#include "app/CrashRecovery.h"

#include "AppTestSupport.h"
#include "engines/avf/MediaEngineFactory.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/media/MediaInfo.h"
#include "platform/ui/QtAlertPresenter.h"
#include "shared/ScopedEnvironment.h"
#include "support/KilledChild.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/ModalWatcher.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>

#include <cstdio>

namespace lq::test {
namespace {

using namespace std::chrono_literals;

constexpr char kChildFolderVariable[] = "LQ_CRASH_RECOVERY_CHILD_FOLDER";
const QString kOfferMessage = QStringLiteral("Luma Quill found a recording that was not saved.");

// The program's cache and data folders under root, so that a child started by the test shares
// them; the engines of today's media stack make recordings and play them.
class CrashRecoveryTest : public DocumentControllerTest
{
protected:
    void useFoldersUnder(const QString &root)
    {
        environment.set("XDG_CACHE_HOME", root + QStringLiteral("/cache"));
        environment.set("XDG_DATA_HOME", root + QStringLiteral("/data"));
    }

    static QString cacheFolder()
    {
        return qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/Luma Quill");
    }

    static QStringList temporaryFolders()
    {
        return QDir(cacheFolder()).entryList({QStringLiteral("lumaquill-*")}, QDir::Dirs);
    }

    // Types text into note as the user does; the change is counted once the event loop turns.
    static void type(MyDocument &note, const QString &text)
    {
        note.replaceCharacters(TextRange{note.textStorage().length(), 0}, text);
        runEventLoopUntil([&note] { return note.isDocumentEdited(); }, 2s);
    }

    ScopedEnvironment environment;
    MediaEngineFactory engines;
    LQEngineFactory *previousEngines = LQEngineFactory::setCurrent(&engines);

    void TearDown() override
    {
        DocumentControllerTest::TearDown();
        LQEngineFactory::setCurrent(previousEngines);
    }
};

// Run by the test below in a process of its own: records from the test microphone, types, lets
// the autosave store the note, says how long it has recorded, and goes on until it is killed.
TEST_F(CrashRecoveryTest, ChildRecordsUntilKilled)
{
    const QString root = qEnvironmentVariable(kChildFolderVariable);
    if (root.isEmpty())
        GTEST_SKIP() << "run by ARecordingCutOffByAKillIsOfferedBackToTheKill";
    useFoldersUnder(root);
    Document::setAutosaveDelay(1);
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    ASSERT_NE(note, nullptr);
    ASSERT_TRUE(note->startRecording(true, false));
    // Timed from the first media written.
    const QString media =
        QDir(note->tempRecordingDir).filePath(QStringLiteral("recording-0.0.mov"));
    ASSERT_TRUE(runEventLoopUntil([&] { return QFileInfo(media).size() > 0; }, 10s));
    QElapsedTimer recorded;
    recorded.start();
    type(*note, QStringLiteral("Words typed while recording"));
    const QString autosaved = Document::autosaveFolder() + QStringLiteral("/Untitled.lumaquill");
    ASSERT_TRUE(runEventLoopUntil(
        [&] { return QFileInfo::exists(autosaved + QStringLiteral("/recording")); }, 20s));
    std::printf("recorded %lld\n", static_cast<long long>(recorded.elapsed()));
    std::fflush(stdout);
    runEventLoopUntil([] { return false; }, 60s);
}

TEST_F(CrashRecoveryTest, ARecordingCutOffByAKillIsOfferedBackToTheKill)
{
    QTemporaryDir root;
    useFoldersUnder(root.path());
    KilledChildRun child;
    ASSERT_NO_FATAL_FAILURE(
        child = killChildAtRandom(QStringLiteral("CrashRecoveryTest.ChildRecordsUntilKilled"),
                                  kChildFolderVariable, root.path(), 2500, "recorded "));
    const QRegularExpressionMatch said = QRegularExpression(QStringLiteral("recorded (\\d+)\n"))
                                             .match(QString::fromUtf8(child.output));
    ASSERT_TRUE(said.hasMatch()) << child.output.toStdString();
    const double recordedAtKill = (said.captured(1).toDouble() + child.waitedMillis) / 1000.0;

    crash_recovery::offerWhatWasLeft(*controller);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.last().request.messageText, kOfferMessage);
    EXPECT_EQ(alerts.last().request.buttons,
              (QStringList{QStringLiteral("Open"), QStringLiteral("Discard")}));
    // The autosaved note and, from the answer Open, the recording.
    ASSERT_EQ(controller->notes().size(), 2u);
    MyDocument *autosaved = controller->notes().front();
    EXPECT_EQ(autosaved->textStorage().string(), QStringLiteral("Words typed while recording"));
    EXPECT_TRUE(autosaved->fileUrl().isEmpty());
    EXPECT_TRUE(autosaved->isDocumentEdited());

    MyDocument *recovered = controller->notes().back();
    WrenRecording &recording = recovered->recordingObject();
    ASSERT_EQ(recording.sessionCount(), 1);
    EXPECT_NEAR(recording.length(), recordedAtKill, 1.0);
    const QStringList files = recording.recordingFiles().value(0);
    ASSERT_EQ(files.size(), 1);
    Error error;
    const std::optional<MediaInfo> info = MediaInfo::probe(
        QDir(recording.mediaPathWithSession(0)).filePath(files.first()), 10s, &error);
    ASSERT_TRUE(info) << error.localizedDescription().toStdString();
    EXPECT_NEAR(info->duration, recordedAtKill, 1.0);
    EXPECT_EQ(info->audioStreams.size(), 1);
    // Played from half a second before its end, it plays to the end and stops.
    ASSERT_TRUE(recording.playSession(0, recording.length() - 0.5, std::nullopt, std::nullopt,
                                      false, false));
    QElapsedTimer played;
    played.start();
    EXPECT_TRUE(runEventLoopUntil([&] { return !recording.playing(); }, 10s));
    EXPECT_GE(played.elapsed(), 400);
    // Only the two open notes hold temporary folders now.
    EXPECT_EQ(temporaryFolders().size(), 2);
}

TEST_F(CrashRecoveryTest, AStartLooksAtTheFoldersNoRunningNoteHolds)
{
    const QString twoSeconds = MediaFixtures::path(MediaFixture::AacMov, 2.0);
    const QString oneSecond = MediaFixtures::path(MediaFixture::AacMov, 1.0);
    ASSERT_FALSE(twoSeconds.isEmpty());
    ASSERT_FALSE(oneSecond.isEmpty());
    const auto place = [](const QString &fixture, const QString &folder, const QString &name) {
        ASSERT_TRUE(QFile::copy(fixture, QDir(folder).filePath(name)));
    };
    struct Case
    {
        const char *name;
        // Leaves a note's temporary folder as a crash would, or keeps the note running.
        std::function<void(std::unique_ptr<MyDocument> &note)> leave;
        int answer;
        bool offered;
        bool folderStays;
        qsizetype openedSessions; // -1: no note opened
    };
    const Case cases[] = {
        {"a running note's, with its autosaved copy",
         [&](std::unique_ptr<MyDocument> &note) {
             place(twoSeconds, note->tempRecordingDir, QStringLiteral("recording-0.0.mov"));
             type(*note, QStringLiteral("still open"));
             ASSERT_TRUE(note->autosave(false, nullptr));
         },
         0, false, true, -1},
        {"empty: the crash came before anything was recorded",
         [](std::unique_ptr<MyDocument> &note) { note.reset(); }, 0, false, false, -1},
        {"every medium stored in the note's package",
         [&](std::unique_ptr<MyDocument> &note) {
             const QString package = folder.filePath(QStringLiteral("Stored.lumaquill"));
             ASSERT_TRUE(note->saveToUrl(package, SaveOperation::SaveAs, nullptr));
             place(twoSeconds, note->tempRecordingDir, QStringLiteral("recording-0.0.mov"));
             place(twoSeconds, package, QStringLiteral("recording-0.0.mov"));
             note.reset();
         },
         0, false, false, -1},
        {"nothing that can be played",
         [](std::unique_ptr<MyDocument> &note) {
             QFile junk(QDir(note->tempRecordingDir).filePath(QStringLiteral("recording-0.0.mov")));
             ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
             junk.write(QByteArray(4096, 'j'));
             junk.close();
             note.reset();
         },
         0, false, false, -1},
        {"a take longer than the package's copy, discarded",
         [&](std::unique_ptr<MyDocument> &note) {
             const QString package = folder.filePath(QStringLiteral("Longer.lumaquill"));
             ASSERT_TRUE(note->saveToUrl(package, SaveOperation::SaveAs, nullptr));
             place(twoSeconds, note->tempRecordingDir, QStringLiteral("recording-0.0.mov"));
             place(oneSecond, package, QStringLiteral("recording-0.0.mov"));
             note.reset();
         },
         1, true, false, -1},
        {"two takes never stored, opened",
         [&](std::unique_ptr<MyDocument> &note) {
             place(oneSecond, note->tempRecordingDir, QStringLiteral("recording-0.0.mov"));
             place(twoSeconds, note->tempRecordingDir, QStringLiteral("recording-1.0.mov"));
             note.reset();
         },
         0, true, false, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        useFoldersUnder(root.path());
        controller = std::make_unique<LumaDocumentController>([](MyDocument &note) {
            note.addWindowController(std::make_unique<FakeDocumentWindow>(note.textStorage()));
        });
        std::unique_ptr<MyDocument> note = MyDocument::create();
        ASSERT_NE(note, nullptr);
        const QString left = QFileInfo(note->tempRecordingDir).fileName();
        ASSERT_NO_FATAL_FAILURE(c.leave(note));
        const int alertsBefore = alerts.count();
        if (c.offered)
            alerts.addResponse(c.answer);

        crash_recovery::offerWhatWasLeft(*controller);
        ASSERT_EQ(alerts.count(), alertsBefore + (c.offered ? 1 : 0));
        if (c.offered) {
            EXPECT_EQ(alerts.last().request.messageText, kOfferMessage);
        }
        EXPECT_EQ(temporaryFolders().contains(left), c.folderStays);
        if (c.openedSessions < 0) {
            EXPECT_TRUE(controller->notes().empty());
        } else {
            ASSERT_EQ(controller->notes().size(), 1u);
            const WrenRecording &opened = controller->notes().front()->recordingObject();
            EXPECT_EQ(opened.sessionCount(), c.openedSessions);
            EXPECT_NEAR(opened.length(), 3.0, 0.2);
        }
        controller.reset();
    }
}

TEST_F(CrashRecoveryTest, AnUntitledNoteKeptAtTheEndReopensEditedUntilItIsNotSaved)
{
    QTemporaryDir root;
    useFoldersUnder(root.path());
    MyDocument *note = controller->openUntitledDocumentAndDisplay(true);
    type(*note, QStringLiteral("kept at the end"));
    // A quit with nobody to ask (a signal) keeps the changes in an autosaved copy.
    ASSERT_TRUE(controller->closeDocument(note, LumaDocumentController::Asking::Nobody));

    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        controller = std::make_unique<LumaDocumentController>([](MyDocument &opened) {
            opened.addWindowController(std::make_unique<FakeDocumentWindow>(opened.textStorage()));
        });
        crash_recovery::offerWhatWasLeft(*controller);
        ASSERT_EQ(controller->notes().size(), 1u);
        MyDocument *reopened = controller->notes().front();
        EXPECT_EQ(reopened->textStorage().string(), QStringLiteral("kept at the end"));
        EXPECT_TRUE(reopened->fileUrl().isEmpty());
        EXPECT_TRUE(reopened->isDocumentEdited());
        // The first time the program ends by a signal again; the second the user does not save.
        if (start == 0) {
            ASSERT_TRUE(
                controller->closeDocument(reopened, LumaDocumentController::Asking::Nobody));
        } else {
            alerts.addResponse(1); // "Don't Save"
            ASSERT_TRUE(controller->closeDocument(reopened));
            EXPECT_EQ(alerts.last().request.buttons.value(1), QStringLiteral("Don't Save"));
        }
    }
    controller = std::make_unique<LumaDocumentController>([](MyDocument &opened) {
        opened.addWindowController(std::make_unique<FakeDocumentWindow>(opened.textStorage()));
    });
    crash_recovery::offerWhatWasLeft(*controller);
    EXPECT_TRUE(controller->notes().empty());
    EXPECT_TRUE(QDir(Document::autosaveFolder()).isEmpty());
}

TEST_F(CrashRecoveryTest, TheOfferTellsWhenTheRecordingWasMadeAndHowLongItLasts)
{
    QTemporaryDir root;
    useFoldersUnder(root.path());
    const QLocale locale = QLocale();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    {
        std::unique_ptr<MyDocument> note = MyDocument::create();
        const QString media =
            QDir(note->tempRecordingDir).filePath(QStringLiteral("recording-0.0.mov"));
        ASSERT_TRUE(QFile::copy(MediaFixtures::path(MediaFixture::AacMov, 2.0), media));
        QFile file(media);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2025, 12, 9), QTime(21, 49, 30)),
                                     QFileDevice::FileModificationTime));
    }
    QtAlertPresenter shown;
    AlertPresenter *scripted = AlertPresenter::setCurrent(&shown);
    QString informative;
    whenModalShown<QMessageBox>([&](QMessageBox *box) {
        informative = box->informativeText();
        const QImage picture = box->grab().toImage();
        EXPECT_TRUE(picture.save(QStringLiteral("crash-recovery-offer.png")));
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == QStringLiteral("Discard"))
                button->click();
        }
    });
    crash_recovery::offerWhatWasLeft(*controller);
    AlertPresenter::setCurrent(scripted);
    QLocale::setDefault(locale);
    // The time as the locale writes it: "9:49 PM", "9:49\u202fPM" in newer locale data.
    EXPECT_TRUE(
        informative.startsWith(QStringLiteral("It was recorded on December 9, 2025 at 9:49")))
        << informative.toStdString();
    EXPECT_TRUE(informative.endsWith(QStringLiteral("PM and lasts 0:00:02. Open puts it into a new "
                                                    "note; Discard deletes it for good.")))
        << informative.toStdString();
    EXPECT_TRUE(controller->notes().empty());
    EXPECT_TRUE(temporaryFolders().isEmpty());
}

} // namespace
} // namespace lq::test
