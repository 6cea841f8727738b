#include "document/BMColorPicker.h"
#include "document/EditingTestSupport.h"
#include "platform/ui/MainMenu.h"
#include "shared/MenuTitles.h"

#include <QAction>
#include <QMenu>

using lq::TextColor;
using lq::TextRange;

namespace {

using HighlighterTest = lq::test::EditingTest;

const TextColor kYellow = TextColor::rgb(1, 1, 0);
const TextColor kRed = TextColor::rgb(1, 0, 0);

lq::TextAttributes background(const TextColor &color)
{
    lq::TextAttributes attributes;
    attributes.backgroundColor = color;
    return attributes;
}

// Per character: 'Y' yellow, 'R' red, '.' no background colour.
QString backgrounds(MyDocument &document)
{
    QString marks;
    for (qsizetype i = 0; i < document.textStorage().length(); ++i) {
        const std::optional<TextColor> color =
            document.textStorage().attributesAt(i).backgroundColor;
        marks += !color ? u'.' : *color == kYellow ? u'Y' : *color == kRed ? u'R' : u'?';
    }
    return marks;
}

struct PaintCase
{
    const char *name;
    TextRange selection;
    // The pen's action on the selection, or the call with these ranges.
    std::optional<std::vector<TextRange>> ranges;
    bool paint;
    bool locked;
    QString painted;
    TextRange selected;
    bool penOn;
};

// "one two three" with "two" red beforehand.
TEST_F(HighlighterTest, PaintingAndRemovingUndoAndRedoAsOneStep)
{
    using Ranges = std::vector<TextRange>;
    const std::vector<PaintCase> cases = {
        {"a selection", {2, 5}, {}, true, false, "..YYYYY......", {7, 0}, true},
        {"two ranges", {0, 0}, Ranges{{0, 3}, {8, 5}}, true, false, "YYY.RRR.YYYYY", {3, 0}, true},
        {"taking it off", {3, 3}, {}, false, false, "......R......", {6, 0}, false},
        {"no ranges", {2, 5}, Ranges{}, true, false, "....RRR......", {2, 5}, false},
        {"locked playback", {2, 5}, {}, true, true, "....RRR......", {2, 5}, false},
        {"locked, removing", {4, 3}, {}, false, true, "....RRR......", {4, 3}, true},
    };
    for (const PaintCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(QStringLiteral("one two three"));
        view->addAttributes({4, 3}, background(kRed));
        view->setSelectedRange(c.selection);
        QCoreApplication::processEvents();
        const lq::AttributedString before = document->textStorage().attributedString();
        document->playing = c.locked;
        if (c.ranges && c.paint)
            document->highlightSelected(*c.ranges, kYellow);
        else if (c.ranges)
            document->highlightDeselected(*c.ranges);
        else if (c.paint)
            document->highlightSelectedAction(Qt::yellow);
        else
            document->highlightDeselectedAction();
        QCoreApplication::processEvents();
        const lq::AttributedString after = document->textStorage().attributedString();
        EXPECT_EQ(backgrounds(*document), c.painted);
        EXPECT_EQ(view->selectedRange(), c.selected);
        EXPECT_EQ(document->colorPicker()->selected(), c.penOn);
        expectStampsMatchText(c.name);
        if (!document->undoManager()->canUndo()) {
            EXPECT_TRUE(c.locked || c.ranges == std::vector<TextRange>()) << "nothing to undo";
            continue;
        }
        view->undo();
        EXPECT_TRUE(document->textStorage().attributedString() == before);
        view->redo();
        EXPECT_TRUE(document->textStorage().attributedString() == after);
    }
}

TEST_F(HighlighterTest, WithTheCaretThePenColoursWhatIsTypedNext)
{
    open(QStringLiteral("one"));
    BMColorPicker *pen = document->colorPicker();
    const std::optional<lq::TextAttributes> typing = view->typingAttributes();
    ASSERT_FALSE(pen->selected());
    document->toggleHighlight();
    QCoreApplication::processEvents();
    EXPECT_TRUE(pen->selected());
    ASSERT_TRUE(view->typingAttributes());
    EXPECT_EQ(view->typingAttributes()->backgroundColor, TextColor::rgb(1, 1, 0));
    type(QStringLiteral("xy"));
    EXPECT_EQ(backgrounds(*document), "...YY");
    view->undo();
    view->undo();
    view->undo();
    EXPECT_EQ(text(), QStringLiteral("one"));
    EXPECT_EQ(view->typingAttributes(), typing);
    EXPECT_FALSE(pen->selected());
    view->redo();
    EXPECT_TRUE(pen->selected());
    EXPECT_EQ(view->typingAttributes()->backgroundColor, TextColor::rgb(1, 1, 0));
}

struct PenCase
{
    const char *name;
    QString text;
    TextRange selection;
    bool penOn;
    QString item;
};

TEST_F(HighlighterTest, ThePenFollowsTheColourAtTheCaret)
{
    lq::MainMenu mainMenu;
    lq::MainMenu::setCurrent(&mainMenu);
    QAction *item = mainMenu.addMenu(QStringLiteral("Edit"))->addAction(QStringLiteral("?"));
    item->setProperty(kMenuItemTagProperty, MyDocument::kHighlightTag);
    const std::vector<PenCase> cases = {
        // "aB\nC" with B and C yellow; the pen starts off with the title "?".
        {"caret at 0 reads the first character", "ab\nc", {0, 0}, false, "Highlight Selection"},
        {"caret inside reads the one before", "ab\nc", {2, 0}, true, "Un-highlight Selection"},
        {"caret at the end reads the last", "ab\nc", {4, 0}, true, "Un-highlight Selection"},
        {"a selection reads its first", "ab\nc", {1, 2}, true, "Un-highlight Selection"},
        {"caret on an empty last line", "ab\nc\n", {5, 0}, false, "?"},
    };
    for (const PenCase &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.text);
        view->addAttributes({1, 1}, background(kYellow));
        view->addAttributes({3, 1}, background(kYellow));
        item->setText(QStringLiteral("?"));
        document->colorPicker()->setSelected(false);
        view->setSelectedRange({0, 1});
        view->setSelectedRange(c.selection);
        QCoreApplication::processEvents();
        BMColorPicker *pen = document->colorPicker();
        EXPECT_EQ(pen->selected(), c.penOn);
        if (c.penOn) {
            EXPECT_EQ(pen->color(), QColor::fromRgbF(1, 1, 0));
        }
        EXPECT_EQ(item->text(), c.item);
    }
    lq::MainMenu::setCurrent(nullptr);
}

} // namespace
