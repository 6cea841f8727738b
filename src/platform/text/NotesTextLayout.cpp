#include "platform/text/NotesTextLayout.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace lq {

namespace {

// Longer paragraphs are laid out only as far as needed.
constexpr int kLongParagraph = 4096;
// Changes of more paragraphs (a whole text read, a new width) are laid out when needed rather
// than at once.
constexpr int kEagerBlocks = 256;
constexpr qreal kEverything = qreal(INT_MAX);
// The time one idle turn may lay out for, in milliseconds: a key waits at most that long.
constexpr qint64 kIdleTurn = 2;

// As Qt's layout aligns: a paragraph's natural alignment follows its direction.
Qt::Alignment visualAlignment(Qt::LayoutDirection direction, Qt::Alignment alignment)
{
    if (!(alignment & Qt::AlignHorizontal_Mask))
        alignment |= Qt::AlignLeft;
    if (!(alignment & Qt::AlignAbsolute) && (alignment & (Qt::AlignLeft | Qt::AlignRight))) {
        if (direction == Qt::RightToLeft)
            alignment ^= (Qt::AlignLeft | Qt::AlignRight);
        alignment |= Qt::AlignAbsolute;
    }
    return alignment;
}

// The text a block's layout lays out: its characters and the input method's preedit text.
int layoutLength(const QTextBlock &block)
{
    return block.length() - 1 + int(block.layout()->preeditAreaText().size());
}

QRectF below(qreal y)
{
    return QRectF(0, y, kEverything, kEverything);
}

} // namespace

NotesTextLayout *NotesTextLayout::install(QTextDocument *document)
{
    if (auto *layout = qobject_cast<NotesTextLayout *>(document->documentLayout()))
        return layout;
    auto *layout = new NotesTextLayout(document);
    document->setDocumentLayout(layout);
    return layout;
}

NotesTextLayout::NotesTextLayout(QTextDocument *document) : QAbstractTextDocumentLayout(document)
{
    // Each change arrives here as made, before it is merged with the layout changes it causes
    // (a highlighter's formats over the whole paragraph).
    connect(document, &QTextDocument::contentsChange, this, &NotesTextLayout::noteEdit);
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, &NotesTextLayout::layOutWhileIdle);
}

NotesTextLayout::~NotesTextLayout() = default;

void NotesTextLayout::noteEdit(int from, int removed, int added)
{
    m_edit = Edit{from, removed, added};
}

qreal NotesTextLayout::margin() const
{
    const QTextFrameFormat frame = document()->rootFrame()->frameFormat();
    return frame.topMargin() + frame.border() + frame.padding();
}

NotesTextLayout::Column NotesTextLayout::column() const
{
    const QTextFrameFormat frame = document()->rootFrame()->frameFormat();
    const qreal inside = frame.border() + frame.padding();
    const qreal width = document()->pageSize().width();
    Column column;
    column.left = frame.leftMargin() + inside;
    column.wraps = width > 0;
    column.right = column.wraps ? width - frame.rightMargin() - inside : kEverything;
    return column;
}

ParagraphLines::Estimate NotesTextLayout::estimateFor(const QTextBlock &block) const
{
    const int key = block.charFormatIndex();
    auto found = m_lineHeights.constFind(key);
    if (found == m_lineHeights.constEnd()) {
        const QFontMetricsF metrics(block.charFormat().font().resolve(document()->defaultFont()));
        found = m_lineHeights.insert(key, std::ceil(metrics.ascent() + metrics.descent() +
                                                    std::max(0.0, metrics.leading())));
    }
    const double lineHeight = *found;
    const Column area = column();
    // About half a line height a character.
    const double perLine = area.wraps ? (area.right - area.left) / (lineHeight * 0.5) : INT_MAX;
    return {lineHeight, std::max(1.0, perLine)};
}

double NotesTextLayout::estimatedHeight(const QTextBlock &block) const
{
    const ParagraphLines::Estimate estimate = estimateFor(block);
    const double lines = std::ceil(double(block.length() - 1) / estimate.charactersPerLine);
    return std::max(1.0, lines) * estimate.lineHeight;
}

bool NotesTextLayout::isLong(const QTextBlock &block) const
{
    if (block.length() <= kLongParagraph)
        return false;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        if (it.fragment().charFormat().objectType() != QTextFormat::NoObject)
            return false;
    }
    return true;
}

void NotesTextLayout::prepare(int index, const QTextBlock &block)
{
    Block &record = m_blocks[size_t(index)];
    const int length = layoutLength(block);
    if (record.pieces && record.pieces->length() == length)
        return;
    if (!isLong(block)) {
        if (record.pieces)
            record.laidOut = false;
        record.pieces.reset();
        return;
    }
    // Its block's layout holds no lines: Qt's cursor moves would read them.
    block.layout()->clearLayout();
    record.pieces = std::make_unique<ParagraphPieces>(length, estimateFor(block));
    record.laidOut = false;
    record.preeditAt = block.layout()->preeditAreaPosition();
    record.preeditLength = int(block.layout()->preeditAreaText().size());
}

ParagraphPieces::Frame NotesTextLayout::frameOf(Block &record, const QTextBlock &block) const
{
    const QTextBlockFormat format = block.blockFormat();
    if (!record.direction)
        record.direction = block.textDirection();
    const Qt::LayoutDirection direction = *record.direction;
    const Column area = column();

    ParagraphPieces::Frame frame;
    frame.font = document()->defaultFont();
    frame.option = document()->defaultTextOption();
    frame.option.setTextDirection(direction);
    frame.option.setTabs(format.tabPositions());
    const Qt::Alignment alignment = format.hasProperty(QTextFormat::BlockAlignment)
                                        ? format.alignment()
                                        : frame.option.alignment();
    frame.option.setAlignment(visualAlignment(direction, alignment));
    if (format.nonBreakableLines() || !area.wraps)
        frame.option.setWrapMode(QTextOption::ManualWrap);

    const qreal indent = format.indent() * document()->indentWidth();
    const bool rightToLeft = direction == Qt::RightToLeft;
    const qreal leftMargin = format.leftMargin() + (rightToLeft ? 0 : indent);
    const qreal rightMargin = format.rightMargin() + (rightToLeft ? indent : 0);
    const qreal textIndent = format.textIndent();
    const qreal width = area.right - area.left;
    frame.left = leftMargin;
    frame.width = width - leftMargin - rightMargin;
    frame.firstLeft = leftMargin + (rightToLeft ? 0 : textIndent);
    frame.firstWidth = frame.width - textIndent;
    return frame;
}

int NotesTextLayout::laidOutEnd(int index, const QTextBlock &block) const
{
    if (const ParagraphPieces *pieces = m_blocks[size_t(index)].pieces.get())
        return pieces->lines().knownEnd();
    const QTextLayout *layout = block.layout();
    const int count = layout->lineCount();
    if (count == 0)
        return -1;
    const QTextLine last = layout->lineAt(count - 1);
    return last.textStart() + last.textLength();
}

bool NotesTextLayout::layOut(int index, const QTextBlock &block, int target)
{
    Block &record = m_blocks[size_t(index)];
    if (record.laidOut && !record.pieces)
        return false;
    const double before = m_heights.height(index);
    const double height = fillLines(record, block, target);
    record.laidOut = true;
    m_heights.setHeight(index, height);
    return height != before;
}

double NotesTextLayout::fillLines(Block &record, const QTextBlock &block, int target)
{
    const ParagraphPieces::Frame frame = frameOf(record, block);
    const qreal rightMargin = column().right - column().left - frame.left - frame.width;
    if (ParagraphPieces *pieces = record.pieces.get()) {
        pieces->layOut(block, frame, target);
        m_widest = std::max(m_widest, pieces->widest() + rightMargin);
        return pieces->lines().height();
    }
    QTextLayout *layout = block.layout();
    layout->setTextOption(frame.option);
    layout->setCacheEnabled(false);
    double y = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        const bool first = line.lineNumber() == 0;
        line.setLineWidth(first ? frame.firstWidth : frame.width);
        line.setPosition(QPointF(first ? frame.firstLeft : frame.left, y));
        y += line.height();
        m_widest = std::max(m_widest, line.x() + line.naturalTextWidth() + rightMargin);
    }
    layout->endLayout();
    return y;
}

bool NotesTextLayout::layOutThrough(int index, const QTextBlock &block, double y)
{
    prepare(index, block);
    const Block &record = m_blocks[size_t(index)];
    if (!record.pieces)
        return layOut(index, block, INT_MAX);
    return layOut(index, block,
                  std::max(record.pieces->lines().positionAt(y - top(index)), caretIn(block)));
}

int NotesTextLayout::caretIn(const QTextBlock &block) const
{
    return block.contains(m_caret) ? m_caret - block.position() : 0;
}

int NotesTextLayout::blockAt(double y, double through)
{
    // Laying a block out may change which block lies at y: a few rounds settle it.
    for (int round = 0; round < 16; ++round) {
        const int index = m_heights.indexAt(y - margin());
        if (index < 0 || !layOutThrough(index, document()->findBlockByNumber(index), through))
            return index;
    }
    return m_heights.indexAt(y - margin());
}

QRectF NotesTextLayout::placedBlockRect(int index, const QTextBlock &block)
{
    QTextLayout *layout = block.layout();
    layout->setPosition(QPointF(column().left, top(index)));
    if (const ParagraphPieces *pieces = m_blocks[size_t(index)].pieces.get())
        return QRectF(layout->position(), QSizeF(pieces->widest(), m_heights.height(index)));
    const QRectF lines = layout->boundingRect();
    return QRectF(layout->position() + lines.topLeft(),
                  QSizeF(lines.width(), m_heights.height(index)));
}

void NotesTextLayout::reportSize()
{
    const QSizeF size = documentSize();
    if (size == m_reportedSize)
        return;
    m_reportedSize = size;
    Q_EMIT documentSizeChanged(size);
}

void NotesTextLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    QTextDocument *text = document();
    const std::optional<Edit> edit = std::exchange(m_edit, std::nullopt);
    const Edit made = edit.value_or(Edit{from, charsRemoved, charsAdded});
    if (edit && m_caret >= made.from + made.removed)
        m_caret += made.added - made.removed;
    else if (edit && m_caret > made.from)
        m_caret = made.from;
    const int last = text->characterCount() - 1;
    const Column area = column();
    const bool remeasured =
        area.right - area.left != m_columnWidth || (!edit && from == 0 && charsAdded >= last);
    if (remeasured) {
        // A new width, font or margin: the widest line and the estimates are measured anew.
        m_columnWidth = area.right - area.left;
        m_widest = 0;
        m_lineHeights.clear();
    }
    const QTextBlock firstBlock = text->findBlock(std::clamp(from, 0, last));
    const int first = firstBlock.blockNumber();
    const int fresh =
        text->findBlock(std::clamp(from + charsAdded, 0, last)).blockNumber() - first + 1;
    const int oldCount = int(m_blocks.size());
    const int old =
        std::clamp(fresh - (text->blockCount() - oldCount), 0, std::max(0, oldCount - first));
    const double oldTop = top(first);
    const double oldHeight = m_heights.top(first + old) - m_heights.top(first);
    bool anyLaidOut = false;
    for (int i = first; i < first + old; ++i)
        anyLaidOut = anyLaidOut || m_blocks[size_t(i)].laidOut;

    const bool inPlace = old == 1 && fresh == 1;
    if (inPlace) {
        Block &record = m_blocks[size_t(first)];
        record.direction.reset();
        record.laidOut = false;
        if (record.pieces && remeasured) {
            record.pieces.reset();
        } else if (record.pieces && !edit) {
            notePreedit(record, firstBlock);
        } else if (record.pieces && (record.preeditLength > 0 ||
                                     layoutLength(firstBlock) !=
                                         record.pieces->length() + made.added - made.removed)) {
            // Typed while the input method composes: laid out anew.
            record.pieces.reset();
        } else if (record.pieces) {
            record.pieces->edit(made.from - firstBlock.position(), made.removed, made.added);
        }
    } else {
        std::vector<Block> blocks(static_cast<size_t>(fresh));
        std::vector<double> heights(static_cast<size_t>(fresh));
        QTextBlock block = firstBlock;
        for (int i = 0; i < fresh; ++i, block = block.next())
            heights[size_t(i)] = i < old ? m_heights.height(first + i) : estimatedHeight(block);
        const auto at = m_blocks.begin() + first;
        m_blocks.erase(at, at + old);
        m_blocks.insert(m_blocks.begin() + first, std::make_move_iterator(blocks.begin()),
                        std::make_move_iterator(blocks.end()));
        m_heights.replace(first, old, heights);
    }

    QTextBlock block = firstBlock;
    const bool eager = anyLaidOut && fresh <= kEagerBlocks;
    for (int i = first; i < first + fresh; ++i, block = block.next()) {
        if (!eager) {
            m_blocks[size_t(i)].laidOut = false;
            block.clearLayout();
            continue;
        }
        prepare(i, block);
        // A long one through the change and the caret (what is shown is laid out when drawn).
        const bool inPieces = m_blocks[size_t(i)].pieces != nullptr;
        layOut(i, block,
               inPieces ? std::max(made.from + made.added - block.position(), caretIn(block))
                        : INT_MAX);
    }

    m_idleFrom = std::min(m_idleFrom, first);
    if (!eager)
        m_idle.start();

    const double newHeight = m_heights.top(first + fresh) - m_heights.top(first);
    QRectF changed = below(oldTop);
    if (old == fresh && newHeight == oldHeight) {
        changed.setHeight(newHeight);
        const Block &record = m_blocks[size_t(first)];
        if (inPlace && record.pieces && record.laidOut && edit) {
            const ParagraphLines &lines = record.pieces->lines();
            changed = QRectF(0, oldTop + lines.changedTop(), kEverything,
                             lines.changedBottom() - lines.changedTop());
        }
    }
    reportSize();
    Q_EMIT update(changed);
}

bool NotesTextLayout::ensureLaidOut(int position, qreal below)
{
    m_caret = position;
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return false;
    const int index = block.blockNumber();
    prepare(index, block);
    int target = position - block.position();
    if (const ParagraphPieces *pieces = m_blocks[size_t(index)].pieces.get()) {
        const ParagraphLines &lines = pieces->lines();
        target = std::max(target, lines.positionAt(lines.lineTop(lines.lineOf(target)) + below));
    }
    const int before = laidOutEnd(index, block);
    if (layOut(index, block, target)) {
        reportSize();
        Q_EMIT update(lq::below(top(index)));
    }
    return laidOutEnd(index, block) != before;
}

void NotesTextLayout::notePreedit(Block &record, const QTextBlock &block)
{
    const QTextLayout *layout = block.layout();
    const int at = layout->preeditAreaPosition();
    const int length = int(layout->preeditAreaText().size());
    ParagraphPieces &pieces = *record.pieces;
    if (length == record.preeditLength && (length == 0 || at == record.preeditAt)) {
        // Only formats changed (a highlighter's, the input method's): the lines stand.
        pieces.dropPieces();
    } else if (record.preeditLength == 0 || length == 0 || at == record.preeditAt) {
        const int from = length > 0 ? at : record.preeditAt;
        pieces.edit(from, record.preeditLength, length);
    } else {
        pieces.edit(0, pieces.length(), layoutLength(block));
    }
    record.preeditAt = at;
    record.preeditLength = length;
}

void NotesTextLayout::layOutWhileIdle()
{
    QElapsedTimer clock;
    clock.start();
    std::optional<double> moved;
    const int count = int(m_blocks.size());
    QTextBlock block = document()->findBlockByNumber(m_idleFrom);
    for (; m_idleFrom < count && block.isValid(); ++m_idleFrom, block = block.next()) {
        if (clock.elapsed() >= kIdleTurn) {
            m_idle.start();
            break;
        }
        if (m_blocks[size_t(m_idleFrom)].laidOut || isLong(block))
            continue;
        prepare(m_idleFrom, block);
        if (layOut(m_idleFrom, block, INT_MAX) && !moved)
            moved = top(m_idleFrom);
    }
    if (moved) {
        reportSize();
        Q_EMIT update(below(*moved));
    }
}

QSizeF NotesTextLayout::documentSize() const
{
    const QTextFrameFormat frame = document()->rootFrame()->frameFormat();
    const qreal inside = frame.border() + frame.padding();
    const Column area = column();
    const qreal width = std::max(document()->pageSize().width(),
                                 area.left + m_widest + frame.rightMargin() + inside);
    return QSizeF(width, margin() + m_heights.total() + frame.bottomMargin() + inside);
}

QRectF NotesTextLayout::frameBoundingRect(QTextFrame *frame) const
{
    if (frame != document()->rootFrame())
        return {};
    return QRectF(QPointF(0, 0), documentSize());
}

QRectF NotesTextLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid() || block.document() != document())
        return {};
    auto *self = const_cast<NotesTextLayout *>(this);
    const int index = block.blockNumber();
    if (index >= int(m_blocks.size()))
        return {};
    // A long paragraph not laid out yet: as far as it is shown.
    if (self->layOutThrough(index, block, std::max(m_viewRect.bottom(), top(index)))) {
        self->reportSize();
        Q_EMIT self->update(below(top(index)));
    }
    return self->placedBlockRect(index, block);
}

void NotesTextLayout::draw(QPainter *painter, const PaintContext &context)
{
    const QRectF clip = context.clip;
    const double from = clip.isValid() ? clip.top() : 0;
    const double to = clip.isValid() ? clip.bottom() : kEverything;
    int index = blockAt(from, to);
    if (index < 0)
        return;
    std::optional<double> moved;
    for (QTextBlock block = document()->findBlockByNumber(index); block.isValid();
         block = block.next(), ++index) {
        const double blockTop = top(index);
        if (blockTop > to)
            break;
        if (layOutThrough(index, block, to) && !moved)
            moved = blockTop;
        placedBlockRect(index, block);
        drawBlock(painter, context, index, block, clip);
    }
    if (context.cursorPosition >= 0)
        m_drawnCaret = caretRect(context.cursorPosition);
    if (moved) {
        reportSize();
        Q_EMIT update(below(*moved));
    }
}

void NotesTextLayout::drawBlock(QPainter *painter, const PaintContext &context, int index,
                                const QTextBlock &block, const QRectF &clip)
{
    QTextLayout *layout = block.layout();
    const int position = block.position();
    const int length = block.length();
    QList<QTextLayout::FormatRange> selections;
    for (const Selection &range : context.selections) {
        const int start = range.cursor.selectionStart() - position;
        const int end = range.cursor.selectionEnd() - position;
        if (start < length && end > 0 && end > start) {
            selections.append({start, end - start, range.format});
        } else if (!range.cursor.hasSelection() &&
                   range.format.hasProperty(QTextFormat::FullWidthSelection) &&
                   block.contains(range.cursor.position())) {
            // A whole line marked where the cursor is.
            const std::optional<PlacedLine> placed = placedLineAt(range.cursor.position());
            if (!placed || !placed->line.isValid())
                continue;
            const QTextLine line = placed->line;
            QTextLayout::FormatRange whole{placed->start - position + line.textStart(),
                                           line.textLength(), range.format};
            if (whole.start + whole.length == length - 1)
                ++whole.length;
            selections.append(whole);
        }
    }
    int cursor = context.cursorPosition;
    const bool preedit = cursor < -1 && !layout->preeditAreaText().isEmpty();
    if (preedit || (cursor >= position && cursor < position + length))
        cursor = preedit ? layout->preeditAreaPosition() - (cursor + 2) : cursor - position;
    else
        cursor = -1;
    bool known = false;
    const int cursorWidth = property("cursorWidth").toInt(&known);

    const QPen pen = painter->pen();
    painter->setPen(context.palette.color(QPalette::Text));
    Block &record = m_blocks[size_t(index)];
    if (ParagraphPieces *pieces = record.pieces.get()) {
        pieces->draw(painter, QPointF(column().left, top(index)), block, frameOf(record, block),
                     clip, selections, cursor, known ? cursorWidth : 1);
    } else {
        layout->draw(painter, QPointF(), selections, clip);
        if (cursor >= 0)
            layout->drawCursor(painter, QPointF(), cursor, known ? cursorWidth : 1);
    }
    painter->setPen(pen);
}

int NotesTextLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    auto *self = const_cast<NotesTextLayout *>(this);
    const int index = self->blockAt(point.y(), point.y());
    if (index < 0)
        return accuracy == Qt::ExactHit ? -1 : 0;
    const QTextBlock block = document()->findBlockByNumber(index);
    self->placedBlockRect(index, block);
    bool exact = false;
    int position = self->hitTestIn(index, block, point, accuracy, &exact);
    if (accuracy == Qt::ExactHit && !exact)
        return -1;
    const int last =
        document()->characterCount() - 1 + int(block.layout()->preeditAreaText().size());
    return std::clamp(position, 0, last);
}

int NotesTextLayout::hitTestIn(int index, const QTextBlock &block, const QPointF &point,
                               Qt::HitTestAccuracy accuracy, bool *exact)
{
    // As Qt's layout hits a block: above it, its start; below it, past its end.
    const double blockTop = top(index);
    const int position = block.position();
    if (point.y() < blockTop)
        return position;
    if (point.y() > blockTop + m_heights.height(index))
        return position + block.length();
    PlacedLine placed;
    if (ParagraphPieces *pieces = m_blocks[size_t(index)].pieces.get()) {
        const int number = pieces->lines().lineAt(point.y() - blockTop);
        placed = placedLine(index, block, std::max(0, number));
    } else {
        const QTextLayout *layout = block.layout();
        const double y = point.y() - layout->position().y();
        for (int i = 0; i < layout->lineCount() && !placed.layout; ++i) {
            const QTextLine line = layout->lineAt(i);
            if (line.y() + line.height() > y || i == layout->lineCount() - 1)
                placed = PlacedLine{layout, line, layout->position(), position, index, i};
        }
    }
    if (!placed.layout || !placed.line.isValid())
        return position;
    const QPointF inside = point - placed.origin;
    const QRectF rect = placed.line.naturalTextRect();
    *exact = rect.left() <= inside.x() && rect.right() >= inside.x() && rect.top() <= inside.y() &&
             rect.bottom() > inside.y();
    const int offset = placed.line.xToCursor(inside.x(), accuracy == Qt::ExactHit
                                                             ? QTextLine::CursorOnCharacter
                                                             : QTextLine::CursorBetweenCharacters);
    return placed.start + offset;
}

void NotesTextLayout::settleHeight(int index)
{
    const ParagraphPieces *pieces = m_blocks[size_t(index)].pieces.get();
    if (!pieces || pieces->lines().height() == m_heights.height(index))
        return;
    m_heights.setHeight(index, pieces->lines().height());
    reportSize();
    Q_EMIT update(below(top(index)));
}

NotesTextLayout::PlacedLine NotesTextLayout::placedLine(int index, const QTextBlock &block,
                                                        int number)
{
    prepare(index, block);
    Block &record = m_blocks[size_t(index)];
    if (ParagraphPieces *pieces = record.pieces.get()) {
        const ParagraphLines &lines = pieces->lines();
        // Laid out through the line asked for (the last: through the end).
        while ((number < 0 || number >= int(lines.lines().size())) &&
               lines.knownEnd() < pieces->length())
            layOut(index, block, number < 0 ? INT_MAX : lines.knownEnd());
        settleHeight(index);
        if (number < 0)
            number = int(lines.lines().size()) - 1;
        const ParagraphPieces::PlacedLine placed =
            pieces->line(block, frameOf(record, block), number);
        settleHeight(index);
        return {placed.layout,
                placed.line,
                QPointF(column().left, top(index) + placed.top),
                block.position() + placed.start,
                index,
                placed.number};
    }
    if (layOut(index, block, INT_MAX)) {
        reportSize();
        Q_EMIT update(below(top(index)));
    }
    placedBlockRect(index, block);
    const QTextLayout *layout = block.layout();
    if (number < 0)
        number = layout->lineCount() - 1;
    return {layout, layout->lineAt(number), layout->position(), block.position(), index, number};
}

std::optional<NotesTextLayout::PlacedLine> NotesTextLayout::placedLineAt(int position)
{
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid())
        return std::nullopt;
    const int index = block.blockNumber();
    prepare(index, block);
    const int inBlock = position - block.position();
    if (const ParagraphPieces *pieces = m_blocks[size_t(index)].pieces.get()) {
        if (layOut(index, block, inBlock))
            settleHeight(index);
        return placedLine(index, block, pieces->lines().lineOf(inBlock));
    }
    PlacedLine placed = placedLine(index, block, 0);
    const QTextLine line = placed.layout->lineForTextPosition(inBlock);
    if (!line.isValid())
        return std::nullopt;
    placed.line = line;
    placed.number = line.lineNumber();
    return placed;
}

QRectF NotesTextLayout::caretRect(int position)
{
    const std::optional<PlacedLine> placed = placedLineAt(position);
    if (!placed || !placed->line.isValid())
        return {};
    const QTextLine &line = placed->line;
    return QRectF(placed->origin.x() + line.cursorToX(position - placed->start),
                  placed->origin.y() + line.y(), 1, line.height());
}

int NotesTextLayout::lineStart(int position)
{
    const std::optional<PlacedLine> placed = placedLineAt(position);
    if (!placed || !placed->line.isValid())
        return position;
    return placed->start + placed->line.textStart();
}

int NotesTextLayout::lineEnd(int position)
{
    const std::optional<PlacedLine> placed = placedLineAt(position);
    if (!placed || !placed->line.isValid())
        return position;
    const QTextBlock block = document()->findBlockByNumber(placed->index);
    const int blockEnd = block.position() + block.length() - 1;
    const QTextLine &line = placed->line;
    if (line.textLength() == 0)
        return blockEnd;
    int end = std::min(placed->start + line.textStart() + line.textLength(), blockEnd);
    // A line broken after a space ends before it, as Qt's moves do.
    if (end < blockEnd && document()->characterAt(end - 1).isSpace())
        --end;
    return end;
}

int NotesTextLayout::positionOnNextLine(int position, qreal x, int direction)
{
    const std::optional<PlacedLine> placed = placedLineAt(position);
    if (!placed)
        return -1;
    QTextBlock block = document()->findBlockByNumber(placed->index);
    int index = placed->index;
    int number = placed->number + direction;
    const QTextLine &line = placed->line;
    const bool lastLine = placed->start + line.textStart() + line.textLength() >=
                          block.position() + block.length() - 1;
    if (number < 0) {
        block = block.previous();
        --index;
        number = -1;
    } else if (direction > 0 && lastLine) {
        block = block.next();
        ++index;
        number = 0;
    }
    if (!block.isValid())
        return -1;
    const PlacedLine next = placedLine(index, block, number);
    if (!next.layout || !next.line.isValid())
        return -1;
    return next.start + next.line.xToCursor(x - next.origin.x());
}

bool NotesTextLayout::isInPieces(int position) const
{
    const QTextBlock block = document()->findBlock(position);
    return block.isValid() && block.blockNumber() < int(m_blocks.size()) &&
           m_blocks[size_t(block.blockNumber())].pieces != nullptr;
}

} // namespace lq
