#pragma once

#include "platform/text/BlockHeights.h"
#include "platform/text/ParagraphPieces.h"

#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QRectF>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class QTextBlock;

namespace lq {

// The layout of a note's text: paragraphs one under the other in the root frame, each laid out
// as Qt's document layout would (margins, indents, alignment, tab stops, direction, the pictures
// of the object handlers). Unlike Qt's layout, a paragraph is laid out only when its text changes
// or when it is first needed (drawn, hit, asked for), and the paragraphs' heights sit in a
// Fenwick tree, so an edit costs the same in any length of note. A paragraph's direction is found
// once per change of its text. A paragraph is laid out in its block's own QTextLayout, unless it
// is long: then in pieces of its own (ParagraphPieces), as far as needed (what is shown, the
// caret, an edit), the rest estimated; an edit re-breaks its lines only until the new breaks
// agree with the old ones. Its block's layout then holds no lines, so a view asks this layout for
// the caret's place and line moves (caretRect, lineStart, lineEnd, positionOnNextLine).
// Paragraphs not laid out yet are estimated, then laid out in short turns of the event loop
// when it is idle (long ones stay estimated until needed).
// Notes have no frames, tables, floats, QTextList or paragraph margins above and below; such
// formats are not laid out. Printing and the exports work on copies of the text, which take
// Qt's own layout. Main thread.
class NotesTextLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT
public:
    // Sets a layout of this kind on the document, unless it has one; answers it.
    static NotesTextLayout *install(QTextDocument *document);

    explicit NotesTextLayout(QTextDocument *document);
    ~NotesTextLayout() override;

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    // The part of the text a view shows, in the document's coordinates: long paragraphs are laid
    // out through it.
    void setViewRect(const QRectF &rect) { m_viewRect = rect; }
    // Whether paragraphs wait to be laid out while the event loop is idle.
    bool isLayingOut() const { return m_idle.isActive(); }
    // Lays out the paragraph at position through position's line and below that many points;
    // answers whether it laid out more than it had. The position (a view's caret) stays laid
    // out through later changes, moving with the text.
    bool ensureLaidOut(int position, qreal below = 0);

    // The caret's place at position (one point wide, its line's height), in the document.
    QRectF caretRect(int position);
    // Where the Home and End keys take the caret from position: its line's start and end.
    int lineStart(int position);
    int lineEnd(int position);
    // The position nearest x (in the document) on the line after (direction 1) or before (-1)
    // position's line; -1 past the first or last line.
    int positionOnNextLine(int position, qreal x, int direction);
    // Whether position's paragraph is laid out in pieces rather than its block's own layout.
    bool isInPieces(int position) const;
    // Where the caret was last drawn (empty before it was).
    QRectF drawnCaretRect() const { return m_drawnCaret; }

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct Block
    {
        bool laidOut = false; // its lines are laid out (a long one's as far as needed)
        std::optional<Qt::LayoutDirection> direction;
        std::unique_ptr<ParagraphPieces> pieces; // long paragraphs only
        // The input method's preedit text the paragraph was laid out with.
        int preeditAt = 0;
        int preeditLength = 0;
    };
    // A line as laid out: its layout and the line, where the layout stands in the document and
    // the document position of its first character, the paragraph's index and the line's number.
    struct PlacedLine
    {
        const QTextLayout *layout = nullptr;
        QTextLine line;
        QPointF origin;
        int start = 0;
        int index = 0;
        int number = 0;
    };
    struct Column
    {
        qreal left = 0;
        qreal right = 0;
        bool wraps = true;
    };
    struct Edit
    {
        int from = 0;
        int removed = 0;
        int added = 0;
    };

    Column column() const;
    qreal margin() const;
    double top(int index) const { return margin() + m_heights.top(index); }
    // Lines of the height of the block's font, of about two characters a line height.
    ParagraphLines::Estimate estimateFor(const QTextBlock &block) const;
    double estimatedHeight(const QTextBlock &block) const;
    // Long, and without objects (which pieces could not size).
    bool isLong(const QTextBlock &block) const;
    // Gives a long paragraph its pieces (anew when its length disagrees), and takes them from a
    // short one.
    void prepare(int index, const QTextBlock &block);
    // How the block's lines are placed.
    ParagraphPieces::Frame frameOf(Block &record, const QTextBlock &block) const;
    // Lays out the block through target (a position in it; a short one wholly), unless it is so
    // far; answers whether its height changed.
    bool layOut(int index, const QTextBlock &block, int target);
    // Lays the block's lines out as Qt's layout would (a long one's through target); answers the
    // block's height.
    double fillLines(Block &record, const QTextBlock &block, int target);
    // The end of the text laid out in the block.
    int laidOutEnd(int index, const QTextBlock &block) const;
    // The line numbered number in the block (-1: its last), laid out there.
    PlacedLine placedLine(int index, const QTextBlock &block, int number);
    // The line holding position.
    std::optional<PlacedLine> placedLineAt(int position);
    // The heights tree follows a long paragraph's lines after its pieces laid more out.
    void settleHeight(int index);
    // A paragraph's preedit text changed with no change of its characters.
    void notePreedit(Block &record, const QTextBlock &block);
    // Lays out the block so far that its lines reach y (in the document); answers whether
    // heights changed.
    bool layOutThrough(int index, const QTextBlock &block, double y);
    // Where the caret is in the block (its start when the caret is elsewhere).
    int caretIn(const QTextBlock &block) const;
    // The index of the block at y, laid out there and on through the height through.
    int blockAt(double y, double through);
    QRectF placedBlockRect(int index, const QTextBlock &block);
    void drawBlock(QPainter *painter, const PaintContext &context, int index,
                   const QTextBlock &block, const QRectF &clip);
    int hitTestIn(int index, const QTextBlock &block, const QPointF &point,
                  Qt::HitTestAccuracy accuracy, bool *exact);
    void reportSize();
    void noteEdit(int from, int removed, int added);
    // One turn of laying out the paragraphs still estimated.
    void layOutWhileIdle();

    std::vector<Block> m_blocks;
    BlockHeights m_heights;
    std::optional<Edit> m_edit;
    QRectF m_viewRect;
    QRectF m_drawnCaret;
    int m_caret = 0;
    qreal m_widest = 0;
    qreal m_columnWidth = 0;
    QSizeF m_reportedSize;
    QTimer m_idle;
    // The paragraphs before this one are laid out or long.
    int m_idleFrom = 0;
    // Line heights of character formats, by format index, for estimates.
    mutable QHash<int, double> m_lineHeights;
};

} // namespace lq
