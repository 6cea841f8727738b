#include "document/UndoableTextChanges.h"

#include "platform/foundation/UndoManager.h"
#include "platform/text/TextStorage.h"

#include <QTextCursor>

namespace lq {

namespace {

thread_local int deliberateDepth = 0;

// What a change is about to replace; nothing for an insertion (taking a substring copies the
// whole text first).
AttributedString replacedText(const TextStorage &storage, TextRange range)
{
    return range.length > 0 ? storage.attributedSubstring(range) : AttributedString();
}

qsizetype lengthOf(const QString &string)
{
    return string.size();
}
qsizetype lengthOf(const AttributedString &text)
{
    return text.length();
}

// Replaces, then registers the replacement of the new text by the old.
template <class Text>
void replaceAndRegister(TextStorage &storage, UndoManager *undo, TextRange range, const Text &text)
{
    const DeliberateTextChange change;
    AttributedString old = replacedText(storage, range);
    QTextCursor editBlock(storage.document());
    editBlock.beginEditBlock();
    storage.replaceCharacters(range, text);
    editBlock.endEditBlock();
    if (!undo)
        return;
    const TextRange inserted{range.location, lengthOf(text)};
    undo->registerUndo(&storage, [&storage, undo, inserted, old = std::move(old)] {
        replaceAndRegister(storage, undo, inserted, old);
    });
}

// Changes attributes only, then registers putting back the text as it was.
template <class Change>
void changeAttributesAndRegister(TextStorage &storage, UndoManager *undo, TextRange range,
                                 const Change &change)
{
    const DeliberateTextChange deliberate;
    AttributedString old = replacedText(storage, range);
    QTextCursor editBlock(storage.document());
    editBlock.beginEditBlock();
    change();
    editBlock.endEditBlock();
    if (undo)
        undo->registerUndo(&storage, [&storage, undo, range, old = std::move(old)] {
            replaceUndoably(storage, undo, range, old);
        });
}

} // namespace

DeliberateTextChange::DeliberateTextChange()
{
    ++deliberateDepth;
}

DeliberateTextChange::~DeliberateTextChange()
{
    --deliberateDepth;
}

bool DeliberateTextChange::underWay()
{
    return deliberateDepth > 0;
}

void replaceUndoably(TextStorage &storage, UndoManager *undo, TextRange range,
                     const QString &string)
{
    replaceAndRegister(storage, undo, range, string);
}

void replaceUndoably(TextStorage &storage, UndoManager *undo, TextRange range,
                     const AttributedString &text)
{
    replaceAndRegister(storage, undo, range, text);
}

void addAttributesUndoably(TextStorage &storage, UndoManager *undo, TextRange range,
                           const TextAttributes &attributes)
{
    changeAttributesAndRegister(storage, undo, range,
                                [&] { storage.addAttributes(range, attributes); });
}

void removeAttributesUndoably(TextStorage &storage, UndoManager *undo, TextRange range,
                              TextAttributes::Keys keys)
{
    changeAttributesAndRegister(storage, undo, range,
                                [&] { storage.removeAttributes(range, keys); });
}

} // namespace lq
