#include "document/EditingTestSupport.h"
#include "platform/text/TextFormats.h"
#include "platform/text/TextLists.h"

#include <QTest>
#include <QTextBlock>

using lq::TextParagraphStyle;
using lq::TextRange;

namespace {

using ListsTest = lq::test::EditingTest;

std::optional<TextParagraphStyle> styleOfLine(const MyDocument &document, int line)
{
    return lq::text_formats::paragraphStyle(const_cast<MyDocument &>(document)
                                                .textStorage()
                                                .document()
                                                ->findBlockByNumber(line)
                                                .blockFormat());
}

// Per line: '*' an item of a list, '-' the default style, '.' no style.
QString lineKinds(const MyDocument &document)
{
    QString kinds;
    for (int line = 0;
         line < const_cast<MyDocument &>(document).textStorage().document()->blockCount(); ++line) {
        const std::optional<TextParagraphStyle> style = styleOfLine(document, line);
        kinds += !style ? u'.' : !style->textLists.isEmpty() ? u'*' : u'-';
    }
    return kinds;
}

struct StartCase
{
    const char *name;
    QString text;
    TextRange selection;
    bool numbered;
    QString result;
    TextRange selected;
    QString lines;
};

TEST_F(ListsTest, StartingAListMarksEachSelectedLine)
{
    const std::vector<StartCase> cases = {
        {"numbered, three lines",
         "one\ntwo\nthree\nfour",
         {0, 13},
         true,
         "\t1.\tone\n\t2.\ttwo\n\t3.\tthree\nfour",
         {4, 21},
         "***."},
        {"bullets over leading spaces",
         "  \tone\ntwo",
         {0, 7},
         false,
         "\t•\tone\ntwo",
         {3, 4},
         "*."},
        {"caret inside a line", "one\ntwo", {5, 0}, false, "one\n\t•\ttwo", {8, 0}, ".*"},
        {"at the end of the text", "one", {3, 0}, false, "\t•\tone\n", {6, 0}, "*."},
    };
    for (const StartCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.text);
        view->setSelectedRange(c.selection);
        document->toggleList(c.numbered);
        EXPECT_EQ(text(), c.result);
        EXPECT_EQ(view->selectedRange(), c.selected);
        EXPECT_EQ(lineKinds(*document), c.lines);
        expectStampsMatchText(c.name);
        const std::optional<TextParagraphStyle> item =
            styleOfLine(*document, c.lines.indexOf(u'*'));
        ASSERT_TRUE(item);
        EXPECT_EQ(item->textLists, QStringList{c.numbered ? "{decimal}." : "{disc}"});
        EXPECT_EQ(item->headIndent, 36.0);
        const QList<double> stops{11, 36, 56, 84, 112, 140, 168, 196, 224, 252, 280, 308, 336};
        EXPECT_EQ(item->tabStops, stops);
    }
}

TEST_F(ListsTest, ListAndHighlightStepsUndoAndRedoExactly)
{
    open(QStringLiteral("one\ntwo"));
    struct State
    {
        lq::AttributedString text;
        std::vector<std::pair<int32_t, double>> stamps;
    };
    const auto state = [&] { return State{document->textStorage().attributedString(), moments()}; };
    const auto expectState = [&](const State &expected, const char *step) {
        EXPECT_TRUE(document->textStorage().attributedString() == expected.text) << step;
        EXPECT_EQ(moments(), expected.stamps) << step;
        expectStampsMatchText(step);
    };
    const std::vector<std::pair<const char *, std::function<void()>>> steps = {
        {"list at the end",
         [&] {
             view->setSelectedRange({0, 7});
             document->toggleList(true);
         }},
        {"a break at the end of an item begins the next",
         [&] {
             view->setSelectedRange({15, 0});
             QTest::keyClick(view, Qt::Key_Return);
         }},
        {"a break on the empty item ends the list", [&] { QTest::keyClick(view, Qt::Key_Return); }},
        {"highlight",
         [&] {
             document->highlightSelected({{4, 3}}, lq::TextColor::rgb(1, 1, 0));
         }},
        {"remove the list",
         [&] {
             view->setSelectedRange({0, text().size()});
             document->toggleList(false);
         }},
    };
    std::vector<State> history{state()};
    for (const auto &[step, act] : steps) {
        clock.advance(1.0);
        act();
        QCoreApplication::processEvents();
        expectStampsMatchText(step);
        history.push_back(state());
    }
    EXPECT_EQ(text(), QStringLiteral("one\ntwo\n\n"));
    EXPECT_EQ(lineKinds(*document), QStringLiteral("---."));
    for (size_t back = history.size() - 1; back > 0; --back) {
        view->undo();
        QCoreApplication::processEvents();
        expectState(history[back - 1], "undo");
    }
    for (size_t forward = 1; forward < history.size(); ++forward) {
        view->redo();
        QCoreApplication::processEvents();
        expectState(history[forward], "redo");
    }
}

TEST_F(ListsTest, ABreakInAListItemBeginsTheNextAndOneOnAnEmptyItemEndsTheList)
{
    struct BreakCase
    {
        const char *name;
        bool numbered;
        qsizetype caret; // in the one-item list of "one"
        QString typed;   // '|' a break
        QString result;
        QString lines;
    };
    const std::vector<BreakCase> cases = {
        {"numbered", true, 7, "|two||after", "\t1.\tone\n\t2.\ttwo\nafter\n", "**-."},
        {"bullets", false, 6, "|two||after", "\t•\tone\n\t•\ttwo\nafter\n", "**-."},
        {"inside the item's text", false, 4, "|", "\t•\to\n\t•\tne\n", "**."},
    };
    for (const BreakCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(QStringLiteral("one"));
        view->setSelectedRange({0, 3});
        document->toggleList(c.numbered);
        view->setSelectedRange({c.caret, 0});
        for (const QChar key : c.typed) {
            if (key == u'|')
                QTest::keyClick(view, Qt::Key_Return);
            else
                QTest::keyClicks(view, QString(key));
        }
        EXPECT_EQ(text().toStdString(), c.result.toStdString());
        EXPECT_EQ(lineKinds(*document).toStdString(), c.lines.toStdString());
        expectStampsMatchText(c.name);
    }
}

struct RemoveCase
{
    const char *name;
    QString text;
    TextRange listed;
    std::function<void(ListsTest &)> edit;
    QString result;
    QString lines;
};

TEST_F(ListsTest, RemovingAListTakesOnlyWhatTheListAdded)
{
    const std::vector<RemoveCase> cases = {
        {"a tabbed line in the selection",
         "a\n\tName\tValue\nb",
         {0, 1},
         nullptr,
         "a\n\tName\tValue\nb",
         "-.."},
        {"marker deleted by hand",
         "a\nb",
         {0, 1},
         [](ListsTest &t) {
             t.view->applyUserEdit(TextRange{0, 3}, QString());
         },
         "a\nb",
         "-."},
        {"a tab but no second one",
         "a\nb",
         {0, 1},
         [](ListsTest &t) {
             t.view->applyUserEdit(TextRange{1, 2}, QString());
         },
         "\ta\nb",
         "-."},
    };
    for (const RemoveCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.text);
        document->newList(c.listed, false);
        if (c.edit)
            c.edit(*this);
        document->removeList({0, text().size()});
        EXPECT_EQ(text(), c.result);
        EXPECT_EQ(lineKinds(*document), c.lines);
        EXPECT_EQ(styleOfLine(*document, 0), TextParagraphStyle::defaultStyle());
        expectStampsMatchText(c.name);
    }
}

TEST_F(ListsTest, LockedPlaybackKeepsTheTextAndUnlockedStampsEveryMarker)
{
    for (const int32_t mode : {MyDocument::kLockedMode, MyDocument::kUnlockedMode}) {
        SCOPED_TRACE(mode);
        open(QStringLiteral("one\ntwo"));
        view->setSelectedRange({0, 3});
        document->playing = true;
        document->playbackMode = mode;
        document->toggleList(false);
        EXPECT_EQ(text(), mode == MyDocument::kLockedMode ? "one\ntwo" : "\t•\tone\ntwo");
        expectStampsMatchText("after the list");
        EXPECT_EQ(recording().events().keyEvents().size(), size_t(text().size()));
    }
}

} // namespace
