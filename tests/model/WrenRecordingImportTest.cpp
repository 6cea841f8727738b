#include "model/WrenEvents.h"
#include "model/WrenRecordingTestSupport.h"
#include "platform/foundation/FileOperations.h"
#include "support/FakeMediaImportDialog.h"
#include "support/FakeOldMediaConversion.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace {

using lq::test::MediaFixture;
using lq::test::MediaFixtures;
using Lists = WrenRecording::RecordingFiles;

const QString kFailed = QStringLiteral("Failed to import media file.");

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything an import may change.
struct NoteState
{
    QMap<QString, QByteArray> files; // the temporary folder; a link as "-> target"
    Lists lists;
    std::vector<WrenRecording::SessionPtr> sessions;
    QList<QPair<int32_t, double>> stamps;

    bool operator==(const NoteState &) const = default;
};

class ImportTest : public lq::test::RecordingTestBase
{
protected:
    ImportTest() { startOver(); }

    // A new note with sessions of 10 s, each with one file "recording-<i>.0.mov" holding
    // "media <i>" and a key stamp at 1 s.
    void startOver(int sessions = 2)
    {
        owner.undo.removeAllActions();
        controller.calls.clear();
        QDir(tempDir.path()).removeRecursively();
        QDir().mkpath(tempDir.path());
        recording = std::make_unique<WrenRecording>();
        recording->setTempDir(tempDir.path());
        recording->setOwner(&owner);
        recording->loadController(&controller);
        recording->setMediaPlayabilityCheck(&conversion);
        recording->setOldMediaConversion(&conversion);
        owner.undo.disableUndoRegistration();
        for (int i = 0; i < sessions; ++i) {
            addSessionWithMedia(*recording, 10.0, false);
            writeFile(QStringLiteral("recording-%1.0.mov").arg(i),
                      "media " + QByteArray::number(i));
            recording->events().addEvent(WrenTimeStamp::initWithKey(uint32_t(i), i, 1.0), false);
        }
        owner.undo.enableUndoRegistration();
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(tempDir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static ImportedMovie movie(MediaFixture fixture = MediaFixture::AacMov)
    {
        lq::Error error;
        const std::optional<ImportedMovie> opened =
            ImportedMovie::open(MediaFixtures::path(fixture, 2.0), &error);
        EXPECT_TRUE(opened) << error.localizedDescription().toStdString();
        return opened.value_or(ImportedMovie{});
    }

    bool import(const ImportedMovie &m, int32_t k, bool replaceAll, lq::Error *error = nullptr)
    {
        bool imported = false;
        owner.inUndoGroup([&] { imported = recording->insertMedia(m, k, replaceAll, error); });
        return imported;
    }

    NoteState state() const
    {
        NoteState s;
        const QFileInfoList entries =
            QDir(tempDir.path())
                .entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries)
            s.files.insert(entry.fileName(), entry.isSymLink()
                                                 ? "-> " + entry.symLinkTarget().toUtf8()
                                                 : contents(entry.filePath()));
        s.lists = recording->recordingFiles();
        s.sessions = recording->timerSessions();
        for (const WrenTimeStampPtr &stamp : recording->events().getEvents())
            s.stamps.append({stamp->session(), stamp->offset()});
        return s;
    }

    QList<int32_t> stampSessions() const
    {
        QList<int32_t> sessions;
        for (const WrenTimeStampPtr &stamp : recording->events().getEvents())
            sessions.append(stamp->session());
        return sessions;
    }

    static QStringList files(const char *name) { return {QString::fromLatin1(name)}; }

    lq::test::TestUserDefaults defaults;
    lq::test::FakeOldMediaConversion conversion;
    lq::test::LogCapture log;
    std::unique_ptr<WrenRecording> recording;
};

TEST_F(ImportTest, InsertingPlacesTheSessionAndUndoAndRedoRestoreItsFile)
{
    const ImportedMovie m = movie();
    struct Case
    {
        const char *name;
        int32_t k;
        bool nameTaken; // "recording-2.mov" is in the temporary folder already
        const char *newName;
        Lists lists;
        QList<int32_t> stampSessions;
    };
    const Lists appended{{0, files("recording-0.0.mov")},
                         {1, files("recording-1.0.mov")},
                         {2, files("recording-2.mov")}};
    const Case cases[] = {
        {"append", 2, false, "recording-2.mov", appended, {0, 1}},
        {"at the beginning",
         0,
         false,
         "recording-2.mov",
         {{0, files("recording-2.mov")},
          {1, files("recording-0.0.mov")},
          {2, files("recording-1.0.mov")}},
         {1, 2}},
        {"between",
         1,
         false,
         "recording-2.mov",
         {{0, files("recording-0.0.mov")},
          {1, files("recording-2.mov")},
          {2, files("recording-1.0.mov")}},
         {0, 2}},
        {"name taken",
         2,
         true,
         "recording-2-1.mov",
         {{0, files("recording-0.0.mov")},
          {1, files("recording-1.0.mov")},
          {2, files("recording-2-1.mov")}},
         {0, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        if (c.nameTaken)
            writeFile(QStringLiteral("recording-2.mov"), "not ours");
        const NoteState before = state();
        const auto former = recording->timerSessions();

        lq::Error error;
        ASSERT_TRUE(import(m, c.k, false, &error));
        EXPECT_TRUE(error.isNull());
        const QString newPath = tempDir.filePath(QString::fromLatin1(c.newName));
        EXPECT_FALSE(QFileInfo(newPath).isSymLink());
        const QByteArray bytes = contents(newPath);
        EXPECT_FALSE(bytes.isEmpty());
        EXPECT_EQ(recording->recordingFiles(), c.lists);
        EXPECT_EQ(stampSessions(), c.stampSessions);
        ASSERT_EQ(recording->sessionCount(), 3);
        const auto created = recording->session(c.k);
        double length = 0.0;
        EXPECT_TRUE(created->length(&length));
        EXPECT_NEAR(length, m.length, 1e-3);
        EXPECT_TRUE(created->hasAudio());
        EXPECT_FALSE(created->hasVideo());
        EXPECT_EQ(created->owner(), recording.get());
        EXPECT_EQ(recording->currentSession(), 0); // positioned at session 0's start
        EXPECT_FALSE(controller.calls.contains(QStringLiteral("setRecordingExists")));
        EXPECT_EQ(owner.undo.undoMenuItemTitle(), QStringLiteral("Undo Import Audio/Video"));
        if (c.nameTaken) {
            EXPECT_EQ(contents(tempDir.filePath(QStringLiteral("recording-2.mov"))), "not ours");
        }

        owner.undo.undo();
        EXPECT_EQ(state(), before);
        owner.undo.redo();
        EXPECT_EQ(contents(newPath), bytes);
        EXPECT_EQ(recording->recordingFiles(), c.lists);
        EXPECT_EQ(stampSessions(), c.stampSessions);
        ASSERT_EQ(recording->sessionCount(), 3);
        EXPECT_TRUE(recording->session(c.k)->hasAudio());
        EXPECT_EQ(recording->session(c.k == 0 ? 1 : 0), former[0]);
        owner.undo.undo();
        EXPECT_EQ(state(), before);
    }
}

TEST_F(ImportTest, ReplacingAllKeepsTheOldFilesForUndo)
{
    startOver(3);
    const NoteState before = state();
    const ImportedMovie m = movie();

    const auto former = recording->timerSessions();
    ASSERT_TRUE(import(m, 0, true));
    // The controller follows the clocks of the sessions in the list only.
    controller.observed.clear();
    Q_EMIT former[0]->clockTimeChanged(lq::clockEpoch());
    Q_EMIT recording->session(0)->clockTimeChanged(lq::clockEpoch());
    EXPECT_EQ(controller.observed, QStringList{"sessionClockTime"});
    EXPECT_EQ(recording->recordingFiles(), (Lists{{0, files("recording-3.mov")}}));
    EXPECT_EQ(QDir(tempDir.path()).entryList(QDir::Files), QStringList{"recording-3.mov"});
    ASSERT_EQ(recording->sessionCount(), 1);
    EXPECT_EQ(state().stamps, (QList<QPair<int32_t, double>>{{0, 1.0}, {0, 11.0}, {0, 21.0}}));
    EXPECT_NEAR(recording->events().sessionLengths().value(0), m.length, 1e-3);

    const auto imported = recording->session(0);
    owner.undo.undo();
    EXPECT_EQ(state(), before);
    controller.observed.clear();
    Q_EMIT imported->clockTimeChanged(lq::clockEpoch());
    for (const auto &s : former)
        Q_EMIT s->clockTimeChanged(lq::clockEpoch());
    EXPECT_EQ(controller.observed.size(), 3);
    owner.undo.redo();
    EXPECT_EQ(recording->recordingFiles(), (Lists{{0, files("recording-3.mov")}}));
    EXPECT_EQ(recording->sessionCount(), 1);
    EXPECT_EQ(stampSessions(), (QList<int32_t>{0, 0, 0}));
    owner.undo.undo();
    EXPECT_EQ(state(), before);
}

TEST_F(ImportTest, MediaOfASavedNoteSurviveUndoAfterASave)
{
    // The sessions' files lie in the package, as after a save.
    const QString package = tempDir.filePath(QStringLiteral("saved.lumaquill"));
    const auto save = [&](int32_t session, const QString &name) {
        ASSERT_TRUE(QDir().mkpath(package));
        ASSERT_TRUE(QFile::rename(tempDir.filePath(name), package + QLatin1Char('/') + name));
        recording->session(session)->setSaved(true);
    };
    recording->setURL(QUrl::fromLocalFile(package));
    save(0, QStringLiteral("recording-0.0.mov"));
    save(1, QStringLiteral("recording-1.0.mov"));

    ASSERT_TRUE(import(movie(), 0, true));
    EXPECT_EQ(contents(package + QStringLiteral("/recording-1.0.mov")), "media 1");
    // The next save leaves them out of the package; undo brings them back all the same.
    QDir(package).removeRecursively();
    owner.undo.undo();
    EXPECT_EQ(recording->sessionCount(), 2);
    EXPECT_EQ(recording->mediaPathWithSession(1), tempDir.path());
    EXPECT_EQ(contents(tempDir.filePath(QStringLiteral("recording-1.0.mov"))), "media 1");

    // An imported file saved into the package stays there when the import is undone.
    ASSERT_TRUE(import(movie(), 2, false));
    const QByteArray bytes = contents(tempDir.filePath(QStringLiteral("recording-2.mov")));
    save(2, QStringLiteral("recording-2.mov"));
    owner.undo.undo();
    EXPECT_EQ(contents(package + QStringLiteral("/recording-2.mov")), bytes);
    owner.undo.redo();
    EXPECT_EQ(contents(tempDir.filePath(QStringLiteral("recording-2.mov"))), bytes);
    EXPECT_EQ(recording->sessionCount(), 3);
}

TEST_F(ImportTest, FirstImportIntoAnEmptyNoteShowsTheRecording)
{
    for (const bool replaceAll : {false, true}) {
        SCOPED_TRACE(replaceAll ? "replace" : "insert");
        startOver(0);
        ASSERT_TRUE(import(movie(MediaFixture::H264AacMov), 0, replaceAll));
        EXPECT_EQ(recording->sessionCount(), 1);
        EXPECT_TRUE(recording->session(0)->hasVideo());
        EXPECT_TRUE(controller.calls.contains(QStringLiteral("setRecordingExists")));
        EXPECT_TRUE(controller.calls.contains(QStringLiteral("expandVideoSection")));
        owner.undo.undo();
        EXPECT_EQ(recording->sessionCount(), 0);
        EXPECT_TRUE(controller.calls.contains(QStringLiteral("setRecordingGone")));
        EXPECT_TRUE(QDir(tempDir.path()).isEmpty());
    }
}

TEST_F(ImportTest, RefusedImportsChangeNothing)
{
    ImportedMovie silent = movie();
    silent.hasAudio = false;
    struct Case
    {
        const char *name;
        ImportedMovie movie;
        int32_t k;
        bool replaceAll;
    };
    const Case cases[] = {
        {"neither audio nor video", silent, 2, false},
        {"past the end", movie(), 3, false},
        {"before the start", movie(), -1, false},
        {"replacing from session 1", movie(), 1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        const NoteState before = state();
        lq::Error error;
        EXPECT_FALSE(import(c.movie, c.k, c.replaceAll, &error));
        EXPECT_TRUE(error.isNull());
        EXPECT_EQ(state(), before);
        EXPECT_FALSE(owner.undo.canUndo());
    }
}

TEST_F(ImportTest, ByReferenceLinksAndACopyThePlayerCannotPlayIsConverted)
{
    struct Case
    {
        const char *name;
        bool byReference;
        bool converted;
    };
    const Case cases[] = {
        {"copy, converted", false, true},
        {"by reference, never converted", true, false},
    };
    const ImportedMovie m = movie();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        defaults->setBool(QStringLiteral("importByReference"), c.byReference);
        conversion.calls.clear();
        conversion.unplayable = {QStringLiteral("recording-2.mov")};
        ASSERT_TRUE(import(m, 2, false));
        const QFileInfo created(tempDir.filePath(QStringLiteral("recording-2.mov")));
        EXPECT_EQ(created.isSymLink(), c.byReference);
        if (c.byReference) {
            EXPECT_EQ(created.symLinkTarget(), QFileInfo(m.path).absoluteFilePath());
        }
        EXPECT_EQ(conversion.calls.contains(QStringLiteral("convert:recording-2.mov:2")),
                  c.converted);
        EXPECT_EQ(contents(created.filePath()) == "converted", c.converted);

        owner.undo.undo();
        EXPECT_FALSE(QFileInfo::exists(created.filePath()));
        if (c.byReference) {
            // Undo kept the link's destination, not the movie's bytes.
            owner.undo.redo();
            EXPECT_TRUE(QFileInfo(created.filePath()).isSymLink());
            EXPECT_EQ(recording->sessionCount(), 3);
        }
    }
}

TEST_F(ImportTest, AFailureAtAnyStepLeavesTheNoteAsItWas)
{
    struct Case
    {
        const char *name;
        int32_t k;
        bool replaceAll;
        bool byReference;
        QString operation; // fails on the path ending in failingName
        QString failingName;
        bool conversionFails;
        int code;
    };
    const QString newName = QStringLiteral("recording-2.mov");
    const Case cases[] = {
        {"flattened copy not put in place", 2, false, false, "replace", newName, false, 2},
        {"link not made", 0, false, true, "symbolicLink", newName, false, 2},
        {"conversion fails", 0, false, false, QString(), QString(), true, 2},
        {"old file not deleted", 0, true, false, "remove", "recording-1.0.mov", false, 1},
        {"new file not written while replacing", 0, true, false, "replace", newName, false, 1},
        {"conversion fails while replacing", 0, true, false, QString(), QString(), true, 1},
    };
    const ImportedMovie m = movie();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        defaults->setBool(QStringLiteral("importByReference"), c.byReference);
        conversion.unplayable.clear();
        if (c.conversionFails) {
            conversion.unplayable = {newName};
            conversion.script.converts = false;
        }
        const int alertsBefore = alerts.count();
        const NoteState before = state();
        lq::FailingFileOperations failing([&c](const QString &operation, const QString &path) {
            return operation == c.operation && path.endsWith(QLatin1Char('/') + c.failingName);
        });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        lq::Error error;
        const bool imported = import(m, c.k, c.replaceAll, &error);
        lq::FileOperations::setCurrent(previous);
        conversion.script.converts = true;

        EXPECT_FALSE(imported);
        EXPECT_EQ(error.domain(), QStringLiteral("importing"));
        EXPECT_EQ(error.code(), c.code);
        EXPECT_EQ(error.localizedDescription(), kFailed);
        EXPECT_EQ(error.underlyingError() != nullptr, !c.conversionFails);
        EXPECT_EQ(state(), before);
        EXPECT_FALSE(recording->isCorrupt());
        EXPECT_FALSE(owner.undo.canUndo());
        EXPECT_EQ(alerts.count() - alertsBefore, c.conversionFails ? 1 : 0);
        if (c.conversionFails) {
            EXPECT_EQ(alerts.last().request.messageText, QStringLiteral("Error parsing media"));
        }
    }
}

TEST_F(ImportTest, AFailedRollBackMarksTheNoteCorrupt)
{
    lq::FailingFileOperations failing([](const QString &operation, const QString &path) {
        return (operation == QLatin1String("remove") && path.endsWith("/recording-1.0.mov")) ||
               (operation == QLatin1String("replace") && path.endsWith("/recording-0.0.mov"));
    });
    lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
    lq::Error error;
    EXPECT_FALSE(import(movie(), 0, true, &error));
    lq::FileOperations::setCurrent(previous);
    EXPECT_EQ(error.code(), 1);
    EXPECT_TRUE(error.localizedDescription().startsWith(
        QStringLiteral("Experienced an unrecoverable error while importing media file.")));
    EXPECT_TRUE(recording->isCorrupt());
    EXPECT_FALSE(recording->prepareToSave());
}

TEST_F(ImportTest, NothingIsImportedWhileRecordingOrPlaying)
{
    lq::test::FakeMediaImportDialogFactory dialogs;
    const ImportedMovie m = movie();
    for (const bool whileRecording : {true, false}) {
        SCOPED_TRACE(whileRecording ? "recording" : "playing");
        startOver();
        if (whileRecording)
            recording->setRecording(true);
        else
            recording->setPlaying(true);
        const NoteState before = state();
        log.clear();
        recording->importMediaFromFile(m.path);
        EXPECT_FALSE(import(m, 2, false));
        EXPECT_EQ(dialogs.made, 0);
        EXPECT_EQ(state(), before);
        EXPECT_TRUE(log.contains(QStringLiteral("Media cannot be imported")));
        recording->setRecording(false);
        recording->setPlaying(false);
    }
}

} // namespace
