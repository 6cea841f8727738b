#include "platform/text/NotesTextLayout.h"

#include "document/EditingTestSupport.h"
#include "document/ScaledImageHandler.h"
#include "support/ImageFixtures.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include <functional>
#include <memory>
#include <random>

namespace {

using namespace Qt::StringLiterals;
using lq::TextRange;

QString paragraphs(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += u"Paragraph %1: the quick brown fox jumps over the lazy dog.\n"_s.arg(i);
    return text;
}

QString longParagraph(int characters)
{
    QString text;
    for (int word = 0; text.size() < characters; ++word)
        text += u"word%1 "_s.arg(word % 97);
    return text.left(characters);
}

// The same text laid out by Qt's own layout, as wide as the note's.
std::unique_ptr<QTextDocument> qtLaidOutCopy(const QTextDocument &note)
{
    std::unique_ptr<QTextDocument> copy(note.clone());
    copy->setDefaultFont(note.defaultFont());
    copy->setDefaultTextOption(note.defaultTextOption());
    copy->setDocumentMargin(note.documentMargin());
    copy->setPageSize(note.pageSize());
    ScaledImageHandler::install(copy.get());
    return copy;
}

// Where Qt's text control puts the caret at position (in the document), as it does.
QRectF caretRect(const QTextDocument &text, int position)
{
    const QTextBlock block = text.findBlock(position);
    const QPointF origin = text.documentLayout()->blockBoundingRect(block).topLeft();
    const int inBlock = position - block.position();
    const QTextLine line = block.layout()->lineForTextPosition(inBlock);
    if (!line.isValid())
        return QRectF(origin, QSizeF(1, 10));
    return QRectF(origin.x() + line.cursorToX(inBlock), origin.y() + line.y(), 1, line.height());
}

// Where Qt's text edit takes the caret on Page Down (or Up): line by line until a page further.
void page(const QTextDocument &text, QTextCursor &cursor, int pageHeight,
          QTextCursor::MoveOperation move)
{
    qreal last = caretRect(text, cursor.position()).top();
    qreal distance = 0;
    bool moved = false;
    do {
        const qreal y = caretRect(text, cursor.position()).top();
        distance += std::abs(y - last);
        last = y;
        moved = cursor.movePosition(move);
    } while (moved && distance < pageHeight);
    if (moved)
        cursor.movePosition(move == QTextCursor::Down ? QTextCursor::Up : QTextCursor::Down);
}

class NotesTextLayoutTest : public lq::test::EditingTest
{
protected:
    // The caret, and a few positions around it, where Qt's own layout of the same text has them.
    void expectLayoutAsQts(const std::string &step)
    {
        QCoreApplication::processEvents();
        const int caret = view->textCursor().position();
        // The caret as the view shows it, in the document.
        const QRect shown = view->caretRect().translated(view->horizontalScrollBar()->value(),
                                                         view->verticalScrollBar()->value());
        const std::unique_ptr<QTextDocument> copy = qtLaidOutCopy(*view->document());
        const QRectF expected = caretRect(*copy, caret);
        EXPECT_NEAR(shown.x(), expected.x(), 1.0) << step;
        EXPECT_NEAR(shown.y(), expected.y(), 1.0) << step;
        EXPECT_NEAR(shown.height(), expected.height(), 1.0) << step;
        // The view keeps the caret in sight (an undo too).
        EXPECT_TRUE(view->viewport()->rect().contains(view->caretRect())) << step;
        // A click on the caret puts it there.
        EXPECT_EQ(view->cursorForPosition(view->caretRect().center()).position(), caret) << step;
        auto *layout = qobject_cast<lq::NotesTextLayout *>(view->document()->documentLayout());
        ASSERT_NE(layout, nullptr);
        for (const int position : {0, caret / 2, std::max(0, caret - 300)}) {
            const QRectF ours = layout->caretRect(position);
            const QRectF qts = caretRect(*copy, position);
            EXPECT_NEAR(ours.x(), qts.x(), 1.0) << step << " at " << position;
            EXPECT_NEAR(ours.y(), qts.y(), 1.0) << step << " at " << position;
        }
    }
};

// Typing, pasting and deleting, then undoing each step: after every step the text is what it
// was, both stamp lists follow it, and the caret stands where Qt's own layout puts it.
TEST_F(NotesTextLayoutTest, AnUndoWalkKeepsTextStampsAndCaretAsQtLaysThemOut)
{
    struct Note
    {
        const char *name;
        QString text;
    };
    const Note notes[] = {{"many paragraphs", paragraphs(2000)},
                          {"one long paragraph", longParagraph(20000)}};
    // Each step that edits is one undo step.
    struct Step
    {
        const char *name;
        std::function<void()> act;
        bool edits = true;
    };
    const Step steps[] = {
        {"typing", [&] { type(u"t"_s); }},
        {"typing a space", [&] { type(u" "_s); }},
        {"a new paragraph", [&] { press(Qt::Key_Return); }},
        {"pasting",
         [&] {
             QGuiApplication::clipboard()->setText(
                 u"pasted line one\npasted line two, longer than the first one\n"_s);
             QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
         }},
        {"deleting back", [&] { press(Qt::Key_Backspace); }},
        {"deleting a selection",
         [&] {
             const TextRange caret = view->selectedRange();
             view->setSelectedRange({caret.location - 200, 150});
             press(Qt::Key_Delete);
         }},
        {"moving along lines as Qt's cursor moves",
         [&] {
             const std::unique_ptr<QTextDocument> copy = qtLaidOutCopy(*view->document());
             QTextCursor expected(copy.get());
             expected.setPosition(view->textCursor().position());
             const std::pair<Qt::Key, QTextCursor::MoveOperation> moves[] = {
                 {Qt::Key_Down, QTextCursor::Down}, {Qt::Key_Down, QTextCursor::Down},
                 {Qt::Key_Up, QTextCursor::Up},     {Qt::Key_End, QTextCursor::EndOfLine},
                 {Qt::Key_Up, QTextCursor::Up},     {Qt::Key_Home, QTextCursor::StartOfLine},
                 {Qt::Key_Down, QTextCursor::Down}};
             for (const auto &[key, move] : moves) {
                 expected.movePosition(move);
                 press(key);
                 EXPECT_EQ(view->textCursor().position(), expected.position()) << key;
             }
         },
         false},
        {"typing there", [&] { type(u"m"_s); }},
        {"paging down and up, past what is shown",
         [&] {
             const std::unique_ptr<QTextDocument> copy = qtLaidOutCopy(*view->document());
             QTextCursor expected(copy.get());
             expected.setPosition(view->textCursor().position());
             const std::pair<Qt::Key, QTextCursor::MoveOperation> pages[] = {
                 {Qt::Key_PageDown, QTextCursor::Down},
                 {Qt::Key_PageDown, QTextCursor::Down},
                 {Qt::Key_PageUp, QTextCursor::Up},
                 {Qt::Key_PageDown, QTextCursor::Down},
                 {Qt::Key_PageDown, QTextCursor::Down}};
             for (const auto &[key, move] : pages) {
                 page(*copy, expected, view->viewport()->height(), move);
                 press(key);
                 EXPECT_EQ(view->textCursor().position(), expected.position()) << key;
             }
         },
         false},
        {"typing far down", [&] { type(u"f"_s); }},
        {"moving to the end", [&] { QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier); },
         false},
        {"typing at the end", [&] { type(u"e"_s); }},
    };
    for (const Note &note : notes) {
        SCOPED_TRACE(note.name);
        open(note.text);
        view->setSelectedRange({note.text.size() / 2, 0});
        std::vector<QString> texts{text()};
        expectLayoutAsQts("opened");
        for (const Step &step : steps) {
            step.act();
            QCoreApplication::processEvents();
            if (step.edits)
                texts.push_back(text());
            expectStampsMatchText(step.name);
            expectLayoutAsQts(step.name);
        }
        for (size_t undone = texts.size() - 1; undone-- > 0;) {
            QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
            QCoreApplication::processEvents();
            const std::string step = "undo to step " + std::to_string(undone);
            EXPECT_EQ(text(), texts[undone]) << step;
            expectStampsMatchText(step.c_str());
            expectLayoutAsQts(step);
        }
    }
}

// Edits anywhere in a long paragraph of words of every length, with tabs, a line separator and
// a word longer than a line, and a narrower window: every line of it starts where Qt's own
// layout of the same text starts it, at the same height (lines far from the edits too).
TEST_F(NotesTextLayoutTest, EditsInALongParagraphBreakEveryLineAsQtDoes)
{
    std::mt19937 random(7);
    const auto word = [&] {
        return QString(int(1 + random() % 12), QChar(u'a' + int(random() % 26))) +
               (random() % 40 == 0 ? u"\t"_s : u" "_s);
    };
    QString text;
    while (text.size() < 12000)
        text += word();
    text.insert(6000, QString(300, u'x'));
    text.insert(9000, QChar(0x2028));
    open(text);
    auto *layout = qobject_cast<lq::NotesTextLayout *>(view->document()->documentLayout());
    ASSERT_NE(layout, nullptr);

    const auto expectLinesAsQts = [&](const std::string &step) {
        QCoreApplication::processEvents();
        const std::unique_ptr<QTextDocument> copy = qtLaidOutCopy(*view->document());
        const QTextBlock block = copy->firstBlock();
        const double top = copy->documentLayout()->blockBoundingRect(block).top();
        const QTextLayout *qt = block.layout();
        ASSERT_GT(qt->lineCount(), 100) << step;
        int wrong = 0;
        for (int i = 0; i < qt->lineCount(); ++i) {
            const QTextLine line = qt->lineAt(i);
            const int start = line.textStart();
            wrong += layout->lineStart(start) != start ||
                     std::abs(layout->caretRect(start).y() - (top + line.y())) > 1.0;
        }
        EXPECT_EQ(wrong, 0) << step;
    };
    expectLinesAsQts("opened");
    for (int step = 0; step < 12; ++step) {
        const int at = int(random() % quint32(text.size() - 100));
        switch (step % 4) {
        case 0:
            view->setSelectedRange({at, 0});
            type(word());
            break;
        case 1:
            view->setSelectedRange({at, int(1 + random() % 60)});
            press(Qt::Key_Backspace);
            break;
        case 2:
            view->setSelectedRange({at, 5});
            QGuiApplication::clipboard()->setText(word() + word() + word());
            QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
            break;
        default:
            // Far away from the last edit, before the lines there were laid out again.
            view->setSelectedRange({int(text.size()) - at / 2, 0});
            type(u"q"_s);
            break;
        }
        expectLinesAsQts("edit " + std::to_string(step));
    }
    view->window()->resize(view->window()->width() - 90, view->window()->height());
    expectLinesAsQts("narrower");
}

// Left and Right, with Shift and without, go where Qt's cursor goes: by whole characters (an
// emoji, a letter and its accents), logically in a right-to-left paragraph, a selection
// collapsing to its edge in a long paragraph.
TEST_F(NotesTextLayoutTest, LeftAndRightMoveAsQtsCursorMoves)
{
    struct Case
    {
        const char *name;
        QString text;
        TextRange selection;
    };
    const Case cases[] = {
        {"an emoji and accent marks", u"ab\U0001F600ce\u0301\u0302y"_s, {2, 0}},
        {"right to left", u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD"_s, {3, 0}},
        {"a selection in a long paragraph", longParagraph(6000), {2999, 3}},
    };
    struct Key
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QTextCursor::MoveOperation move;
    };
    const Key keys[] = {
        {Qt::Key_Right, Qt::NoModifier, QTextCursor::Right},
        {Qt::Key_Right, Qt::NoModifier, QTextCursor::Right},
        {Qt::Key_Left, Qt::ShiftModifier, QTextCursor::Left},
        {Qt::Key_Left, Qt::NoModifier, QTextCursor::Left},
        {Qt::Key_Right, Qt::ShiftModifier, QTextCursor::Right},
        {Qt::Key_Left, Qt::NoModifier, QTextCursor::Left},
        {Qt::Key_Left, Qt::NoModifier, QTextCursor::Left},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        open(c.text);
        view->setSelectedRange(c.selection);
        const std::unique_ptr<QTextDocument> copy = qtLaidOutCopy(*view->document());
        QTextCursor expected(copy.get());
        expected.setPosition(int(c.selection.location));
        expected.setPosition(int(c.selection.end()), QTextCursor::KeepAnchor);
        for (const Key &key : keys) {
            expected.movePosition(key.move, key.modifiers & Qt::ShiftModifier
                                                ? QTextCursor::KeepAnchor
                                                : QTextCursor::MoveAnchor);
            QTest::keyClick(view, key.key, key.modifiers);
            EXPECT_EQ(view->textCursor().position(), expected.position());
            EXPECT_EQ(view->textCursor().anchor(), expected.anchor());
        }
    }
}

// The view's text looks as under Qt's own layout of the same text (pictures of both go into the
// build folder under name), shown from scrolled down.
void expectLooksAsQts(WrenTextView *view, const QString &name, TextRange selected, int scrolled)
{
    view->clearFocus();
    view->setSelectedRange(selected);
    QTextEdit reference;
    reference.setFocusPolicy(Qt::NoFocus);
    const std::unique_ptr<QTextDocument> copy = qtLaidOutCopy(*view->document());
    reference.setDocument(copy.get());
    QTextCursor selection(copy.get());
    selection.setPosition(int(selected.location));
    selection.setPosition(int(selected.end()), QTextCursor::KeepAnchor);
    reference.setTextCursor(selection);
    reference.resize(view->size());
    reference.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&reference));
    // The same colours whether a view's window is active or not.
    for (QTextEdit *shown : {static_cast<QTextEdit *>(view), &reference}) {
        QPalette palette = shown->palette();
        for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
            palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
        shown->setPalette(palette);
        QCoreApplication::processEvents();
        shown->verticalScrollBar()->setValue(scrolled);
    }
    QCoreApplication::processEvents();
    const QImage ours = view->viewport()->grab().toImage();
    const QImage qts = reference.viewport()->grab().toImage();
    const QDir folder(QCoreApplication::applicationDirPath());
    ours.save(folder.filePath(name + u".png"_s));
    qts.save(folder.filePath(name + u"Qt.png"_s));
    ASSERT_EQ(ours.size(), qts.size());
    int differing = 0;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x)
            differing += ours.pixel(x, y) != qts.pixel(x, y);
    EXPECT_LT(differing, ours.width() * ours.height() / 1000) << name.toStdString();
}

// A note with a picture, a list, colours, underlines, a link and a selection looks as under Qt's
// own layout.
TEST_F(NotesTextLayoutTest, ANoteLooksAsUnderQtsLayout)
{
    open(QString());
    lq::TextAttributes plain;
    lq::TextAttributes list;
    lq::TextParagraphStyle listStyle;
    listStyle.textLists = {u"{disc}"_s};
    listStyle.headIndent = 36;
    listStyle.tabStops = {11, 36};
    list.paragraphStyle = listStyle;
    lq::TextAttributes red;
    red.foregroundColor = lq::TextColor::rgb(0.8, 0.1, 0.1);
    lq::TextAttributes ground;
    ground.backgroundColor = lq::TextColor::rgb(1.0, 0.9, 0.3);
    lq::TextAttributes dashed;
    dashed.underlineStyle = 0x201;
    dashed.underlineColor = lq::TextColor::rgb(0.1, 0.6, 0.2);
    lq::TextAttributes single;
    single.underlineStyle = 1;
    lq::TextAttributes link;
    link.link = u"https://example.invalid/notes"_s;
    lq::TextAttributes centred;
    lq::TextParagraphStyle centredStyle;
    centredStyle.alignment = lq::TextParagraphStyle::Alignment::Center;
    centred.paragraphStyle = centredStyle;
    lq::TextAttributes picture;
    picture.attachment = lq::TextAttachment{
        lq::test::pngBytes(QColor(40, 90, 200), QSize(900, 120)), u"wide.png"_s, QString()};
    lq::AttributedString note;
    note.append(u"Notes with pictures, lists and colours\n"_s, plain);
    note.append(u"\t\u2022\tA first item that runs long enough to wrap onto a second line "
                u"under its own text\n\t\u2022\tA second item\n"_s,
                list);
    note.append(u"Red text"_s, red);
    note.append(u", "_s, plain);
    note.append(u"a yellow ground"_s, ground);
    note.append(u", "_s, plain);
    note.append(u"a dashed green underline"_s, dashed);
    note.append(u", "_s, plain);
    note.append(u"a single one"_s, single);
    note.append(u" and "_s, plain);
    note.append(u"a link"_s, link);
    note.append(u".\n"_s, plain);
    note.append(u"A centred line\n"_s, centred);
    note.append(u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD, right to left\n"_s, plain);
    note.append(u"\uFFFC"_s, picture);
    note.append(u"\nThe last line, after the picture."_s, plain);
    view->replaceCharacters(TextRange{0, 0}, note);
    expectLooksAsQts(view, u"NotesLayout"_s, {60, 70}, 0);

    // Narrower, the text wraps anew: nothing to scroll sideways.
    view->window()->resize(view->window()->width() - 120, view->window()->height());
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
}

// A long paragraph, laid out in pieces, looks as under Qt's own layout where a coloured run and
// the selection cross from one piece into the next.
TEST_F(NotesTextLayoutTest, ALongParagraphLooksAsUnderQtsLayout)
{
    open(QString());
    lq::TextAttributes red;
    red.foregroundColor = lq::TextColor::rgb(0.8, 0.1, 0.1);
    lq::AttributedString note(longParagraph(1900));
    note.append(longParagraph(400), red);
    note.append(longParagraph(5000), lq::TextAttributes());
    view->replaceCharacters(TextRange{0, 0}, note);
    const QRectF across =
        qobject_cast<lq::NotesTextLayout *>(view->document()->documentLayout())->caretRect(2000);
    expectLooksAsQts(view, u"LongParagraphLayout"_s, {1950, 300},
                     int(across.top()) - view->viewport()->height() / 2);
}

// An input method composing in a long paragraph: the candidates' window goes to the caret, and
// the committed text takes the place of the preedit text.
TEST_F(NotesTextLayoutTest, AnInputMethodComposesInALongParagraph)
{
    open(longParagraph(20000));
    view->setFocus();
    view->setSelectedRange({10000, 0});
    QCoreApplication::processEvents();
    const QRect caret = view->caretRect();
    QInputMethodEvent composing(u"\u306B\u307B"_s, {});
    QCoreApplication::sendEvent(view, &composing);
    QCoreApplication::processEvents();
    const QRectF shown =
        static_cast<QWidget *>(view)->inputMethodQuery(Qt::ImCursorRectangle).toRectF();
    EXPECT_NEAR(shown.x(), caret.x(), 1.0);
    EXPECT_NEAR(shown.y(), caret.y(), 1.0);
    EXPECT_GT(shown.height(), 0);
    QInputMethodEvent commit;
    commit.setCommitString(u"\u65E5\u672C"_s);
    QCoreApplication::sendEvent(view, &commit);
    QCoreApplication::processEvents();
    EXPECT_EQ(text().mid(10000, 3), u"\u65E5\u672C"_s + longParagraph(20000).at(10000));
    expectStampsMatchText("committed");
    expectLayoutAsQts("committed");
}

} // namespace
