#include "document/WrenTextView.h"
#include "platform/foundation/Log.h"
#include "platform/text/DocumentCharacters.h"
#include "platform/text/NotesTextLayout.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace {

// Qt's text control shows the caret with this much room on either side.
constexpr qreal kCaretRoom = 5;

} // namespace

void WrenTextView::takeCaretRequests()
{
    QObject *control = nullptr;
    for (QObject *child : children()) {
        if (child->inherits("QWidgetTextControl"))
            control = child;
    }
    const bool taken =
        control &&
        disconnect(control, SIGNAL(visibilityRequest(QRectF)), this,
                   SLOT(_q_ensureVisible(QRectF))) &&
        disconnect(control, SIGNAL(updateRequest(QRectF)), this,
                   SLOT(_q_repaintContents(QRectF))) &&
        connect(control, SIGNAL(visibilityRequest(QRectF)), this, SLOT(showCaretArea(QRectF))) &&
        connect(control, SIGNAL(updateRequest(QRectF)), this, SLOT(repaintArea(QRectF)));
    if (!taken)
        lq::log(QStringLiteral("Program error: the notes text view could not take its text "
                               "control's caret requests"));
}

void WrenTextView::showCaretArea(const QRectF &rect)
{
    if (m_layout->isInPieces(textCursor().position()))
        showCaret();
    else
        QMetaObject::invokeMethod(this, "_q_ensureVisible", Qt::DirectConnection,
                                  Q_ARG(QRectF, rect));
}

void WrenTextView::showCaret()
{
    const QRectF caret = m_layout->caretRect(textCursor().position());
    QMetaObject::invokeMethod(this, "_q_ensureVisible", Qt::DirectConnection,
                              Q_ARG(QRectF, caret.adjusted(-kCaretRoom, 0, kCaretRoom, 0)));
}

void WrenTextView::repaintArea(const QRectF &rect)
{
    const auto repaint = [this](const QRectF &area) {
        QMetaObject::invokeMethod(this, "_q_repaintContents", Qt::DirectConnection,
                                  Q_ARG(QRectF, area));
    };
    repaint(rect);
    // Qt's control works the caret's and the selection's areas out from the block's layout.
    const QTextCursor cursor = textCursor();
    if (!m_layout->isInPieces(cursor.position()) && !m_layout->isInPieces(cursor.anchor()))
        return;
    if (cursor.hasSelection()) {
        viewport()->update();
        return;
    }
    repaint(m_layout->drawnCaretRect().adjusted(-kCaretRoom, 0, kCaretRoom, 0));
    repaint(m_layout->caretRect(cursor.position()).adjusted(-kCaretRoom, 0, kCaretRoom, 0));
}

QRect WrenTextView::caretRect() const
{
    return m_layout->caretRect(textCursor().position())
        .translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value())
        .toAlignedRect();
}

QVariant WrenTextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    const QTextCursor cursor = textCursor();
    const int position = query == Qt::ImAnchorRectangle ? cursor.anchor() : cursor.position();
    const bool rectangle = query == Qt::ImCursorRectangle || query == Qt::ImAnchorRectangle;
    if (!rectangle || !m_layout->isInPieces(position))
        return QTextEdit::inputMethodQuery(query);
    return m_layout->caretRect(position).translated(-horizontalScrollBar()->value(),
                                                    -verticalScrollBar()->value());
}

bool WrenTextView::moveCaret(const QKeyEvent *event)
{
    enum Move { Left, Right, Up, Down, LineStart, LineEnd, PageUp, PageDown };
    struct Key
    {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        Move kind;
    };
    static const Key keys[] = {
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Left},
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Right},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Up},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Down},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, LineStart},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, LineEnd},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, PageUp},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, PageDown},
    };
    const Key *key = nullptr;
    bool select = false;
    for (const Key &candidate : keys) {
        if (event->matches(candidate.move) || event->matches(candidate.select)) {
            key = &candidate;
            select = event->matches(candidate.select);
            break;
        }
    }
    if (!key)
        return false;

    QTextCursor cursor = textCursor();
    const int position = cursor.position();
    const qreal x = m_lineMoveX.value_or(m_layout->caretRect(position).x());
    int target = position;
    switch (key->kind) {
    case Left:
    case Right: {
        // Logical moves, as Qt's cursor makes them: a selection collapses to its edge.
        const bool rightToLeft = document()->findBlock(position).textDirection() == Qt::RightToLeft;
        const int direction = (key->kind == Right) != rightToLeft ? 1 : -1;
        if (!select && cursor.hasSelection())
            target = direction > 0 ? std::max(position, cursor.anchor())
                                   : std::min(position, cursor.anchor());
        else
            target = characterEdge(position, direction);
        break;
    }
    case Up:
    case Down:
        target = m_layout->positionOnNextLine(position, x, key->kind == Up ? -1 : 1);
        break;
    case LineStart:
        target = m_layout->lineStart(position);
        break;
    case LineEnd:
        target = m_layout->lineEnd(position);
        break;
    case PageUp:
    case PageDown:
        target = pageMove(position, x, key->kind == PageUp ? -1 : 1);
        break;
    }
    if (target < 0)
        return true;
    cursor.setPosition(target, select ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
    setTextCursor(cursor);
    if (key->kind == Up || key->kind == Down || key->kind == PageUp || key->kind == PageDown)
        m_lineMoveX = x;
    ensureCursorVisible();
    return true;
}

int WrenTextView::characterEdge(int position, int direction) const
{
    // From the characters about it: Qt's cursor would find the boundaries of the whole paragraph.
    const QTextDocument *text = document();
    const int last = text->characterCount() - 1;
    for (int window = 16; direction > 0 ? position < last : position > 0; window *= 2) {
        const int start = direction > 0 ? position : std::max(0, position - window);
        const int end = direction > 0 ? std::min(last, position + window) : position;
        const QString characters = lq::documentCharacters(*text, start, end);
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, characters);
        if (direction > 0) {
            const qsizetype next = graphemes.toNextBoundary();
            if (next > 0 && (next < characters.size() || end == last))
                return start + int(next);
        } else {
            graphemes.toEnd();
            const qsizetype previous = graphemes.toPreviousBoundary();
            if (previous > 0 || (previous == 0 && start == 0))
                return start + int(previous);
        }
    }
    return position;
}

int WrenTextView::pageMove(int position, qreal x, int direction)
{
    const int page = viewport()->height();
    qreal last = m_layout->caretRect(position).top();
    qreal distance = 0;
    while (distance < page) {
        const int next = m_layout->positionOnNextLine(position, x, direction);
        if (next < 0 || next == position)
            return position;
        const qreal y = m_layout->caretRect(next).top();
        distance += std::abs(y - last);
        last = y;
        position = next;
    }
    // As Qt's edit: the caret stops on the first line a page away, and the view scrolls a page.
    QScrollBar *bar = verticalScrollBar();
    bar->triggerAction(direction < 0 ? QAbstractSlider::SliderPageStepSub
                                     : QAbstractSlider::SliderPageStepAdd);
    return position;
}
