#pragma once

#include "platform/text/AttributedString.h"
#include "platform/text/TextRange.h"

#include <QString>

namespace lq {
class TextStorage;
class UndoManager;

// Marks, while it lives, a change of a note's text made on purpose: by the text view's editing
// path, by undo and redo, or by the document's own calls. The view's watchdog reports every
// other change. One thread (the text's).
class DeliberateTextChange
{
public:
    DeliberateTextChange();
    ~DeliberateTextChange();
    DeliberateTextChange(const DeliberateTextChange &) = delete;
    DeliberateTextChange &operator=(const DeliberateTextChange &) = delete;

    static bool underWay();
};

// Each change is made in one edit block. With an undo manager, the call that puts back what was
// there is registered with the storage as target; it registers the redo in turn. Whoever owns
// the storage removes its actions (removeAllActions(&storage)) before the storage goes.
void replaceUndoably(TextStorage &storage, UndoManager *undo, TextRange range,
                     const QString &string);
void replaceUndoably(TextStorage &storage, UndoManager *undo, TextRange range,
                     const AttributedString &text);
void addAttributesUndoably(TextStorage &storage, UndoManager *undo, TextRange range,
                           const TextAttributes &attributes);
void removeAttributesUndoably(TextStorage &storage, UndoManager *undo, TextRange range,
                              TextAttributes::Keys keys);

} // namespace lq
