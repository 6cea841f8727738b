#pragma once

#include "document/WrenTextViewDelegate.h"
#include "platform/text/AttributedString.h"
#include "platform/text/TextRange.h"

#include <QPoint>
#include <QPointer>
#include <QTextEdit>

#include <functional>
#include <optional>
#include <vector>

class QMenu;
class SpellHighlighter;

namespace lq {
class NotesTextLayout;
class TextStorage;
class UndoManager;
} // namespace lq

// The notes text view. It shows the note's text storage itself (never a copy). Every change the
// user makes (keys, input method, paste, drop, cut, drag-move, the context menu, the colour
// panel) goes through applyUserEdit or applyAttributeEdit: the delegate's check with the range
// in the text before the change, the change in one edit block, and its inverse registered with
// the delegate's undo manager. Qt's own undo stays off. Main thread.
class WrenTextView : public QTextEdit
{
    Q_OBJECT
public:
    // The storage outlives the view.
    explicit WrenTextView(lq::TextStorage &storage, QWidget *parent = nullptr);
    ~WrenTextView() override;

    lq::TextStorage &storage() const { return m_storage; }
    void setDelegate(WrenTextViewDelegate *delegate) { m_delegate = delegate; }
    WrenTextViewDelegate *delegate() const { return m_delegate; }
    void setController(WrenTextViewController *controller) { m_controller = controller; }
    WrenTextViewController *controller() const { return m_controller; }

    // While NO, undo is refused (the Undo item disabled, Ctrl+Z does nothing); redo still works.
    bool shouldUndo() const { return m_shouldUndo; }
    void setShouldUndo(bool shouldUndo) { m_shouldUndo = shouldUndo; }
    // NO while the highlighter's colour picker has the shared colour panel.
    bool shouldChangeColors() const { return m_shouldChangeColors; }

    // The editing path. Answers whether the change was made (the delegate may refuse it).
    bool applyUserEdit(lq::TextRange range, const QString &replacement);
    bool applyUserEdit(lq::TextRange range, const lq::AttributedString &replacement);
    bool applyAttributeEdit(lq::TextRange range, const lq::TextAttributes &attributes);
    bool applyAttributeRemoval(lq::TextRange range, lq::TextAttributes::Keys keys);
    // A move of the selected text to position (in the text before the move): its removal, then
    // its insertion, as two changes.
    bool moveSelectedText(qsizetype position);

    // The document's own changes: neither checked nor registered for undo.
    void replaceCharacters(lq::TextRange range, const QString &string);
    void replaceCharacters(lq::TextRange range, const lq::AttributedString &text);
    void addAttributes(lq::TextRange range, const lq::TextAttributes &attributes);
    void removeAttributes(lq::TextRange range, lq::TextAttributes::Keys keys);

    // The character attributes of what the user types next, until the selection moves; unset,
    // typed text takes those of the text before it. The paragraph keeps its style either way.
    void setTypingAttributes(const std::optional<lq::TextAttributes> &attributes);
    const std::optional<lq::TextAttributes> &typingAttributes() const { return m_typingAttributes; }
    // The attributes that new text at range takes.
    lq::TextAttributes attributesForNewText(lq::TextRange range) const;

    lq::TextRange selectedRange() const;
    void setSelectedRange(lq::TextRange range);

    // Undo is swallowed while shouldUndo is NO.
    bool canUndo() const;
    bool canRedo() const;
    void undo();
    void redo();
    void cut();

    // Asks for the link of the selected text (WrenTextViewPanels.cpp); an empty address removes
    // it. Nothing without a selection or while the text cannot be edited.
    void orderFrontLinkPanel();

    // The context menu, its editing actions sent through the editing path.
    QMenu *createEditingContextMenu(const QPoint &position);

    void setContinuousSpellCheckingEnabled(bool enabled);
    bool isContinuousSpellCheckingEnabled() const;

    // Logs "Program error" for any change of the text that bypassed the editing path and the
    // calls above. On by default in debug builds.
    void setWatchdogEnabled(bool enabled) { m_watchdog = enabled; }

    // Playback display (WrenTextViewPlayback.cpp): extra selections only, so neither the text
    // nor its undo changes, and the marks move with the text.
    // Underlines each position (single, blue), in place of the positions underlined before.
    void setPlaybackUnderline(const std::vector<qsizetype> &positions);
    // Flashes range in yellow for half a second; counts the flashes shown.
    void showFindIndicator(lq::TextRange range);
    // Ends a flash before its time.
    void hideFindIndicator();
    int findIndicatorCount() const { return m_findIndicatorCount; }
    void scrollRangeToVisible(lq::TextRange range);

    // The caret's place in the viewport, as the note's layout has it (WrenTextViewCaret.cpp).
    QRect caretRect() const;

public Q_SLOTS:
    // From the shared colour panel: the selection takes the colour (attributes only).
    void changeColor(const QColor &color);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent *event) override;

private Q_SLOTS:
    // The text control's requests to show the caret's area and to repaint an area.
    void showCaretArea(const QRectF &rect);
    void repaintArea(const QRectF &rect);

private:
    // The caret's place, line moves and the input method's rectangles come from the note's layout
    // (WrenTextViewCaret.cpp): Qt's text control reads them from a paragraph's block layout, which
    // holds no lines where the layout lays a long paragraph out in pieces.
    void takeCaretRequests();
    // Scrolls the caret into sight.
    void showCaret();
    // The arrows, Home, End and the page keys; answers whether the key was one.
    bool moveCaret(const QKeyEvent *event);
    // The edge of the character (grapheme) after (direction 1) or before (-1) position.
    int characterEdge(int position, int direction) const;
    // Where a page up (-1) or down (1) takes the caret, as Qt's text edit pages: line by line
    // until a page's height further.
    int pageMove(int position, qreal x, int direction);
    bool applyEdit(lq::TextRange range, const QString *string, const lq::AttributedString *text);
    // Attributes only: the delegate's check, then change with its undo manager.
    bool applyAttributeChange(lq::TextRange range,
                              const std::function<void(lq::UndoManager *)> &change);
    std::optional<lq::TextRange> deletionRange(const QKeyEvent *event) const;
    std::optional<QString> typedText(const QKeyEvent *event) const;
    // Typed text (keys, input method) at range.
    bool applyTyping(lq::TextRange range, const QString &text);
    // Typed text and deletions are undone as "Typing".
    void nameTypingStep();
    lq::AttributedString attachmentText(lq::TextRange range, QByteArray bytes,
                                        const QString &fileName) const;
    lq::AttributedString pastedImageText(lq::TextRange range, const QImage &image) const;
    void startDragOfSelection();
    // Dropped files: a slides or media file goes to the controller, a picture into the text.
    // Answers whether the drop was taken.
    bool dropFiles(const QMimeData *source, qsizetype position);
    void reportSelection();
    void watchChange(int position, int removed, int added);
    QTextEdit::ExtraSelection markOver(lq::TextRange range, const QTextCharFormat &format) const;
    void showPlaybackMarks();
    // Tells the layout what the view shows.
    void reportViewRect();

    lq::TextStorage &m_storage;
    // The note's own layout, a child of its document.
    lq::NotesTextLayout *m_layout = nullptr;
    WrenTextViewDelegate *m_delegate = nullptr;
    WrenTextViewController *m_controller = nullptr;
    bool m_shouldUndo = true;
    bool m_shouldChangeColors = true;
    bool m_watchdog = false;
    lq::TextRange m_reportedSelection;
    // Where the arrows up and down keep the caret, until it moves otherwise.
    std::optional<qreal> m_lineMoveX;
    std::optional<lq::TextAttributes> m_typingAttributes;
    bool m_editing = false;
    std::optional<QPoint> m_dragStart;
    QPointer<QMimeData> m_ownDrag;
    // A child of the text's document.
    QPointer<SpellHighlighter> m_spelling;
    QList<QTextEdit::ExtraSelection> m_playbackUnderline;
    std::optional<QTextEdit::ExtraSelection> m_findIndicator;
    int m_findIndicatorCount = 0;
};
