#include "platform/text/ParagraphPieces.h"

#include "platform/text/DocumentCharacters.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace lq {

namespace {

// The text of a piece: its lines take the layout of about this many characters.
constexpr int kPieceCharacters = 2048;
// Pieces kept per paragraph; those farthest from the newest go first.
constexpr size_t kMostPieces = 48;

} // namespace

ParagraphPieces::ParagraphPieces(int length, ParagraphLines::Estimate estimate)
    : m_lines(length, estimate)
{}

ParagraphPieces::~ParagraphPieces() = default;

void ParagraphPieces::edit(int position, int removed, int added)
{
    m_lines.edit(position, removed, added);
    const int delta = added - removed;
    std::erase_if(m_pieces, [&](const Piece &piece) {
        return piece.start < position + removed && piece.end > position;
    });
    for (Piece &piece : m_pieces) {
        if (piece.start >= position + removed) {
            piece.start += delta;
            piece.end += delta;
        }
    }
}

bool ParagraphPieces::layOut(const QTextBlock &block, const Frame &frame, int target)
{
    const int resume = m_lines.resumeLine();
    const bool stale = size_t(resume) < m_lines.lines().size();
    if (!stale && (m_lines.knownEnd() > target || m_lines.knownEnd() >= length()))
        return false;
    return layOutFrom(block, frame, resume, target);
}

bool ParagraphPieces::layOutFrom(const QTextBlock &block, const Frame &frame, int fromLine,
                                 int target)
{
    const int paragraphEnd = length();
    m_lines.begin(fromLine);
    const int from = m_lines.lineStart(std::min(fromLine, m_lines.resumeLine()));
    int position = from;
    int end = position;
    std::vector<Piece> made;
    const int limit = target > INT_MAX - kPieceCharacters ? INT_MAX : target + kPieceCharacters;
    int window = kPieceCharacters;
    bool done = false;
    while (!done && position < paragraphEnd) {
        const int windowEnd = std::min(paragraphEnd, position + window);
        std::unique_ptr<QTextLayout> layout = textLayout(block, frame, position, windowEnd);
        int count = 0;
        double y = 0;
        bool cut = false;
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            const bool first = position + line.textStart() == 0;
            line.setLeadingIncluded(true);
            line.setLineWidth(first ? frame.firstWidth : frame.width);
            line.setPosition(QPointF(first ? frame.firstLeft : frame.left, y));
            const int lineEnd = position + line.textStart() + line.textLength();
            // The window's last line may go on past it: it is laid out again in the next piece.
            if (lineEnd >= windowEnd && windowEnd < paragraphEnd) {
                cut = true;
                break;
            }
            const double height = line.height();
            y += height;
            m_widest = std::max(m_widest, line.x() + line.naturalTextWidth());
            m_lines.add({position + line.textStart(), height}, lineEnd);
            ++count;
            end = lineEnd;
            // Past a piece beyond the target, lines that still disagree are left to be laid
            // out when needed: a change can move every break after it.
            if (lineEnd > target && (m_lines.settled() || lineEnd > limit)) {
                done = true;
                break;
            }
        }
        layout->endLayout();
        if (count == 0 && cut) {
            // One line longer than the window (text that does not wrap): a wider one.
            window *= 2;
            continue;
        }
        if (count == 0)
            break;
        made.push_back({position, end, count, std::move(layout)});
        // Those far before the target were laid out for their breaks only.
        if (made.size() > kMostPieces / 2)
            made.erase(made.begin());
        position = end;
        window = kPieceCharacters;
    }
    m_lines.finish(end);
    const bool laidOut = !made.empty();
    keep(std::move(made), from);
    return laidOut;
}

void ParagraphPieces::keep(std::vector<Piece> made, int from)
{
    if (made.empty())
        return;
    const int to = made.back().end;
    std::erase_if(m_pieces,
                  [&](const Piece &piece) { return piece.start < to && piece.end > from; });
    const auto at = std::lower_bound(m_pieces.begin(), m_pieces.end(), from,
                                     [](const Piece &piece, int p) { return piece.start < p; });
    m_pieces.insert(at, std::make_move_iterator(made.begin()), std::make_move_iterator(made.end()));
    while (m_pieces.size() > kMostPieces) {
        const auto farthest =
            std::max_element(m_pieces.begin(), m_pieces.end(), [&](const Piece &a, const Piece &b) {
                return std::abs(a.start - from) < std::abs(b.start - from);
            });
        m_pieces.erase(farthest);
    }
}

std::unique_ptr<QTextLayout> ParagraphPieces::textLayout(const QTextBlock &block,
                                                         const Frame &frame, int start, int end)
{
    // The paragraph's positions count the preedit text where the block's layout shows it.
    const QTextLayout *own = block.layout();
    const QString preedit = own->preeditAreaText();
    const int preeditAt = preedit.isEmpty() ? INT_MAX : own->preeditAreaPosition();
    const int preeditLength = int(preedit.size());
    const auto inParagraph = [&](int inBlock) {
        return inBlock < preeditAt ? inBlock : inBlock + preeditLength;
    };

    const QTextDocument *document = block.document();
    const int base = block.position();
    // The block's characters before the preedit text, the preedit text, the characters after it.
    const int ownEnd = std::min(end, preeditAt);
    QString text =
        start < ownEnd ? documentCharacters(*document, base + start, base + ownEnd) : QString();
    const int preeditFrom = std::max(start, preeditAt);
    const int preeditTo = std::min(end, preeditAt + preeditLength);
    if (preeditTo > preeditFrom)
        text += preedit.mid(preeditFrom - preeditAt, preeditTo - preeditFrom);
    const int after = std::max(start, preeditAt + preeditLength);
    if (after < end)
        text +=
            documentCharacters(*document, base + after - preeditLength, base + end - preeditLength);

    QList<QTextLayout::FormatRange> formats;
    const auto add = [&](int from, int to, const QTextCharFormat &format) {
        from = std::max(from, start);
        to = std::min(to, end);
        if (to > from)
            formats.append({from - start, to - from, format});
    };
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int from = inParagraph(fragment.position() - base);
        if (from >= end)
            break;
        add(from, inParagraph(fragment.position() + fragment.length() - base),
            fragment.charFormat());
    }
    // The highlighter's and the input method's formats, over those of the text.
    for (const QTextLayout::FormatRange &range : own->formats())
        add(range.start, range.start + range.length, range.format);

    auto layout = std::make_unique<QTextLayout>(text, frame.font);
    layout->setTextOption(frame.option);
    layout->setFormats(formats);
    layout->setCacheEnabled(true);
    return layout;
}

const ParagraphPieces::Piece *ParagraphPieces::pieceAt(int position) const
{
    const auto after = std::upper_bound(m_pieces.begin(), m_pieces.end(), position,
                                        [](int p, const Piece &piece) { return p < piece.start; });
    if (after == m_pieces.begin())
        return nullptr;
    const Piece &piece = *(after - 1);
    const bool atEnd = position == piece.end && piece.end == length();
    return position < piece.end || atEnd ? &piece : nullptr;
}

double ParagraphPieces::topOf(const Piece &piece) const
{
    return m_lines.lineTop(m_lines.lineOf(piece.start));
}

ParagraphPieces::PlacedLine ParagraphPieces::line(const QTextBlock &block, const Frame &frame,
                                                  int number)
{
    if (m_lines.lines().empty() || m_lines.resumeLine() < int(m_lines.lines().size()))
        layOut(block, frame, 0);
    const int count = int(m_lines.lines().size());
    if (count == 0)
        return {};
    number = std::clamp(number, 0, count - 1);
    const int start = m_lines.lineStart(number);
    const Piece *piece = pieceAt(start);
    if (!piece) {
        // A piece of some lines on, so that the lines about it come in few pieces.
        layOutFrom(block, frame, number, start + kPieceCharacters / 2);
        piece = pieceAt(start);
        if (!piece)
            return {};
    }
    const int first = m_lines.lineOf(piece->start);
    return {piece->layout.get(), piece->layout->lineAt(number - first), piece->start, topOf(*piece),
            number};
}

void ParagraphPieces::draw(QPainter *painter, QPointF origin, const QTextBlock &block,
                           const Frame &frame, QRectF clip,
                           const QList<QTextLayout::FormatRange> &selections, int cursor,
                           int cursorWidth)
{
    const int last = m_lines.lineAt(clip.bottom() - origin.y());
    for (int number = std::max(0, m_lines.lineAt(clip.top() - origin.y())); number <= last;) {
        const PlacedLine placed = line(block, frame, number);
        const Piece *piece = placed.layout ? pieceAt(placed.start) : nullptr;
        if (!piece)
            return;
        const QTextLayout &layout = *piece->layout;
        const QTextLine lastLine = layout.lineAt(piece->lineCount - 1);
        const QPointF at = origin + QPointF(0, placed.top);
        // The lines of the piece only (not the one its text cut).
        QRectF within = clip;
        within.setBottom(
            std::min(within.bottom(), at.y() + lastLine.y() + lastLine.height() - 0.5));
        QList<QTextLayout::FormatRange> shown;
        for (QTextLayout::FormatRange range : selections) {
            const int from = std::max(range.start, piece->start);
            const int to = std::min(range.start + range.length, piece->end);
            if (to > from)
                shown.append({from - piece->start, to - from, range.format});
        }
        layout.draw(painter, at, shown, within);
        const bool atEnd = cursor == piece->end && piece->end == length();
        if ((cursor >= piece->start && cursor < piece->end) || atEnd)
            layout.drawCursor(painter, at, cursor - piece->start, cursorWidth);
        number = std::max(number + 1, m_lines.lineOf(piece->start) + piece->lineCount);
    }
}

} // namespace lq
