#include "document/HeldSave.h"
#include "document/PackageTestSupport.h"
#include "document/VersionGate.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/MainThread.h"
#include "platform/text/TextFixtures.h"
#include "support/LogCapture.h"

using namespace lq;
using namespace lq::test;
using namespace std::chrono_literals;

namespace {

using MyDocumentSaveTest = PackageTest;

TEST_F(MyDocumentSaveTest, MetaNamesTheVersionsImagesNeedAndCountsEverySave)
{
    auto document = newDocument();
    document->textStorage().setAttributedString(AttributedString(QStringLiteral("plain")));
    const QString package = at(QStringLiteral("note.lumaquill"));
    ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
    PackageMeta meta = metaOf(package);
    EXPECT_EQ(meta.minVersionCanRead, QStringLiteral("1.1"));
    EXPECT_EQ(meta.miniOSVersionCanRead, QStringLiteral("0.0"));
    EXPECT_EQ(meta.serialNumber, 1u);
    EXPECT_EQ(meta.playbackMode, 1);
    EXPECT_FALSE(meta.autorecovery);

    document->textStorage().setAttributedString(richSample());
    ASSERT_TRUE(document->save(nullptr));
    meta = metaOf(package);
    EXPECT_EQ(meta.minVersionCanRead, QStringLiteral("3.1"));
    EXPECT_EQ(meta.miniOSVersionCanRead, QStringLiteral("2.1"));
    EXPECT_EQ(meta.serialNumber, 2u);
    EXPECT_EQ(QDir(package).entryList({QStringLiteral("image-*")}).size(), 1);

    document->textStorage().replaceCharacters({0, 0}, QStringLiteral("x"));
    document->updateChangeCount(Document::ChangeKind::Done);
    ASSERT_TRUE(document->autosave(false, nullptr));
    meta = metaOf(package);
    EXPECT_EQ(meta.serialNumber, 3u);
    EXPECT_TRUE(meta.autorecovery);
}

TEST_F(MyDocumentSaveTest, TheVersionGateComparesNumbersOverTheShorterList)
{
    // The program itself opens every note with images.
    EXPECT_TRUE(VersionGate::accepts(QStringLiteral("3.1"), Bundle::shortVersion()));
    struct Case
    {
        const char *application;
        const char *minimum;
        bool opens;
    };
    const Case cases[] = {
        {"3.1", "3.1.2", true}, {"3.1", "3.2", false}, {"3.1", "4.0", false},
        {"3.10", "3.9", true},  {"3", "3.5", true},    {"3.1", "1b2.9", true},
        {"3.1", "3.1", true},   {"2.9", "3.1", false}, {"3.1", "9999999999999999999.0", false},
    };
    auto document = newDocument();
    const QString package = at(QStringLiteral("gate.lumaquill"));
    ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.application) + " opening " + c.minimum);
        PackageMeta meta = metaOf(package);
        meta.minVersionCanRead = QString::fromLatin1(c.minimum);
        QFile::remove(package + QStringLiteral("/meta"));
        writeBytes(package + QStringLiteral("/meta"), meta.archivedData());
        auto reader = newDocument();
        reader->setApplicationVersion(QString::fromLatin1(c.application));
        Error error;
        EXPECT_EQ(reader->openUrl(package, &error), c.opens);
        if (c.opens)
            continue;
        EXPECT_EQ(error.domain(), QStringLiteral("Error loading file"));
        EXPECT_EQ(error.code(), -1);
        EXPECT_EQ(error.localizedDescription(),
                  QStringLiteral("This file requires a minimum of Luma Quill version %1, and you "
                                 "are using version %2. Please update now.")
                      .arg(QString::fromLatin1(c.minimum), QString::fromLatin1(c.application)));
    }
}

TEST_F(MyDocumentSaveTest, FinishedMediaAreLinkedTheFileBeingRecordedAndLinksAreCopied)
{
    auto document = newDocument();
    const QString first = addMediaSession(*document, "first movie");
    const QString outside = at(QStringLiteral("outside.mov"));
    writeBytes(outside, "linked movie");
    const QString linked = addMediaSession(*document, {});
    ASSERT_TRUE(QFile::link(outside, linked));
    const QString current = addMediaSession(*document, "being recorded");
    WrenRecording &recording = document->recordingObject();
    recording.setCurrentSession(2);
    recording.setRecording(true);
    document->recording = true;
    ASSERT_NE(engines.lastRecordingEngine, nullptr);
    engines.lastRecordingEngine->script.prepareToSave = false; // the file list stays as it is

    const QString package = at(QStringLiteral("media.lumaquill"));
    ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
    const auto member = [&](const QString &path) {
        return package + QLatin1Char('/') + QFileInfo(path).fileName();
    };
    EXPECT_EQ(inodeOf(member(first)), inodeOf(first));
    EXPECT_TRUE(QFileInfo(member(linked)).isSymLink());
    EXPECT_EQ(QFileInfo(member(linked)).symLinkTarget(), outside);
    EXPECT_NE(inodeOf(member(current)), inodeOf(current));
    EXPECT_EQ(readBytes(member(current)), "being recorded");
    // Saved while recording: the temporary media stay, and the engine merges its files.
    EXPECT_TRUE(QFileInfo::exists(first));
    EXPECT_TRUE(engines.lastRecordingEngine->calls.contains(QStringLiteral("startMerge")));

    recording.setRecording(false);
    document->recording = false;
    const ino_t firstInode = inodeOf(member(first));
    for (int save = 0; save < 2; ++save) {
        SCOPED_TRACE(save);
        ASSERT_TRUE(document->save(nullptr));
        EXPECT_EQ(inodeOf(member(first)), firstInode);
    }
    EXPECT_FALSE(QFileInfo::exists(first)); // now only in the package
    EXPECT_EQ(readBytes(member(first)), "first movie");
}

TEST_F(MyDocumentSaveTest, AMissingMediaFileIsAskedAboutOnTheMainThread)
{
    // The save's thread asks.
    for (const int answer : {0, 1}) { // continue, abort
        SCOPED_TRACE(answer);
        auto document = newDocument();
        const QString kept = addMediaSession(*document, "kept");
        const QString missing = addMediaSession(*document, {});
        const QString package = at(QStringLiteral("missing-%1.lumaquill").arg(answer));
        const int shownBefore = alerts.count();
        alerts.addResponse(answer);
        Error error;
        const bool saved = document->saveToUrl(package, SaveOperation::SaveAs, &error);
        ASSERT_EQ(alerts.count(), shownBefore + 1);
        EXPECT_TRUE(alerts.last().onMainThread);
        EXPECT_EQ(alerts.last().request.buttons,
                  QStringList({QStringLiteral("Continue Saving"), QStringLiteral("Abort Saving")}));
        if (answer == 0) {
            ASSERT_TRUE(saved) << error.localizedDescription().toStdString();
            EXPECT_TRUE(QFileInfo::exists(package + QStringLiteral("/recording")));
            EXPECT_TRUE(QFileInfo::exists(package + QStringLiteral("/recording-0.0.mov")));
            EXPECT_FALSE(QFileInfo::exists(package + QStringLiteral("/recording-1.0.mov")));
            EXPECT_FALSE(document->recordingObject().allRecordingFiles().contains(missing));
            EXPECT_TRUE(document->failedSaveAborted().isNull());
        } else {
            EXPECT_FALSE(saved);
            EXPECT_EQ(error.domain(), QStringLiteral("saving"));
            EXPECT_EQ(error.code(), 8);
            EXPECT_EQ(error.localizedDescription(),
                      QStringLiteral("Failed to locate file %1 while saving.").arg(missing));
            EXPECT_EQ(document->failedSaveAborted().code(), 8);
            EXPECT_FALSE(QFileInfo::exists(package));
            EXPECT_TRUE(siblingsOf(package).filter(QFileInfo(package).fileName()).isEmpty());
        }
        EXPECT_TRUE(QFileInfo::exists(kept));
    }
}

TEST_F(MyDocumentSaveTest, TemporaryMediaGoOnlyAfterASaveOfTheNotesOwnFile)
{
    struct Case
    {
        const char *name;
        QList<SaveOperation> operations; // after a first Save As of the new note
        bool deleted;
        bool sessionsSaved;
    };
    const QList<Case> cases = {
        {"first save", {}, false, false},
        {"second save", {SaveOperation::Save}, true, true},
        {"save as", {SaveOperation::SaveAs}, true, true},
        {"autosave", {SaveOperation::AutosaveInPlace}, false, false},
        {"save to", {SaveOperation::SaveTo}, false, false},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QDir(tempFolder()).removeRecursively();
        QDir().mkpath(tempFolder());
        auto document = newDocument();
        const QString media = addMediaSession(*document, "movie");
        const QString stray = QDir(tempFolder()).filePath(QStringLiteral("stray.mov"));
        writeBytes(stray, "not listed");
        const QString package = at(QStringLiteral("clean-%1.lumaquill").arg(++round));
        ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
        for (SaveOperation operation : c.operations) {
            document->updateChangeCount(Document::ChangeKind::Done);
            const QString target =
                operation == SaveOperation::SaveAs || operation == SaveOperation::SaveTo
                    ? at(QStringLiteral("other-%1.lumaquill").arg(round))
                    : package;
            ASSERT_TRUE(document->saveToUrl(target, operation, nullptr));
        }
        EXPECT_EQ(QFileInfo::exists(media), !c.deleted);
        EXPECT_TRUE(QFileInfo::exists(stray));
        EXPECT_EQ(document->recordingObject().session(0)->saved(), c.sessionsSaved);
    }
}

// What the user does to a media file while a save runs (a crop replaces it, an import in its
// place removes it) does not reach that save: it stores the file it found as it began, asks
// about nothing missing, and a replaced file stays for the next save.
TEST_F(MyDocumentSaveTest, AMediaFileReplacedOrRemovedWhileASaveRunsIsSavedAsTheSaveFoundIt)
{
    for (const bool replaced : {true, false}) {
        SCOPED_TRACE(replaced ? "replaced" : "removed");
        auto document = newDocument();
        addMediaSession(*document, "first movie");
        const QString package = at(QStringLiteral("held-%1.lumaquill").arg(replaced));
        ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
        const QString fresh = addMediaSession(*document, "new movie");
        const QString member = package + QStringLiteral("/recording-1.0.mov");
        const int alertsBefore = alerts.count();
        std::optional<bool> saved;
        {
            HeldSave held(*document, QStringLiteral("recording"));
            document->save([&saved](bool ok, const Error &) { saved = ok; });
            ASSERT_TRUE(held.waitUntilHeld(10s));
            QFile::remove(fresh);
            if (replaced)
                writeBytes(fresh, "cropped movie");
            // The recording's file list changes with the file, as a crop or an import does.
            document->recordingObject().setRecordingFiles(
                replaced ? std::optional<QStringList>(QStringList{QFileInfo(fresh).fileName()})
                         : std::nullopt,
                1);
        }
        ASSERT_EQ(saved, true);
        EXPECT_EQ(alerts.count(), alertsBefore);
        EXPECT_EQ(readBytes(member), "new movie");
        EXPECT_EQ(readBytes(fresh), replaced ? "cropped movie" : "");
        if (!replaced)
            continue;
        ASSERT_TRUE(document->save(nullptr));
        EXPECT_EQ(readBytes(member), "cropped movie");
        EXPECT_FALSE(QFileInfo::exists(fresh)) << "now only in the package";
    }
}

// A note whose recording stops as a test says, for saves while closing.
class StoppingDocument : public MyDocument
{
public:
    bool stopAnswer = true;
    // When set, the movie is final this long after the stop.
    std::optional<std::chrono::milliseconds> finishAfter;

protected:
    bool stopRecording() override
    {
        if (finishAfter)
            postToMainThread([this] { setFinishedRecordingToFile(true); }, *finishAfter);
        return stopAnswer;
    }
};

TEST_F(MyDocumentSaveTest, SavesRefusedBeforeAnythingIsWrittenAndSavesWhileClosing)
{
    struct Case
    {
        const char *name;
        std::function<void(StoppingDocument &)> setUp;
        bool autosave;
        QString domain; // empty: the save succeeds
        int code = 0;
        const char *logged = nullptr;
    };
    const QList<Case> cases = {
        {"corrupt recording", [](StoppingDocument &d) { d.recordingObject().setIsCorrupt(true); },
         false, QStringLiteral("saving"), 15},
        {"autosave while the recording spins up",
         [](StoppingDocument &d) {
             d.recording = true;
             d.recordingObject().setRecordingSpinningUp(true);
         },
         true, QLatin1String(MyDocument::kStatusErrorDomain), 3072},
        {"closing, the recording cannot stop",
         [](StoppingDocument &d) {
             d.recording = d.isClosing = true;
             d.stopAnswer = false;
         },
         false, QStringLiteral("saving"), 1},
        {"closing, the movie is final a little later",
         [](StoppingDocument &d) {
             d.recording = d.isClosing = true;
             d.finishAfter = 100ms;
         },
         false,
         {}},
        {"closing, the movie never becomes final",
         [](StoppingDocument &d) {
             d.recording = d.isClosing = true;
             d.setRecordingStopTimeLimit(200ms);
         },
         false,
         {},
         0,
         "was not final after 0.2 seconds"},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StoppingDocument document;
        document.tempRecordingDir = tempFolder();
        const QString package = at(QStringLiteral("refused-%1.lumaquill").arg(++round));
        ASSERT_TRUE(document.saveToUrl(package, SaveOperation::SaveAs, nullptr));
        const QMap<QString, QString> stored = treeOf(package);
        c.setUp(document);
        document.updateChangeCount(Document::ChangeKind::Done);
        LogCapture log;
        Error error;
        const bool saved = c.autosave ? document.autosave(true, &error) : document.save(&error);
        EXPECT_EQ(saved, c.domain.isEmpty()) << error.localizedDescription().toStdString();
        EXPECT_EQ(error.domain(), c.domain);
        EXPECT_EQ(error.code(), c.code);
        EXPECT_TRUE(siblingsOf(package).filter(QFileInfo(package).fileName()).isEmpty());
        if (!saved) {
            EXPECT_EQ(treeOf(package), stored);
        }
        if (c.logged) {
            EXPECT_TRUE(log.contains(QLatin1String(c.logged)))
                << log.lines().join(u'|').toStdString();
        }
    }
}

TEST_F(MyDocumentSaveTest, AFailingStepOfASaveLeavesTheStoredNoteAndTheNewMedia)
{
    // A stored note whose first session lives in the package only, and a session recorded
    // since; the save of both is the one that fails.
    struct Prepared
    {
        std::unique_ptr<MyDocument> document;
        QString package;
        QString fresh;
    };
    int round = 0;
    const auto prepare = [&]() {
        const QString folder = at(QStringLiteral("round-%1").arg(++round));
        setTempFolder(folder + QStringLiteral("/temp"));
        Prepared prepared{newDocument(), folder + QStringLiteral("/stored.lumaquill"), {}};
        MyDocument &document = *prepared.document;
        document.textStorage().setAttributedString(richSample());
        addMediaSession(document, "saved movie");
        EXPECT_TRUE(document.saveToUrl(prepared.package, SaveOperation::SaveAs, nullptr));
        EXPECT_TRUE(document.save(nullptr));
        prepared.fresh = addMediaSession(document, "new movie");
        document.textStorage().replaceCharacters({0, 0}, QStringLiteral("changed "));
        return prepared;
    };

    QStringList steps; // every file operation of the save, in order
    {
        Prepared dryRun = prepare();
        FailingFileOperations recorder([&](const QString &operation, const QString &path) {
            steps.append(operation + QLatin1Char(' ') + QFileInfo(path).fileName());
            return false;
        });
        FileOperations *previous = FileOperations::setCurrent(&recorder);
        EXPECT_TRUE(dryRun.document->save(nullptr));
        FileOperations::setCurrent(previous);
    }
    ASSERT_GT(steps.size(), 8);

    int failedSaves = 0;
    for (qsizetype failing = 0; failing < steps.size(); ++failing) {
        SCOPED_TRACE(steps.at(failing).toStdString());
        Prepared prepared = prepare();
        const QMap<QString, QString> stored = treeOf(prepared.package);
        qsizetype call = 0;
        FailingFileOperations failure(
            [&](const QString &, const QString &) { return call++ == failing; });
        FileOperations *previous = FileOperations::setCurrent(&failure);
        Error error;
        const bool saved = prepared.document->save(&error);
        FileOperations::setCurrent(previous);
        auto reopened = newDocument();
        ASSERT_TRUE(reopened->openUrl(prepared.package, nullptr));
        const QString freshInPackage =
            prepared.package + QLatin1Char('/') + QFileInfo(prepared.fresh).fileName();
        if (saved) {
            EXPECT_EQ(reopened->recordingObject().allRecordingFiles().size(), 2);
            EXPECT_EQ(readBytes(freshInPackage), "new movie");
            continue;
        }
        ++failedSaves;
        EXPECT_FALSE(error.localizedDescription().isEmpty());
        EXPECT_EQ(readBytes(prepared.fresh), "new movie");
        if (steps.at(failing).startsWith(QStringLiteral("sync ")) &&
            treeOf(prepared.package) != stored) {
            // The swap was done but its folder could not be synced: the new note is in place.
            EXPECT_EQ(readBytes(freshInPackage), "new movie");
            continue;
        }
        EXPECT_EQ(treeOf(prepared.package), stored);
        EXPECT_TRUE(siblingsOf(prepared.package).isEmpty())
            << siblingsOf(prepared.package).join(u' ').toStdString();
    }
    EXPECT_GT(failedSaves, steps.size() / 2);
}

} // namespace
