#pragma once

#include "platform/text/BlockHeights.h"
#include "platform/text/ParagraphLines.h"

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
// in its own QTextLayout as Qt's document layout would (margins, indents, alignment, tab stops,
// direction, the pictures of the object handlers), so that QTextCursor's line moves, the caret
// and the input method work on the blocks' own layouts. Unlike Qt's layout, a paragraph is laid
// out only when its text changes or when it is first needed (drawn, hit, asked for), and the
// paragraphs' heights sit in a Fenwick tree, so an edit costs the same in any length of note. A
// paragraph's direction is found once per change of its text. A long paragraph is laid out only
// as far as needed (what is shown, the caret, an edit), the rest of it estimated; after an edit
// its old line breaks are kept from where the new ones agree with them again. Paragraphs not
// laid out yet are estimated, then laid out in short turns of the event loop when it is idle
// (long ones stay estimated until needed).
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

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    struct Block
    {
        bool laidOut = false; // the block's QTextLayout holds its lines (a long one's first ones)
        std::optional<Qt::LayoutDirection> direction;
        std::unique_ptr<ParagraphLines> paragraph; // long paragraphs only
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
    bool isLong(const QTextBlock &block) const;
    // Gives a long paragraph its lines' record (anew when its length disagrees), and takes it
    // from a short one.
    void prepare(int index, const QTextBlock &block);
    // Lays out the block through target (a position in it; a short one wholly), unless it is so
    // far; answers whether its height changed.
    bool layOut(int index, const QTextBlock &block, int target);
    // Lays the block's lines out as Qt's layout would; answers the block's height.
    double fillLines(Block &record, const QTextBlock &block, int target);
    // The end of the text the block's layout holds lines for.
    static int laidOutEnd(const QTextBlock &block);
    // The position in a laid-out or estimated paragraph at height y below its top.
    static int positionAtHeight(const ParagraphLines &paragraph, double y);
    // Lays out the block so far that its lines reach y (in the document); answers whether
    // heights changed.
    bool layOutThrough(int index, const QTextBlock &block, double y);
    // Where the caret is in the block (its start when the caret is elsewhere).
    int caretIn(const QTextBlock &block) const;
    // The index of the block at y, laid out there and on through the height through.
    int blockAt(double y, double through);
    QRectF placedBlockRect(int index, const QTextBlock &block);
    void drawBlock(QPainter *painter, const PaintContext &context, const QTextBlock &block,
                   const QRectF &clip) const;
    int hitTestIn(const QTextBlock &block, const QPointF &point, Qt::HitTestAccuracy accuracy,
                  bool *exact) const;
    void reportSize();
    void noteEdit(int from, int removed, int added);
    // One turn of laying out the paragraphs still estimated.
    void layOutWhileIdle();

    std::vector<Block> m_blocks;
    BlockHeights m_heights;
    std::optional<Edit> m_edit;
    QRectF m_viewRect;
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
