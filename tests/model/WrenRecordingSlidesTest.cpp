#include "model/WrenEvents.h"
#include "model/WrenRecordingTestSupport.h"
#include "platform/foundation/FileOperations.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/pdf/PdfTestFiles.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QUrl>

#include <gmock/gmock.h>

namespace {

using lq::test::contentsOf;
using lq::test::pageSizesOf;
using lq::test::writeContents;
using lq::test::writePdf;
using testing::ElementsAre;
using testing::UnorderedElementsAreArray;

const QList<QSize> kOldPages{{300, 200}, {310, 200}};
const QList<QSize> kNewPages{{400, 500}, {410, 500}, {420, 500}};

class SlidesTest : public lq::test::RecordingTestBase
{
protected:
    SlidesTest()
    {
        EXPECT_TRUE(writePdf(source("old.pdf"), kOldPages));
        EXPECT_TRUE(writePdf(source("new.pdf"), kNewPages));
        EXPECT_TRUE(writeContents(source("damaged.pdf"), "%PDF-1.4\n1 0 obj <<"));
        EXPECT_TRUE(writeContents(source("notes.txt"), "not slides"));
        startOver();
    }

    QString source(const QString &name) const { return sources.filePath(name); }
    QString package() const { return sources.filePath(QStringLiteral("note.lumaquill")); }
    QString slidesFile() const { return recording->slides().path(); }

    void wire(WrenRecording &r)
    {
        r.setTempDir(tempDir.path());
        r.setOwner(&owner);
        r.loadController(&controller);
    }

    // A note saved with old.pdf as its slides, as loading it from its package gives it.
    void openSavedNote()
    {
        QDir(package()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(package()));
        ASSERT_TRUE(lq::FileOperations::current().copy(
            source("old.pdf"), package() + QStringLiteral("/slides.pdf"), nullptr));
        auto saved = std::make_shared<WrenRecording>();
        saved->slides().setPath(package() + QStringLiteral("/slides.pdf"));
        recording = lq::KeyedUnarchiver::unarchiveObject<WrenRecording>(
            lq::KeyedArchiver::archivedData(lq::ArchiveValue::object(saved)),
            registerModelArchiveClasses());
        ASSERT_TRUE(recording);
        recording->setURL(QUrl::fromLocalFile(package()));
        wire(*recording);
        ASSERT_TRUE(recording->slidesSaved());
        controller.calls.clear();
    }

    bool add(const QString &name, int mode = WrenSlides::kReplaceMode)
    {
        bool added = false;
        owner.inUndoGroup([&] { added = recording->addSlides(source(name), mode); });
        return added;
    }

    void remove()
    {
        owner.inUndoGroup([&] { recording->removeSlides(); });
    }

    // A new note: empty temporary folder, no undo steps.
    void startOver()
    {
        owner.undo.removeAllActions();
        QDir(tempDir.path()).removeRecursively();
        QDir().mkpath(tempDir.path());
        recording = std::make_shared<WrenRecording>();
        wire(*recording);
    }

    QStringList tempEntries() const
    {
        return QDir(tempDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir sources;
    std::shared_ptr<WrenRecording> recording;
    lq::test::LogCapture log;
};

TEST_F(SlidesTest, EachModePlacesThePagesAndUndoAndRedoRestoreTheFileByteForByte)
{
    struct Case
    {
        int mode;
        QList<QSize> pages;
    };
    const Case cases[] = {
        {WrenSlides::kReplaceMode, kNewPages},
        {WrenSlides::kInsertInFrontMode, kNewPages + kOldPages},
        {WrenSlides::kAppendMode, kOldPages + kNewPages},
        {7, kOldPages + kNewPages},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode);
        startOver();
        ASSERT_TRUE(add("old.pdf"));
        const QByteArray before = contentsOf(slidesFile());

        ASSERT_TRUE(add("new.pdf", c.mode));
        EXPECT_EQ(pageSizesOf(slidesFile()), c.pages);
        EXPECT_EQ(owner.undo.undoMenuItemTitle(), "Undo Add Slides");
        const QByteArray after = contentsOf(slidesFile());

        owner.undo.undo();
        EXPECT_EQ(contentsOf(slidesFile()), before);
        owner.undo.redo();
        EXPECT_EQ(contentsOf(slidesFile()), after);
        owner.undo.undo();
        EXPECT_EQ(contentsOf(slidesFile()), before);
        owner.undo.undo();
        EXPECT_FALSE(recording->hasSlides());
    }
}

TEST_F(SlidesTest, ASavedNotesPackageFileIsNeverChanged)
{
    for (const int mode :
         {WrenSlides::kReplaceMode, WrenSlides::kInsertInFrontMode, WrenSlides::kAppendMode}) {
        SCOPED_TRACE(mode);
        startOver();
        openSavedNote();
        const QByteArray saved = contentsOf(package() + QStringLiteral("/slides.pdf"));

        ASSERT_TRUE(add("new.pdf", mode));
        EXPECT_EQ(slidesFile(), tempDir.filePath(QStringLiteral("slides.pdf")));
        EXPECT_FALSE(recording->slidesSaved());
        EXPECT_EQ(contentsOf(package() + QStringLiteral("/slides.pdf")), saved);

        owner.undo.undo();
        EXPECT_EQ(contentsOf(slidesFile()), saved);
        EXPECT_EQ(contentsOf(package() + QStringLiteral("/slides.pdf")), saved);
    }
}

TEST_F(SlidesTest, RemovingKeepsAnUndoCopyThatUndoPutsBackAndDeletes)
{
    for (const bool saved : {false, true}) {
        SCOPED_TRACE(saved);
        startOver();
        if (saved) {
            openSavedNote();
        } else {
            ASSERT_TRUE(add("old.pdf"));
            controller.calls.clear();
        }
        const QString before = slidesFile();
        const QByteArray bytes = contentsOf(before);

        remove();
        EXPECT_FALSE(recording->hasSlides());
        EXPECT_FALSE(recording->slidesSaved());
        EXPECT_THAT(controller.calls, ElementsAre("removeSlidesFile"));
        EXPECT_EQ(owner.undo.undoMenuItemTitle(), "Undo Remove Slides");
        // A package file stays until the next save; a temporary one goes now.
        EXPECT_EQ(QFileInfo::exists(before), saved);
        EXPECT_EQ(contentsOf(tempDir.filePath(QStringLiteral("0.slides.pdf"))), bytes);

        owner.undo.undo();
        EXPECT_TRUE(recording->hasSlides());
        EXPECT_EQ(contentsOf(slidesFile()), bytes);
        EXPECT_THAT(tempEntries(), ElementsAre("slides.pdf"));
    }
}

TEST_F(SlidesTest, EveryRemovalKeepsItsOwnUndoCopy)
{
    ASSERT_TRUE(add("old.pdf"));
    remove();
    ASSERT_TRUE(add("new.pdf"));
    remove();
    EXPECT_THAT(tempEntries(), UnorderedElementsAreArray({"0.slides.pdf", "1.slides.pdf"}));
    EXPECT_EQ(contentsOf(tempDir.filePath(QStringLiteral("0.slides.pdf"))),
              contentsOf(source("old.pdf")));
    EXPECT_EQ(contentsOf(tempDir.filePath(QStringLiteral("1.slides.pdf"))),
              contentsOf(source("new.pdf")));
}

TEST_F(SlidesTest, ARefusedAddChangesNothing)
{
    enum Slides { None, Temporary, Saved };
    struct Case
    {
        const char *file;
        Slides slides;
        int mode;
        bool playingWithoutSession;
        // Taken from the temporary folder, as undo and redo take their copies.
        bool fromTemporaryFolder = false;
    };
    const Case cases[] = {
        {"damaged.pdf", None, WrenSlides::kReplaceMode, false},
        {"damaged.pdf", Temporary, WrenSlides::kReplaceMode, false},
        {"damaged.pdf", Temporary, WrenSlides::kInsertInFrontMode, false},
        {"damaged.pdf", Temporary, WrenSlides::kAppendMode, false},
        {"damaged.pdf", Saved, WrenSlides::kReplaceMode, false},
        {"damaged.pdf", Saved, WrenSlides::kAppendMode, false},
        {"notes.txt", Temporary, WrenSlides::kReplaceMode, false},
        {"missing.pdf", Temporary, WrenSlides::kAppendMode, false},
        {"new.pdf", None, WrenSlides::kReplaceMode, true},
        {"damaged.pdf", Temporary, WrenSlides::kReplaceMode, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.file << " " << c.slides << " " << c.mode);
        startOver();
        if (c.slides == Saved)
            openSavedNote();
        if (c.slides == Temporary) {
            ASSERT_TRUE(add("old.pdf"));
        }
        QString file = source(c.file);
        if (c.fromTemporaryFolder) {
            file = tempDir.filePath(QStringLiteral("5.slides.pdf"));
            ASSERT_TRUE(lq::FileOperations::current().copy(source(c.file), file, nullptr));
        }
        owner.undo.removeAllActions();
        controller.calls.clear();
        recording->setPlaying(c.playingWithoutSession);
        const QString before = slidesFile();
        const bool savedBefore = recording->slidesSaved();
        const QStringList entries = tempEntries();
        const QByteArray bytes = c.slides != None ? contentsOf(before) : QByteArray();

        bool added = true;
        owner.inUndoGroup([&] { added = recording->addSlides(file, c.mode); });
        EXPECT_FALSE(added);
        EXPECT_EQ(slidesFile(), before);
        EXPECT_EQ(recording->slidesSaved(), savedBefore);
        if (c.slides != None) {
            EXPECT_EQ(contentsOf(before), bytes);
        }
        EXPECT_EQ(tempEntries(), entries);
        EXPECT_FALSE(owner.undo.canUndo());
        EXPECT_TRUE(controller.calls.isEmpty());
        recording->setPlaying(false);
    }
}

TEST_F(SlidesTest, NewSlidesAreShownAndStampedOnAnIdleNoteWithoutSlideStamps)
{
    struct Case
    {
        bool session;
        bool slideStamp;
        bool recordingNow;
        bool stamped;
    };
    const Case cases[] = {
        {true, false, false, true},
        {false, false, false, false},
        {true, true, false, false},
        {true, false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.session << c.slideStamp << c.recordingNow);
        startOver();
        if (c.session)
            recording->addSession(finishedSession(10.0, false, false));
        if (c.slideStamp)
            recording->events().insertEvent(WrenTimeStamp::initWithSlide(3, 0, 4.0), false);
        recording->setRecording(c.recordingNow);
        controller.calls.clear();

        ASSERT_TRUE(add("new.pdf"));
        EXPECT_THAT(controller.calls,
                    ElementsAre("setSlidesPath:" + slidesFile(), "gotoSlide:1 recordUndo:NO",
                                "expandSlidesSection"));
        const WrenTimeStampPtr last = recording->events().lastSlideEvent();
        if (c.stamped) {
            ASSERT_TRUE(last);
            EXPECT_EQ(last->index(), 1u);
            EXPECT_EQ(last->session(), 0);
            EXPECT_EQ(last->offset(), 0.0);
        } else {
            EXPECT_EQ(last != nullptr, c.slideStamp);
        }
    }
}

TEST_F(SlidesTest, WithoutAnUndoManagerNothingIsKeptAndNothingRegistered)
{
    lq::test::FakeRecordingOwner plainOwner(std::set<RecordingOwner::Callback>{});
    recording->setOwner(&plainOwner);
    ASSERT_TRUE(recording->addSlides(source("old.pdf"), WrenSlides::kReplaceMode));
    ASSERT_TRUE(recording->addSlides(source("new.pdf"), WrenSlides::kAppendMode));
    EXPECT_EQ(pageSizesOf(slidesFile()), kOldPages + kNewPages);
    recording->removeSlides();
    EXPECT_FALSE(recording->hasSlides());
    EXPECT_TRUE(tempEntries().isEmpty());
    EXPECT_FALSE(plainOwner.undo.canUndo());
}

TEST_F(SlidesTest, AnAddIsRefusedWhenTheOldSlidesCannotBeKeptForUndo)
{
    ASSERT_TRUE(add("old.pdf"));
    const QByteArray bytes = contentsOf(slidesFile());
    lq::FailingFileOperations failing([this](const QString &operation, const QString &target) {
        return operation == QLatin1String("copy") &&
               target == tempDir.filePath(QStringLiteral("0.slides.pdf"));
    });
    lq::FileOperations *previous = lq::FileOperations::setCurrent(&failing);
    EXPECT_FALSE(add("new.pdf"));
    lq::FileOperations::setCurrent(previous);
    EXPECT_EQ(contentsOf(slidesFile()), bytes);
    EXPECT_EQ(owner.undo.undoMenuItemTitle(), "Undo Add Slides");
    owner.undo.undo();
    EXPECT_FALSE(recording->hasSlides());
}

} // namespace
