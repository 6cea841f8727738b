#pragma once

#include "platform/text/AttributedString.h"

#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextDocument>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QTextBlock;
class QTextCursor;

namespace lq {

class AttributeCache;

// A part of a note's text taken as it stood, quickly: its characters and its runs, numbering
// the distinct attributes met. Made an attributed string later, on any thread.
class TextCopy
{
public:
    AttributedString attributedString() const;

private:
    friend class TextStorage;
    QString m_string;                                 // paragraph ends as the document holds them
    std::vector<std::pair<qsizetype, size_t>> m_runs; // length and attributes' number
    std::vector<TextAttributes> m_attributes;
};

// The live text of a note: a QTextDocument (shown by the text view as it is) behind the
// operations of an attributed string. Positions are UTF-16 positions of the plain text: a
// paragraph end is one character ("\n"), an attachment is U+FFFC. The paragraph style is kept
// per paragraph: setting it on any part of a paragraph sets it for the whole paragraph. List
// markers are literal characters; QTextList is not used. Qt's own undo is switched off (the
// document's undo manager records edits). Used on the thread that owns the document.
class TextStorage
{
public:
    TextStorage();
    ~TextStorage();
    TextStorage(const TextStorage &) = delete;
    TextStorage &operator=(const TextStorage &) = delete;

    // The document for the text view; owned by the storage.
    QTextDocument *document() const { return m_document.get(); }

    qsizetype length() const;
    QString string() const;

    // The attributes at index (below length()) and the range of the piece that carries them:
    // a fragment of one paragraph, or the paragraph end.
    TextAttributes attributesAt(qsizetype index, TextRange *effectiveRange = nullptr) const;
    // Calls visit for each longest run of equal attributes inside range, in order.
    void enumerateRuns(TextRange range,
                       const std::function<void(TextRange, const TextAttributes &)> &visit) const;

    TextCopy copyOf(TextRange range) const;
    AttributedString attributedSubstring(TextRange range) const;
    AttributedString attributedString() const;
    // Replaces the whole text.
    void setAttributedString(const AttributedString &text);

    // The new characters take the character attributes of the first replaced character (or of
    // the one before when nothing is replaced) and the paragraph style of the paragraph at the
    // range's start.
    void replaceCharacters(TextRange range, const QString &string);
    void replaceCharacters(TextRange range, const AttributedString &text);

    void addAttributes(TextRange range, const TextAttributes &attributes);
    void removeAttributes(TextRange range, TextAttributes::Keys keys);

private:
    TextRange clamped(TextRange range) const;
    // A fragment, or a paragraph end (which carries the format of the paragraph after it).
    struct Piece
    {
        TextRange range;
        int formatIndex = -1;
        QTextFragment fragment;
        QTextBlock nextParagraph; // valid for a paragraph end
        bool isParagraphEnd() const { return nextParagraph.isValid(); }
        QTextCharFormat format() const
        {
            return isParagraphEnd() ? nextParagraph.charFormat() : fragment.charFormat();
        }
    };
    // Calls visit with each longest run of equal attributes inside range and their number in
    // the cache.
    template <class Visit>
    void enumerateRunNumbers(TextRange range, AttributeCache &cache, const Visit &visit) const;
    // Calls visit for each fragment and paragraph end inside range, clipped to it.
    void forEachPiece(TextRange range,
                      const std::function<void(const Piece &, const QTextBlock &)> &visit) const;
    void insert(QTextCursor &cursor, const AttributedString &text,
                const QTextBlockFormat &followingBlockFormat);
    QTextCharFormat formatFor(const TextAttributes &attributes,
                              const QTextCharFormat &previous = {});
    void modifyAttributes(TextRange range, const std::function<void(TextAttributes &)> &change);

    std::unique_ptr<QTextDocument> m_document;
    quint64 m_nextImageNumber = 1;
};

} // namespace lq
