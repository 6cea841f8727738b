#pragma once

#include "platform/text/TextRange.h"

#include <QString>

namespace lq {
class UndoManager;
}

class WrenTextView;

// What the notes text view asks of its document.
class WrenTextViewDelegate
{
public:
    virtual ~WrenTextViewDelegate() = default;

    // Asked before every change the user makes: range in the text as it is before the change,
    // the replacement; a null string for a change of attributes only. false refuses the change.
    virtual bool shouldChangeTextInRange(WrenTextView *view, lq::TextRange range,
                                         const QString &replacement) = 0;
    // After the selection (or the caret) moved.
    virtual void didChangeSelection(WrenTextView *view, lq::TextRange selection) = 0;
    // Where the view registers the inverse of each change; null: the change is not undoable.
    virtual lq::UndoManager *undoManager() const = 0;
    // A paragraph break typed over range; true when the delegate made it itself (as a list
    // does), false to leave it to the view.
    virtual bool breakParagraph(WrenTextView *, lq::TextRange) { return false; }
};

// Takes slides and media files dropped on the notes (the window's recording controller).
class WrenTextViewController
{
public:
    virtual ~WrenTextViewController() = default;
    virtual void addPath(const QString &path) = 0;
};
