#include "document/DocumentWindowController.h"
#include "document/MyDocument.h"
#include "document/PlaybackUnderline.h"
#include "document/UndoableTextChanges.h"
#include "document/WrenTextView.h"
#include "model/WrenRecording.h"
#include "platform/foundation/MainThread.h"
#include "platform/foundation/UndoManager.h"
#include "platform/ui/NamedImages.h"

#include <QAbstractButton>
#include <QIcon>

using lq::TextRange;

void MyDocument::setTextView(WrenTextView *view)
{
    if (m_textView && m_textView != view)
        m_textView->setDelegate(nullptr);
    m_textView = view;
    if (!view)
        return;
    view->setDelegate(this);
    view->setShouldUndo(m_editable);
}

bool MyDocument::shouldChangeTextInRange(WrenTextView *, TextRange range,
                                         const QString &replacement)
{
    if (replacement.isNull())
        return shouldChangeTextInRanges({range}, nullptr);
    const QStringList replacements{replacement};
    return shouldChangeTextInRanges({range}, &replacements);
}

bool MyDocument::shouldChangeTextInRanges(const std::vector<TextRange> &ranges,
                                          const QStringList *replacements)
{
    if (playing && playbackMode == 1)
        return false;
    const lq::UndoManager *undo = undoManager();
    const bool undoing = undo && (undo->isUndoing() || undo->isRedoing());
    if (!undoing && replacements) {
        // Each range is in the text before the change; the ones before it have moved it by the
        // running change of length.
        qsizetype moved = 0;
        for (size_t i = 0; i < ranges.size() && i < size_t(replacements->size()); ++i) {
            const TextRange original = ranges[i];
            const QString &replacement = replacements->at(qsizetype(i));
            if (original.length == replacement.size() &&
                m_textStorage.attributedSubstring(original).string() == replacement)
                continue;
            const TextRange range{original.location + moved, original.length};
            if (!recordChange(range, replacement))
                return false;
            moved += replacement.size() - range.length;
        }
    }
    if (!recording && !playing)
        resetHighlightForCharacter(std::nullopt);
    lq::postToMainThread(this, [this] { updateInfoBarHelper(); });
    return true;
}

bool MyDocument::recordChange(TextRange range, const QString &replacement)
{
    if (!m_recordingObject->recordKeyEventsForRange(uint32_t(range.location),
                                                    uint32_t(range.length), replacement))
        return false;
    {
        // Where the caret lands after the change, whether it removed characters or not.
        const std::lock_guard lock(m_locationLock);
        m_newLocation = range.location + replacement.size();
    }
    if (playing)
        playback_underline::shiftPositions(m_highlightedChars, range, replacement.size());
    return true;
}

void MyDocument::didChangeSelection(WrenTextView *, TextRange selection)
{
    const std::lock_guard lock(m_locationLock);
    const bool idle = !recording && !playing;
    if (!m_startingUp && (idle || (playing && playbackMode == 1))) {
        resetHighlightForCharacter(std::nullopt);
        // The caret move of the edit just stamped is no jump.
        if (m_newLocation != selection.location) {
            m_jumpingAround = true;
            m_recordingObject->jumpToCharacter(uint32_t(selection.location));
            m_jumpingAround = false;
        }
    }
    m_newLocation.reset();
    lq::postToMainThread(this, [this] { resetListSatus(); });
    lq::postToMainThread(this, [this] { resetColorPicker(); });
}

void MyDocument::setEditable(bool editable)
{
    if (m_textView)
        m_textView->setShouldUndo(editable);
    const bool changed = editable != m_editable;
    m_editable = editable;
    if (changed)
        Q_EMIT editableChanged(editable);
    // The list button's image follows the permission.
    resetListButton();
    if (m_listButton)
        m_listButton->setToolTip(QString());
    resetListSatus();
}

void MyDocument::setShareable(bool shareable)
{
    m_shareable = shareable;
    QAbstractButton *button =
        m_windowController ? m_windowController->outlets().shareButton : nullptr;
    if (!button)
        return;
    const QString name =
        shareable ? QStringLiteral("Share-Icon-Active") : QStringLiteral("Share-Icon-Inactive");
    button->setIcon(QIcon(lq::namedImage(name, button->devicePixelRatioF())));
}

void MyDocument::showLinkPanel()
{
    if (m_textView)
        m_textView->orderFrontLinkPanel();
}

void MyDocument::addAttributes(TextRange range, const lq::TextAttributes &attributes)
{
    lq::addAttributesUndoably(m_textStorage, undoManager(), range, attributes);
}

void MyDocument::removeAttributes(TextRange range, lq::TextAttributes::Keys keys)
{
    lq::removeAttributesUndoably(m_textStorage, undoManager(), range, keys);
}

void MyDocument::replaceCharacters(TextRange range, const QString &string)
{
    lq::replaceUndoably(m_textStorage, undoManager(), range, string);
}

void MyDocument::replaceCharacters(TextRange range, const lq::AttributedString &text)
{
    lq::replaceUndoably(m_textStorage, undoManager(), range, text);
}
