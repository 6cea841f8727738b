// The highlighter: painting the selection with a background colour or taking it off, and the
// pen's state at the caret.

#include "document/BMColorPicker.h"
#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "document/WrenTextView.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "shared/MenuTitles.h"

#include <QAction>
#include <QTextBlock>
#include <QTextDocument>

using lq::TextRange;

namespace {

lq::TextColor textColorFrom(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return lq::TextColor::rgb(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

} // namespace

BMColorPicker *MyDocument::colorPicker() const
{
    return m_windowController ? m_windowController->outlets().colorPicker : nullptr;
}

void MyDocument::highlightSelectedAction(const QColor &color)
{
    if (m_textView)
        highlightSelected({m_textView->selectedRange()}, textColorFrom(color));
}

void MyDocument::highlightDeselectedAction()
{
    if (m_textView)
        highlightDeselected({m_textView->selectedRange()});
}

void MyDocument::toggleHighlight()
{
    const BMColorPicker *pen = colorPicker();
    if (!pen)
        return;
    if (pen->selected())
        highlightDeselectedAction();
    else
        highlightSelectedAction(pen->color());
}

void MyDocument::highlightSelected(const std::vector<TextRange> &ranges, const lq::TextColor &color)
{
    lq::runOnMainThread([&] { highlightSelectedHelper(ranges, color); });
}

void MyDocument::highlightDeselected(const std::vector<TextRange> &ranges)
{
    lq::runOnMainThread([&] { highlightDeselectedHelper(ranges); });
}

void MyDocument::highlightSelectedHelper(const std::vector<TextRange> &ranges,
                                         const lq::TextColor &color)
{
    paintHighlight(ranges, color);
}

void MyDocument::highlightDeselectedHelper(const std::vector<TextRange> &ranges)
{
    paintHighlight(ranges, std::nullopt);
}

void MyDocument::paintHighlight(const std::vector<TextRange> &ranges,
                                const std::optional<lq::TextColor> &color)
{
    if (ranges.empty() || (playing && playbackMode == kLockedMode))
        return;
    const lq::UndoGroup group(undoManager());
    lq::TextAttributes paint;
    paint.backgroundColor = color;
    for (const TextRange &range : ranges) {
        if (range.length == 0)
            continue;
        if (color)
            addAttributes(range, paint);
        else
            removeAttributes(range, lq::TextAttributes::BackgroundColor);
    }
    const TextRange first = ranges.front();
    if (!m_textView)
        return;
    if (first.length > 0) {
        m_textView->setSelectedRange({first.end(), 0});
        return;
    }
    setCaretHighlight(color);
}

void MyDocument::setCaretHighlight(const std::optional<lq::TextColor> &color)
{
    if (!m_textView)
        return;
    std::optional<lq::TextAttributes> before = m_textView->typingAttributes();
    if (lq::UndoManager *undo = undoManager())
        undo->registerUndo(this, [this, before = std::move(before), color] {
            restoreCaretHighlight(before, !color, color);
        });
    lq::TextAttributes typing = m_textView->attributesForNewText(m_textView->selectedRange());
    typing.backgroundColor = color;
    m_textView->setTypingAttributes(typing);
    if (BMColorPicker *pen = colorPicker())
        pen->setSelected(color.has_value());
}

void MyDocument::restoreCaretHighlight(const std::optional<lq::TextAttributes> &typing, bool penOn,
                                       const std::optional<lq::TextColor> &redoColor)
{
    if (lq::UndoManager *undo = undoManager())
        undo->registerUndo(this, [this, redoColor] { setCaretHighlight(redoColor); });
    if (m_textView)
        m_textView->setTypingAttributes(typing);
    if (BMColorPicker *pen = colorPicker())
        pen->setSelected(penOn);
}

void MyDocument::resetColorPicker()
{
    BMColorPicker *pen = colorPicker();
    if (!pen || !m_textView)
        return;
    const TextRange selection = m_textView->selectedRange();
    const qsizetype p = selection.location;
    const qsizetype length = m_textStorage.length();
    // A caret reads the character before it: at the end of a non-empty last line, or inside
    // the text.
    const bool afterLastLine =
        p == length && m_textStorage.document()->findBlock(int(p)).position() < p;
    const bool caretInside = p < length && p > 0 && selection.length == 0;
    const qsizetype index = afterLastLine || caretInside ? p - 1 : p;
    if (index >= length)
        return;
    const std::optional<lq::TextColor> color = m_textStorage.attributesAt(index).backgroundColor;
    pen->setSelected(color.has_value());
    pen->setColor(color ? std::optional(color->toQColor()) : std::nullopt);
    pen->setToolTip(color ? tr("Unhighlight selection - Ctrl+Shift+H\n(Alt-click to change color)")
                          : tr("Highlight selection - Ctrl+Shift+H\n(Alt-click to select a "
                               "different color)"));
    if (QAction *item = menuItemWithTag(tr("Edit"), kHighlightTag))
        item->setText(color ? tr("Un-highlight Selection") : tr("Highlight Selection"));
}
