#include "platform/document/Document.h"

#include "platform/document/SafeSaveLocation.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "support/KilledChild.h"
#include "support/ScriptedAlertPresenter.h"
#include "support/ScriptedPanelPresenter.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <utility>

using namespace std::chrono_literals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A package of two members that must always agree, and a marker written last.
class TestDocument : public lq::Document
{
public:
    QByteArray contents = "first";
    bool failWriting = false;
    QList<lq::SaveOperation> operations;
    QList<QString> saved;
    // Runs as the save begins, once its folder is made and before anything is in it.
    std::function<void()> whileWriting;

protected:
    Writing beginWriting(const QString &target, lq::SaveOperation operation, lq::Error *) override
    {
        operations.append(operation);
        if (whileWriting)
            std::exchange(whileWriting, {})();
        return [target, contents = contents, fail = failWriting](lq::Error *error) {
            const QDir package(target);
            if (!package.exists() || !writeAll(package.filePath("a"), contents) || fail ||
                !writeAll(package.filePath("b"), contents) ||
                !writeAll(package.filePath("complete"), QByteArray())) {
                lq::setError(error, lq::Error("saving", 5, "Failed to write."));
                return false;
            }
            return true;
        };
    }
    bool readFromUrl(const QString &path, lq::Error *error) override
    {
        const QByteArray a = readAll(QDir(path).filePath("a"));
        if (!isCompleteFile(path) || a != readAll(QDir(path).filePath("b"))) {
            lq::setError(error, lq::Error("Error loading file", -4, "Damaged."));
            return false;
        }
        contents = a;
        return true;
    }
    bool isCompleteFile(const QString &path) const override
    {
        return QFile::exists(QDir(path).filePath("complete"));
    }
    void didSave(const QString &path, lq::SaveOperation) override { saved.append(path); }
    QString fileExtension() const override { return QStringLiteral("note"); }
};

class DocumentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        lq::Document::setAutosaveFolder(dir().filePath("autosaves"));
        lq::Document::setAutosaveDelay(0);
    }
    void TearDown() override { lq::Document::setAutosaveFolder(QString()); }
    QDir dir() const { return QDir(folder.path()); }
    QString path(const char *name) const { return dir().filePath(QString::fromUtf8(name)); }
    QStringList siblingsOf(const QString &stored) const
    {
        return lq::SafeSaveLocation::unfinishedSaves(stored) +
               lq::SafeSaveLocation::replacedVersions(stored);
    }
    // One undoable step, closed as the event loop's pass ends; undoing it registers its redo.
    static void registerStep(lq::UndoManager *undo, const void *target)
    {
        undo->registerUndo(target, [undo, target] { registerStep(undo, target); });
    }
    static void edit(TestDocument &document)
    {
        registerStep(document.undoManager(), &document);
        QCoreApplication::processEvents();
    }

    QTemporaryDir folder;
};

TEST_F(DocumentTest, EachOperationStoresWhereItShouldAndSettlesTheChangeCount)
{
    struct Case
    {
        lq::SaveOperation operation;
        bool titledFirst;
        bool becomesFile;
        bool editedAfter;
        bool autosavedElsewhere;
    };
    const Case cases[] = {
        {lq::SaveOperation::Save, true, true, false, false},
        {lq::SaveOperation::SaveAs, true, true, false, false},
        {lq::SaveOperation::SaveTo, true, false, true, false},
        {lq::SaveOperation::AutosaveInPlace, true, true, false, false},
        {lq::SaveOperation::AutosaveElsewhere, false, false, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.operation));
        QTemporaryDir scratch;
        lq::Document::setAutosaveFolder(QDir(scratch.path()).filePath("autosaves"));
        TestDocument document;
        const QString original = QDir(scratch.path()).filePath("original.note");
        if (c.titledFirst) {
            ASSERT_TRUE(document.saveToUrl(original, lq::SaveOperation::SaveAs, nullptr));
        }
        edit(document);
        ASSERT_TRUE(document.isDocumentEdited());
        document.contents = "second";
        const QString target = c.operation == lq::SaveOperation::Save ||
                                       c.operation == lq::SaveOperation::AutosaveInPlace
                                   ? original
                                   : QDir(scratch.path()).filePath("other.note");
        lq::Error error;
        ASSERT_TRUE(document.saveToUrl(target, c.operation, &error))
            << error.localizedDescription().toStdString();
        EXPECT_EQ(document.operations.last(), c.operation);
        EXPECT_EQ(document.isDocumentEdited(), c.editedAfter);
        EXPECT_EQ(document.hasUnautosavedChanges(), c.operation == lq::SaveOperation::SaveTo);
        const QString stored = c.autosavedElsewhere ? document.autosavedContentsUrl() : target;
        EXPECT_EQ(readAll(QDir(stored).filePath("a")), "second");
        EXPECT_TRUE(siblingsOf(stored).isEmpty());
        const QString expectedFile = c.becomesFile ? target : c.titledFirst ? original : QString();
        EXPECT_EQ(document.fileUrl(), expectedFile);
        if (c.titledFirst && !c.becomesFile) {
            EXPECT_EQ(readAll(QDir(original).filePath("a")), "first");
        }
    }
}

TEST_F(DocumentTest, AFailedSaveLeavesTheStoredFileAsItWas)
{
    struct Case
    {
        const char *name;
        bool writerFails;
        const char *failingOperation; // in the file layer, at the stored path
    };
    const Case cases[] = {
        {"writer", true, nullptr},
        {"swap", false, "exchange"},
        {"first save's rename", false, "move"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir scratch;
        const QString stored = QDir(scratch.path()).filePath("note.note");
        TestDocument document;
        const bool firstSave = c.failingOperation && QByteArray(c.failingOperation) == "move";
        if (!firstSave) {
            ASSERT_TRUE(document.saveToUrl(stored, lq::SaveOperation::SaveAs, nullptr));
        }
        edit(document);
        document.contents = "changed";
        document.failWriting = c.writerFails;
        const QString failing = c.failingOperation ? c.failingOperation : "";
        lq::FailingFileOperations failingOperations(
            [&](const QString &operation, const QString &p) {
                return operation == failing && p == stored;
            });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failingOperations);
        lq::Error error;
        EXPECT_FALSE(document.saveToUrl(stored, lq::SaveOperation::Save, &error));
        lq::FileOperations::setCurrent(previous);
        EXPECT_FALSE(error.localizedDescription().isEmpty());
        EXPECT_TRUE(siblingsOf(stored).isEmpty());
        EXPECT_TRUE(document.isDocumentEdited());
        if (firstSave) {
            EXPECT_FALSE(QFile::exists(stored));
            EXPECT_TRUE(document.fileUrl().isEmpty());
        } else {
            EXPECT_EQ(readAll(QDir(stored).filePath("a")), "first");
            EXPECT_EQ(readAll(QDir(stored).filePath("b")), "first");
        }
    }
}

TEST_F(DocumentTest, ARenameWhoseFolderSyncFailsStillCountsAsSaved)
{
    for (const bool firstSave : {true, false}) {
        SCOPED_TRACE(firstSave ? "first save" : "swap");
        QTemporaryDir scratch;
        const QString stored = QDir(scratch.path()).filePath("note.note");
        TestDocument document;
        if (!firstSave) {
            ASSERT_TRUE(document.saveToUrl(stored, lq::SaveOperation::SaveAs, nullptr));
        }
        document.contents = "changed";
        lq::FailingFileOperations failing([&](const QString &operation, const QString &p) {
            return operation == "sync" && QDir(p) == QDir(scratch.path());
        });
        lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
        const bool saved = document.saveToUrl(stored, lq::SaveOperation::SaveAs, nullptr);
        lq::FileOperations::setCurrent(previous);
        EXPECT_TRUE(saved);
        EXPECT_EQ(readAll(QDir(stored).filePath("a")), "changed");
        EXPECT_EQ(document.fileUrl(), stored);
        EXPECT_FALSE(document.isDocumentEdited());
    }
}

TEST_F(DocumentTest, LeftoversOfInterruptedSavesAreClearedOrOfferedNeverLostSilently)
{
    struct Case
    {
        const char *name;
        bool complete;
        bool newer;
        bool opening;
        int answer; // 0 open the newer copy, 1 keep both
        QByteArray storedAfter;
        bool keptAsRecovered;
    };
    const Case cases[] = {
        {"incomplete", false, true, true, 0, "stored", false},
        {"complete but older", true, false, true, 0, "stored", false},
        {"newer, opened instead", true, true, true, 0, "leftover", false},
        {"newer, both kept", true, true, true, 1, "stored", true},
        {"newer, met by a save", true, true, false, 0, "saved", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir scratch;
        const QString stored = QDir(scratch.path()).filePath("note.note");
        {
            TestDocument writer;
            writer.contents = "stored";
            ASSERT_TRUE(writer.saveToUrl(stored, lq::SaveOperation::SaveAs, nullptr));
        }
        const QString leftover = lq::SafeSaveLocation::freshSibling(stored);
        ASSERT_TRUE(QDir().mkdir(leftover));
        writeAll(QDir(leftover).filePath("a"), "leftover");
        writeAll(QDir(leftover).filePath("b"), "leftover");
        if (c.complete)
            writeAll(QDir(leftover).filePath("complete"), QByteArray());
        const struct timespec times[2] = {{0, UTIME_OMIT},
                                          {std::time(nullptr) + (c.newer ? 60 : -60), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(leftover).constData(), times, 0), 0);

        lq::test::ScriptedAlertPresenter alerts;
        alerts.addResponse(c.answer);
        TestDocument document;
        if (c.opening) {
            ASSERT_TRUE(document.openUrl(stored, nullptr));
        } else {
            document.contents = "saved";
            ASSERT_TRUE(document.saveToUrl(stored, lq::SaveOperation::SaveAs, nullptr));
        }
        EXPECT_EQ(alerts.count(), c.opening && c.complete && c.newer ? 1 : 0);
        EXPECT_EQ(readAll(QDir(stored).filePath("a")), c.storedAfter);
        EXPECT_TRUE(siblingsOf(stored).isEmpty());
        const QString recovered = QDir(scratch.path()).filePath("note (recovered).note");
        EXPECT_EQ(QFile::exists(recovered), c.keptAsRecovered);
        if (c.keptAsRecovered) {
            EXPECT_EQ(readAll(QDir(recovered).filePath("a")), "leftover");
        }
    }
}

// Another save or open of the same file (another process, another user of a shared folder)
// clears only the leftovers of saves that ended, never the folder a running save writes.
TEST_F(DocumentTest, ASaveBeingWrittenIsNotClearedByAnotherSaveOrOpenOfTheSameFile)
{
    for (const bool opening : {false, true}) {
        SCOPED_TRACE(opening ? "an open" : "another save");
        QTemporaryDir scratch;
        const QString stored = QDir(scratch.path()).filePath("note.note");
        TestDocument other, writer;
        ASSERT_TRUE(other.saveToUrl(stored, lq::SaveOperation::SaveAs, nullptr));
        writer.contents = "writer";
        bool otherDone = false;
        writer.whileWriting = [&] {
            otherDone = opening ? other.openUrl(stored, nullptr) : other.save(nullptr);
        };
        EXPECT_TRUE(writer.saveToUrl(stored, lq::SaveOperation::SaveAs, nullptr));
        EXPECT_TRUE(otherDone);
        EXPECT_EQ(readAll(QDir(stored).filePath("a")), "writer");
        EXPECT_TRUE(siblingsOf(stored).isEmpty());
    }
}

TEST_F(DocumentTest, ASaveAskedForWhileAnotherRunsBeginsWhenThatOneHasEnded)
{
    TestDocument document;
    const QString stored = path("queued.note");
    QList<QByteArray> ended;
    const auto asked = [&](const QByteArray &contents, lq::SaveOperation operation) {
        document.contents = contents;
        document.saveToUrl(stored, operation, [&ended, contents](bool saved, const lq::Error &) {
            ended.append(saved ? contents : "failed");
        });
    };
    asked("first", lq::SaveOperation::SaveAs);
    asked("second", lq::SaveOperation::Save);
    EXPECT_TRUE(document.isSaving());
    EXPECT_EQ(document.operations.size(), 1) << "the second waits for its turn";
    ASSERT_TRUE(lq::runEventLoopUntil([&] { return !document.isSaving(); }, 10s));
    EXPECT_EQ(ended, (QList<QByteArray>{"first", "second"}));
    EXPECT_EQ(readAll(QDir(stored).filePath("a")), "second");
    EXPECT_TRUE(siblingsOf(stored).isEmpty());
}

TEST_F(DocumentTest, TheChangeCountFollowsUndoSavesAndReverts)
{
    TestDocument document;
    QList<bool> editedSignals;
    QObject::connect(&document, &lq::Document::editedChanged,
                     [&](bool edited) { editedSignals.append(edited); });
    lq::UndoManager &undo = *document.undoManager();
    struct Step
    {
        const char *name;
        std::function<void()> act;
        bool edited;
    };
    const Step steps[] = {
        {"edit", [&] { edit(document); }, true},
        {"undo back to clean", [&] { undo.undo(); }, false},
        {"redo", [&] { undo.redo(); }, true},
        {"save", [&] { document.saveToUrl(path("n.note"), lq::SaveOperation::SaveAs, nullptr); },
         false},
        {"undo past the save", [&] { undo.undo(); }, true},
        {"redo to the save", [&] { undo.redo(); }, false},
        {"edit again", [&] { edit(document); }, true},
        {"revert", [&] { document.revertToContentsOfUrl(path("n.note"), nullptr); }, false},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        EXPECT_EQ(document.isDocumentEdited(), step.edited);
    }
    EXPECT_FALSE(undo.canUndo()) << "a revert drops the steps of the old contents";
    EXPECT_EQ(editedSignals, (QList<bool>{true, false, true, false, true, false, true, false}));
}

TEST_F(DocumentTest, AnEditIsAutosavedAfterTheDelay)
{
    lq::Document::setAutosaveDelay(1);
    TestDocument document;
    edit(document);
    ASSERT_TRUE(document.hasUnautosavedChanges());
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return !document.hasUnautosavedChanges(); }, 5s));
    ASSERT_FALSE(document.autosavedContentsUrl().isEmpty());
    EXPECT_TRUE(document.autosavedContentsUrl().endsWith(".note"));
    EXPECT_TRUE(document.isDocumentEdited()) << "an untitled note stays unsaved";
    const QString autosaved = document.autosavedContentsUrl();
    ASSERT_TRUE(document.saveToUrl(path("kept.note"), lq::SaveOperation::SaveAs, nullptr));
    EXPECT_FALSE(QFile::exists(autosaved)) << "the autosaved copy goes once the note is saved";
}

TEST_F(DocumentTest, FileAccessFromAnotherThreadWaitsForASave)
{
    TestDocument document;
    std::atomic<bool> inside{false};
    std::atomic<bool> overlapped{false};
    QThread *worker = QThread::create([&] {
        for (int i = 0; i < 50; ++i)
            document.performSynchronousFileAccess([&] {
                if (inside)
                    overlapped = true;
            });
    });
    worker->start();
    for (int i = 0; i < 20; ++i) {
        document.performSynchronousFileAccess([&] {
            inside = true;
            QThread::msleep(1);
            inside = false;
        });
    }
    worker->wait();
    delete worker;
    EXPECT_FALSE(overlapped);
}

// Saves until it is killed; the parent test starts it.
const char *const kKillChildVariable = "LUMAQUILL_SAVE_CHILD_PATH";

TEST_F(DocumentTest, ChildSavesUntilKilled)
{
    const QString stored = qEnvironmentVariable(kKillChildVariable);
    if (stored.isEmpty())
        GTEST_SKIP() << "run by AKilledSaveLeavesTheOldOrTheNewNote";
    TestDocument document;
    ASSERT_TRUE(document.openUrl(stored, nullptr));
    std::printf("saving\n");
    std::fflush(stdout);
    for (int generation = document.contents.toInt() + 1;; ++generation) {
        document.contents = QByteArray::number(generation) + ' ' +
                            QByteArray(QRandomGenerator::global()->bounded(1, 300000), 'x');
        ASSERT_TRUE(document.saveToUrl(stored, lq::SaveOperation::Save, nullptr));
    }
}

TEST_F(DocumentTest, AKilledSaveLeavesTheOldOrTheNewNote)
{
    const QString stored = path("killed.note");
    {
        TestDocument first;
        first.contents = "0";
        ASSERT_TRUE(first.saveToUrl(stored, lq::SaveOperation::SaveAs, nullptr));
    }
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        ASSERT_NO_FATAL_FAILURE(lq::test::killChildAtRandom(
            QStringLiteral("DocumentTest.ChildSavesUntilKilled"), kKillChildVariable, stored, 200));
        TestDocument reopened;
        lq::test::ScriptedAlertPresenter alerts; // a newer complete copy is opened
        lq::Error error;
        ASSERT_TRUE(reopened.openUrl(stored, &error)) << error.localizedDescription().toStdString();
        EXPECT_TRUE(siblingsOf(stored).isEmpty());
    }
}

} // namespace

namespace {

TEST_F(DocumentTest, SavingBeforeAnUntitledDocumentClosesKeepsItOpenUnlessTheSaveWorked)
{
    struct Case
    {
        const char *name;
        bool choosesPath;
        bool writeFails;
        bool closes;
        int alerts; // the question, and the failure
    };
    const Case cases[] = {
        {"saved where chosen", true, false, true, 1},
        {"the save panel cancelled", false, false, false, 1},
        {"the save fails", true, true, false, 2},
    };
    int round = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        lq::test::ScriptedAlertPresenter alerts;
        lq::test::ScriptedPanelPresenter panels;
        const QString chosen = path("chosen") + QString::number(++round) + QStringLiteral(".note");
        if (c.choosesPath) {
            panels.choose(chosen);
        } else {
            panels.cancel();
        }
        TestDocument document;
        edit(document);
        document.failWriting = c.writeFails;
        alerts.addResponse(0); // Save…
        int closedSignals = 0;
        QObject::connect(&document, &lq::Document::closed, [&] { ++closedSignals; });
        std::optional<bool> closed;
        document.closeWhenAllowed([&](bool done) { closed = done; });

        ASSERT_TRUE(lq::runEventLoopUntil([&] { return closed.has_value(); }, 10s));
        EXPECT_EQ(*closed, c.closes);
        EXPECT_EQ(document.isClosed(), c.closes);
        EXPECT_EQ(closedSignals, c.closes ? 1 : 0);
        EXPECT_EQ(alerts.count(), c.alerts);
        EXPECT_EQ(QFile::exists(chosen), c.closes);
        EXPECT_EQ(document.isDocumentEdited(), !c.closes) << "nothing is lost";
    }
}

} // namespace
