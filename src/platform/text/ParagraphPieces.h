#pragma once

#include "platform/text/ParagraphLines.h"

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QTextLayout>
#include <QTextOption>

#include <memory>
#include <vector>

class QPainter;
class QTextBlock;

namespace lq {

// A long paragraph laid out in pieces: each piece is a QTextLayout of its own over a run of the
// paragraph's lines, its text starting at a line's start, so that an edit itemises, shapes and
// breaks only the lines about it, and drawing, hits and the caret lay out only the lines they
// need. The lines' breaks and heights are kept by ParagraphLines. Positions count the
// paragraph's characters and the input method's preedit text, as the block's own layout would.
// A paragraph holding objects (pictures) cannot be laid out so: its pieces would not size them.
class ParagraphPieces
{
public:
    // How the paragraph's lines are placed, as Qt's document layout places a block's.
    struct Frame
    {
        QTextOption option;
        QFont font;
        // The first line's left edge and width (its indent), then the others'; relative to the
        // column's left edge.
        qreal firstLeft = 0;
        qreal firstWidth = 0;
        qreal left = 0;
        qreal width = 0;
    };

    // A line of the paragraph in the layout of its piece.
    struct PlacedLine
    {
        const QTextLayout *layout = nullptr;
        QTextLine line;
        // The paragraph position of the layout's first character, and the layout's top.
        int start = 0;
        double top = 0;
        // The line's number in the paragraph.
        int number = 0;
    };

    ParagraphPieces(int length, ParagraphLines::Estimate estimate);
    ~ParagraphPieces();

    const ParagraphLines &lines() const { return m_lines; }
    int length() const { return m_lines.length(); }
    // The widest line laid out, from the column's left edge.
    qreal widest() const { return m_widest; }

    // A text change: removed characters at position replaced by added ones. The pieces holding
    // them go; those after them move.
    void edit(int position, int removed, int added);
    // The input method's formats or the highlighter's changed: every piece is made again when
    // needed, the lines stand.
    void dropPieces() { m_pieces.clear(); }
    // Lays the paragraph out through target (a position) where it is not yet, until its breaks
    // agree with the old ones again or a piece past target (the lines further on are then
    // estimated until needed); answers whether it laid anything out.
    bool layOut(const QTextBlock &block, const Frame &frame, int target);
    // The line numbered number (known), its piece made when it has none.
    PlacedLine line(const QTextBlock &block, const Frame &frame, int number);

    // Draws the lines within clip, the paragraph's top left at origin (both in the painter's
    // coordinates), with selections and the caret (a position, or -1) in its positions.
    void draw(QPainter *painter, QPointF origin, const QTextBlock &block, const Frame &frame,
              QRectF clip, const QList<QTextLayout::FormatRange> &selections, int cursor,
              int cursorWidth);

private:
    struct Piece
    {
        int start = 0;
        int end = 0;
        int lineCount = 0;
        // Its lines, and a last one cut by the end of its text, which is never shown.
        std::unique_ptr<QTextLayout> layout;
    };

    // Lays out from line fromLine on, piece by piece, through target.
    bool layOutFrom(const QTextBlock &block, const Frame &frame, int fromLine, int target);
    // The layout of the paragraph's text from start to end, with its formats, not laid out.
    static std::unique_ptr<QTextLayout> textLayout(const QTextBlock &block, const Frame &frame,
                                                   int start, int end);
    // The piece holding the line that starts at position, or none.
    const Piece *pieceAt(int position) const;
    double topOf(const Piece &piece) const;
    // Keeps the pieces made, in place of those that lay from from to their end.
    void keep(std::vector<Piece> made, int from);

    ParagraphLines m_lines;
    // By position, apart.
    std::vector<Piece> m_pieces;
    qreal m_widest = 0;
};

} // namespace lq
