#include "document/EditingTestSupport.h"
#include "platform/foundation/MainThread.h"

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>

#include <atomic>
#include <functional>
#include <thread>

using lq::TextRange;

namespace {

using EditingTest = lq::test::EditingTest;

struct SelectionCase
{
    const char *name;
    bool recording;
    bool playing;
    int32_t playbackMode;
    std::function<void(EditingTest &)> act;
    std::optional<uint32_t> jump;
};

TEST_F(EditingTest, OnlyCaretMovesThatNoEditCausedJump)
{
    const auto click = [](qsizetype position) {
        return [position](EditingTest &t) { t.view->setSelectedRange({position, 0}); };
    };
    const std::vector<SelectionCase> cases = {
        {"typing while idle", false, false, 1, [](EditingTest &t) { t.type("x"); }, std::nullopt},
        {"clicking while idle", false, false, 1, click(3), 3},
        {"typing over a selection", false, false, 1,
         [](EditingTest &t) {
             t.view->setSelectedRange({2, 3});
             t.jumpedTo();
             t.type("x");
         },
         std::nullopt},
        {"backspace", false, false, 1, [](EditingTest &t) { t.press(Qt::Key_Backspace); },
         std::nullopt},
        {"deleting a selection", false, false, 1,
         [](EditingTest &t) {
             t.view->setSelectedRange({1, 4});
             t.jumpedTo();
             t.press(Qt::Key_Delete);
         },
         std::nullopt},
        {"clicking during locked playback", false, true, 1, click(4), 4},
        {"clicking during unlocked playback", false, true, 2, click(4), std::nullopt},
        {"clicking while recording", true, false, 1, click(4), std::nullopt},
    };
    for (const SelectionCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(QStringLiteral("one two three"));
        document->recording = c.recording;
        document->playing = c.playing;
        document->playbackMode = c.playbackMode;
        c.act(*this);
        EXPECT_EQ(jumpedTo(), c.jump);
    }
}

struct PlaybackEditCase
{
    const char *name;
    int32_t playbackMode;
    TextRange range;
    QString replacement;
    QString text;
    std::vector<qsizetype> underlined;
};

TEST_F(EditingTest, LockedPlaybackRefusesEditsAndUnlockedMovesTheUnderline)
{
    const QString start = QStringLiteral("one two three");
    const std::vector<PlaybackEditCase> cases = {
        {"locked", 1, {0, 0}, "xx", start, {4, 5}},
        {"unlocked, before", 2, {0, 0}, "xx", "xxone two three", {6, 7}},
        {"unlocked, over one", 2, {5, 1}, "W", "one tWo three", {4}},
        {"unlocked, after", 2, {8, 0}, "xx", "one two xxthree", {4, 5}},
    };
    for (const PlaybackEditCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(start);
        document->playing = true;
        document->playbackMode = c.playbackMode;
        document->highlightChar(4);
        document->highlightChar(5);
        const size_t stamps = recording().events().getEvents().size();
        EXPECT_EQ(view->applyUserEdit(c.range, c.replacement), c.playbackMode == 2);
        EXPECT_EQ(text(), c.text);
        EXPECT_EQ(document->highlightedChars(), c.underlined);
        expectStampsMatchText(c.name);
        const size_t added = c.playbackMode == 2 ? size_t(c.replacement.size()) : 0;
        EXPECT_EQ(recording().events().getEvents().size(), stamps + added - size_t(c.range.length));
    }
}

TEST_F(EditingTest, StampsFollowTheTextThroughEditsUndoAndRedo)
{
    open(QStringLiteral("ab"));
    QApplication::clipboard()->setText(QStringLiteral("XY"));
    using Moments = decltype(moments());
    std::vector<Moments> history{moments()};
    const std::vector<std::pair<const char *, std::function<void()>>> edits = {
        {"type", [&] { type("c"); }},
        {"paste", [&] { view->paste(); }},
        {"backspace", [&] { press(Qt::Key_Backspace); }},
        {"delete a selection",
         [&] {
             view->setSelectedRange({1, 2});
             press(Qt::Key_Delete);
         }},
    };
    for (const auto &[step, edit] : edits) {
        clock.advance(1.0);
        edit();
        QCoreApplication::processEvents();
        expectStampsMatchText(step);
        history.push_back(moments());
    }
    EXPECT_EQ(text(), QStringLiteral("aX"));
    for (size_t back = history.size() - 1; back > 0; --back) {
        clock.advance(1.0);
        view->undo();
        QCoreApplication::processEvents();
        expectStampsMatchText("undo");
        EXPECT_EQ(moments(), history[back - 1]) << "undo to step " << back - 1;
    }
    EXPECT_EQ(text(), QStringLiteral("ab"));
    for (size_t forward = 1; forward < history.size(); ++forward) {
        clock.advance(1.0);
        view->redo();
        QCoreApplication::processEvents();
        expectStampsMatchText("redo");
        EXPECT_EQ(moments(), history[forward]) << "redo of step " << forward;
    }
}

struct HighlightCall
{
    int64_t index;
    bool skip = false;
};

struct HighlightCase
{
    const char *name;
    QString text;
    bool playing;
    std::vector<HighlightCall> calls;
    std::vector<qsizetype> underlined;
    int flashes;
};

TEST_F(EditingTest, PlaybackUnderlinesWhatWasReached)
{
    const std::vector<HighlightCase> cases = {
        {"at the text's length", "one two", true, {{7}}, {}, 0},
        {"at the last character", "one two", true, {{6}}, {6}, 1},
        {"at a negative index", "one two", true, {{-1}}, {}, 0},
        {"on whitespace while playing", "one two", true, {{3}}, {}, 0},
        {"a jump into a word", "one three", false, {{6}}, {4, 5, 6}, 3},
        {"a jump onto the space after a word", "one two  three", false, {{8}}, {4, 5, 6}, 3},
        {"a jump onto leading space", "  one", false, {{1}}, {}, 0},
        {"two callbacks in one word", "one two", true, {{4}, {5}}, {4, 5}, 2},
        {"the next word", "one two", true, {{1}, {2}, {4}}, {4}, 3},
        {"playback start on a trailing space", "one two ", false, {{7, true}}, {4, 5, 6}, 0},
    };
    for (const HighlightCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.text);
        document->playing = c.playing;
        const int flashesBefore = view->findIndicatorCount();
        const lq::AttributedString before = document->textStorage().attributedString();
        for (const HighlightCall &call : c.calls)
            document->highlightChar(call.index, call.skip);
        // Display only: neither the text nor its undo changes.
        EXPECT_EQ(document->textStorage().attributedString(), before);
        EXPECT_FALSE(document->undoManager()->canUndo());
        EXPECT_EQ(document->highlightedChars(), c.underlined);
        EXPECT_EQ(underlinedInView(), c.underlined);
        EXPECT_EQ(view->findIndicatorCount() - flashesBefore, c.flashes);
    }
}

TEST_F(EditingTest, AHighlightFromAnotherThreadWaitsForTheMainThread)
{
    open(QStringLiteral("one two"));
    document->playing = true;
    std::atomic<bool> done{false};
    std::thread timer([&] {
        document->highlightChar(4);
        done = true;
    });
    EXPECT_TRUE(lq::runEventLoopUntil([&] { return done.load(); }, std::chrono::seconds(5)));
    timer.join();
    EXPECT_EQ(document->highlightedChars(), (std::vector<qsizetype>{4}));
    EXPECT_EQ(underlinedInView(), (std::vector<qsizetype>{4}));
}

struct ClearCase
{
    const char *name;
    std::function<void(EditingTest &)> act;
    bool cleared;
};

TEST_F(EditingTest, EditsAndMovesWhileIdleClearTheUnderline)
{
    const std::vector<ClearCase> cases = {
        {"typing while idle", [](EditingTest &t) { t.type("x"); }, true},
        {"typing while recording",
         [](EditingTest &t) {
             t.document->recording = true;
             t.type("x");
         },
         false},
        {"a click while idle",
         [](EditingTest &t) {
             t.view->setSelectedRange({1, 0});
         },
         true},
        {"a highlight inside the word", [](EditingTest &t) { t.document->highlightChar(0); },
         false},
        {"a highlight in the next word", [](EditingTest &t) { t.document->highlightChar(4); },
         true},
        {"playback stopping", [](EditingTest &t) { t.document->playbackStopped(); }, false},
    };
    for (const ClearCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(QStringLiteral("one two"));
        document->highlightChar(1, true);
        ASSERT_EQ(document->highlightedChars(), (std::vector<qsizetype>{0, 1}));
        c.act(*this);
        const auto &left = document->highlightedChars();
        EXPECT_EQ(std::find(left.begin(), left.end(), 0) == left.end(), c.cleared);
    }
}

struct ReplacementCase
{
    const char *name;
    std::function<bool(EditingTest &)> edit;
};

TEST_F(EditingTest, ChangesThatKeepTheCharactersRecordNothing)
{
    const std::vector<ReplacementCase> cases = {
        {"the same word",
         [](EditingTest &t) {
             return t.view->applyUserEdit({4, 3}, "two");
         }},
        {"attributes only",
         [](EditingTest &t) {
             lq::TextAttributes bold;
             bold.underlineStyle = 1;
             return t.view->applyAttributeEdit({0, 3}, bold);
         }},
    };
    for (const ReplacementCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(QStringLiteral("one two"));
        const WrenEvents::StampList stamps = recording().events().keyEvents().toVector();
        EXPECT_TRUE(c.edit(*this));
        EXPECT_EQ(recording().events().keyEvents().toVector(), stamps);
    }
}

TEST_F(EditingTest, SeveralRangesMoveByTheChangesBeforeThem)
{
    open(QStringLiteral("abcdef"));
    const QStringList replacements{QStringLiteral("XY"), QStringLiteral("Z")};
    ASSERT_TRUE(document->shouldChangeTextInRanges({{0, 1}, {3, 1}}, &replacements));
    // "XYbcZef": b, c, e and f keep their moments; X, Y and Z take the session's present.
    const auto now = moments();
    ASSERT_EQ(now.size(), 7u);
    EXPECT_EQ(now[2].second, 2.0);
    EXPECT_EQ(now[3].second, 3.0);
    EXPECT_EQ(now[5].second, 5.0);
    EXPECT_EQ(now[6].second, 6.0);
}

struct UndoableChangeCase
{
    const char *name;
    std::function<void(MyDocument &)> change;
    QString text;
    qsizetype probe;
    std::optional<int64_t> underline;
};

TEST_F(EditingTest, TheDocumentsOwnChangesAreUndoneAndRedone)
{
    lq::TextAttributes underlined;
    underlined.underlineStyle = 1;
    const std::vector<UndoableChangeCase> cases = {
        {"replace with a string",
         [](MyDocument &d) {
             d.replaceCharacters({0, 3}, QStringLiteral("ONE"));
         },
         "ONE two", 0, std::nullopt},
        {"replace with attributed text",
         [&](MyDocument &d) {
             d.replaceCharacters({4, 3}, lq::AttributedString(QStringLiteral("2"), underlined));
         },
         "one 2", 4, 1},
        {"add attributes",
         [&](MyDocument &d) {
             d.addAttributes({0, 3}, underlined);
         },
         "one two", 0, 1},
        {"remove attributes",
         [](MyDocument &d) {
             d.removeAttributes({3, 4}, lq::TextAttributes::UnderlineStyle);
         },
         "one two", 4, std::nullopt},
    };
    for (const UndoableChangeCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(QStringLiteral("one two"));
        view->addAttributes({4, 3}, underlined);
        const lq::AttributedString before = document->textStorage().attributedString();
        c.change(*document);
        QCoreApplication::processEvents();
        const lq::AttributedString after = document->textStorage().attributedString();
        EXPECT_EQ(after.string(), c.text);
        EXPECT_EQ(document->textStorage().attributesAt(c.probe).underlineStyle, c.underline);
        document->undoManager()->undo();
        EXPECT_EQ(document->textStorage().attributedString(), before);
        document->undoManager()->redo();
        EXPECT_EQ(document->textStorage().attributedString(), after);
    }
}

struct WordCase
{
    qsizetype position;
    TextRange word;
};

TEST_F(EditingTest, WordForCharStopsAtWhitespaceAndLineEnds)
{
    open(QStringLiteral("one two\nthree"));
    const std::vector<WordCase> cases = {
        {0, {0, 3}}, {1, {0, 3}}, {5, {4, 3}}, {3, {4, 0}}, {7, {8, 0}}, {12, {8, 5}}, {13, {8, 5}},
    };
    for (const WordCase &c : cases)
        EXPECT_EQ(document->wordForChar(c.position), c.word) << "at " << c.position;
}

struct SearchCase
{
    const char *name;
    QString phrase;
    TextRange selection;
    int flashes;
    std::optional<uint32_t> jump;
};

TEST_F(EditingTest, SearchSelectsTheFirstOccurrenceInAnyCase)
{
    const std::vector<SearchCase> cases = {
        {"other letter case", "TWO", {4, 3}, 1, 4},
        {"first of two", "o", {0, 1}, 1, 0},
        {"missing", "four", {13, 0}, 0, std::nullopt},
        {"empty", "", {13, 0}, 0, std::nullopt},
    };
    for (const SearchCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(QStringLiteral("one two three"));
        const int flashesBefore = view->findIndicatorCount();
        document->searchForPhrase(c.phrase);
        EXPECT_EQ(view->findIndicatorCount(), flashesBefore) << "the flash waits its turn";
        QCoreApplication::processEvents();
        EXPECT_EQ(view->selectedRange(), c.selection);
        EXPECT_EQ(view->findIndicatorCount() - flashesBefore, c.flashes);
        EXPECT_EQ(jumpedTo(), c.jump);
    }
}

TEST_F(EditingTest, EditableFollowsIntoUndoAndTellsObservers)
{
    open(QStringLiteral("one"));
    QSignalSpy told(document.get(), &MyDocument::editableChanged);
    const std::vector<std::pair<bool, int>> steps = {{false, 1}, {false, 1}, {true, 2}};
    for (const auto &[editable, signals] : steps) {
        document->setEditable(editable);
        EXPECT_EQ(view->shouldUndo(), editable);
        EXPECT_EQ(told.count(), signals);
    }
    document->setEditable(false);
    document->setShareable(false);
    document->playing = true;
    document->playbackStopped();
    EXPECT_TRUE(document->editable());
    EXPECT_TRUE(document->shareable());
    EXPECT_FALSE(document->playing);
}

} // namespace
