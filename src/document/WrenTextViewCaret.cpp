#include "document/WrenTextView.h"
#include "platform/foundation/Log.h"
#include "platform/text/NotesTextLayout.h"

#include <QKeyEvent>
#include <QScrollBar>

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

bool WrenTextView::moveAlongLines(const QKeyEvent *event)
{
    enum Move { Up, Down, LineStart, LineEnd, PageUp, PageDown };
    struct Key
    {
        QKeySequence::StandardKey move;
        QKeySequence::StandardKey select;
        Move kind;
    };
    static const Key keys[] = {
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
    if (key->kind != LineStart && key->kind != LineEnd)
        m_lineMoveX = x;
    ensureCursorVisible();
    return true;
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
