#include "document/WrenTextView.h"
#include "platform/text/NotesTextLayout.h"
#include "platform/text/TextStorage.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kFindIndicatorTime(500);

} // namespace

QTextEdit::ExtraSelection WrenTextView::markOver(lq::TextRange range,
                                                 const QTextCharFormat &format) const
{
    const qsizetype length = m_storage.length();
    QTextCursor cursor(document());
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, length);
    cursor.setPosition(int(start));
    cursor.setPosition(int(std::clamp<qsizetype>(range.end(), start, length)),
                       QTextCursor::KeepAnchor);
    return {cursor, format};
}

void WrenTextView::setPlaybackUnderline(const std::vector<qsizetype> &positions)
{
    QTextCharFormat underline;
    underline.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    underline.setUnderlineColor(Qt::blue);
    m_playbackUnderline.clear();
    for (const qsizetype position : positions)
        m_playbackUnderline.append(markOver({position, 1}, underline));
    showPlaybackMarks();
}

void WrenTextView::showFindIndicator(lq::TextRange range)
{
    QTextCharFormat flash;
    flash.setBackground(Qt::yellow);
    m_findIndicator = markOver(range, flash);
    const int shown = ++m_findIndicatorCount;
    showPlaybackMarks();
    QTimer::singleShot(kFindIndicatorTime, this, [this, shown] {
        // A later flash ends on its own time.
        if (shown == m_findIndicatorCount)
            hideFindIndicator();
    });
}

void WrenTextView::hideFindIndicator()
{
    m_findIndicator.reset();
    showPlaybackMarks();
}

void WrenTextView::showPlaybackMarks()
{
    QList<QTextEdit::ExtraSelection> marks = m_playbackUnderline;
    if (m_findIndicator)
        marks.append(*m_findIndicator);
    setExtraSelections(marks);
}

void WrenTextView::scrollRangeToVisible(lq::TextRange range)
{
    const QRect shown = viewport()->rect();
    const QTextEdit::ExtraSelection mark = markOver(range, {});
    const QRect target =
        m_layout->caretRect(mark.cursor.selectionStart())
            .translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value())
            .toAlignedRect();
    QScrollBar *bar = verticalScrollBar();
    if (target.top() < shown.top())
        bar->setValue(bar->value() + target.top() - shown.top());
    else if (target.bottom() > shown.bottom())
        bar->setValue(bar->value() + target.bottom() - shown.bottom());
}
