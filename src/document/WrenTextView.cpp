#include "document/WrenTextView.h"

#include "document/SpellHighlighter.h"
#include "document/UndoableTextChanges.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UndoManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/NotesTextLayout.h"
#include "platform/text/TextFormats.h"
#include "platform/text/TextStorage.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

using lq::AttributedString;
using lq::TextRange;

namespace {

constexpr QChar kLineSeparator(0x2028);

} // namespace

WrenTextView::WrenTextView(lq::TextStorage &storage, QWidget *parent)
    : QTextEdit(parent), m_storage(storage)
{
    storage.document()->setUndoRedoEnabled(false);
    {
        // Layout only: the text itself does not change.
        const lq::DeliberateTextChange layout;
        m_layout = lq::NotesTextLayout::install(storage.document());
    }
    setDocument(storage.document());
    setUndoRedoEnabled(false);
    takeCaretRequests();
#ifndef NDEBUG
    m_watchdog = true;
#endif
    connect(storage.document(), &QTextDocument::contentsChange, this, &WrenTextView::watchChange);
    // A move of the caret, or of the selection's anchor alone.
    connect(this, &QTextEdit::cursorPositionChanged, this, &WrenTextView::reportSelection);
    connect(this, &QTextEdit::selectionChanged, this, &WrenTextView::reportSelection);
    auto &center = lq::NotificationCenter::defaultCenter();
    center.addObserver(this, QStringLiteral("otherColorPickerStarted"), nullptr,
                       [this](const lq::Notification &) { m_shouldChangeColors = false; });
    center.addObserver(this, QStringLiteral("otherColorPickerEnded"), nullptr,
                       [this](const lq::Notification &) { m_shouldChangeColors = true; });
    setContinuousSpellCheckingEnabled(
        lq::UserDefaults::standard().boolForKey(QStringLiteral("checkSpellingByDefault")));
}

WrenTextView::~WrenTextView()
{
    const lq::DeliberateTextChange change;
    delete m_spelling;
}

bool WrenTextView::applyUserEdit(TextRange range, const QString &replacement)
{
    return applyEdit(range, &replacement, nullptr);
}

bool WrenTextView::applyUserEdit(TextRange range, const AttributedString &replacement)
{
    return applyEdit(range, nullptr, &replacement);
}

bool WrenTextView::applyEdit(TextRange range, const QString *string, const AttributedString *text)
{
    const qsizetype length = m_storage.length();
    range.location = std::clamp<qsizetype>(range.location, 0, length);
    range.length = std::clamp<qsizetype>(range.length, 0, length - range.location);
    QString replacement = string ? *string : text->string();
    if (replacement.isNull())
        replacement = QStringLiteral(""); // null strings stand for attribute changes
    if (range.length == 0 && replacement.isEmpty())
        return false;
    if (m_delegate && !m_delegate->shouldChangeTextInRange(this, range, replacement))
        return false;
    const QScopedValueRollback editing(m_editing, true);
    lq::UndoManager *undo = m_delegate ? m_delegate->undoManager() : nullptr;
    if (string)
        lq::replaceUndoably(m_storage, undo, range, *string);
    else
        lq::replaceUndoably(m_storage, undo, range, *text);
    setSelectedRange({range.location + replacement.size(), 0});
    showCaret();
    return true;
}

bool WrenTextView::applyAttributeEdit(TextRange range, const lq::TextAttributes &attributes)
{
    return applyAttributeChange(range, [&](lq::UndoManager *undo) {
        lq::addAttributesUndoably(m_storage, undo, range, attributes);
    });
}

bool WrenTextView::applyAttributeRemoval(TextRange range, lq::TextAttributes::Keys keys)
{
    return applyAttributeChange(range, [&](lq::UndoManager *undo) {
        lq::removeAttributesUndoably(m_storage, undo, range, keys);
    });
}

bool WrenTextView::applyAttributeChange(TextRange range,
                                        const std::function<void(lq::UndoManager *)> &change)
{
    if (range.length <= 0 || range.end() > m_storage.length())
        return false;
    if (m_delegate && !m_delegate->shouldChangeTextInRange(this, range, QString()))
        return false;
    const QScopedValueRollback editing(m_editing, true);
    const TextRange selection = selectedRange();
    change(m_delegate ? m_delegate->undoManager() : nullptr);
    setSelectedRange(selection);
    return true;
}

bool WrenTextView::moveSelectedText(qsizetype position)
{
    const TextRange selection = selectedRange();
    if (selection.length == 0 || (position >= selection.location && position <= selection.end()))
        return false;
    const AttributedString moved = m_storage.attributedSubstring(selection);
    if (!applyUserEdit(selection, QString()))
        return false;
    const qsizetype target = position > selection.location ? position - selection.length : position;
    if (!applyUserEdit(TextRange{target, 0}, moved))
        return false;
    setSelectedRange({target, moved.length()});
    return true;
}

void WrenTextView::replaceCharacters(TextRange range, const QString &string)
{
    lq::replaceUndoably(m_storage, nullptr, range, string);
}

void WrenTextView::replaceCharacters(TextRange range, const AttributedString &text)
{
    lq::replaceUndoably(m_storage, nullptr, range, text);
}

void WrenTextView::addAttributes(TextRange range, const lq::TextAttributes &attributes)
{
    lq::addAttributesUndoably(m_storage, nullptr, range, attributes);
}

void WrenTextView::removeAttributes(TextRange range, lq::TextAttributes::Keys keys)
{
    const lq::DeliberateTextChange change;
    m_storage.removeAttributes(range, keys);
}

void WrenTextView::setTypingAttributes(const std::optional<lq::TextAttributes> &attributes)
{
    m_typingAttributes = attributes;
    if (m_typingAttributes)
        m_typingAttributes->paragraphStyle.reset();
}

lq::TextAttributes WrenTextView::attributesForNewText(TextRange range) const
{
    lq::TextAttributes attributes;
    const qsizetype length = m_storage.length();
    if (m_typingAttributes) {
        attributes = *m_typingAttributes;
    } else if (length > 0) {
        const qsizetype from =
            range.length > 0 ? range.location : std::max<qsizetype>(range.location - 1, 0);
        attributes = m_storage.attributesAt(std::min(from, length - 1));
        attributes.attachment.reset();
    }
    attributes.paragraphStyle = lq::text_formats::paragraphStyle(
        document()->findBlock(int(std::clamp<qsizetype>(range.location, 0, length))).blockFormat());
    return attributes;
}

void WrenTextView::nameTypingStep()
{
    if (lq::UndoManager *undo = m_delegate ? m_delegate->undoManager() : nullptr)
        undo->setActionName(tr("Typing"));
}

bool WrenTextView::applyTyping(TextRange range, const QString &text)
{
    nameTypingStep();
    if (!m_typingAttributes)
        return applyUserEdit(range, text);
    return applyUserEdit(range, AttributedString(text, attributesForNewText(range)));
}

TextRange WrenTextView::selectedRange() const
{
    const QTextCursor cursor = textCursor();
    return {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

void WrenTextView::setSelectedRange(TextRange range)
{
    QTextCursor cursor(document());
    const qsizetype length = m_storage.length();
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, length);
    const int end = int(std::clamp<qsizetype>(range.end(), start, length));
    // The caret's line, before the view scrolls to it.
    m_layout->ensureLaidOut(end);
    // Typing leaves the caret where it goes; Qt's control would lay the paragraph out again for
    // the caret it already has.
    const QTextCursor current = textCursor();
    if (current.anchor() == start && current.position() == end)
        return;
    cursor.setPosition(int(start));
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

bool WrenTextView::canUndo() const
{
    const lq::UndoManager *manager = m_delegate ? m_delegate->undoManager() : nullptr;
    return m_shouldUndo && manager && manager->canUndo();
}

bool WrenTextView::canRedo() const
{
    const lq::UndoManager *manager = m_delegate ? m_delegate->undoManager() : nullptr;
    return manager && manager->canRedo();
}

void WrenTextView::undo()
{
    // Refused while the text may not be edited: swallowed here rather than passed on.
    if (canUndo()) {
        m_delegate->undoManager()->undo();
        ensureCursorVisible();
    }
}

void WrenTextView::redo()
{
    if (canRedo()) {
        m_delegate->undoManager()->redo();
        ensureCursorVisible();
    }
}

void WrenTextView::cut()
{
    const TextRange selection = selectedRange();
    if (selection.length == 0 || isReadOnly())
        return;
    copy();
    applyUserEdit(selection, QString());
}

std::optional<TextRange> WrenTextView::deletionRange(const QKeyEvent *event) const
{
    const bool backspace =
        event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier);
    const bool deletion = backspace || event->matches(QKeySequence::Delete) ||
                          event->matches(QKeySequence::DeleteStartOfWord) ||
                          event->matches(QKeySequence::DeleteEndOfWord) ||
                          event->matches(QKeySequence::DeleteEndOfLine) ||
                          event->matches(QKeySequence::DeleteCompleteLine);
    if (!deletion)
        return std::nullopt;
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection() && !event->matches(QKeySequence::DeleteCompleteLine))
        return selectedRange();
    const int position = cursor.position();
    if (backspace) {
        // One code point back, as Qt deletes: both halves of a surrogate pair.
        if (position == 0)
            return TextRange{0, 0};
        const QTextDocument *text = document();
        const bool pair = position >= 2 && text->characterAt(position - 1).isLowSurrogate() &&
                          text->characterAt(position - 2).isHighSurrogate();
        return pair ? TextRange{position - 2, 2} : TextRange{position - 1, 1};
    }
    if (event->matches(QKeySequence::Delete))
        return TextRange{position, characterEdge(position, 1) - position};
    if (event->matches(QKeySequence::DeleteStartOfWord)) {
        cursor.movePosition(QTextCursor::PreviousWord, QTextCursor::KeepAnchor);
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
    } else if (event->matches(QKeySequence::DeleteEndOfLine)) {
        const QTextBlock block = cursor.block();
        if (position == block.position() + block.length() - 1)
            cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        else
            cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    } else {
        cursor.movePosition(QTextCursor::StartOfLine);
        cursor.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
    }
    return TextRange{cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

std::optional<QString> WrenTextView::typedText(const QKeyEvent *event) const
{
    if (event->matches(QKeySequence::InsertParagraphSeparator))
        return QStringLiteral("\n");
    if (event->matches(QKeySequence::InsertLineSeparator))
        return QString(kLineSeparator);
    const QString text = event->text();
    if (text.isEmpty())
        return std::nullopt;
    const QChar first = text.front();
    if (first.category() == QChar::Other_Format)
        return text;
    const auto modifiers = event->modifiers();
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ShiftModifier | Qt::ControlModifier))
        return std::nullopt;
    const bool pair = first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate();
    if (first.isPrint() || first.category() == QChar::Other_PrivateUse || pair || first == u'\t')
        return text;
    return std::nullopt;
}

void WrenTextView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Undo)) {
        undo();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Redo)) {
        redo();
        event->accept();
        return;
    }
    if (isReadOnly()) {
        QTextEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        cut();
        event->accept();
        return;
    }
    if (const std::optional<TextRange> range = deletionRange(event)) {
        nameTypingStep();
        applyUserEdit(*range, QString());
        event->accept();
        return;
    }
    if (const std::optional<QString> text = typedText(event)) {
        const bool breaksParagraph = *text == u'\n';
        if (!breaksParagraph || !m_delegate || !m_delegate->breakParagraph(this, selectedRange()))
            applyTyping(selectedRange(), *text);
        event->accept();
        return;
    }
    if (moveCaret(event)) {
        event->accept();
        return;
    }
    // Moves, selections, copy and paste (which arrives at insertFromMimeData). A move down
    // within a long paragraph needs the lines below the caret laid out (a page down passes a
    // page and a line, then comes back one); one to a far place (the end of the paragraph) is
    // laid out after it, and then shown.
    m_layout->ensureLaidOut(textCursor().position(), 2 * viewport()->height());
    QTextEdit::keyPressEvent(event);
    if (m_layout->ensureLaidOut(textCursor().position()))
        ensureCursorVisible();
}

void WrenTextView::inputMethodEvent(QInputMethodEvent *event)
{
    const TextRange selection = selectedRange();
    const bool commits = !event->commitString().isEmpty() || event->replacementLength() > 0;
    const bool replacesSelection =
        selection.length > 0 && (commits || !event->preeditString().isEmpty());
    // The preedit text is shown in the layout only; the text itself does not change.
    const auto showPreedit = [this](QInputMethodEvent *preedit) {
        const lq::DeliberateTextChange change;
        QTextEdit::inputMethodEvent(preedit);
    };
    if (isReadOnly() || (!commits && !replacesSelection)) {
        showPreedit(event);
        return;
    }
    const TextRange range =
        selection.length > 0
            ? selection
            : TextRange{selection.location + event->replacementStart(), event->replacementLength()};
    if (event->commitString().isEmpty())
        applyUserEdit(range, QString());
    else
        applyTyping(range, event->commitString());
    QInputMethodEvent preedit(event->preeditString(), event->attributes());
    showPreedit(&preedit);
    event->accept();
}

QMenu *WrenTextView::createEditingContextMenu(const QPoint &position)
{
    QMenu *menu = createStandardContextMenu(position);
    for (QAction *action : menu->actions()) {
        // The control-character submenu (right-to-left locales) would insert past the path.
        if (action->menu()) {
            menu->removeAction(action);
            continue;
        }
        const QString name = action->objectName();
        std::function<void()> edit;
        if (name == QLatin1String("edit-undo")) {
            action->setEnabled(canUndo());
            edit = [this] { undo(); };
        } else if (name == QLatin1String("edit-redo")) {
            action->setEnabled(canRedo());
            edit = [this] { redo(); };
        } else if (name == QLatin1String("edit-cut")) {
            edit = [this] { cut(); };
        } else if (name == QLatin1String("edit-paste")) {
            edit = [this] { paste(); };
        } else if (name == QLatin1String("edit-delete")) {
            edit = [this] { applyUserEdit(selectedRange(), QString()); };
        }
        if (edit) {
            action->disconnect();
            connect(action, &QAction::triggered, this, edit);
        }
    }
    return menu;
}

void WrenTextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createEditingContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

void WrenTextView::changeColor(const QColor &color)
{
    if (!m_shouldChangeColors || isReadOnly())
        return;
    lq::TextAttributes attributes;
    attributes.foregroundColor =
        lq::TextColor::rgb(color.redF(), color.greenF(), color.blueF(), color.alphaF());
    applyAttributeEdit(selectedRange(), attributes);
}

void WrenTextView::setContinuousSpellCheckingEnabled(bool enabled)
{
    if (enabled == isContinuousSpellCheckingEnabled())
        return;
    const lq::DeliberateTextChange change;
    if (enabled) {
        m_spelling = new SpellHighlighter(document(), SpellChecker::shared());
    } else {
        delete m_spelling;
        m_spelling = nullptr;
    }
}

bool WrenTextView::isContinuousSpellCheckingEnabled() const
{
    return m_spelling != nullptr;
}

void WrenTextView::reportSelection()
{
    // The caret's line stays laid out wherever a move or a change takes the caret.
    m_layout->ensureLaidOut(textCursor().position());
    const TextRange selection = selectedRange();
    if (selection == m_reportedSelection)
        return;
    if (!m_editing)
        m_typingAttributes.reset();
    m_lineMoveX.reset();
    if (!m_delegate)
        return;
    m_reportedSelection = selection;
    m_delegate->didChangeSelection(this, selection);
}

void WrenTextView::scrollContentsBy(int dx, int dy)
{
    QTextEdit::scrollContentsBy(dx, dy);
    reportViewRect();
}

void WrenTextView::resizeEvent(QResizeEvent *event)
{
    QTextEdit::resizeEvent(event);
    reportViewRect();
}

void WrenTextView::reportViewRect()
{
    m_layout->setViewRect(
        QRectF(QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value()),
               QSizeF(viewport()->size())));
}

void WrenTextView::watchChange(int position, int removed, int added)
{
    if (m_watchdog && !lq::DeliberateTextChange::underWay())
        lq::log(QStringLiteral("Program error: the notes text changed at %1 (%2 characters "
                               "removed, %3 added) outside the editing path")
                    .arg(position)
                    .arg(removed)
                    .arg(added));
}
