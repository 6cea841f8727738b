#include "document/EditingTestSupport.h"
#include "document/HeldSave.h"
#include "platform/foundation/MainThread.h"

#include <optional>

namespace lq::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// The text and the number of per-character stamps of a stored note.
std::pair<QString, size_t> storedNote(const QString &package)
{
    MyDocument stored;
    if (!stored.openUrl(package, nullptr))
        return {};
    return {stored.textStorage().string(), stored.recordingObject().events().keyEvents().size()};
}

// The user goes on typing while a save or an autosave runs: the save stores the note as it was
// when it began, and the keys typed meanwhile stay in the note, unsaved, until the next save.
TEST_F(EditingTest, KeysTypedWhileASaveRunsStayInTheNoteAndTheNextSaveHoldsThem)
{
    for (const bool autosave : {false, true}) {
        SCOPED_TRACE(autosave ? "autosave" : "save");
        open(u"abc"_s);
        const QString package = folder.filePath(u"note-%1.lumaquill"_s.arg(autosave));
        ASSERT_TRUE(document->saveToUrl(package, SaveOperation::SaveAs, nullptr));
        type(u"d"_s);
        std::optional<bool> saved;
        {
            HeldSave held(*document, u"recording"_s);
            const auto done = [&saved](bool ok, const Error &) { saved = ok; };
            if (autosave)
                document->autosave(false, done);
            else
                document->save(done);
            ASSERT_TRUE(held.waitUntilHeld(10s));
            type(u"efg"_s);
        }
        ASSERT_EQ(saved, true);
        EXPECT_EQ(text(), u"abcdefg"_s);
        expectStampsMatchText("after the save");
        EXPECT_EQ(storedNote(package), std::make_pair(u"abcd"_s, size_t(4)));
        EXPECT_TRUE(document->isDocumentEdited());
        EXPECT_TRUE(document->hasUnautosavedChanges());

        // Undoing the keys typed during the save comes back to what it stored.
        UndoManager &undo = *document->undoManager();
        for (int step = 0; step < 3; ++step)
            undo.undo();
        EXPECT_EQ(text(), u"abcd"_s);
        EXPECT_FALSE(document->isDocumentEdited());
        for (int step = 0; step < 3; ++step)
            undo.redo();
        EXPECT_TRUE(document->isDocumentEdited());

        ASSERT_TRUE(document->save(nullptr));
        EXPECT_FALSE(document->isDocumentEdited());
        EXPECT_EQ(storedNote(package), std::make_pair(u"abcdefg"_s, size_t(7)));
    }
}

} // namespace
} // namespace lq::test
