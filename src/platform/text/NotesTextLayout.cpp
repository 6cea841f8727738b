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
    return block.length() > kLongParagraph;
}

void NotesTextLayout::prepare(int index, const QTextBlock &block)
{
    Block &record = m_blocks[size_t(index)];
    if (!isLong(block)) {
        record.paragraph.reset();
        return;
    }
    const int length = layoutLength(block);
    if (record.paragraph && record.paragraph->length() == length)
        return;
    record.paragraph = std::make_unique<ParagraphLines>(length, estimateFor(block));
    record.laidOut = false;
}

int NotesTextLayout::laidOutEnd(const QTextBlock &block)
{
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
    const int end = laidOutEnd(block);
    if (record.laidOut && (!record.paragraph || end > target || end >= layoutLength(block)))
        return false;
    const double before = m_heights.height(index);
    const double height = fillLines(record, block, target);
    record.laidOut = true;
    m_heights.setHeight(index, height);
    return height != before;
}

double NotesTextLayout::fillLines(Block &record, const QTextBlock &block, int target)
{
    QTextLayout *layout = block.layout();
    const QTextBlockFormat format = block.blockFormat();
    if (!record.direction)
        record.direction = block.textDirection();
    const Qt::LayoutDirection direction = *record.direction;
    const Column area = column();

    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(direction);
    option.setTabs(format.tabPositions());
    const Qt::Alignment alignment =
        format.hasProperty(QTextFormat::BlockAlignment) ? format.alignment() : option.alignment();
    option.setAlignment(visualAlignment(direction, alignment));
    if (format.nonBreakableLines() || !area.wraps)
        option.setWrapMode(QTextOption::ManualWrap);
    layout->setTextOption(option);
    // A long paragraph keeps its shaping between layouts (the caret asks it often).
    ParagraphLines *paragraph = record.paragraph.get();
    layout->setCacheEnabled(paragraph != nullptr);

    const qreal indent = format.indent() * document()->indentWidth();
    const bool rightToLeft = direction == Qt::RightToLeft;
    const qreal leftMargin = format.leftMargin() + (rightToLeft ? 0 : indent);
    const qreal rightMargin = format.rightMargin() + (rightToLeft ? indent : 0);
    const qreal textIndent = format.textIndent();
    if (paragraph)
        paragraph->begin();
    double y = 0;
    int end = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        qreal left = area.left + leftMargin;
        qreal right = area.right - rightMargin;
        if (line.lineNumber() == 0 && rightToLeft)
            right -= textIndent;
        else if (line.lineNumber() == 0)
            left += textIndent;
        line.setLineWidth(right - left);
        line.setPosition(QPointF(left - area.left, y));
        const double height = line.height();
        y += height;
        m_widest = std::max(m_widest, line.x() + line.naturalTextWidth() + rightMargin);
        end = line.textStart() + line.textLength();
        if (paragraph) {
            paragraph->add({line.textStart(), height}, end);
            if (end > target && paragraph->settled())
                break;
        }
    }
    layout->endLayout();
    if (!paragraph)
        return y;
    paragraph->finish(end);
    return paragraph->height();
}

bool NotesTextLayout::layOutThrough(int index, const QTextBlock &block, double y)
{
    prepare(index, block);
    const Block &record = m_blocks[size_t(index)];
    if (!record.paragraph)
        return layOut(index, block, INT_MAX);
    return layOut(index, block,
                  std::max(record.paragraph->positionAt(y - top(index)), caretIn(block)));
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
    if (area.right - area.left != m_columnWidth || (!edit && from == 0 && charsAdded >= last)) {
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
        if (record.paragraph) {
            const int at = made.from - firstBlock.position();
            record.paragraph->edit(at, made.removed, made.added);
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
        int target = INT_MAX;
        if (const ParagraphLines *paragraph = m_blocks[size_t(i)].paragraph.get()) {
            // Through the change, what the view shows, and the caret.
            target =
                std::max({made.from + made.added - block.position(),
                          paragraph->positionAt(m_viewRect.bottom() - top(i)), caretIn(block)});
        }
        layOut(i, block, target);
    }

    m_idleFrom = std::min(m_idleFrom, first);
    if (!eager)
        m_idle.start();

    const double newHeight = m_heights.top(first + fresh) - m_heights.top(first);
    QRectF changed = below(oldTop);
    if (old == fresh && newHeight == oldHeight) {
        changed.setHeight(newHeight);
        const Block &record = m_blocks[size_t(first)];
        if (inPlace && record.paragraph && record.laidOut)
            changed = QRectF(0, oldTop + record.paragraph->changedTop(), kEverything,
                             record.paragraph->changedBottom() - record.paragraph->changedTop());
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
    if (const ParagraphLines *paragraph = m_blocks[size_t(index)].paragraph.get())
        target = std::max(
            target, paragraph->positionAt(paragraph->lineTop(paragraph->lineOf(target)) + below));
    const int before = laidOutEnd(block);
    if (layOut(index, block, target)) {
        reportSize();
        Q_EMIT update(lq::below(top(index)));
    }
    return laidOutEnd(block) != before;
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
        drawBlock(painter, context, block, clip);
    }
    if (moved) {
        reportSize();
        Q_EMIT update(below(*moved));
    }
}

void NotesTextLayout::drawBlock(QPainter *painter, const PaintContext &context,
                                const QTextBlock &block, const QRectF &clip) const
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
            const QTextLine line = layout->lineForTextPosition(range.cursor.position() - position);
            if (!line.isValid())
                continue;
            QTextLayout::FormatRange whole{line.textStart(), line.textLength(), range.format};
            if (whole.start + whole.length == length - 1)
                ++whole.length;
            selections.append(whole);
        }
    }
    const QPen pen = painter->pen();
    painter->setPen(context.palette.color(QPalette::Text));
    layout->draw(painter, QPointF(), selections, clip);
    int cursor = context.cursorPosition;
    const bool preedit = cursor < -1 && !layout->preeditAreaText().isEmpty();
    if (preedit || (cursor >= position && cursor < position + length)) {
        cursor = preedit ? layout->preeditAreaPosition() - (cursor + 2) : cursor - position;
        bool known = false;
        const int width = property("cursorWidth").toInt(&known);
        layout->drawCursor(painter, QPointF(), cursor, known ? width : 1);
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
    int position = hitTestIn(block, point, accuracy, &exact);
    if (accuracy == Qt::ExactHit && !exact)
        return -1;
    const int last =
        document()->characterCount() - 1 + int(block.layout()->preeditAreaText().size());
    return std::clamp(position, 0, last);
}

int NotesTextLayout::hitTestIn(const QTextBlock &block, const QPointF &point,
                               Qt::HitTestAccuracy accuracy, bool *exact) const
{
    // As Qt's layout hits a block: above it, its start; below it, past its end.
    const QTextLayout *layout = block.layout();
    const QRectF lines = layout->boundingRect().translated(layout->position());
    int position = block.position();
    if (point.y() < lines.top())
        return position;
    if (point.y() > lines.bottom())
        return position + block.length();
    const QPointF inside = point - layout->position();
    int offset = 0;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const QRectF rect = line.naturalTextRect();
        if (rect.top() > inside.y()) {
            offset = std::min(offset, line.textStart());
        } else if (rect.bottom() <= inside.y()) {
            offset = std::max(offset, line.textStart() + line.textLength());
        } else {
            *exact = rect.left() <= inside.x() && rect.right() >= inside.x();
            offset = line.xToCursor(inside.x(), accuracy == Qt::ExactHit
                                                    ? QTextLine::CursorOnCharacter
                                                    : QTextLine::CursorBetweenCharacters);
            break;
        }
    }
    return position + offset;
}

} // namespace lq
